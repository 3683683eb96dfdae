// The reverse-communication bracketing search and zero finder, driven with
// simple functions whose zeros and evaluation sequences are known.
#include "cdfs/cdfs.h"
#include "sink_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

struct Outcome {
    int status;
    double x;
    bool qleft;
    bool qhi;
    std::vector<double> evaluated;
};

struct Settings {
    double small = 0.0;
    double big = 100.0;
    double absstp = 0.5;
    double relstp = 0.5;
    double stpmul = 5.0;
    double tol = 1e-15;
};

Outcome runInvr(const Settings& s, double start, const std::function<double(double)>& f)
{
    cdfs::InvrState state;
    cdfs::invrset(state, s.small, s.big, s.absstp, s.relstp, s.stpmul, s.tol, s.tol);
    Outcome out{0, start, false, false, {}};
    double fx = 0.0;
    cdfs::invr(state, out.status, out.x, fx, out.qleft, out.qhi);
    for (int calls = 0; out.status == 1 && calls < 10000; ++calls) {
        out.evaluated.push_back(out.x);
        fx = f(out.x);
        cdfs::invr(state, out.status, out.x, fx, out.qleft, out.qhi);
    }
    return out;
}

TEST(Invr, ExactZeroAtTheStartEndsAfterThreeEvaluations)
{
    const Outcome r = runInvr({}, 10.0, [](double x) { return x - 10.0; });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.x, 10.0);
    EXPECT_EQ(r.evaluated, (std::vector<double>{0.0, 100.0, 10.0}));
}

// The endpoint test: f(small) = 0 is a bracket; f(small) > 0 (increasing) is
// not. x is left at big in the failures.
TEST(Invr, EndpointsMustBracketTheZero)
{
    struct Case {
        const char* what;
        double (*f)(double);
        int status;
        bool qleft;
        bool qhi;
    };
    const Case cases[] = {
        {"increasing, f(small) > 0", [](double x) { return x + 5.0; }, -1, true, true},
        {"increasing, f(big) < 0", [](double x) { return x - 500.0; }, -1, false, false},
        {"decreasing, f(small) < 0", [](double x) { return -x - 5.0; }, -1, true, false},
        {"decreasing, f(big) > 0", [](double x) { return 500.0 - x; }, -1, false, true},
        {"increasing, f(small) = 0", [](double x) { return x; }, 0, false, false},
        {"decreasing, f(big) = 0", [](double x) { return 100.0 - x; }, 0, false, false},
    };
    for (const Case& c : cases) {
        const Outcome r = runInvr({}, 50.0, c.f);
        EXPECT_EQ(r.status, c.status) << c.what;
        if (c.status == -1) {
            EXPECT_EQ(r.qleft, c.qleft) << c.what;
            EXPECT_EQ(r.qhi, c.qhi) << c.what;
            EXPECT_EQ(r.x, 100.0) << c.what;
            EXPECT_EQ(r.evaluated.size(), 2u) << c.what;
        } else {
            EXPECT_NEAR(r.x, c.f(0.0) == 0.0 ? 0.0 : 100.0, 1e-13) << c.what;
        }
    }
}

TEST(Invr, StepsGrowFivefoldUpward)
{
    Settings s;
    s.big = 1e6;
    const Outcome r = runInvr(s, 10.0, [](double x) { return x - 1e5; });
    const std::vector<double> opening{0.0, 1e6, 10.0, 15.0, 40.0, 165.0, 790.0, 3915.0, 19540.0,
                                      97665.0, 488290.0};
    ASSERT_GT(r.evaluated.size(), opening.size());
    EXPECT_EQ(std::vector<double>(r.evaluated.begin(), r.evaluated.begin() + opening.size()), opening);
    EXPECT_EQ(r.status, 0);
    EXPECT_NEAR(r.x, 1e5, 1e5 * 1e-15);
}

TEST(Invr, StartAtBigStepsDown)
{
    const Outcome r = runInvr({}, 100.0, [](double x) { return x - 30.0; });
    const std::vector<double> opening{0.0, 100.0, 100.0, 50.0, 0.0};
    ASSERT_GT(r.evaluated.size(), opening.size());
    EXPECT_EQ(std::vector<double>(r.evaluated.begin(), r.evaluated.begin() + opening.size()), opening);
    EXPECT_EQ(r.status, 0);
    EXPECT_NEAR(r.x, 30.0, 30.0 * 1e-15);
}

TEST(Invr, DecreasingFunctionAndStartOutsideTheRange)
{
    cdfstest::SinkCapture sink;
    const Outcome r = runInvr({}, 150.0, [](double x) { return 2.0 - std::sqrt(x); });
    ASSERT_EQ(sink.lines().size(), 1u);
    EXPECT_EQ(sink.lines()[0], " SMALL, X, BIG not monotone in INVR");
    EXPECT_EQ(r.status, 0);
    EXPECT_NEAR(r.x, 4.0, 4.0 * 1e-15);
}

// A function that is not monotone can defeat the stepping: it ends at the
// end of the range that it reached, with the flags for that end.
TEST(Invr, StepsReachingAnEndWithoutASignChange)
{
    {
        int calls = 0;
        // f(big) > 0 on the endpoint test only, negative on the way up.
        const Outcome r = runInvr({}, 10.0, [&](double x) { return x == 100.0 && ++calls == 1 ? 1.0 : -1.0; });
        EXPECT_EQ(r.status, -1);
        EXPECT_FALSE(r.qleft);
        EXPECT_FALSE(r.qhi);
        EXPECT_EQ(r.x, 100.0);
    }
    {
        int calls = 0;
        const Outcome r = runInvr({}, 90.0, [&](double x) { return x == 0.0 && ++calls == 1 ? -1.0 : 1.0; });
        EXPECT_EQ(r.status, -1);
        EXPECT_TRUE(r.qleft);
        EXPECT_TRUE(r.qhi);
        EXPECT_EQ(r.x, 0.0);
    }
}

// Two searches in progress at once do not disturb each other.
TEST(Invr, SearchesHeldByTheCallerAreIndependent)
{
    const auto f = [](double x) { return x * x * x - 2.0; };
    const auto g = [](double x) { return std::exp(x) - 50.0; };
    const Outcome aloneF = runInvr({}, 1.0, f);
    const Outcome aloneG = runInvr({}, 1.0, g);

    cdfs::InvrState sf;
    cdfs::InvrState sg;
    cdfs::invrset(sf, 0.0, 100.0, 0.5, 0.5, 5.0, 1e-15, 1e-15);
    cdfs::invrset(sg, 0.0, 100.0, 0.5, 0.5, 5.0, 1e-15, 1e-15);
    int statusF = 0;
    int statusG = 0;
    double xf = 1.0;
    double xg = 1.0;
    bool ql = false;
    bool qh = false;
    cdfs::invr(sf, statusF, xf, 0.0, ql, qh);
    cdfs::invr(sg, statusG, xg, 0.0, ql, qh);
    for (int calls = 0; (statusF == 1 || statusG == 1) && calls < 10000; ++calls) {
        if (statusF == 1) cdfs::invr(sf, statusF, xf, f(xf), ql, qh);
        if (statusG == 1) cdfs::invr(sg, statusG, xg, g(xg), ql, qh);
    }
    EXPECT_EQ(statusF, 0);
    EXPECT_EQ(statusG, 0);
    EXPECT_EQ(xf, aloneF.x);
    EXPECT_EQ(xg, aloneG.x);
}

struct ZrorOutcome {
    int status;
    double xlo;
    double xhi;
    bool qleft;
    bool qhi;
    int evaluations;
};

ZrorOutcome runZror(double lo, double hi, double tol, const std::function<double(double)>& f)
{
    cdfs::ZrorState state;
    cdfs::zrorset(state, lo, hi, tol, tol);
    ZrorOutcome out{0, 0.0, 0.0, false, false, 0};
    double x = 0.0;
    double fx = 0.0;
    cdfs::zror(state, out.status, x, fx, out.xlo, out.xhi, out.qleft, out.qhi);
    while (out.status == 1 && out.evaluations < 10000) {
        ++out.evaluations;
        fx = f(x);
        cdfs::zror(state, out.status, x, fx, out.xlo, out.xhi, out.qleft, out.qhi);
    }
    return out;
}

TEST(Zror, NoSignChangeAfterTwoEvaluations)
{
    struct Case {
        double (*f)(double);
        bool qleft;
        bool qhi;
    };
    const Case cases[] = {
        {[](double x) { return x + 1.0; }, true, true},   // positive, larger at the upper end
        {[](double x) { return 5.0 - x; }, false, true},  // positive, smaller at the upper end
        {[](double x) { return -x; }, true, false},       // negative, smaller at the upper end
        {[](double x) { return x - 5.0; }, false, false}, // negative, larger at the upper end
    };
    for (const Case& c : cases) {
        const ZrorOutcome r = runZror(1.0, 2.0, 1e-15, c.f);
        EXPECT_EQ(r.status, -1);
        EXPECT_EQ(r.evaluations, 2);
        EXPECT_EQ(r.qleft, c.qleft);
        EXPECT_EQ(r.qhi, c.qhi);
    }
}

// The zero lies in [xlo, xhi], whose width is at most max(tol, tol |xlo|);
// the evaluation counts are budgets near those observed.
TEST(Zror, ConvergesToTheTolerance)
{
    struct Case {
        const char* what;
        double lo;
        double hi;
        double root;
        double (*f)(double);
        int budget;
    };
    const Case cases[] = {
        {"linear", 0.0, 10.0, 3.0, [](double x) { return x - 3.0; }, 4},
        {"cubic", 0.0, 10.0, std::cbrt(2.0), [](double x) { return x * x * x - 2.0; }, 15},
        {"exponential", -5.0, 30.0, std::log(50.0), [](double x) { return std::exp(x) - 50.0; }, 13},
        {"decreasing", 1.0, 1e6, 4.0, [](double x) { return 2.0 - std::sqrt(x); }, 12},
        {"flat ends", 0.0, 1.0, 0.3, [](double x) { return std::tanh(40.0 * (x - 0.3)); }, 15},
        {"zero at an end", 0.0, 7.0, 0.0, [](double x) { return x * (x + 1.0); }, 5},
    };
    for (const Case& c : cases) {
        const double tol = 1e-15;
        const ZrorOutcome r = runZror(c.lo, c.hi, tol, c.f);
        EXPECT_EQ(r.status, 0) << c.what;
        const double lo = std::fmin(r.xlo, r.xhi);
        const double hi = std::fmax(r.xlo, r.xhi);
        const double slack = 4e-16 * std::fabs(c.root);
        EXPECT_LE(lo, c.root + slack) << c.what;
        EXPECT_GE(hi, c.root - slack) << c.what;
        EXPECT_LE(hi - lo, std::fmax(tol, tol * std::fabs(r.xlo)) * 1.0000001) << c.what;
        EXPECT_LE(r.evaluations, c.budget) << c.what;
    }
}

} // namespace

// The chi-square inverse: status codes of cdfchi, quantiles against mpmath
// for df 2 to 1000 and p from 1e-6 to 1 - 1e-6, round trips, the failure
// returns of Chiinv and the number of cumulative evaluations per quantile.
#include "cdfs/cdfs.h"
#include "cdfs/inverses/chinorm.h"
#include "sink_capture.h"
#include "table_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using cdfstest::report;
using cdfstest::table;
using cdfstest::worstError;
using testsupport::relativeError;

constexpr double tol = 1e-15; // as both programs pass it

struct CdfchiCase {
    const char* what;
    int which;
    double p;
    double x;
    double df;
    int status;
    double bound; // checked when status != 0
};

TEST(Cdfchi, StatusCodesAndBounds)
{
    const CdfchiCase cases[] = {
        {"which 0", 0, 0.5, 1.0, 1.0, -1, 1.0},
        {"which 4", 4, 0.5, 1.0, 1.0, -1, 3.0},
        {"p < 0", 2, -0.1, 1.0, 1.0, -2, 0.0},
        {"p = 1", 2, 1.0, 1.0, 1.0, -2, 0.999999999999999},
        {"p above the limit", 3, 0.9999999999999991, 1.0, 1.0, -2, 0.999999999999999},
        {"p at the limit", 2, 0.999999999999999, 0.0, 5.0, 0, 0.0},
        {"p not tested for which 1", 1, -7.0, 1.0, 1.0, 0, 0.0},
        {"x < 0", 1, 0.5, -1.0, 1.0, -3, 0.0},
        {"x < 0 for which 3", 3, 0.5, -1.0, 1.0, -3, 0.0},
        {"x not tested for which 2", 2, 0.5, -1.0, 2.0, 0, 0.0},
        {"df = 0", 2, 0.5, 1.0, 0.0, -4, 0.0},
        {"df < 0 for which 1", 1, 0.5, 1.0, -1.0, -4, 0.0},
        {"df not tested for which 3", 3, 0.5, 4.0, 0.0, 0, 0.0},
        {"df above the search range", 3, 0.5, 1e31, 1.0, 2, 1e30},
        {"cumulative fails", 2, 0.5, 0.0, 2e29, 10, 0.0},
        {"cumulative fails for which 1", 1, 0.5, 2e29, 2e29, 10, 0.0},
    };
    for (const CdfchiCase& c : cases) {
        double p = c.p;
        double x = c.x;
        double df = c.df;
        int status = 99;
        double bound = -99.0;
        cdfs::cdfchi(c.which, p, x, df, status, bound, tol);
        EXPECT_EQ(status, c.status) << c.what;
        if (c.status != 0 && c.status != 10) {
            EXPECT_EQ(bound, c.bound) << c.what;
        }
    }
}

TEST(Cdfchi, ProbabilityWritesItsTwoLines)
{
    cdfstest::SinkCapture sink;
    int status = 99;
    double bound = 0.0;
    double p = -1.0;
    double x = 0.0;
    double df = 3.0;
    cdfs::cdfchi(1, p, x, df, status, bound, tol);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(p, 0.0);
    x = 4.5;
    cdfs::cdfchi(1, p, x, df, status, bound, tol);
    EXPECT_EQ(p, cdfs::cumchi(4.5, 3.0));
    ASSERT_EQ(sink.lines().size(), 4u);
    EXPECT_EQ(sink.lines()[0], "Calculating p...");
    EXPECT_EQ(sink.lines()[1], "x,df are |0|3");
    EXPECT_EQ(sink.lines()[3], "x,df are |4.5|3");
}

TEST(Cdfchi, DegreesOfFreedomFromPAndX)
{
    for (double df : {0.5, 3.0, 7.0, 42.0, 800.0}) {
        double p = cdfs::cumchi(df * 1.1, df);
        double x = df * 1.1;
        double found = -1.0;
        int status = 99;
        double bound = 0.0;
        cdfs::cdfchi(3, p, x, found, status, bound, tol);
        EXPECT_EQ(status, 0) << "df = " << df;
        // The cumulative routine's approximations meet with ~1e-7 steps.
        EXPECT_LE(relativeError(found, df), 1e-7) << "df = " << df;
    }
}

// Six significant digits, as the cumulative routine allows.
TEST(Chiinv, AgreesWithMpmathQuantiles)
{
    const auto rows = table("chiinv.txt");
    ASSERT_GT(rows.size(), 200u);
    const auto w = worstError(rows, 2, [](const auto& row) { return cdfs::Chiinv(row[1], row[0], tol); });
    report("Chiinv", w);
    EXPECT_LE(w.error, 1e-7);
}

// P(Chiinv(p)) returns p, and for p near 1 the upper tail 1 - p: the zero
// finder's tolerance leaves far less error than the cumulative routine.
TEST(Chiinv, RoundTrip)
{
    double worst = 0.0;
    for (double df : {2.0, 3.0, 10.0, 33.3, 1000.0}) {
        for (double p : {1e-6, 1e-3, 0.3, 0.5, 0.9, 0.999, 1.0 - 1e-6}) {
            const double x = cdfs::Chiinv(p, df, tol);
            double pp = 0.0;
            double qq = 0.0;
            cdfs::gratio(df / 2.0, x / 2.0, pp, qq, 1);
            const double e = p < 0.5 ? relativeError(pp, p) : relativeError(qq, 1.0 - p);
            worst = std::fmax(worst, e);
        }
    }
    std::printf("[ worst    ] Chiinv round trip            %.2e\n", worst);
    EXPECT_LE(worst, 5e-11);
}

TEST(Chiinv, EndsAndFailures)
{
    const double inf = std::numeric_limits<double>::infinity();
    for (double df : {0.5, 2.0, 10.0, 30.0}) EXPECT_EQ(cdfs::Chiinv(0.0, df, tol), 0.0) << df;
    // For large df the distribution function is exactly 0 on a stretch above
    // 0; the zero finder stops at a point of it, within its first step.
    for (double df : {100.0, 1000.0}) {
        const double x0 = cdfs::Chiinv(0.0, df, tol);
        EXPECT_EQ(cdfs::cumchi(x0, df), 0.0) << df;
        EXPECT_LE(x0, 2.5e-13) << df;
    }
    EXPECT_NEAR(cdfs::Chiinv(0.5, 2.0, tol), 2.0 * std::log(2.0), 2e-6 * 2.0 * std::log(2.0));
    EXPECT_TRUE(std::isfinite(cdfs::Chiinv(0.999999999999999, 10.0, tol)));

    EXPECT_EQ(cdfs::Chiinv(1.0, 10.0, tol), inf);
    EXPECT_EQ(cdfs::Chiinv(1.5, 10.0, tol), inf);
    EXPECT_EQ(cdfs::Chiinv(1.0, -1.0, tol), inf);
    EXPECT_TRUE(std::isnan(cdfs::Chiinv(-0.1, 10.0, tol)));
    EXPECT_TRUE(std::isnan(cdfs::Chiinv(0.5, 0.0, tol)));
    EXPECT_TRUE(std::isnan(cdfs::Chiinv(0.5, -3.0, tol)));
    EXPECT_TRUE(std::isnan(cdfs::Chiinv(0.5, 2e29, tol))); // the cumulative routine fails
    EXPECT_TRUE(std::isnan(cdfs::Chiinv(std::numeric_limits<double>::quiet_NaN(), 10.0, tol)));
}

// The search of cdfchi driven here with a counting cumulative function; it
// reaches the same quantile bit for bit, within an evaluation budget.
int evaluations(double p, double df, double& x)
{
    cdfs::InvrState state;
    cdfs::invrset(state, 0.0, 1e30, 0.5, 0.5, 5.0, tol, tol);
    int status = 0;
    double fx = 0.0;
    bool qleft = false;
    bool qhi = false;
    int count = 0;
    x = df;
    cdfs::invr(state, status, x, fx, qleft, qhi);
    while (status == 1 && count < 10000) {
        ++count;
        fx = cdfs::cumchi(x, df) - p;
        cdfs::invr(state, status, x, fx, qleft, qhi);
    }
    return status == 0 ? count : -1;
}

TEST(Chiinv, EvaluationBudget)
{
    struct Case {
        double p;
        double df;
        int budget;
    };
    const Case cases[] = {
        {1e-6, 2.0, 12},    {0.5, 2.0, 13},    {1.0 - 1e-6, 2.0, 20},
        {1e-6, 10.0, 21},   {0.5, 10.0, 12},   {1.0 - 1e-6, 10.0, 25},
        {1e-6, 1000.0, 22}, {0.5, 1000.0, 13}, {1.0 - 1e-6, 1000.0, 21},
    };
    for (const Case& c : cases) {
        double x = 0.0;
        const int n = evaluations(c.p, c.df, x);
        std::printf("[ count    ] p = %-10g df = %-6g %d evaluations\n", c.p, c.df, n);
        EXPECT_EQ(x, cdfs::Chiinv(c.p, c.df, tol));
        EXPECT_LE(n, c.budget);
    }
}

} // namespace

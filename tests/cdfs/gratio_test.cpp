// The incomplete gamma ratio against mpmath over a from 0.05 to 1e4 and x
// from 1e-3 a to 1e3 a, for each accuracy selector; special returns; and the
// gamma and chi-square distribution functions built on it.
#include "cdfs/cdfs.h"
#include "table_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using cdfstest::report;
using cdfstest::table;
using testsupport::relativeError;

struct Selector {
    int ind;
    double tol;      // relative error allowed
    bool scaledByLog; // tol times 1 + |ln result|
};

// Relative error of both P and Q held to the selector's requested accuracy,
// 5e-7 and 5e-4 for the 6- and 3-digit selectors. The 14-digit selector is
// limited by exp(t): the rounding of t is magnified by |t| ~ |ln result|, so
// its tolerance grows with |ln result| (observed: 1.3e-13 for results above
// 1e-20, 6.2e-13 at Q = 2.6e-266). Near the underflow threshold the error is
// measured relative to 1e-290.
TEST(Gratio, AgreesWithMpmathForEachSelector)
{
    const auto rows = table("gratio.txt");
    ASSERT_GT(rows.size(), 2000u);
    const Selector selectors[] = {{0, 3e-14, true}, {1, 5e-7, false}, {2, 5e-4, false}, {7, 5e-4, false}};
    for (const Selector& sel : selectors) {
        cdfstest::Worst worst; // error over tolerance
        double worstError = 0.0;
        for (const auto& row : rows) {
            double p = -1.0;
            double q = -1.0;
            cdfs::gratio(row[0], row[1], p, q, sel.ind);
            for (int k = 0; k < 2; ++k) {
                const double got = k == 0 ? p : q;
                const double want = row[2 + k];
                const double scale = std::max(std::fabs(want), 1e-290);
                const double e = std::fabs(got - want) / scale;
                const double tol = sel.scaledByLog ? sel.tol * (1.0 + std::fabs(std::log(scale))) : sel.tol;
                if (!(e / tol <= worst.error)) worst = {e / tol, row};
                worstError = std::max(worstError, e);
            }
        }
        const std::string what = "gratio ind = " + std::to_string(sel.ind) + " (error/tol)";
        report(what.c_str(), worst);
        std::printf("[ worst    ] largest relative error %.2e\n", worstError);
        EXPECT_LE(worst.error, 1.0) << what;
    }
}

TEST(Gratio, InvalidInputIsAnErrorThatLeavesQUnchanged)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double cases[][2] = {{-1.0, 1.0}, {1.0, -1.0}, {0.0, 0.0}, {nan, 1.0}, {1.0, nan}, {inf, inf}};
    for (const auto& c : cases) {
        double p = 0.0;
        double q = 0.25;
        cdfs::gratio(c[0], c[1], p, q, 0);
        EXPECT_EQ(p, 2.0) << "a = " << c[0] << ", x = " << c[1];
        EXPECT_EQ(q, 0.25) << "a = " << c[0] << ", x = " << c[1];
    }
}

TEST(Gratio, ExactLimits)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double a, x;
        int ind;
        double p, q;
    };
    const Case cases[] = {
        {2.0, 0.0, 0, 0.0, 1.0},      // x = 0
        {0.0, 3.0, 0, 1.0, 0.0},      // a = 0, x > 0
        {0.3, 800.0, 0, 1.0, 0.0},    // a < 1: the prefactor underflows
        {5.0, 1e4, 1, 1.0, 0.0},      // 1 <= a < big: the prefactor underflows
        {1e4, 1e-300, 0, 0.0, 1.0},   // large a, x far below a
        {100.0, 5e-324, 0, 0.0, 1.0}, // large a: x / a underflows to 0
        {1e4, 5e3, 0, 0.0, 1.0},      // z >= 700 / a, x below a
        {1e4, 2e4, 1, 1.0, 0.0},      // z >= 700 / a, x above a
        {1e6, 0.9e6, 2, 0.0, 1.0},
        {0.7, inf, 0, 1.0, 0.0},      // infinite x, each kind of a
        {2.0, inf, 1, 1.0, 0.0},
        {2.5, inf, 1, 1.0, 0.0},
        {100.0, inf, 1, 1.0, 0.0},
        {inf, 1.0, 1, 0.0, 1.0},
    };
    for (const Case& c : cases) {
        double p = -1.0;
        double q = -1.0;
        cdfs::gratio(c.a, c.x, p, q, c.ind);
        EXPECT_EQ(p, c.p) << "a = " << c.a << ", x = " << c.x;
        EXPECT_EQ(q, c.q) << "a = " << c.a << ", x = " << c.x;
    }
}

// Where a e^2 > 0.00328 (a above about 6.65e28) and x is within rounding of a,
// P and Q are indeterminate: error return; so also where the far-tail test
// z >= 700 / a meets x within rounding of a (a near 1e35). Off the diagonal
// the far-tail limits still hold.
TEST(Gratio, IndeterminateForHugeAWithXAtA)
{
    for (int ind = 0; ind <= 2; ++ind) {
        double p = 0.0;
        double q = 0.5;
        cdfs::gratio(1e29, 1e29, p, q, ind);
        EXPECT_EQ(p, 2.0) << "ind = " << ind;
        EXPECT_EQ(q, 0.5);
        cdfs::gratio(1e29, std::nextafter(1e29, 1e30), p, q, ind);
        EXPECT_EQ(p, 2.0) << "ind = " << ind;
        cdfs::gratio(1e35, std::nextafter(1e35, 1e36), p, q, ind);
        EXPECT_EQ(p, 2.0) << "ind = " << ind;
        cdfs::gratio(1e29, 1.1e29, p, q, ind);
        EXPECT_EQ(p, 1.0);
        EXPECT_EQ(q, 0.0);
    }
    // Below the limit the same points are computed: P(a, a) is 1/2 plus
    // 1/(3 sqrt(2 pi a)) to first order, and the next double above a, seen
    // through x / a = 1 + 2^-52, adds Phi(d) - 1/2 with d = 2^-52 sqrt(a).
    for (double a : {1e20, 1e25}) {
        double p = 0.0;
        double q = 0.0;
        const double atA = 0.5 + 0.13298076013381091 / std::sqrt(a);
        cdfs::gratio(a, a, p, q, 0);
        EXPECT_NEAR(p, atA, 1e-15) << a;
        cdfs::gratio(a, std::nextafter(a, 2.0 * a), p, q, 0);
        const double d = 0x1p-52 * std::sqrt(a);
        EXPECT_NEAR(p, atA + 0.3989422804014327 * d * (1.0 - d * d / 6.0), 1e-15) << a;
        EXPECT_EQ(p + q, 1.0);
    }
}

TEST(Cumulative, GammaAndChiSquare)
{
    for (double df : {1.0, 2.0, 7.0, 100.0}) {
        EXPECT_EQ(cdfs::cumchi(0.0, df), 0.0) << "df = " << df;
        EXPECT_EQ(cdfs::cumchi(-1.0, df), 0.0) << "df = " << df;
    }
    EXPECT_EQ(cdfs::cumgam(3.0, 0.0), 1.0);
    EXPECT_EQ(cdfs::cumgam(-3.0, -1.0), 0.0);
    EXPECT_EQ(cdfs::cumgam(3.0, -1.0), 2.0); // the error value passes through
    EXPECT_EQ(cdfs::cumchi(3.0, -2.0), 2.0);

    for (double x : {0.01, 0.5, 1.0, 3.0, 10.0, 30.0, 60.0}) {
        // Shape 1: 1 - exp(-x/2), to the six digits of the cumulative routine.
        EXPECT_LE(relativeError(cdfs::cumchi(x, 2.0), -std::expm1(-x / 2.0)), 5e-7) << "x = " << x;
        // Shape 1/2: erf(sqrt(x/2)), exactly as the ratio forms it.
        double p = 0.0;
        double q = 0.0;
        cdfs::gratio(0.5, x / 2.0, p, q, 1);
        EXPECT_EQ(cdfs::cumchi(x, 1.0), p) << "x = " << x;
        EXPECT_LE(relativeError(p, std::erf(std::sqrt(x / 2.0))), 1e-15) << "x = " << x;
    }
    // The argument order: x first, shape second.
    double p = 0.0;
    double q = 0.0;
    cdfs::gratio(3.0, 2.0, p, q, 1);
    EXPECT_EQ(cdfs::cumgam(2.0, 3.0), p);
    EXPECT_EQ(cdfs::cumchi(4.0, 6.0), p);
}

}  // namespace

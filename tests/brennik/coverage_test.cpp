// Whole coverage integrals of a few cases (the probability that a limit
// misses theta must be the level's complement), and the limit entries that
// the integrands call.

#include "brennik/verification.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using verify::Case;

constexpr double quadTol = 1.0e-6;

verify::Quadrature integral(const verify::Integrand& f, int which, double a, double b, const Case& c)
{
    return verify::AdapQuad(f, which, a, b, c, quadTol);
}

// P(limit < theta) over [quadTol, 1 - quadTol], as the driver splits it.
double missBelow(const verify::Integrand& f, int which, const Case& c)
{
    const double low = integral(f, which, quadTol, 0.5, c).value;
    const double high = integral(f, which, 0.5, 1.0 - quadTol, c).value;
    return low + high;
}

struct CoverageRow {
    double alpha;
    double nu;
    double sigma;
    double tolerance; // on the coverage error, about twice the error observed
};

// The one-sided upper limit misses theta from below with probability
// 1 - alpha. The integration leaves out u within 1e-6 of 0 and 1, so the
// coverage error is of that order.
TEST(Coverage, OneSidedUpperLimit)
{
    const CoverageRow rows[] = {
        {0.95, 2.0, 1.0, 1.0e-6},  // observed -4.3e-7
        {0.05, 3.0, 10.0, 2.0e-6}, // -1.0e-6
        {0.99, 10.0, 0.1, 1.5e-6}, // 6.3e-7
        {0.01, 5.0, 0.1, 5.0e-6},  // -2.8e-6
        {0.9, 100.0, 1.0, 1.0e-7}, // -4.9e-9
    };
    for (const CoverageRow& r : rows) {
        const Case c{0.0, r.sigma, 0.5, r.nu, r.alpha, 1.0e-8, -1.0};
        EXPECT_NEAR(missBelow(verify::OneTailPqDiff, 2, c), 1.0 - r.alpha, r.tolerance)
            << r.alpha << " " << r.nu << " " << r.sigma;
    }
}

// The pair misses theta with probability 1 - alpha: below by the upper limit
// plus above by the lower limit.
TEST(Coverage, TwoSidedPair)
{
    const CoverageRow rows[] = {
        {0.95, 2.0, 1.0, 3.0e-6},  // observed 1.5e-6
        {0.9, 5.0, 10.0, 5.0e-7},  // 1.9e-7
        {0.99, 10.0, 0.1, 5.0e-6}, // 2.5e-6
    };
    for (const CoverageRow& r : rows) {
        const Case c{0.0, r.sigma, 0.5, r.nu, r.alpha, 1.0e-8, -1.0};
        const double upperMisses = missBelow(verify::TwoTailPqDiff, 2, c);
        const double lowerMisses = 1.0 - missBelow(verify::TwoTailPqDiff, 1, c);
        EXPECT_NEAR(upperMisses + lowerMisses, 1.0 - r.alpha, r.tolerance)
            << r.alpha << " " << r.nu << " " << r.sigma;
    }
}

TEST(Integrands, WhichSelectsTheTwoSidedLimitOnly)
{
    const Case c{0.0, 1.0, 0.5, 5.0, 0.95, 1.0e-8, -1.0};
    for (const double u : {0.01, 0.5, 0.99}) {
        // The lower limit lies below theta more often than the upper one.
        EXPECT_GT(verify::TwoTailPqDiff(1, u, c), verify::TwoTailPqDiff(2, u, c) + 0.01) << u;
        EXPECT_EQ(verify::OneTailPqDiff(1, u, c), verify::OneTailPqDiff(2, u, c)) << u;
    }
}

// At u = 0.5 the sample standard deviation is sigma times the square root of
// the chi-square median over nu; the one-sided limit of level 0.5 from it
// is then compared with theta through Phi with scale sigma / sqrt(nu + 1).
TEST(Integrands, OneSidedIntegrandIsNormalOfTheStandardizedMiss)
{
    const Case c{1.5, 2.0, 0.5, 10.0, 0.9, 1.0e-8, -1.0};
    // chi-square(10) median, from mpmath: chi2.ppf(0.5, 10).
    const double median = 9.3418177655919;
    const double sigmahat = std::sqrt(median / 10.0) * 2.0;
    const double L = verify::VeriOneLimit(1.5, sigmahat, 0.5, 10.0, 0.9, 1.0e-8, -1.0);
    const double theta = 1.5 + 0.5 * 4.0;
    const double want = 0.5 * std::erfc(-(theta - L) / (2.0 / std::sqrt(11.0)) / std::sqrt(2.0));
    EXPECT_NEAR(verify::OneTailPqDiff(2, 0.5, c), want, 1.0e-6);
}

// The entries take their settings with the call: a pair and a one-sided
// limit computed with different tolerances keep their order.
TEST(Limits, EntriesTakeTheirOwnSettings)
{
    const double one = verify::VeriOneLimit(0.0, 1.0, 0.5, 5.0, 0.95, 1.0e-8, -1.0);
    // The one-sided limit of level 0.95 lies above mu-hat + lambda sigma-hat^2.
    EXPECT_GT(one, 0.5);
    const double lower = verify::VeriTwoLimit(1, 0.0, 1.0, 5.0, 0.95, 0.5, 2.0e-8, 1.0e-12);
    const double upper = verify::VeriTwoLimit(2, 0.0, 1.0, 5.0, 0.95, 0.5, 1.0e-8, -1.0);
    EXPECT_LT(lower, 0.5);
    EXPECT_GT(upper, one);
}

} // namespace

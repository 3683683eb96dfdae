// Whole coverage integrals of a few cases (the probability that a limit
// misses theta must be the level's complement), and the limit entries that
// the integrands call.

#include "brennik/verification.h"

#include <gtest/gtest.h>

#include <algorithm>
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
        {0.9, 100.0, 1.0, 1.5e-6}, // -8.7e-7, nearly all of it the ends left out
    };
    for (const CoverageRow& r : rows) {
        const Case c{0.0, r.sigma, 0.5, r.nu, r.alpha, 1.0e-8, -1.0};
        EXPECT_NEAR(missBelow(verify::OneTailPqDiff, 2, c), 1.0 - r.alpha, r.tolerance)
            << r.alpha << " " << r.nu << " " << r.sigma;
    }
}

// The normal probability at z, and the z at which it is p.
double Phi(double z)
{
    return 0.5 * std::erfc(-z / std::sqrt(2.0));
}

double PhiInverse(double p)
{
    double z = 0.0;
    for (int k = 0; k < 60; ++k) {
        const double step = (Phi(z) - p) / (std::exp(-z * z / 2.0) / std::sqrt(2.0 * std::acos(-1.0)));
        z -= step;
        if (std::fabs(step) < 1.0e-15 * std::max(1.0, std::fabs(z))) break;
    }
    return z;
}

// The integral of f over u in [Phi(za), Phi(zb)], taken in z = PhiInverse(u)
// (du = phi(z) dz, which evens out the quantile's steep ends) by the
// 10-point Gauss-Legendre rule on 20 equal panels. Doubling the panels
// changes the cases below by less than 1e-12.
double referenceIntegral(const verify::Integrand& f, int which, double za, double zb, const Case& c)
{
    // Abscissas and weights of the 10-point Gauss-Legendre rule on [-1, 1] (Abramowitz and Stegun, 25.4.30).
    constexpr double x[] = {0.1488743389816312, 0.4333953941292472, 0.6794095682990244, 0.8650633666889845,
                            0.9739065285171717};
    constexpr double w[] = {0.2955242247147529, 0.2692667193099963, 0.2190863625159820, 0.1494513491505806,
                            0.0666713443086881};
    constexpr int panels = 20;
    const double h = (zb - za) / panels;
    double sum = 0.0;
    for (int p = 0; p < panels; ++p) {
        const double mid = za + (p + 0.5) * h;
        for (int k = 0; k < 5; ++k)
            for (const double z : {mid - x[k] * h / 2.0, mid + x[k] * h / 2.0})
                sum += w[k] * h / 2.0 * f(which, Phi(z), c) * std::exp(-z * z / 2.0) /
                       std::sqrt(2.0 * std::acos(-1.0));
    }
    return sum;
}

// Over the driver's two ranges the quadrature agrees with an independent
// rule to within 1e-6 (with limits to 1e-10, so that the integrand is
// smooth). These are cases where the first Simpson points of a range agree
// by chance: accepting them at once was off by 1.9e-5, 3.2e-6 and 4.0e-6.
TEST(Coverage, QuadratureAgreesWithAnIndependentRule)
{
    const struct {
        double alpha, nu, sigma;
    } rows[] = {{0.1, 1000.0, 1.0}, {0.001, 100.0, 0.1}, {0.001, 1000.0, 0.1}};
    for (const auto& r : rows) {
        const Case c{0.0, r.sigma, 0.5, r.nu, r.alpha, 1.0e-10, -1.0};
        const double reference = referenceIntegral(verify::OneTailPqDiff, 2, PhiInverse(quadTol), 0.0, c) +
                                 referenceIntegral(verify::OneTailPqDiff, 2, 0.0, PhiInverse(1.0 - quadTol), c);
        EXPECT_NEAR(missBelow(verify::OneTailPqDiff, 2, c), reference, 1.0e-6)
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

// Rough quantiles for the starting values of the exact core. (Elementary
// functions from node_math.h: the searches' paths, and so their last digits,
// are the same on every machine.)

#include "engine/exact/starting_values.h"

#include "engine/exact/node_math.h"

#include <algorithm>
#include <cmath>

namespace engine::exact::detail {

namespace {

constexpr double sqrt2 = 1.4142135623730951;
constexpr double invSqrt2Pi = 0.3989422804014327;
constexpr int normalNewtonSteps = 3;

// ln Gamma(x) for x >= 1 by shifting up to 8 and Stirling's series; enough
// for a starting value and free of the global sign that lgamma may set.
double logGamma(double x)
{
    double shift = 0.0;
    while (x < 8.0) {
        shift -= logOf(x);
        x += 1.0;
    }
    const double x2 = 1.0 / (x * x);
    return shift + (x - 0.5) * logOf(x) - x + 0.9189385332046728 +
           (1.0 / 12.0 - x2 * (1.0 / 360.0 - x2 / 1260.0)) / x;
}

} // namespace

double normalQuantile(double p)
{
    const double tail = std::min(p, 1.0 - p);
    const double t = std::sqrt(-2.0 * logOf(tail));
    // Rational approximation of the upper quantile (absolute error below 5e-4).
    double z = t - (2.515517 + t * (0.802853 + t * 0.010328)) /
                       (1.0 + t * (1.432788 + t * (0.189269 + t * 0.001308)));
    if (p < 0.5) z = -z;
    for (int i = 0; i < normalNewtonSteps; ++i) {
        const double cdf = 0.5 * std::erfc(-z / sqrt2);
        const double density = invSqrt2Pi * expOf(-0.5 * z * z);
        if (density <= 0.0) break;
        z -= (cdf - p) / density;
    }
    // erfc (through its exp) may round differently on processors with fused
    // multiply-add; kept to 26 significant bits, z (and every search path
    // that starts from it) is the same everywhere unless it lies within an
    // ulp of such a rounding boundary.
    int exponent = 0;
    const double fraction = std::frexp(z, &exponent);
    return std::ldexp(std::nearbyint(std::ldexp(fraction, 26)), exponent - 26);
}

double studentQuantile(double p, double nu)
{
    if (nu == 2.0) return (2.0 * p - 1.0) / std::sqrt(2.0 * p * (1.0 - p));
    if (nu == 4.0) {
        const double a = 4.0 * p * (1.0 - p);
        double sinThird, cosThird;
        sinCosOf(angleOf(std::sqrt(1.0 - a), std::sqrt(a)) / 3.0, sinThird, cosThird);
        const double q = cosThird / std::sqrt(a);
        const double t = 2.0 * std::sqrt(q - 1.0);
        return p < 0.5 ? -t : t;
    }
    const double z = normalQuantile(p);
    const double z2 = z * z;
    const double g1 = z * (z2 + 1.0) / 4.0;
    const double g2 = z * ((5.0 * z2 + 16.0) * z2 + 3.0) / 96.0;
    const double g3 = z * (((3.0 * z2 + 19.0) * z2 + 17.0) * z2 - 15.0) / 384.0;
    return z + (g1 + (g2 + g3 / nu) / nu) / nu;
}

double chiSquareQuantile(double q, double nu)
{
    const double z = normalQuantile(q);
    const double a = 2.0 / (9.0 * nu);
    const double cube = 1.0 - a + z * std::sqrt(a);
    const double wilsonHilferty = cube > 0.0 ? nu * cube * cube * cube : 0.0;
    // P(chi2 <= x) <= (x/2)^(nu/2) / Gamma(nu/2 + 1): the quantile is at least
    // the x where that bound reaches q.
    const double k = 0.5 * nu;
    const double bound = 2.0 * expOf((logOf(q) + logGamma(k + 1.0)) / k);
    return std::max(wilsonHilferty, bound);
}

double oneSidedStart(double S, double nu, double p)
{
    const double tTerm = std::sqrt(nu / (nu + 1.0)) * studentQuantile(p, nu);
    // Large S: theta is driven by sigma^2, the upper limit near S^2 nu / (2 q)
    // with q the chi-square quantile of 1 - p.
    const double q = chiSquareQuantile(1.0 - p, nu);
    const double chiTerm = 0.5 * S * std::sqrt(nu) * (nu / q - 1.0);
    if ((tTerm < 0.0) != (chiTerm < 0.0)) return tTerm + chiTerm;
    return std::copysign(std::sqrt(tTerm * tTerm + chiTerm * chiTerm), tTerm);
}

} // namespace engine::exact::detail

// Rough quantiles for the starting values of the exact core. (Elementary
// functions from node_math.h: the searches' paths, and so their last digits,
// are the same on every machine.)

#include "engine/exact/starting_values.h"

#include "engine/exact/node_math.h"
#include "engine/exact/start_grid.h"
#include "engine/exact/start_tables.h"

#include <algorithm>
#include <cmath>

namespace engine::exact::detail {

namespace {

constexpr double sqrt2 = 1.4142135623730951;
constexpr double invSqrt2Pi = 0.3989422804014327;
constexpr int normalHalleySteps = 1;

// ln Gamma(x) for x >= 1 by shifting up to 8 and Stirling's series; enough
// for a starting value and free of the global sign that lgamma may set.
double logGamma(double x)
{
    double product = 1.0; // at most 8^7
    while (x < 8.0) {
        product *= x;
        x += 1.0;
    }
    const double shift = -logOf(product);
    const double x2 = 1.0 / (x * x);
    return shift + (x - 0.5) * logOf(x) - x + 0.9189385332046728 +
           (1.0 / 12.0 - x2 * (1.0 / 360.0 - x2 / 1260.0)) / x;
}

// The cubic through the four grid nodes from `base` at position x (in grid
// steps, 0 at the first node): the base and the Lagrange weights. Positions
// off the grid (an infinite spread gives NaN) take its nearest end.
int cubicAt(double x, int count, double* weight)
{
    x = x >= 0.0 ? std::min(x, count - 1.0) : 0.0;
    const int base = std::clamp(static_cast<int>(std::floor(x)) - 1, 0, count - 4);
    const double t = x - base;
    weight[0] = -(t - 1.0) * (t - 2.0) * (t - 3.0) / 6.0;
    weight[1] = t * (t - 2.0) * (t - 3.0) / 2.0;
    weight[2] = -t * (t - 1.0) * (t - 3.0) / 2.0;
    weight[3] = t * (t - 1.0) * (t - 2.0) / 6.0;
    return base;
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
    // Halley's step on the normal distribution function (its density's
    // slope is -z times the density): 5e-4, then about 1e-10, far below the
    // 26 bits kept (a second step moved one quantile in a thousand).
    for (int i = 0; i < normalHalleySteps; ++i) {
        const double cdf = 0.5 * std::erfc(-z / sqrt2);
        const double density = invSqrt2Pi * expOf(-0.5 * z * z);
        if (density <= 0.0) break;
        const double r = (cdf - p) / density;
        z -= r / (1.0 + 0.5 * z * r);
    }
    // erfc (through its exp) may round differently on processors with fused
    // multiply-add; kept to 26 significant bits, z (and every search path
    // that starts from it) is the same everywhere unless it lies within an
    // ulp of such a rounding boundary.
    int exponent = 0;
    const double fraction = std::frexp(z, &exponent);
    return std::ldexp(std::nearbyint(std::ldexp(fraction, 26)), exponent - 26);
}

namespace {

// The Cornish-Fisher expansion of the Student-t quantile from the normal
// quantile z of the same level: smooth in nu.
double cornishFisherFrom(double z, double nu)
{
    const double z2 = z * z;
    const double g1 = z * (z2 + 1.0) / 4.0;
    const double g2 = z * ((5.0 * z2 + 16.0) * z2 + 3.0) / 96.0;
    const double g3 = z * (((3.0 * z2 + 19.0) * z2 + 17.0) * z2 - 15.0) / 384.0;
    return z + (g1 + (g2 + g3 / nu) / nu) / nu;
}

// Where the Student-t forms make the one-sided starts exact: S = 0 at nu = 2 and 4.
bool exactStudent(double S, double nu)
{
    return S == 0.0 && (nu == 2.0 || nu == 4.0);
}

} // namespace

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
    return cornishFisherFrom(normalQuantile(p), nu);
}

namespace {

// Wilson-Hilferty's chi-square quantile and the lower bound from the leading
// term of the lower-tail series: P(chi2 <= x) <= (x/2)^(nu/2) / Gamma(nu/2 + 1),
// so the quantile is at least the x where that bound reaches q.
struct ChiSquareParts {
    double wilsonHilferty;
    double bound;
};
// z: the normal quantile of level q.
ChiSquareParts chiSquareParts(double q, double z, double nu)
{
    const double a = 2.0 / (9.0 * nu);
    const double cube = 1.0 - a + z * std::sqrt(a);
    const double k = 0.5 * nu;
    return {cube > 0.0 ? nu * cube * cube * cube : 0.0, 2.0 * expOf((logOf(q) + logGamma(k + 1.0)) / k)};
}

// The one-sided start from a Student-t quantile t of level p and a
// chi-square quantile q of level 1 - p.
double startFrom(double t, double q, double S, double nu)
{
    const double tTerm = std::sqrt(nu / (nu + 1.0)) * t;
    // Large S: theta is driven by sigma^2, the upper limit near S^2 nu / (2 q).
    const double chiTerm = 0.5 * S * std::sqrt(nu) * (nu / q - 1.0);
    if ((tTerm < 0.0) != (chiTerm < 0.0)) return tTerm + chiTerm;
    return std::copysign(std::sqrt(tTerm * tTerm + chiTerm * chiTerm), tTerm);
}

// The chi-square quantile of level q (z its normal quantile) as the maximum
// of its two parts, rounded off where they come within a tenth of each other
// (the plain maximum has a kink, which the tabulated factors would inherit).
double smoothChiSquareQuantile(double q, double z, double nu)
{
    const ChiSquareParts parts = chiSquareParts(q, z, nu);
    const double larger = std::max(parts.wilsonHilferty, parts.bound);
    const double gap = std::fabs(parts.wilsonHilferty - parts.bound);
    const double band = 0.05 * (parts.wilsonHilferty + parts.bound);
    return gap >= band ? larger : larger + (band - gap) * (band - gap) / (4.0 * band);
}

// The start of level p (z its normal quantile; that of 1 - p is -z) that the
// factors multiply: smooth in nu, S and p.
double smoothStart(double S, double nu, double p, double z)
{
    return startFrom(cornishFisherFrom(z, nu), smoothChiSquareQuantile(1.0 - p, -z, nu), S, nu);
}

// The one-sided start without its factor: exact Student-t forms at nu = 2
// and 4.
double plainOneSidedStart(double S, double nu, double p)
{
    // One normal quantile for both: that of level 1 - p is -z.
    const double z = normalQuantile(p);
    const double t = nu == 2.0 || nu == 4.0 ? studentQuantile(p, nu) : cornishFisherFrom(z, nu);
    const ChiSquareParts parts = chiSquareParts(1.0 - p, -z, nu);
    return startFrom(t, std::max(parts.wilsonHilferty, parts.bound), S, nu);
}

// A point of the factor tables: the first grid node of each coordinate's
// cubic and its weights; `inside` is false for levels off the table.
struct GridPoint {
    bool inside;
    int i0, j0, k0;
    double wx[4], wy[4], wz[4];

    // y = -log10(1 - L), L the two-sided level of the grid.
    GridPoint(double S, double nu, double y)
    {
        const StartGrid& g = startGrid;
        const double z = (y - g.levelFirst) / g.levelStep;
        inside = z >= 0.0 && z <= g.levelCount - 1;
        // Positions in grid steps; spreads beyond the last node take its factors.
        const double x = std::sqrt(2.0 / nu) * (g.nuCount - 1);
        const double w = std::min(S / (1.0 + S), g.spreadStep * (g.spreadCount - 1)) / g.spreadStep;
        i0 = cubicAt(x, g.nuCount, wx);
        j0 = cubicAt(w, g.spreadCount, wy);
        k0 = cubicAt(z, g.levelCount, wz);
    }

    double factor(const StartTable& table) const
    {
        double sum = 0.0;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                for (int k = 0; k < 4; ++k) sum += wx[i] * wy[j] * wz[k] * table[i0 + i][j0 + j][k0 + k];
        return sum;
    }
};

constexpr double ln10 = 2.302585092994046;

} // namespace

double oneSidedStart(double S, double nu, double p)
{
    // Off the table (a tail beyond a quarter or below 4.5e-5), and where the
    // Student-t forms are exact (S = 0 at nu = 2 and 4), the plain start.
    const bool upper = p > 0.5;
    const double tail = upper ? 1.0 - p : p;
    const GridPoint at(S, nu, -logOf(2.0 * tail) / ln10);
    if (!at.inside || exactStudent(S, nu)) return plainOneSidedStart(S, nu, p);
    return smoothStart(S, nu, p, normalQuantile(p)) * at.factor(upper ? oneSidedUpper : oneSidedLower);
}

PairStart pairBase(double S, double nu, double L)
{
    const double z = normalQuantile(0.5 * (1.0 + L));
    return {smoothStart(S, nu, 0.5 * (1.0 - L), -z), smoothStart(S, nu, 0.5 * (1.0 + L), z)};
}

PairStart twoSidedStart(double S, double nu, double L)
{
    const GridPoint at(S, nu, -logOf(1.0 - L) / ln10);
    // Outside the table, and where the one-sided starts give the symmetric
    // Student-t pair exactly (S = 0 at nu = 2 and 4), the plain one-sided starts.
    if (!at.inside || exactStudent(S, nu))
        return {plainOneSidedStart(S, nu, 0.5 * (1.0 - L)), plainOneSidedStart(S, nu, 0.5 * (1.0 + L))};
    const PairStart plain = pairBase(S, nu, L);
    return {plain.lower * at.factor(pairLower), plain.upper * at.factor(pairUpper)};
}

} // namespace engine::exact::detail

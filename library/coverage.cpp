// Expectations over the sampling distribution of sigma-hat, and the coverage
// of the limits computed from them.

#include <velmar/velmar.h>

#include "engine/loggamma.h"
#include "library/spread_integral.h"
#include "library/text.h"

#include <algorithm>
#include <limits>
#include <cmath>
#include <numbers>
#include <queue>
#include <vector>

namespace velmar {

namespace detail {

namespace {

// 15-point Kronrod extension of the 7-point Gauss-Legendre rule: abscissae
// (descending, from 1 to the centre) and weights; Gauss weights at the odd
// Kronrod abscissae. Values as tabulated by Piessens et al., QUADPACK (1983).
constexpr double kronrodNodes[8] = {
    0.991455371120812639206854697526329, 0.949107912342758524526189684047851,
    0.864864423359769072789712788640926, 0.741531185599394439863864773280788,
    0.586087235467691130294144845693013, 0.405845151377397166906606412076961,
    0.207784955007898467600689403773245, 0.0};
constexpr double kronrodWeights[8] = {
    0.022935322010529224963732008058970, 0.063092092629978553290700663189204,
    0.104790010322250183839876322541518, 0.140653259715525918745189590510238,
    0.169004726639267902826583426598550, 0.190350578064785409913256402421014,
    0.204432940075298892414161999234649, 0.209482141084727828012999174891714};
constexpr double gaussWeights[4] = {0.129484966168869693270611432679082, 0.279705391489276667901467771423780,
                                    0.381830050505118944950369775488975, 0.417959183673469387755102040816327};

// Most subintervals before the integration gives up (15 evaluations each).
constexpr int maxIntervals = 200;

// The density is cut off where it falls below this fraction of its peak: the
// mass beyond is below 1e-13.
constexpr double logCutoff = -32.0;

// ln of the density of z = ln(X / nu), X ~ chi-square(nu), with k = nu/2:
// k (z - e^z + 1) + k ln k - k - ln Gamma(k). The last three terms cancel
// heavily for large k and are taken from Stirling's series there.
struct LogDensity {
    double k;
    double peak; // the value at z = 0

    explicit LogDensity(double nu) : k(nu / 2.0)
    {
        if (k > 10.0) {
            const double k2 = k * k;
            const double series = (1.0 / 12.0 - (1.0 / 360.0 - (1.0 / 1260.0 - 1.0 / (1680.0 * k2)) / k2) / k2) / k;
            peak = 0.5 * std::log(k / (2.0 * std::numbers::pi)) - series;
        } else {
            peak = k * std::log(k) - k - engine::loggamma(k); // re-entrant, unlike std::lgamma
        }
    }
    // Relative to the peak.
    double relative(double z) const { return -k * (std::expm1(z) - z); }
    double operator()(double z) const { return peak + relative(z); }
};

struct Piece {
    double a, b;
    std::array<double, 2> value;
    double error;
    bool operator<(const Piece& other) const { return error < other.error; }
};

} // namespace

SpreadIntegral expect_over_spread(double nu, const std::function<std::array<double, 2>(double)>& f, double tolerance)
{
    const LogDensity logDensity(nu);
    // The range of z: out from the peak until the density is negligible.
    const auto edge = [&](double direction) {
        double d = 1.0 / std::sqrt(nu);
        while (logDensity.relative(direction * d) > logCutoff) d *= 2.0;
        double inside = 0.0; // bisect between a point above the cut-off and one below
        for (int i = 0; i < 60; ++i) {
            const double mid = 0.5 * (inside + d);
            (logDensity.relative(direction * mid) > logCutoff ? inside : d) = mid;
        }
        return direction * d;
    };
    int evaluations = 0;
    const auto rule = [&](double a, double b) {
        const double centre = 0.5 * (a + b), half = 0.5 * (b - a);
        std::array<double, 2> kronrod{}, gauss{};
        for (int i = 0; i < 8; ++i) {
            const double x = kronrodNodes[i] * half;
            for (const double z : {centre - x, centre + x}) {
                const double weight = std::exp(logDensity(z));
                const std::array<double, 2> v = f(std::exp(0.5 * z));
                ++evaluations;
                for (int j = 0; j < 2; ++j) {
                    kronrod[j] += kronrodWeights[i] * weight * v[j];
                    if (i % 2 == 1) gauss[j] += gaussWeights[i / 2] * weight * v[j];
                }
                if (i == 7) break; // the centre once
            }
        }
        Piece p{a, b, {kronrod[0] * half, kronrod[1] * half}, 0.0};
        for (int j = 0; j < 2; ++j) p.error = std::max(p.error, std::abs(kronrod[j] - gauss[j]) * half);
        return p;
    };

    std::priority_queue<Piece> pieces;
    const double low = edge(-1.0), high = edge(1.0);
    pieces.push(rule(low, 0.0)); // the peak on a boundary: both halves are smooth and one-signed
    pieces.push(rule(0.0, high));
    const auto totals = [&] {
        std::priority_queue<Piece> copy = pieces;
        SpreadIntegral s{{0.0, 0.0}, 0.0, evaluations, false};
        while (!copy.empty()) {
            for (int j = 0; j < 2; ++j) s.value[j] += copy.top().value[j];
            s.error += copy.top().error;
            copy.pop();
        }
        return s;
    };
    SpreadIntegral s = totals();
    while (s.error > tolerance && static_cast<int>(pieces.size()) < maxIntervals) {
        const Piece worst = pieces.top();
        pieces.pop();
        const double mid = 0.5 * (worst.a + worst.b);
        pieces.push(rule(worst.a, mid));
        pieces.push(rule(mid, worst.b));
        s = totals();
    }
    s.converged = s.error <= tolerance;
    return s;
}

} // namespace detail

namespace {

// The estimate's own tolerance leaves room for the quadrature's error estimate.
constexpr double coverageTolerance = 1e-10;

double normalCdf(double x)
{
    return 0.5 * std::erfc(-x / std::numbers::sqrt2);
}

// A limit that could not be computed ends the integration.
struct LimitFailed {
    Outcome outcome;
    double sigmaHat;
};

} // namespace

Coverage coverage(double n, double sigma, double lambda, double level, Side side)
{
    if (!(n >= 3.0) || !std::isfinite(n)) refuse("n", n, "must be finite and at least 3");
    if (!(sigma > 0.0) || !std::isfinite(sigma)) refuse("sigma", sigma, "must be finite and positive");
    check_level(level);
    if (!std::isfinite(lambda)) refuse("lambda", lambda, "must be finite");
    const double nu = n - 1.0;
    const double theta = lambda * sigma * sigma; // mu = 0: the coverage does not depend on it
    const double spreadOfMean = sigma / std::sqrt(n);
    // P(limit >= theta) over mu-hat, for a limit computed at mu-hat = mu.
    const auto above = [&](const Limit& limit, double t) {
        if (!usable(limit.outcome)) throw LimitFailed{limit.outcome, t * sigma};
        return normalCdf((limit.value - theta) / spreadOfMean);
    };
    int evaluations = 0;
    // Each side's P(limit >= theta); an absent side counts as 0.
    const auto f = [&](double t) -> std::array<double, 2> {
        const Limits l = limits({0.0, sigma * t, nu, n}, lambda, level, side);
        ++evaluations;
        return {l.lower ? above(*l.lower, t) : 0.0, l.upper ? above(*l.upper, t) : 0.0};
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Coverage c{nan, nan, 0, Outcome::converged, nan};
    try {
        const detail::SpreadIntegral s = detail::expect_over_spread(nu, f, coverageTolerance);
        // P(lower <= theta <= upper) = P(upper >= theta) - P(lower > theta).
        const bool hasLower = side != Side::upper, hasUpper = side != Side::lower;
        c.value = (hasUpper ? s.value[1] : 1.0) - (hasLower ? s.value[0] : 0.0);
        c.error = hasLower && hasUpper ? 2.0 * s.error : s.error;
        if (!s.converged) c.outcome = Outcome::integral_failed;
    } catch (const LimitFailed& failed) {
        c.value = nan;
        c.outcome = failed.outcome;
        c.failed_sigma_hat = failed.sigmaHat;
    }
    c.evaluations = evaluations;
    return c;
}

} // namespace velmar

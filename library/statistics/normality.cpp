// Tests of normality: Shapiro-Wilk W with Royston's p-value approximation
// (Royston 1992, 1995: Applied Statistics algorithm AS R94), and the
// Anderson-Darling A2 with estimated parameters and D'Agostino and Stephens'
// p-value formula (1986, Table 4.9).

#include "library/statistics/statistics.h"

#include "library/statistics/boost_policy.h"
#include "library/statistics/checks.h"

#include <boost/math/distributions/normal.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace velmar::statistics {

namespace {

using normal = boost::math::normal_distribution<double, boost_policy>;

// c[0] + c[1] x + c[2] x^2 + ... (coefficients in ascending order).
template <std::size_t N>
double poly(const std::array<double, N>& c, double x)
{
    double sum = 0.0;
    for (std::size_t i = N; i-- > 0;) sum = sum * x + c[i];
    return sum;
}

// The Shapiro-Wilk coefficients a(1..n) (0-based here), antisymmetric.
std::vector<double> shapiro_wilk_coefficients(std::size_t n)
{
    std::vector<double> a(n, 0.0);
    if (n == 3) {
        a[2] = std::sqrt(0.5);
        a[0] = -a[2];
        return a;
    }
    // Blom-type scores m(i) = Phi^-1((i - 0.375)/(n + 0.25)), from the lower
    // half (exact small probabilities) and mirrored, so m is antisymmetric.
    std::vector<double> m(n, 0.0);
    const double an = static_cast<double>(n);
    for (std::size_t i = 0; i < n / 2; ++i) {
        m[i] = boost::math::quantile(normal(), (static_cast<double>(i + 1) - 0.375) / (an + 0.25));
        m[n - 1 - i] = -m[i];
    }
    double M = 0.0;
    for (const double v : m) M += v * v;

    // Royston (1992): corrections of the two outermost coefficients, in u = 1/sqrt(n).
    constexpr std::array<double, 6> c1{0.0, 0.221157, -0.147981, -2.071190, 4.434685, -2.706056};
    constexpr std::array<double, 6> c2{0.0, 0.042981, -0.293762, -1.752461, 5.682633, -3.582633};
    const double u = 1.0 / std::sqrt(an);
    const double last = m[n - 1] / std::sqrt(M) + poly(c1, u);
    a[n - 1] = last;
    a[0] = -last;
    std::size_t first_middle = 1;
    double phi;
    if (n >= 6) {
        const double next = m[n - 2] / std::sqrt(M) + poly(c2, u);
        a[n - 2] = next;
        a[1] = -next;
        phi = (M - 2.0 * m[n - 1] * m[n - 1] - 2.0 * m[n - 2] * m[n - 2]) /
              (1.0 - 2.0 * last * last - 2.0 * next * next);
        first_middle = 2;
    } else {
        phi = (M - 2.0 * m[n - 1] * m[n - 1]) / (1.0 - 2.0 * last * last);
    }
    for (std::size_t i = first_middle; i < n - first_middle; ++i) a[i] = m[i] / std::sqrt(phi);
    return a;
}

// Royston's (1995) normalising transformations of 1 - W to an upper-tail p.
double shapiro_wilk_p(std::size_t n, double w, double one_minus_w)
{
    if (n == 3) {
        const double p = 6.0 / std::numbers::pi * (std::asin(std::sqrt(w)) - std::asin(std::sqrt(0.75)));
        return std::max(p, 0.0);
    }
    const double an = static_cast<double>(n);
    double y = std::log(one_minus_w);
    double mu, sigma;
    if (n <= 11) {
        constexpr std::array<double, 2> g{-2.273, 0.459};
        constexpr std::array<double, 4> c3{0.5440, -0.39978, 0.025054, -0.0006714};
        constexpr std::array<double, 4> c4{1.3822, -0.77857, 0.062767, -0.0020322};
        const double gamma = poly(g, an);
        // The transformation -ln(gamma - y) is defined only below gamma;
        // beyond it the approximation puts p below 1e-99.
        if (y >= gamma) return 1e-99;
        y = -std::log(gamma - y);
        mu = poly(c3, an);
        sigma = std::exp(poly(c4, an));
    } else {
        constexpr std::array<double, 4> c5{-1.5861, -0.31082, -0.083751, 0.0038915};
        constexpr std::array<double, 3> c6{-0.4803, -0.082676, 0.0030302};
        const double v = std::log(an);
        mu = poly(c5, v);
        sigma = std::exp(poly(c6, v));
    }
    return boost::math::cdf(boost::math::complement(normal(), (y - mu) / sigma));
}

// ln Phi(z) without underflow: Boost's cdf where it is a normal number, and
// beyond z = -37 the asymptotic series of Mills' ratio,
// ln Phi(z) = -z^2/2 - ln(-z) - ln sqrt(2 pi) + ln(1 - 1/z^2 + 3/z^4 - 15/z^6 ...),
// whose seventh term is below 1e-15 there.
double log_normal_cdf(double z)
{
    if (z > 0.0) return std::log1p(-boost::math::cdf(normal(), -z));
    if (z > -37.0) return std::log(boost::math::cdf(normal(), z));
    const double r = 1.0 / (z * z);
    double series = 1.0, term = 1.0;
    for (int k = 1; k <= 7; ++k) {
        term *= -(2.0 * k - 1.0) * r;
        series += term;
    }
    return -0.5 * z * z - std::log(-z) - 0.5 * std::log(2.0 * std::numbers::pi) + std::log(series);
}

} // namespace

std::optional<TestResult> shapiro_wilk(std::span<const double> values)
{
    const std::size_t n = values.size();
    if (n < 3 || n > 5000) detail::refuse("n", static_cast<double>(n), "the Shapiro-Wilk test needs 3 to 5000 values");
    std::vector<double> x(values.begin(), values.end());
    std::sort(x.begin(), x.end());
    if (x.front() == x.back()) return std::nullopt;

    const Moments centre = moments(x);
    const std::vector<double> a = shapiro_wilk_coefficients(n);
    double norm_a = 0.0;
    for (const double v : a) norm_a += v * v;
    norm_a = std::sqrt(norm_a);
    double ax = 0.0, squares = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = x[i] - centre.mean;
        ax += a[i] / norm_a * d;
        squares += d * d;
    }
    // 1 - W = |d - (a.d) a|^2 / |d|^2 for the unit vector a: no cancellation
    // where W is near 1.
    double residual = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double r = (x[i] - centre.mean) - ax * (a[i] / norm_a);
        residual += r * r;
    }
    const double one_minus_w = residual / squares;
    const double w = 1.0 - one_minus_w;
    return TestResult{w, shapiro_wilk_p(n, w, one_minus_w)};
}

std::optional<TestResult> anderson_darling(std::span<const double> values)
{
    const std::size_t n = values.size();
    if (n < 8) detail::refuse("n", static_cast<double>(n), "the Anderson-Darling test needs at least 8 values");
    std::vector<double> x(values.begin(), values.end());
    std::sort(x.begin(), x.end());
    if (x.front() == x.back()) return std::nullopt;

    const Moments m = moments(x);
    const double an = static_cast<double>(n);
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double lower = log_normal_cdf((x[i] - m.mean) / m.sd);
        const double upper = log_normal_cdf(-(x[n - 1 - i] - m.mean) / m.sd); // ln(1 - p(n+1-i))
        sum += (2.0 * static_cast<double>(i) + 1.0) * (lower + upper);
    }
    const double a2 = -an - sum / an;

    const double adjusted = a2 * (1.0 + 0.75 / an + 2.25 / (an * an));
    double p;
    if (adjusted < 0.2)
        p = 1.0 - std::exp(-13.436 + 101.14 * adjusted - 223.73 * adjusted * adjusted);
    else if (adjusted < 0.34)
        p = 1.0 - std::exp(-8.318 + 42.796 * adjusted - 59.938 * adjusted * adjusted);
    else if (adjusted < 0.6)
        p = std::exp(0.9177 - 4.279 * adjusted - 1.38 * adjusted * adjusted);
    else if (adjusted < 10.0)
        p = std::exp(1.2937 - 5.709 * adjusted + 0.0186 * adjusted * adjusted);
    else
        p = 3.7e-24;
    return TestResult{a2, p};
}

} // namespace velmar::statistics

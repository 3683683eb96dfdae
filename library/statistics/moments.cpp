// Sample moments of the values and of their logs, the geometric statistics,
// and the minimum-variance unbiased estimate of the lognormal mean.

#include "library/statistics/statistics.h"

#include "library/statistics/boost_policy.h"
#include "library/statistics/checks.h"

#include <boost/math/special_functions/hypergeometric_0F1.hpp>

#include <cmath>
#include <limits>
#include <string>

namespace velmar::statistics {

namespace {

// Mean and sd (divisor n - 1) in two passes, the second about the mean.
template <class Transform>
Moments two_pass(std::span<const double> values, Transform transform)
{
    detail::check_size(values.size(), 1);
    const double n = static_cast<double>(values.size());
    double sum = 0.0;
    for (const double v : values) sum += transform(v);
    const double mean = sum / n;
    double squares = 0.0;
    for (const double v : values) {
        const double d = transform(v) - mean;
        squares += d * d;
    }
    const double sd = values.size() > 1 ? std::sqrt(squares / (n - 1.0)) : std::numeric_limits<double>::quiet_NaN();
    return {static_cast<int>(values.size()), mean, sd};
}

} // namespace

Moments moments(std::span<const double> values)
{
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!std::isfinite(values[i]))
            detail::refuse("values[" + std::to_string(i) + "]", values[i], "every value must be finite");
    return two_pass(values, [](double v) { return v; });
}

Moments log_moments(std::span<const double> values)
{
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!(values[i] > 0.0) || !std::isfinite(values[i]))
            detail::refuse("values[" + std::to_string(i) + "]", values[i], "every value must be positive and finite");
    return two_pass(values, [](double v) { return std::log(v); });
}

double geometric_mean(const Moments& logs) { return std::exp(logs.mean); }

double geometric_sd(const Moments& logs) { return std::exp(logs.sd); }

double finney_g(int n, double t)
{
    if (n < 2) detail::refuse("n", n, "must be at least 2");
    if (!(t >= 0.0) || !std::isfinite(t)) detail::refuse("t", t, "must be finite and at least 0");
    const double m = n - 1.0;
    return boost::math::hypergeometric_0F1(m / 2.0, m * m * t / (2.0 * n), boost_policy());
}

double mvue_mean(const Moments& logs)
{
    return std::exp(logs.mean) * finney_g(logs.n, logs.sd * logs.sd / 2.0);
}

} // namespace velmar::statistics

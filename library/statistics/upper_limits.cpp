// Upper confidence limits of the mean other than the exact lognormal one:
// Student's t and Chebyshev on the values, Cox's method on the logs, and the
// bootstrap-t.

#include "library/statistics/statistics.h"

#include "library/statistics/boost_policy.h"
#include "library/statistics/checks.h"

#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace velmar::statistics {

namespace {

double t_quantile(int n, double level)
{
    return boost::math::quantile(boost::math::students_t_distribution<double, boost_policy>(n - 1.0), level);
}

void check(const Moments& m, double level)
{
    detail::check_level(level);
    detail::check_size(static_cast<std::size_t>(m.n), 2);
}

} // namespace

double student_t_ucl(const Moments& values, double level)
{
    check(values, level);
    return values.mean + t_quantile(values.n, level) * values.sd / std::sqrt(static_cast<double>(values.n));
}

double chebyshev_ucl(const Moments& values, double level)
{
    check(values, level);
    return values.mean + std::sqrt(1.0 / (1.0 - level) - 1.0) * values.sd / std::sqrt(static_cast<double>(values.n));
}

double cox_ucl(const Moments& logs, double level)
{
    check(logs, level);
    const double n = logs.n;
    const double s2 = logs.sd * logs.sd;
    return std::exp(logs.mean + s2 / 2.0 + t_quantile(logs.n, level) * std::sqrt(s2 / n + s2 * s2 / (2.0 * (n - 1.0))));
}

double bootstrap_t_ucl(std::span<const double> values, double level, std::uint64_t seed, int resamples)
{
    detail::check_level(level);
    if (resamples < 1) detail::refuse("resamples", resamples, "must be at least 1");
    const Moments m = moments(values);
    detail::check_size(values.size(), 2);
    const std::size_t n = values.size();
    const double root_n = std::sqrt(static_cast<double>(n));
    constexpr double inf = std::numeric_limits<double>::infinity();

    RandomStream stream(seed);
    std::vector<double> resample(n);
    std::vector<double> t(static_cast<std::size_t>(resamples));
    for (double& tb : t) {
        for (double& v : resample) v = values[stream.index(n)];
        const Moments mb = moments(resample);
        const double difference = mb.mean - m.mean;
        if (mb.sd > 0.0)
            tb = difference / (mb.sd / root_n);
        else
            tb = difference > 0.0 ? inf : difference < 0.0 ? -inf : 0.0;
    }
    const double b = resamples;
    const auto k = static_cast<std::size_t>(std::clamp(std::floor((1.0 - level) * (b + 1.0)), 1.0, b));
    std::nth_element(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(k - 1), t.end());
    return m.mean - t[k - 1] * m.sd / root_n;
}

} // namespace velmar::statistics

// Exposure statistics of a lognormal sample: a percentile with its upper
// tolerance limit, and the fraction above an exposure limit with its exact
// upper confidence limit, both from the noncentral t distribution of
// sqrt(n)(c - ybar)/s.

#include "library/statistics/statistics.h"

#include "library/statistics/boost_policy.h"
#include "library/statistics/checks.h"

#include <boost/math/distributions/non_central_t.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/tools/roots.hpp>
#include <boost/math/tools/toms748_solve.hpp>

#include <cmath>
#include <cstdint>
#include <limits>

namespace velmar::statistics {

namespace {

using normal = boost::math::normal_distribution<double, boost_policy>;
using noncentral_t = boost::math::non_central_t_distribution<double, boost_policy>;

void check_logs(const Moments& logs)
{
    detail::check_size(static_cast<std::size_t>(logs.n), 2);
    if (!std::isfinite(logs.mean)) detail::refuse("mean_log", logs.mean, "must be finite");
    if (!(logs.sd >= 0.0) || !std::isfinite(logs.sd))
        detail::refuse("sd_log", logs.sd, "must be finite and at least 0");
}

// Bounds of the search for the noncentrality: doublings of the bracket, and
// iterations of the TOMS 748 solver within it.
constexpr int bracket_doublings = 60;
constexpr std::uintmax_t solver_iterations = 200;

} // namespace

double lognormal_percentile(const Moments& logs, double p)
{
    check_logs(logs);
    if (!(p > 0.0 && p < 1.0)) detail::refuse("p", p, "must lie strictly between 0 and 1");
    return std::exp(logs.mean + boost::math::quantile(normal(), p) * logs.sd);
}

std::optional<double> percentile_utl(const Moments& logs, double p, double level)
{
    check_logs(logs);
    if (!(p > 0.0 && p < 1.0)) detail::refuse("p", p, "must lie strictly between 0 and 1");
    detail::check_level(level);
    const double root_n = std::sqrt(static_cast<double>(logs.n));
    try {
        const noncentral_t t(logs.n - 1.0, boost::math::quantile(normal(), p) * root_n);
        const double t_level = boost::math::quantile(t, level);
        if (!std::isfinite(t_level)) return std::nullopt;
        return std::exp(logs.mean + logs.sd * t_level / root_n);
    } catch (const boost::math::evaluation_error&) {
        return std::nullopt;
    }
}

double exceedance_fraction(const Moments& logs, double limit)
{
    check_logs(logs);
    if (!(limit > 0.0) || !std::isfinite(limit)) detail::refuse("limit", limit, "must be positive and finite");
    if (logs.sd == 0.0) return std::log(limit) < logs.mean ? 1.0 : 0.0;
    return boost::math::cdf(boost::math::complement(normal(), (std::log(limit) - logs.mean) / logs.sd));
}

std::optional<double> exceedance_ucl(const Moments& logs, double limit, double level)
{
    check_logs(logs);
    if (!(limit > 0.0) || !std::isfinite(limit)) detail::refuse("limit", limit, "must be positive and finite");
    detail::check_level(level);
    if (logs.sd == 0.0) return std::nullopt;
    const double nu = logs.n - 1.0;
    const double root_n = std::sqrt(static_cast<double>(logs.n));
    const double t_observed = root_n * (std::log(limit) - logs.mean) / logs.sd;
    if (!std::isfinite(t_observed)) return std::nullopt;

    // F(t_observed; nu, delta) falls from 1 to 0 as delta rises: find where it equals `level`.
    const auto f = [&](double delta) { return boost::math::cdf(noncentral_t(nu, delta), t_observed) - level; };
    try {
        // Start from the large-sample guess t - z_level and widen until the root is enclosed.
        const double guess = t_observed - boost::math::quantile(normal(), level);
        double low = guess - 1.0, high = guess + 1.0;
        double f_low = f(low), f_high = f(high);
        double step = 2.0;
        int doublings = 0;
        while (f_low < 0.0 && doublings++ < bracket_doublings) {
            high = low;
            f_high = f_low;
            low -= step;
            step *= 2.0;
            f_low = f(low);
        }
        while (f_high > 0.0 && doublings++ < bracket_doublings) {
            low = high;
            f_low = f_high;
            high += step;
            step *= 2.0;
            f_high = f(high);
        }
        if (!(f_low >= 0.0 && f_high <= 0.0)) return std::nullopt;
        if (f_low == 0.0) high = low;
        if (f_high == 0.0) low = high;
        double delta = low;
        if (low != high) {
            std::uintmax_t iterations = solver_iterations;
            const auto root = boost::math::tools::toms748_solve(
                f, low, high, f_low, f_high, boost::math::tools::eps_tolerance<double>(50), iterations, boost_policy());
            if (iterations >= solver_iterations) return std::nullopt;
            delta = root.first + (root.second - root.first) / 2.0;
        }
        return boost::math::cdf(boost::math::complement(normal(), delta / root_n));
    } catch (const boost::math::evaluation_error&) {
        return std::nullopt;
    }
}

} // namespace velmar::statistics

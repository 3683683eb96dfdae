// The summary of a sample: lognormality checks, the panel of upper limits
// with their simulated coverage, geometric and exposure statistics, and the
// warnings a user should read before trusting the exact limit.

#include <velmar/velmar.h>

#include "library/nondetects/ros.h"
#include "library/nondetects/sample.h"
#include "library/statistics/boost_policy.h"
#include "library/statistics/statistics.h"
#include "library/methods.h"
#include "library/text.h"

#include <boost/math/tools/toms748_solve.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace velmar {

namespace {

namespace stats = statistics;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// The percentile of the exposure statistics, and the bounds of the warnings.
constexpr double percentile = 0.95;
constexpr double test_level = 0.05;         // a normality test fails below this p
constexpr double skew_factor = 10.0;        // exact limit / largest value
constexpr int few_values = 5;
constexpr double coverage_tolerance = 3.0;  // standard errors below the level
// The compliance p is searched in [p_bound, 1 - p_bound].
constexpr double p_bound = 1e-10;
constexpr std::uintmax_t solver_iterations = 100;

using methods::bootstrap_t;
using methods::chebyshev;
using methods::cox;
using methods::exact_umau;
using methods::km_chebyshev;
using methods::km_t;
using methods::ros_exact;
using methods::student_t;

std::optional<double> finite(double v)
{
    return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

MethodUpperLimit failed_row(const std::string& method, std::string why)
{
    MethodUpperLimit row;
    row.method = method;
    row.status = std::move(why);
    row.failed = true;
    return row;
}

MethodUpperLimit value_row(const std::string& method, double value)
{
    MethodUpperLimit row;
    row.method = method;
    row.value = finite(value);
    if (!row.value) {
        row.status = "not finite";
        row.failed = true;
    }
    return row;
}

// The exact upper limit of the mean of lognormal values; NaN where it is not usable.
double exact_upper(std::span<const double> values, double level)
{
    const LognormalLimits l = lognormal_mean_limits(values, level, Side::upper);
    return usable(l.upper->outcome) ? l.upper->value : nan;
}

MethodUpperLimit exact_row(const std::string& method, std::span<const double> values, double level)
{
    if (values.size() < 3)
        return failed_row(method, counted(values.size(), "value", "values") + ", at least 3 are needed");
    const LognormalLimits l = lognormal_mean_limits(values, level, Side::upper);
    if (!usable(l.upper->outcome)) return failed_row(method, std::string(to_string(l.upper->outcome)));
    MethodUpperLimit row = value_row(method, l.upper->value);
    if (l.upper->outcome != Outcome::converged) row.status = std::string(to_string(l.upper->outcome));
    return row;
}

// The level at which the exact upper limit of the mean equals `limit`, as
// p = 1 - level: the p-value of "the mean is below the limit".
std::optional<double> compliance(const stats::Moments& logs, double limit, std::vector<std::string>& warnings)
{
    if (logs.n < 3 || !(logs.sd > 0.0)) return std::nullopt;
    const Estimates e{logs.mean, logs.sd, logs.n - 1.0, static_cast<double>(logs.n)};
    const double target = std::log(limit);
    // Rises with the level: the upper limit at `level` less ln limit.
    const auto gap = [&](double level) {
        const Limit l = upper_limit(e, 0.5, level);
        if (!usable(l.outcome)) throw NumericalError(std::string(to_string(l.outcome)));
        return l.value - target;
    };
    try {
        const double low = p_bound, high = 1.0 - p_bound;
        const double g_low = gap(low), g_high = gap(high);
        if (g_high <= 0.0) {
            warnings.push_back("The exact upper limit at level 1 - " + brief(p_bound) + " is still below the limit " +
                               brief(limit) + ": compliance_p is below " + brief(p_bound) + " and reported as " +
                               brief(p_bound) + ".");
            return p_bound;
        }
        if (g_low >= 0.0) {
            warnings.push_back("The exact upper limit at level " + brief(p_bound) + " is still above the limit " +
                               brief(limit) + ": compliance_p is above 1 - " + brief(p_bound) +
                               " and reported as such.");
            return high;
        }
        std::uintmax_t iterations = solver_iterations;
        const auto root = boost::math::tools::toms748_solve(gap, low, high, g_low, g_high,
                                                            boost::math::tools::eps_tolerance<double>(40), iterations,
                                                            stats::boost_policy());
        if (iterations >= solver_iterations) return std::nullopt;
        return 1.0 - (root.first + (root.second - root.first) / 2.0);
    } catch (const std::exception&) {
        warnings.push_back("compliance_p could not be computed: an exact limit failed.");
        return std::nullopt;
    }
}

// The methods whose coverage is simulated, and one panel of their limits for
// a simulated sample. Each limit is NaN where the method gives none.
struct Panel {
    std::vector<std::string> methods;
    bool nondetects;
    double level;

    void operator()(std::span<const Observation> sample, std::span<double> limits) const
    {
        std::fill(limits.begin(), limits.end(), nan);
        std::vector<double> values;
        bool censored = false;
        for (const Observation& o : sample) censored = censored || o.nondetect;
        try {
            if (!censored) {
                for (const Observation& o : sample) values.push_back(o.value);
            } else {
                // The nondetect methods as the data's own rows get them, guard rails included.
                const SampleLimits rows = mean_limits_by_method(sample, level, Side::upper);
                for (const MethodLimits& row : rows.rows)
                    if (!row.failed && row.upper) set(row.method, *row.upper, limits);
                if (nondetects::count_detects(sample).distinct >= 2)
                    values = nondetects::regression_on_order_statistics(sample).completed;
            }
            if (values.empty()) return;
            const stats::Moments m = stats::moments(values);
            const stats::Moments logs = stats::log_moments(values);
            const double t = stats::student_t_ucl(m, level);
            const double c = stats::chebyshev_ucl(m, level);
            set(student_t, t, limits);
            set(chebyshev, c, limits);
            set(cox, stats::cox_ucl(logs, level), limits);
            if (censored) return; // ROS + exact UMAU came with the nondetect rows
            const double exact = exact_upper(values, level);
            set(exact_umau, exact, limits);
            if (nondetects) {
                // A simulated sample without nondetects: regression on order
                // statistics leaves it as it is, and the Kaplan-Meier estimate
                // is its empirical distribution, whose t and Chebyshev limits
                // are Student's and Chebyshev's.
                set(ros_exact, exact, limits);
                set(km_t, t, limits);
                set(km_chebyshev, c, limits);
            }
        } catch (const std::exception&) {
            // A sample no method can use (a value that underflowed to 0): its limits stay NaN.
        }
    }

    void set(const std::string& method, double value, std::span<double> limits) const
    {
        const auto at = std::find(methods.begin(), methods.end(), method);
        if (at != methods.end()) limits[static_cast<std::size_t>(at - methods.begin())] = value;
    }
};

void warn(Summary& s, std::span<const double> largest_of)
{
    if (s.n < few_values)
        s.warnings.push_back("Only " + counted(static_cast<std::size_t>(s.n), "value", "values") +
                             ": with fewer than " + std::to_string(few_values) +
                             " the tests have little power and the limits are wide.");
    if (2 * s.n_nd > s.n)
        s.warnings.push_back(std::to_string(s.n_nd) + " of " + std::to_string(s.n) +
                             " values are nondetects (more than half): the statistics rest on few measurements.");
    if (s.shapiro_wilk && s.shapiro_wilk->p < test_level)
        s.warnings.push_back("The logs fail the Shapiro-Wilk test of normality at 5% (p = " + brief(s.shapiro_wilk->p) +
                             "): the data may not be lognormal, as the exact limit assumes.");
    if (s.anderson_darling && s.anderson_darling->p < test_level)
        s.warnings.push_back(
            "The logs fail the Anderson-Darling test of normality at 5% (p = " + brief(s.anderson_darling->p) +
            "): the data may not be lognormal, as the exact limit assumes.");
    const double largest = largest_of.empty() ? nan : *std::max_element(largest_of.begin(), largest_of.end());
    for (const MethodUpperLimit& row : s.ucl) {
        if ((row.method == exact_umau || row.method == ros_exact) && row.value && *row.value > skew_factor * largest)
            s.warnings.push_back("The " + row.method + " upper limit (" + brief(*row.value) +
                                 ") is more than 10 times the largest value (" + brief(largest) +
                                 "): few or very skewed data make it large.");
        if (row.simulated_coverage && row.coverage_se &&
            *row.simulated_coverage < s.level - coverage_tolerance * *row.coverage_se)
            s.warnings.push_back(row.method + ": its simulated coverage " + brief(*row.simulated_coverage) +
                                 " (standard error " + brief(*row.coverage_se) +
                                 ") is more than 3 standard errors below the level " + brief(s.level) + ".");
        if (row.failed) s.warnings.push_back(row.method + ": no limit (" + row.status + ").");
    }
}

void check_options(const SummaryOptions& o)
{
    check_level(o.level);
    if (o.limit && (!(*o.limit > 0.0) || !std::isfinite(*o.limit)))
        refuse("limit", *o.limit, "must be positive and finite");
    if (o.simulations < 0) refuse("simulations", o.simulations, "must be at least 0");
}

} // namespace

std::span<const std::string> summary_methods()
{
    return methods::summary_order;
}

Summary summary(std::span<const Observation> sample, const SummaryOptions& options)
{
    check_options(options);
    if (sample.empty()) throw std::invalid_argument("sample: no values given, at least 1 is needed");
    nondetects::check_positive(sample);

    Summary s;
    s.n = static_cast<int>(sample.size());
    s.level = options.level;
    s.limit = options.limit;
    std::vector<double> given;
    std::vector<double> detection_limits;
    for (const Observation& o : sample) {
        given.push_back(o.value);
        if (o.nondetect) {
            ++s.n_nd;
            detection_limits.push_back(o.value);
        }
    }
    std::sort(detection_limits.begin(), detection_limits.end());
    const double level = options.level;

    // The probability plot, and with nondetects the completed sample on which
    // the log-scale statistics stand.
    std::vector<double> basis;
    std::string no_basis;
    if (nondetects::count_detects(sample).distinct >= 2) {
        const nondetects::Ros ros = nondetects::regression_on_order_statistics(sample);
        for (std::size_t i = 0; i < sample.size(); ++i)
            s.probability_plot.push_back(
                {sample[i].value, sample[i].nondetect, ros.plotting_position[i], ros.z[i], ros.completed[i]});
        if (s.n_nd > 0) {
            s.ros_ppcc = finite(ros.ppcc);
            basis = ros.completed;
        }
    } else if (s.n_nd > 0) {
        no_basis = "fewer than 2 distinct detected values to complete the sample";
    }
    if (s.n_nd == 0) basis = given;

    // The panel of upper limits.
    const std::vector<std::string> classic{student_t, chebyshev, cox};
    if (s.n_nd == 0) {
        s.ucl.push_back(exact_row(exact_umau, basis, level));
    } else {
        const SampleLimits rows = mean_limits_by_method(sample, level, Side::upper);
        for (const std::string& method : {km_t, km_chebyshev, ros_exact}) {
            const auto row = std::find_if(rows.rows.begin(), rows.rows.end(),
                                          [&](const MethodLimits& r) { return r.method == method; });
            if (row == rows.rows.end())
                s.ucl.push_back(failed_row(method, rows.rows.empty() ? "no method applies" : rows.rows.front().status));
            else if (row->failed || !row->upper)
                s.ucl.push_back(failed_row(method, row->status));
            else
                s.ucl.push_back(value_row(method, *row->upper));
        }
    }
    // Moments of the values (or of the completed sample) and of their logs.
    std::optional<stats::Moments> m, logs;
    if (!basis.empty()) {
        m = stats::moments(basis);
        logs = stats::log_moments(basis);
    }
    if (basis.size() >= 2) {
        s.ucl.push_back(value_row(student_t, stats::student_t_ucl(*m, level)));
        s.ucl.push_back(value_row(chebyshev, stats::chebyshev_ucl(*m, level)));
        s.ucl.push_back(value_row(cox, stats::cox_ucl(*logs, level)));
        const double b = stats::bootstrap_t_ucl(basis, level, stats::derive_seed(options.seed, 1));
        if (b == std::numeric_limits<double>::infinity()) {
            // Not a failure: with very few values, more resamples than 1 - level
            // have all their values equal, and the limit is unbounded.
            MethodUpperLimit unbounded;
            unbounded.method = bootstrap_t;
            unbounded.status = "unbounded: too many resamples of equal values";
            s.ucl.push_back(unbounded);
        } else {
            s.ucl.push_back(value_row(bootstrap_t, b));
        }
    } else {
        const std::string why = basis.empty() ? no_basis : "1 value, at least 2 are needed";
        for (const std::string& method : {student_t, chebyshev, cox, bootstrap_t})
            s.ucl.push_back(failed_row(method, why));
    }

    // Statistics of the values (or of the completed sample).
    if (m) {
        s.arithmetic_mean = finite(m->mean);
        s.geometric_mean = finite(stats::geometric_mean(*logs));
    }
    if (basis.size() >= 2) {
        s.geometric_sd = finite(stats::geometric_sd(*logs));
        s.mvue_mean = finite(stats::mvue_mean(*logs));
        s.p95 = finite(stats::lognormal_percentile(*logs, percentile));
        s.p95_utl = stats::percentile_utl(*logs, percentile, level);
        if (options.limit) {
            s.exceedance = finite(stats::exceedance_fraction(*logs, *options.limit));
            s.exceedance_ucl = stats::exceedance_ucl(*logs, *options.limit, level);
            s.compliance_p = compliance(*logs, *options.limit, s.warnings);
        }
    }
    if (s.n_nd == 0 && s.n >= 3) {
        std::vector<double> log_values;
        for (const double v : given) log_values.push_back(std::log(v));
        if (s.n <= 5000)
            if (const auto w = stats::shapiro_wilk(log_values)) s.shapiro_wilk = ShapiroWilk{w->statistic, w->p};
        if (s.n >= 8)
            if (const auto a = stats::anderson_darling(log_values))
                s.anderson_darling = AndersonDarling{a->statistic, a->p};
    }

    // The simulated coverage of every method but the bootstrap, on samples
    // like the data drawn from the fitted lognormal.
    if (options.simulations > 0 && logs && logs->n >= 3 && logs->sd > 0.0) {
        Panel panel{{}, s.n_nd > 0, level};
        for (const MethodUpperLimit& row : s.ucl)
            if (row.method != bootstrap_t) panel.methods.push_back(row.method);
        const auto coverage = stats::simulated_coverage(
            [&panel](std::span<const Observation> x, std::span<double> limits) { panel(x, limits); },
            panel.methods.size(), {logs->mean, logs->sd}, s.n, detection_limits, options.simulations,
            stats::derive_seed(options.seed, 2));
        for (MethodUpperLimit& row : s.ucl) {
            const auto at = std::find(panel.methods.begin(), panel.methods.end(), row.method);
            if (at == panel.methods.end()) continue;
            const stats::SimulatedCoverage& c = coverage[static_cast<std::size_t>(at - panel.methods.begin())];
            row.simulated_coverage = finite(c.coverage);
            row.coverage_se = finite(c.standard_error);
        }
    }

    warn(s, given);
    return s;
}

Summary summary(std::span<const double> values, const SummaryOptions& options)
{
    std::vector<Observation> sample;
    sample.reserve(values.size());
    for (const double v : values) sample.push_back({v, false});
    return summary(sample, options);
}

std::uint64_t group_seed(std::uint64_t seed, std::string_view key)
{
    // FNV-1a, 64 bits: the same on every platform, unlike std::hash.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : key) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return stats::derive_seed(seed, hash);
}

} // namespace velmar

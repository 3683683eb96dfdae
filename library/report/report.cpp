// The public face of the report: the statistics of each group, arranged as
// the page's plain data (html.h) and its pictures (svg.h).

#include <velmar/velmar.h>

#include "library/nondetects/ros.h"
#include "library/nondetects/sample.h"
#include "library/report/html.h"
#include "library/text.h"

#include <boost/math/distributions/normal.hpp>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmar {

namespace {

struct LogMoments {
    double mean = 0.0, sd = 0.0;
};

LogMoments log_moments(std::span<const double> values)
{
    LogMoments m;
    for (const double v : values) m.mean += std::log(v);
    m.mean /= static_cast<double>(values.size());
    for (const double v : values) m.sd += (std::log(v) - m.mean) * (std::log(v) - m.mean);
    m.sd = std::sqrt(m.sd / static_cast<double>(values.size() - 1));
    return m;
}

// The Q-Q plot's points: every observation at the normal quantile of its
// plotting position, a nondetect at its value imputed by regression on order
// statistics; and the line the limits assume.
report::QqPlot qq_plot(std::span<const Observation> sample, int nondetects)
{
    report::QqPlot plot;
    if (nondetects::count_detects(sample).distinct >= 2) {
        const nondetects::Ros ros = nondetects::regression_on_order_statistics(sample);
        for (std::size_t i = 0; i < sample.size(); ++i)
            plot.points.push_back({sample[i].nondetect ? ros.completed[i] : sample[i].value, ros.z[i], sample[i].nondetect});
        if (nondetects > 0) {
            plot.line = report::FittedLine{ros.intercept, ros.slope, "ROS fit"};
        } else {
            std::vector<double> values;
            for (const Observation& o : sample) values.push_back(o.value);
            const LogMoments m = log_moments(values);
            plot.line = report::FittedLine{m.mean, m.sd, "fitted lognormal"};
        }
        return plot;
    }
    // Too few distinct detects for a fit: ranks i/(n + 1), values as given.
    std::vector<std::size_t> order(sample.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return sample[a].value < sample[b].value; });
    const double n = static_cast<double>(sample.size());
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        const Observation& o = sample[order[rank]];
        const double p = (static_cast<double>(rank) + 1.0) / (n + 1.0);
        plot.points.push_back({o.value, boost::math::quantile(boost::math::normal(), p), o.nondetect});
    }
    return plot;
}

report::Group group_report(const ReportGroup& in, const ReportOptions& options)
{
    report::Group g;
    g.name = in.name;
    g.n = static_cast<int>(in.sample.size());
    g.skipped = in.skipped;
    g.level = options.level;
    for (const Observation& o : in.sample) g.nondetects += o.nondetect ? 1 : 0;
    try {
        nondetects::check_positive(in.sample);
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument("group " + in.name + ": " + e.what());
    }

    if (in.sample.empty()) {
        g.missing = "No values: nothing could be computed.";
        return g;
    }

    const SampleLimits limits = mean_limits_by_method(in.sample, options.level, Side::upper);
    for (const MethodLimits& row : limits.rows) {
        report::MethodRow m;
        m.method = row.method.empty() ? "(none)" : row.method;
        m.value = row.upper;
        m.status = row.status == to_string(Outcome::converged) ? "" : row.status;
        m.approximate = row.approximate;
        g.methods.push_back(m);
        if (!row.failed && row.upper)
            g.strip.marks.push_back({*row.upper, row.method + " " + report::number(row.upper)});
    }

    std::vector<double> values;
    for (const Observation& o : in.sample) values.push_back(o.value);
    if (g.nondetects == 0) {
        g.data.push_back({"arithmetic mean", std::accumulate(values.begin(), values.end(), 0.0) / g.n, ""});
        if (g.n >= 2) {
            const LogMoments m = log_moments(values);
            g.data.push_back({"geometric mean", std::exp(m.mean), ""});
            g.data.push_back({"geometric sd", std::exp(m.sd), ""});
        }
    }
    g.missing = "Not in this build: the lognormality tests, the Student-t, Chebyshev, Cox and bootstrap-t limits, "
                "the simulated coverages, the MVUE mean, the 95th percentile and the exceedance statistics.";
    g.qq = qq_plot(in.sample, g.nondetects);
    for (const Observation& o : in.sample) g.strip.points.push_back({o.value, 0.0, o.nondetect});
    if (options.limit) {
        g.exposure.push_back({"exposure limit L", *options.limit, ""});
        g.strip.marks.push_back({*options.limit, "L = " + report::number(options.limit), true});
    }
    return g;
}

} // namespace

std::string html_report(const ReportHeading& heading, std::span<const ReportGroup> groups, const ReportOptions& options)
{
    if (!(options.level > 0.0 && options.level < 1.0)) refuse("level", options.level, "must lie strictly between 0 and 1");
    if (options.limit && (!(*options.limit > 0.0) || !std::isfinite(*options.limit)))
        refuse("limit", *options.limit, "must be positive and finite");
    std::vector<report::Group> pages;
    for (const ReportGroup& g : groups) pages.push_back(group_report(g, options));
    const report::Heading h{"Velmar " + std::string(version()), heading.source, heading.column, heading.grouping,
                            heading.options, heading.date};
    return report::html_page(h, pages);
}

} // namespace velmar

// The public face of the report: each group's summary arranged as the page's
// plain data (html.h) and its pictures (svg.h).

#include <velmar/velmar.h>

#include "library/nondetects/ros.h"
#include "library/report/html.h"
#include "library/methods.h"
#include "library/text.h"

#include <boost/math/distributions/normal.hpp>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

namespace velmar {

namespace {

// The Q-Q plot: every observation at the normal quantile of its plotting
// position, a nondetect at the value that regression on order statistics
// imputes to it; and the line the limits assume: the fitted lognormal
// (ln x = mean log + sd log z) without nondetects, the ROS fit with them.
report::QqPlot qq_plot(const ReportGroup& in)
{
    report::QqPlot plot;
    const Summary& s = *in.summary;
    if (!s.probability_plot.empty()) {
        for (const PlotPoint& p : s.probability_plot)
            plot.points.push_back({p.nondetect ? p.fitted : p.value, p.z, p.nondetect});
        if (s.n_nd > 0) {
            const nondetects::Ros ros = nondetects::regression_on_order_statistics(in.sample);
            plot.line = report::FittedLine{ros.intercept, ros.slope, "ROS fit"};
        } else if (s.geometric_mean && s.geometric_sd) {
            plot.line = report::FittedLine{std::log(*s.geometric_mean), std::log(*s.geometric_sd), "fitted lognormal"};
        }
        return plot;
    }
    // Too few distinct detects for a fit: ranks i/(n + 1), values as given.
    std::vector<std::size_t> order(in.sample.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return in.sample[a].value < in.sample[b].value; });
    const double n = static_cast<double>(in.sample.size());
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        const Observation& o = in.sample[order[rank]];
        const double p = (static_cast<double>(rank) + 1.0) / (n + 1.0);
        plot.points.push_back({o.value, boost::math::quantile(boost::math::normal(), p), o.nondetect});
    }
    return plot;
}

report::NormalityTest missing_test(const std::string& name, const std::string& statistic, const std::string& why)
{
    return {name, statistic, std::nullopt, std::nullopt, why};
}

void add_tests(report::Group& g, const Summary& s)
{
    if (s.n_nd > 0) {
        g.tests.push_back(missing_test("Shapiro-Wilk", "W", "not for data with nondetects"));
        g.tests.push_back(missing_test("Anderson-Darling", "A2", "not for data with nondetects"));
        g.tests.push_back({"ROS plot correlation", "r", s.ros_ppcc, std::nullopt, "of the detects' logs and z"});
        return;
    }
    if (s.shapiro_wilk)
        g.tests.push_back({"Shapiro-Wilk", "W", s.shapiro_wilk->W, s.shapiro_wilk->p, "of the logs"});
    else
        g.tests.push_back(missing_test("Shapiro-Wilk", "W", s.n < 3 ? "needs 3 values" : "not defined for these data"));
    if (s.anderson_darling)
        g.tests.push_back({"Anderson-Darling", "A2", s.anderson_darling->A2, s.anderson_darling->p, "of the logs"});
    else
        g.tests.push_back(missing_test("Anderson-Darling", "A2", s.n < 8 ? "needs 8 values" : "not defined for these data"));
}

report::Group group_report(const ReportGroup& in)
{
    report::Group g;
    g.name = in.name;
    g.n = static_cast<int>(in.sample.size());
    g.skipped = in.skipped;
    for (const Observation& o : in.sample) {
        g.nondetects += o.nondetect ? 1 : 0;
        g.strip.points.push_back({o.value, 0.0, o.nondetect});
    }
    if (!in.summary) {
        g.missing = in.sample.empty() ? "No values: nothing could be computed." : "No summary: " + in.problem;
        return g;
    }
    const Summary& s = *in.summary;
    g.level = s.level;
    g.warnings = s.warnings;

    const std::string completed = s.n_nd > 0 ? "of the values completed by ROS" : "";
    g.data = {{"arithmetic mean", s.arithmetic_mean, completed},
              {"geometric mean", s.geometric_mean, completed},
              {"geometric sd", s.geometric_sd, completed},
              {"MVUE of the mean", s.mvue_mean, "minimum-variance unbiased"}};
    add_tests(g, s);

    for (const MethodUpperLimit& u : s.ucl) {
        report::MethodRow row;
        row.method = u.method;
        row.value = u.value;
        row.coverage = u.simulated_coverage;
        row.coverage_se = u.coverage_se;
        if (u.failed || u.status != to_string(Outcome::converged)) row.status = u.status;
        row.approximate = u.method == methods::ros_exact;
        g.methods.push_back(row);
        if (u.value) g.strip.marks.push_back({*u.value, u.method + " " + report::number(u.value)});
    }

    g.exposure = {{"95th percentile", s.p95, "of the fitted lognormal"},
                  {"its upper tolerance limit", s.p95_utl, ""}};
    if (s.limit) {
        g.exposure.push_back({"exposure limit L", s.limit, "", true});
        g.exposure.push_back({"exceedance", s.exceedance, "fitted share above L"});
        g.exposure.push_back({"its upper confidence limit", s.exceedance_ucl, ""});
        g.exposure.push_back({"compliance p", s.compliance_p, "of \"the mean is below L\""});
        g.strip.marks.push_back({*s.limit, "L = " + shortest(*s.limit), true});
    }
    g.qq = qq_plot(in);
    return g;
}

} // namespace

std::string html_report(const ReportHeading& heading, std::span<const ReportGroup> groups)
{
    std::vector<report::Group> pages;
    for (const ReportGroup& g : groups) pages.push_back(group_report(g));
    const report::Heading h{"Velmar " + std::string(version()), heading.source, heading.column, heading.grouping,
                            heading.options, heading.date};
    return report::html_page(h, pages);
}

} // namespace velmar

// The summary of a sample: its panel agrees with the library's own limits,
// compliance_p inverts the exact limit, the simulated coverage of the exact
// limit keeps its level, nondetects change the methods, and the warnings
// fire where they should. The statistics themselves are checked against R
// in statistics/.

#include <velmar/velmar.h>

#include "library/nondetects/kaplan_meier.h"
#include "library/statistics/statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const std::vector<double> four{0.043, 0.236, 0.057, 0.016};

const velmar::MethodUpperLimit& row(const velmar::Summary& s, const std::string& method)
{
    const auto at = std::find_if(s.ucl.begin(), s.ucl.end(), [&](const auto& u) { return u.method == method; });
    if (at == s.ucl.end()) throw std::runtime_error("no row " + method);
    return *at;
}

std::vector<std::string> methods(const velmar::Summary& s)
{
    std::vector<std::string> names;
    for (const auto& u : s.ucl) names.push_back(u.method);
    return names;
}

bool warns(const velmar::Summary& s, const std::string& words)
{
    return std::any_of(s.warnings.begin(), s.warnings.end(),
                       [&](const std::string& w) { return w.find(words) != std::string::npos; });
}

std::vector<double> lognormal_sample(int n, double sd_log, std::uint64_t seed)
{
    velmar::statistics::RandomStream stream(seed);
    std::vector<double> x;
    for (int i = 0; i < n; ++i) x.push_back(std::exp(sd_log * stream.normal()));
    return x;
}

} // namespace

TEST(Summary, FourValuesPanelAndWarnings)
{
    velmar::SummaryOptions options;
    options.simulations = 300;
    const velmar::Summary s = velmar::summary(four, options);
    EXPECT_EQ(methods(s), (std::vector<std::string>{"exact UMAU", "Student-t", "Chebyshev", "Cox", "bootstrap-t"}));
    EXPECT_EQ(*row(s, "exact UMAU").value, velmar::lognormal_mean_limits(four, 0.95).upper->value);
    EXPECT_NEAR(std::log(*s.geometric_mean), -2.89759, 5e-6); // the published worked example
    EXPECT_TRUE(s.shapiro_wilk);
    EXPECT_FALSE(s.anderson_darling);                          // needs 8 values
    EXPECT_FALSE(row(s, "bootstrap-t").simulated_coverage);
    EXPECT_TRUE(row(s, "Cox").simulated_coverage);
    EXPECT_TRUE(warns(s, "Only 4 values"));
    EXPECT_TRUE(warns(s, "more than 10 times the largest value (0.236)"));
    EXPECT_TRUE(warns(s, "Student-t: its simulated coverage"));
    EXPECT_TRUE(s.probability_plot.size() == 4 && !s.ros_ppcc);
}

// p is where the exact upper limit of level 1 - p meets the exposure limit,
// for limits below, near and above the data's mean.
TEST(Summary, CompliancePInvertsTheExactLimit)
{
    const std::vector<double> x = lognormal_sample(12, 0.8, 4);
    for (const double limit : {0.8, 1.5, 4.0}) {
        velmar::SummaryOptions options;
        options.limit = limit;
        options.simulations = 0;
        const velmar::Summary s = velmar::summary(x, options);
        ASSERT_TRUE(s.compliance_p) << limit;
        const double at = velmar::lognormal_mean_limits(x, 1.0 - *s.compliance_p).upper->value;
        EXPECT_NEAR(at / limit, 1.0, 1e-8) << limit;
        EXPECT_TRUE(s.exceedance && s.exceedance_ucl && *s.exceedance < *s.exceedance_ucl);
    }
}

// The simulated coverage of the exact limit, through the summary, lies
// within 3 standard errors of its level on data like lognormal data.
TEST(Summary, ExactLimitCoverageKeepsItsLevel)
{
    velmar::SummaryOptions options;
    options.simulations = 500;
    options.seed = 17;
    const velmar::Summary s = velmar::summary(lognormal_sample(15, 1.2, 8), options);
    const auto& exact = row(s, "exact UMAU");
    ASSERT_TRUE(exact.simulated_coverage && exact.coverage_se);
    EXPECT_NEAR(*exact.simulated_coverage, 0.95, 3.0 * *exact.coverage_se);
    EXPECT_FALSE(warns(s, "exact UMAU: its simulated coverage"));
}

TEST(Summary, NondetectsTakeTheirOwnMethods)
{
    std::vector<velmar::Observation> sample;
    const std::vector<double> x = lognormal_sample(14, 1.0, 21);
    for (const double v : x) sample.push_back(v < 0.6 ? velmar::Observation{0.6, true} : velmar::Observation{v, false});
    velmar::SummaryOptions options;
    options.simulations = 200;
    const velmar::Summary s = velmar::summary(sample, options);
    ASSERT_GT(s.n_nd, 0);
    EXPECT_EQ(methods(s), (std::vector<std::string>{"KM-t", "KM-Chebyshev", "ROS + exact UMAU", "Student-t",
                                                    "Chebyshev", "Cox", "bootstrap-t"}));
    const velmar::SampleLimits own = velmar::mean_limits_by_method(sample, 0.95);
    EXPECT_EQ(*row(s, "KM-t").value, *own.rows.front().upper);
    EXPECT_TRUE(s.ros_ppcc && !s.shapiro_wilk && !s.anderson_darling);
    ASSERT_EQ(s.probability_plot.size(), sample.size());
    for (std::size_t i = 0; i < sample.size(); ++i) {
        EXPECT_EQ(s.probability_plot[i].nondetect, sample[i].nondetect);
        if (!sample[i].nondetect) {
            EXPECT_EQ(s.probability_plot[i].fitted, sample[i].value);
        }
    }
    EXPECT_TRUE(row(s, "ROS + exact UMAU").simulated_coverage);
    EXPECT_EQ(warns(s, "more than half"), 2 * s.n_nd > s.n);
}

// A simulated sample that happens to have no nondetects is given the
// Student-t and Chebyshev limits for the Kaplan-Meier rows: they agree on
// complete data.
TEST(Summary, KaplanMeierLimitsOfCompleteDataAreStudentAndChebyshev)
{
    const std::vector<double> x = lognormal_sample(9, 0.7, 2);
    std::vector<velmar::Observation> sample;
    for (const double v : x) sample.push_back({v, false});
    const auto km = velmar::nondetects::kaplan_meier(sample);
    const auto m = velmar::statistics::moments(x);
    EXPECT_NEAR(velmar::nondetects::km_t_limit(km, 0.95, true) / velmar::statistics::student_t_ucl(m, 0.95), 1.0,
                1e-13);
    EXPECT_NEAR(velmar::nondetects::km_chebyshev_upper(km, 0.95) / velmar::statistics::chebyshev_ucl(m, 0.95), 1.0,
                1e-13);
}

TEST(Summary, WarningsTable)
{
    struct Case {
        std::vector<velmar::Observation> sample;
        const char* words;
        bool expected;
    };
    std::vector<velmar::Observation> skewed_logs, mostly_nd, plain;
    velmar::statistics::RandomStream stream(6);
    for (int i = 0; i < 40; ++i) skewed_logs.push_back({std::exp(std::exp(1.5 * stream.normal())), false});
    for (int i = 0; i < 12; ++i) mostly_nd.push_back({i < 7 ? 1.0 : 1.5 + i, i < 7});
    for (const double v : lognormal_sample(30, 0.5, 3)) plain.push_back({v, false});
    const std::vector<Case> cases{
        {skewed_logs, "fail the Shapiro-Wilk test", true},
        {skewed_logs, "fail the Anderson-Darling test", true},
        {plain, "fail the", false},
        {plain, "Only", false},
        {mostly_nd, "7 of 12 values are nondetects (more than half)", true},
    };
    velmar::SummaryOptions options;
    options.simulations = 0;
    for (const Case& c : cases) EXPECT_EQ(warns(velmar::summary(c.sample, options), c.words), c.expected) << c.words;
}

TEST(Summary, SeedsAndRefusals)
{
    const std::vector<double> x = lognormal_sample(10, 1.0, 5);
    velmar::SummaryOptions options;
    options.simulations = 100;
    const auto a = velmar::summary(x, options), b = velmar::summary(x, options);
    EXPECT_EQ(*row(a, "bootstrap-t").value, *row(b, "bootstrap-t").value);
    EXPECT_EQ(*row(a, "Cox").simulated_coverage, *row(b, "Cox").simulated_coverage);
    options.seed = velmar::group_seed(0, "lead");
    EXPECT_NE(*row(velmar::summary(x, options), "bootstrap-t").value, *row(a, "bootstrap-t").value);
    EXPECT_EQ(velmar::group_seed(3, "lead"), velmar::group_seed(3, "lead"));
    EXPECT_NE(velmar::group_seed(3, "lead"), velmar::group_seed(3, "zinc"));
    EXPECT_NE(velmar::group_seed(3, "lead"), velmar::group_seed(4, "lead"));

    const auto refused = [&](void (*change)(velmar::SummaryOptions&), const std::string& message) {
        velmar::SummaryOptions o;
        change(o);
        try {
            velmar::summary(x, o);
            ADD_FAILURE() << "taken: " << message;
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, message.size()), message);
        }
    };
    refused([](velmar::SummaryOptions& o) { o.level = 95.0; }, "level = 95");
    refused([](velmar::SummaryOptions& o) { o.limit = -1.0; }, "limit = -1");
    refused([](velmar::SummaryOptions& o) { o.simulations = -5; }, "simulations = -5");
    EXPECT_THROW(velmar::summary(std::vector<double>{}), std::invalid_argument);
    EXPECT_THROW(velmar::summary(std::vector<double>{1.0, 0.0}), std::invalid_argument);
}

// One or two values: what can be computed is, the rest is empty, and the
// panel says why.
TEST(Summary, TooFewValuesForSomeStatistics)
{
    const velmar::Summary one = velmar::summary(std::vector<double>{2.0});
    EXPECT_EQ(*one.arithmetic_mean, 2.0);
    EXPECT_FALSE(one.geometric_sd || one.p95 || one.shapiro_wilk);
    EXPECT_TRUE(row(one, "exact UMAU").failed && row(one, "Student-t").failed);
    const velmar::Summary two = velmar::summary(std::vector<double>{2.0, 3.0});
    EXPECT_EQ(row(two, "exact UMAU").status, "2 values, at least 3 are needed");
    EXPECT_TRUE(row(two, "Student-t").value && !row(two, "Student-t").simulated_coverage);
}

// The statistics against R (stats and nortest): data/make_reference.R wrote
// the tables from the samples in data/samples.txt. Tolerances: statistics
// 1e-9 relative, p-values 1e-5 absolute, the noncentral t figures 1e-7
// relative (R's noncentral t warns that it may lose precision there).

#include "library/statistics/statistics.h"

#include "support/reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace stats = velmar::statistics;
using testsupport::readTable;
using testsupport::relativeError;

namespace {

const std::string data = TEST_DATA_DIR;

const std::vector<std::vector<double>>& samples()
{
    static const auto rows = readTable(data + "/samples.txt");
    return rows;
}

const std::vector<double>& sample(double number) { return samples().at(static_cast<std::size_t>(number) - 1); }

std::vector<double> logs(const std::vector<double>& x)
{
    std::vector<double> y;
    for (const double v : x) y.push_back(std::log(v));
    return y;
}

} // namespace

TEST(StatisticsReference, NormalityTestsOfTheLogs)
{
    const auto rows = readTable(data + "/normality.txt");
    ASSERT_EQ(rows.size(), samples().size());
    for (const auto& r : rows) {
        SCOPED_TRACE("sample " + std::to_string(static_cast<int>(r[0])) +
                     ", n = " + std::to_string(static_cast<int>(r[1])));
        const auto y = logs(sample(r[0]));
        const auto sw = stats::shapiro_wilk(y);
        ASSERT_TRUE(sw);
        EXPECT_LT(relativeError(sw->statistic, r[2]), 1e-9) << sw->statistic;
        EXPECT_NEAR(sw->p, r[3], 1e-5);
        if (y.size() < 8) continue;
        const auto ad = stats::anderson_darling(y);
        ASSERT_TRUE(ad);
        EXPECT_LT(relativeError(ad->statistic, r[4]), 1e-9) << ad->statistic;
        EXPECT_NEAR(ad->p, r[5], 1e-5);
    }
}

TEST(StatisticsReference, GeometricStatisticsAndMvue)
{
    for (const auto& r : readTable(data + "/moments.txt")) {
        SCOPED_TRACE("sample " + std::to_string(static_cast<int>(r[0])));
        const auto m = stats::log_moments(sample(r[0]));
        EXPECT_LT(relativeError(stats::geometric_mean(m), r[1]), 1e-9);
        EXPECT_LT(relativeError(stats::geometric_sd(m), r[2]), 1e-9);
        EXPECT_LT(relativeError(stats::mvue_mean(m), r[3]), 1e-9) << stats::mvue_mean(m);
    }
}

TEST(StatisticsReference, UpperLimitsAndPercentile)
{
    for (const auto& r : readTable(data + "/limits.txt")) {
        SCOPED_TRACE("sample " + std::to_string(static_cast<int>(r[0])) + ", level " + std::to_string(r[1]));
        const auto& x = sample(r[0]);
        const auto values = stats::moments(x);
        const auto logs = stats::log_moments(x);
        const double level = r[1];
        EXPECT_LT(relativeError(stats::student_t_ucl(values, level), r[2]), 1e-9);
        EXPECT_LT(relativeError(stats::chebyshev_ucl(values, level), r[3]), 1e-9);
        EXPECT_LT(relativeError(stats::cox_ucl(logs, level), r[4]), 1e-9);
        EXPECT_LT(relativeError(stats::lognormal_percentile(logs, 0.95), r[5]), 1e-9);
        if (std::isnan(r[6])) continue;
        const auto utl = stats::percentile_utl(logs, 0.95, level);
        ASSERT_TRUE(utl);
        EXPECT_LT(relativeError(*utl, r[6]), 1e-7) << *utl;
    }
}

TEST(StatisticsReference, ExceedanceAndItsExactUpperLimit)
{
    for (const auto& r : readTable(data + "/exceedance.txt")) {
        SCOPED_TRACE("sample " + std::to_string(static_cast<int>(r[0])) + ", limit " + std::to_string(r[1]) +
                     ", level " + std::to_string(r[2]));
        const auto logs = stats::log_moments(sample(r[0]));
        EXPECT_LT(relativeError(stats::exceedance_fraction(logs, r[1]), r[3]), 1e-9);
        const auto ucl = stats::exceedance_ucl(logs, r[1], r[2]);
        ASSERT_TRUE(ucl);
        EXPECT_LT(relativeError(*ucl, r[4]), 1e-7) << *ucl;
    }
}

// Finney's series by its recurrence, summed here, against Boost's 0F1 that
// the library uses; and g = 1 at t = 0.
TEST(StatisticsReference, FinneySeriesAgreesWithItsRecurrence)
{
    for (const int n : {2, 3, 10, 200})
        for (const double t : {0.0, 0.01, 0.5, 3.0, 12.5}) {
            double term = (n - 1.0) * t / n, sum = 1.0 + term;
            for (int k = 2; term > sum * 1e-18; ++k) {
                term *= (n - 1.0) * (n - 1.0) * t / (n * (n + 2.0 * k - 3.0) * k);
                sum += term;
            }
            EXPECT_LT(relativeError(stats::finney_g(n, t), sum), 1e-13) << "n " << n << ", t " << t;
        }
}

TEST(StatisticsArguments, RefusedOrUndefined)
{
    const std::vector<double> equal(10, 2.5), two{1.0, 2.0}, seven{1, 2, 3, 4, 5, 6, 7};
    EXPECT_FALSE(stats::shapiro_wilk(equal));
    EXPECT_FALSE(stats::anderson_darling(equal));
    EXPECT_THROW(stats::shapiro_wilk(two), std::invalid_argument);
    EXPECT_THROW(stats::shapiro_wilk(std::vector<double>(5001, 1.0)), std::invalid_argument);
    EXPECT_THROW(stats::anderson_darling(seven), std::invalid_argument);
    EXPECT_THROW(stats::log_moments(std::vector<double>{1.0, 0.0, 2.0}), std::invalid_argument);
    EXPECT_THROW(stats::moments(std::vector<double>{1.0, std::nan("")}), std::invalid_argument);

    const auto logs = stats::log_moments(seven);
    for (const double level : {0.0, 1.0, -0.5, std::nan("")}) {
        EXPECT_THROW(stats::cox_ucl(logs, level), std::invalid_argument);
        EXPECT_THROW(stats::exceedance_ucl(logs, 3.0, level), std::invalid_argument);
    }
    EXPECT_THROW(stats::exceedance_fraction(logs, 0.0), std::invalid_argument);
    try {
        stats::percentile_utl(logs, 0.95, 95.0);
        FAIL() << "a level of 95 was taken";
    } catch (const std::invalid_argument& e) {
        EXPECT_EQ(std::string(e.what()), "level = 95: must lie strictly between 0 and 1");
    }
}

// The public face for samples with nondetects: which rows come back for each
// side, the guard rails as statuses, and the agreement of the rows with the
// methods they name.
#include "library/nondetects/kaplan_meier.h"
#include "library/nondetects/ros.h"

#include <velmar/velmar.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using velmar::Observation;
using velmar::Side;

std::vector<std::string> methods(const velmar::SampleLimits& s)
{
    std::vector<std::string> out;
    for (const auto& row : s.rows) out.push_back(row.method + ": " + row.status);
    return out;
}

// 5.5, 4.1, 12.0 and one nondetect below 0.5.
const std::vector<Observation> four{{5.5}, {4.1}, {12.0}, {0.5, true}};

} // namespace

TEST(MeanLimitsByMethod, RowsAndGuardRails)
{
    std::vector<Observation> mostlyNondetects{{1.0}, {2.0}, {3.0}};
    for (int i = 0; i < 13; ++i) mostlyNondetects.push_back({0.5, true}); // 13 of 16: 81%
    const std::vector<Observation> tiedDetects{{2.0}, {2.0}, {2.0}, {1.0, true}};
    const std::vector<Observation> twoDetects{{2.0}, {3.0}, {1.0, true}, {1.0, true}};
    const std::vector<Observation> twoValues{{2.0}, {3.0}};
    const std::vector<Observation> complete{{2.0}, {3.0}, {1.5}};
    const std::string ros = "ROS + exact UMAU: ";
    struct Row {
        const std::vector<Observation>* sample;
        Side side;
        std::vector<std::string> want;
    };
    const Row rows[] = {
        {&four, Side::upper, {"KM-t: converged", "KM-Chebyshev: converged", ros + "converged"}},
        {&four, Side::lower, {"KM-t: converged", ros + "converged"}},
        {&four, Side::two_sided, {"KM-t: converged", ros + "converged"}},
        {&four, Side::equal_tailed, {"KM-t: converged", ros + "converged"}},
        {&mostlyNondetects, Side::upper,
         {"KM-t: converged", "KM-Chebyshev: converged",
          ros + "more than 80% nondetects (13 of 16): too few detects for the regression"}},
        {&tiedDetects, Side::upper, {": 1 distinct detected value, at least 2 are needed"}},
        {&twoDetects, Side::upper, {": 2 detects, at least 3 are needed"}},
        {&twoValues, Side::upper, {"exact UMAU: 2 values, at least 3 are needed"}},
        {&complete, Side::two_sided, {"exact UMAU: converged"}},
    };
    for (const Row& row : rows) {
        const velmar::SampleLimits s = velmar::mean_limits_by_method(*row.sample, 0.95, row.side);
        EXPECT_EQ(methods(s), row.want) << row.sample->size() << " values, side " << static_cast<int>(row.side);
        for (const auto& r : s.rows) {
            const bool ok = !r.failed;
            EXPECT_EQ(r.upper.has_value(), ok && row.side != Side::lower) << r.method;
            EXPECT_EQ(r.lower.has_value(), ok && row.side != Side::upper) << r.method;
            if (r.method == "KM-t" && row.side == Side::equal_tailed) {
                EXPECT_EQ(*r.upper, *velmar::mean_limits_by_method(four, 0.95, Side::two_sided).rows[0].upper);
            }
            EXPECT_EQ(r.approximate, r.method == "ROS + exact UMAU");
        }
    }
    mostlyNondetects.push_back({9.0, true}); // above the largest detect
    EXPECT_EQ(velmar::mean_limits_by_method(mostlyNondetects, 0.95).uninformative, 1);
}

// Each row is the method it names: the exact rows are lognormal_mean_limits
// of the sample or of its completion, the KM-t pair is symmetric about the
// Kaplan-Meier mean.
TEST(MeanLimitsByMethod, RowsAreTheMethodsTheyName)
{
    const auto s = velmar::mean_limits_by_method(four, 0.9, Side::two_sided);
    const auto km = velmar::nondetects::kaplan_meier(four);
    const auto& t = s.rows.at(0);
    EXPECT_EQ(*t.upper, velmar::nondetects::km_t_limit(km, 0.95, true));
    EXPECT_DOUBLE_EQ(*t.mean - *t.lower, *t.upper - *t.mean);
    EXPECT_EQ(*t.se, km.se);

    const auto completed = velmar::nondetects::regression_on_order_statistics(four).completed;
    const auto want = velmar::lognormal_mean_limits(completed, 0.9, Side::two_sided);
    const auto& r = s.rows.at(1);
    EXPECT_EQ(r.exact->mean_log, want.mean_log);
    EXPECT_EQ(*r.upper, want.upper->value);
    EXPECT_EQ(*r.lower, want.lower->value);

    const std::vector<double> values{0.043, 0.236, 0.057, 0.016};
    const std::vector<Observation> detected{{0.043}, {0.236}, {0.057}, {0.016}};
    EXPECT_EQ(*velmar::mean_limits_by_method(detected, 0.95).rows.at(0).upper,
              velmar::lognormal_mean_limits(values, 0.95).upper->value);
}

TEST(MeanLimitsByMethod, RefusesBadArguments)
{
    const std::vector<Observation> zeroLimit{{2.0}, {3.0}, {4.0}, {0.0, true}};
    for (const auto& [sample, level, starts] : {std::tuple{four, 1.0, "level = 1"},
                                                std::tuple{zeroLimit, 0.95, "sample[3] = 0 (a detection limit)"}}) {
        std::string message;
        try {
            velmar::mean_limits_by_method(sample, level);
        } catch (const std::invalid_argument& e) {
            message = e.what();
        }
        EXPECT_EQ(message.rfind(starts, 0), 0u) << message;
    }
}

// Kaplan-Meier and regression on order statistics against the reference
// values of data/make_reference.R (R's survival package for Kaplan-Meier, an
// observation-by-observation computation in R for the regression), on
// samples with one, two and three detection limits, ties, and nondetects
// above the largest detect.
#include "library/nondetects/kaplan_meier.h"
#include "library/nondetects/ros.h"
#include "support/reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using velmar::nondetects::Observation;
using testsupport::readTable;
using testsupport::relativeError;

struct Sample {
    std::string name;
    std::vector<Observation> observations;
};

// "name: 5.5 4.1 <0.5": the samples in the order the reference tables number them.
std::vector<Sample> samples()
{
    std::ifstream in(TEST_DATA_DIR "/samples.txt");
    std::vector<Sample> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t colon = line.find(':');
        Sample s{line.substr(0, colon), {}};
        std::istringstream cells(line.substr(colon + 1));
        std::string cell;
        while (cells >> cell) {
            const bool nondetect = cell[0] == '<';
            s.observations.push_back({std::stod(cell.substr(nondetect ? 1 : 0)), nondetect});
        }
        out.push_back(std::move(s));
    }
    if (out.empty()) throw std::runtime_error("no samples in " TEST_DATA_DIR "/samples.txt");
    return out;
}

} // namespace

TEST(KaplanMeier, MatchesTheSurvivalPackage)
{
    const std::vector<Sample> all = samples();
    const auto reference = readTable(TEST_DATA_DIR "/km_reference.txt");
    ASSERT_EQ(reference.size(), all.size());
    for (const auto& row : reference) {
        const Sample& s = all.at(static_cast<std::size_t>(row[0]) - 1);
        SCOPED_TRACE(s.name);
        const auto km = velmar::nondetects::kaplan_meier(s.observations);
        EXPECT_EQ(km.n, row[1]);
        EXPECT_EQ(km.detects, row[2]);
        EXPECT_EQ(km.nondetects, row[3]);
        EXPECT_EQ(km.uninformative, row[4]);
        const double got[] = {
            km.mean,
            km.sd,
            km.se,
            velmar::nondetects::km_t_limit(km, 0.95, true),
            velmar::nondetects::km_t_limit(km, 0.90, false),
            velmar::nondetects::km_t_limit(km, 0.975, false),
            velmar::nondetects::km_t_limit(km, 0.975, true),
            velmar::nondetects::km_chebyshev_upper(km, 0.95),
            velmar::nondetects::km_chebyshev_upper(km, 0.80),
        };
        // Observed: equal to the last digit written; 1e-9 is what the limits must meet.
        for (std::size_t i = 0; i < std::size(got); ++i)
            EXPECT_LT(relativeError(got[i], row[5 + i]), 1e-12) << "column " << 5 + i << ": " << got[i];
    }
}

TEST(Ros, MatchesAnIndependentComputation)
{
    const std::vector<Sample> all = samples();
    const auto reference = readTable(TEST_DATA_DIR "/ros_reference.txt");
    ASSERT_EQ(reference.size(), 3 * all.size());
    for (const auto& row : reference) {
        const Sample& s = all.at(static_cast<std::size_t>(row[0]) - 1);
        SCOPED_TRACE(s.name + ", row kind " + std::to_string(static_cast<int>(row[1])));
        const auto ros = velmar::nondetects::regression_on_order_statistics(s.observations);
        const std::vector<double> want(row.begin() + 2, row.end());
        std::vector<double> got;
        // Observed: plotting positions equal; fit and completed values within 3.3e-14.
        double tolerance = 1e-15;
        switch (static_cast<int>(row[1])) {
        case 1: got = {ros.intercept, ros.slope, ros.ppcc}, tolerance = 2e-13; break;
        case 2: got = ros.plotting_position; break;
        case 3: got = ros.completed, tolerance = 2e-13; break;
        }
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_LT(relativeError(got[i], want[i]), tolerance) << "entry " << i << ": " << got[i];
    }
}

// The order of the sample changes only which nondetect at a limit gets which
// position: the completed values as a set, the fit and the Kaplan-Meier
// figures stay.
TEST(Nondetects, SampleOrderDoesNotMatter)
{
    for (const Sample& s : samples()) {
        SCOPED_TRACE(s.name);
        std::vector<Observation> reversed(s.observations.rbegin(), s.observations.rend());
        auto a = velmar::nondetects::regression_on_order_statistics(s.observations);
        auto b = velmar::nondetects::regression_on_order_statistics(reversed);
        EXPECT_EQ(a.slope, b.slope);
        EXPECT_EQ(a.intercept, b.intercept);
        std::sort(a.completed.begin(), a.completed.end());
        std::sort(b.completed.begin(), b.completed.end());
        EXPECT_EQ(a.completed, b.completed);
        EXPECT_EQ(velmar::nondetects::kaplan_meier(s.observations).se,
                  velmar::nondetects::kaplan_meier(reversed).se);
    }
}

TEST(Nondetects, RefusesWhatItCannotEstimate)
{
    const std::vector<Observation> oneDistinct{{2.0, false}, {2.0, false}, {1.0, true}};
    const std::vector<Observation> zeroLimit{{2.0, false}, {3.0, false}, {0.0, true}};
    const std::vector<Observation> good{{2.0, false}, {3.0, false}, {1.0, true}};
    const auto km = velmar::nondetects::kaplan_meier(good);
    struct Row {
        std::function<void()> call;
        std::string starts;
    };
    const Row rows[] = {
        {[&] { velmar::nondetects::kaplan_meier(oneDistinct); }, "sample: 1 distinct detected values"},
        {[&] { velmar::nondetects::regression_on_order_statistics(oneDistinct); }, "sample: 1 distinct"},
        {[&] { velmar::nondetects::kaplan_meier(zeroLimit); }, "sample[2] = 0 (a detection limit)"},
        {[&] { velmar::nondetects::regression_on_order_statistics(zeroLimit); }, "sample[2] = 0"},
        {[&] { velmar::nondetects::km_t_limit(km, 1.0, true); }, "level = 1"},
        {[&] { velmar::nondetects::km_chebyshev_upper(km, 0.0); }, "level = 0"},
    };
    for (const Row& row : rows) {
        std::string message;
        try {
            row.call();
        } catch (const std::invalid_argument& e) {
            message = e.what();
        }
        EXPECT_EQ(message.rfind(row.starts, 0), 0u) << row.starts << " / " << message;
    }
}

// The seeded random stream, the bootstrap-t limit and the simulated coverage.
// The simulation counts are kept small enough for the sanitizer build.

#include "library/statistics/statistics.h"

#include <velmar/velmar.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace stats = velmar::statistics;

// The C++ standard fixes the 10000th output of a default-constructed
// std::mt19937_64 (seed 5489): 9981545732273789042. The stream's uniform is
// built from its top 53 bits, so the same number comes out on every platform.
TEST(RandomStream, UniformsComeFromTheStandardEngineSequence)
{
    stats::RandomStream stream(5489);
    double u = 0.0;
    for (int i = 0; i < 10000; ++i) u = stream.uniform();
    EXPECT_EQ(u, (static_cast<double>(9981545732273789042ULL >> 11) + 0.5) / 9007199254740992.0);
}

// Moments of the normals and the spread of the indices over their buckets
// (fixed seed: the bounds are several standard errors wide and deterministic).
TEST(RandomStream, NormalsAndIndicesHaveTheirDistributions)
{
    stats::RandomStream stream(42);
    constexpr int draws = 20000;
    double sum = 0.0, squares = 0.0;
    for (int i = 0; i < draws; ++i) {
        const double z = stream.normal();
        sum += z;
        squares += z * z;
    }
    EXPECT_NEAR(sum / draws, 0.0, 4.0 / std::sqrt(draws));
    EXPECT_NEAR(squares / draws, 1.0, 4.0 * std::sqrt(2.0 / draws));

    std::array<int, 7> counts{};
    for (int i = 0; i < 7000; ++i) ++counts.at(stream.index(7));
    double chi2 = 0.0;
    for (const int c : counts) chi2 += (c - 1000.0) * (c - 1000.0) / 1000.0;
    EXPECT_LT(chi2, 22.46); // chi-square(6) upper 0.1% point
    EXPECT_NE(stats::derive_seed(7, 1), stats::derive_seed(7, 2));
}

// On symmetric data the bootstrap-t limit lies near Student's t; on
// right-skewed data it lies above it (its t* are skewed to the left). The
// same seed repeats the limit.
TEST(BootstrapT, FollowsTheShapeOfTheData)
{
    stats::RandomStream draw(3);
    std::vector<double> symmetric, skewed;
    for (int i = 0; i < 200; ++i) symmetric.push_back(10.0 + draw.normal());
    for (int i = 0; i < 30; ++i) skewed.push_back(std::exp(1.5 * draw.normal()));

    const double t_sym = stats::student_t_ucl(stats::moments(symmetric), 0.95);
    const double b_sym = stats::bootstrap_t_ucl(symmetric, 0.95, 11);
    const double mean_sym = stats::moments(symmetric).mean;
    EXPECT_NEAR((b_sym - mean_sym) / (t_sym - mean_sym), 1.0, 0.15);

    const double t_skew = stats::student_t_ucl(stats::moments(skewed), 0.95);
    const double b_skew = stats::bootstrap_t_ucl(skewed, 0.95, 11);
    EXPECT_GT(b_skew, t_skew);
    EXPECT_EQ(b_skew, stats::bootstrap_t_ucl(skewed, 0.95, 11));
    EXPECT_NE(b_skew, stats::bootstrap_t_ucl(skewed, 0.95, 12));
}

namespace {

std::vector<double> values_of(std::span<const velmar::Observation> sample)
{
    std::vector<double> values;
    for (const auto& o : sample) values.push_back(o.value);
    return values;
}

stats::UpperLimitMethod exact_umau(double level)
{
    return [level](std::span<const velmar::Observation> sample) {
        const auto limits = velmar::lognormal_mean_limits(values_of(sample), level);
        return limits.upper->outcome == velmar::Outcome::converged ? limits.upper->value
                                                                   : std::numeric_limits<double>::quiet_NaN();
    };
}

stats::UpperLimitMethod student_t(double level)
{
    return [level](std::span<const velmar::Observation> sample) {
        return stats::student_t_ucl(stats::moments(values_of(sample)), level);
    };
}

} // namespace

// The exact limit keeps its level on lognormal data; Student's t on strongly
// skewed data does not. Both on the same samples.
TEST(SimulatedCoverage, ExactLimitKeepsItsLevelStudentTDoesNot)
{
    const std::vector<stats::UpperLimitMethod> methods{exact_umau(0.95), student_t(0.95)};
    const auto c = stats::simulated_coverage(methods, {0.5, 1.5}, 12, {}, 600, 2024);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].failures, 0);
    EXPECT_NEAR(c[0].coverage, 0.95, 3.0 * c[0].standard_error);
    EXPECT_NEAR(c[0].standard_error, std::sqrt(0.95 * 0.05 / 600), 0.003);
    EXPECT_LT(c[1].coverage, 0.95 - 3.0 * c[1].standard_error);

    const auto again = stats::simulated_coverage(methods, {0.5, 1.5}, 12, {}, 600, 2024);
    EXPECT_EQ(again[0].coverage, c[0].coverage);
    EXPECT_EQ(again[1].coverage, c[1].coverage);
}

// Censoring: value i is reported at detection limit i mod k when it falls
// below it. A method that "covers" exactly when a sample has a nondetect
// measures P(at least one) = 1 - prod(1 - Phi((ln DL_i - mu)/sigma)); one
// that fails on every third sample is counted as failing.
TEST(SimulatedCoverage, DetectionLimitsCensorTheSamples)
{
    const std::vector<double> dls{0.5, 1.0};
    int wrong_reports = 0, calls = 0;
    const std::vector<stats::UpperLimitMethod> methods{
        [&](std::span<const velmar::Observation> sample) {
            bool any = false;
            for (std::size_t i = 0; i < sample.size(); ++i) {
                const auto [value, nondetect] = sample[i];
                if (nondetect) any = true;
                if (nondetect && value != dls[i % 2]) ++wrong_reports;
                if (!nondetect && value < dls[i % 2]) ++wrong_reports;
            }
            return any ? std::numeric_limits<double>::infinity() : 0.0;
        },
        [&](std::span<const velmar::Observation>) {
            return calls++ % 3 == 0 ? std::numeric_limits<double>::quiet_NaN() : 1e300;
        }};
    const int n = 4;
    const auto c = stats::simulated_coverage(methods, {1.0, 1.0}, n, dls, 1500, 9);
    EXPECT_EQ(wrong_reports, 0);
    // Phi(ln 0.5 - 1) and Phi(ln 1 - 1): the chance that a value lies below its limit.
    const double q_low = 0.5 * std::erfc(-(std::log(0.5) - 1.0) / std::sqrt(2.0));
    const double q_high = 0.5 * std::erfc(-(0.0 - 1.0) / std::sqrt(2.0));
    const double expected = 1.0 - std::pow(1.0 - q_low, 2) * std::pow(1.0 - q_high, 2);
    EXPECT_NEAR(c[0].coverage, expected, 3.0 * std::sqrt(expected * (1 - expected) / 1500));
    EXPECT_EQ(c[1].failures, 500);
    EXPECT_EQ(c[1].coverage, 1.0);
}

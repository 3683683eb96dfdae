// The public face as a C++ user meets it: refusals that name the argument,
// the lognormal worked examples, and the mapping of sides and signs.
#include <velmar/velmar.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// The message of the std::invalid_argument that f throws ("" when none).
std::string refusal(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(Face, BadArgumentsAreRefusedByName)
{
    const velmar::Estimates good{0.0, 1.0, 10.0, {}};
    const std::vector<double> tooFew{1.0, 2.0}, zero{1.0, 0.0, 2.0}, infinite{1.0, inf, 2.0};
    struct Row {
        std::function<void()> call;
        std::string starts;
    };
    const Row rows[] = {
        {[&] { velmar::upper_limit(good, 0.5, 1.0); }, "level = 1"},
        {[&] { velmar::lower_limit(good, 0.5, 0.0); }, "level = 0"},
        {[&] { velmar::two_sided_limits(good, 0.5, notANumber); }, "level = nan"},
        {[&] { velmar::upper_limit({0.0, 1.0, 1.5, {}}, 0.5, 0.95); }, "nu = 1.5"},
        {[&] { velmar::upper_limit({0.0, -1.0, 10.0, {}}, 0.5, 0.95); }, "sigma_hat = -1"},
        {[&] { velmar::upper_limit({notANumber, 1.0, 10.0, {}}, 0.5, 0.95); }, "mu_hat = nan"},
        {[&] { velmar::upper_limit({0.0, 1.0, 10.0, 0.0}, 0.5, 0.95); }, "gamma2 = 0"},
        {[&] { velmar::upper_limit(good, inf, 0.95); }, "lambda = inf"},
        {[&] { velmar::land_h(2.5, 1.0, 0.95); }, "n = 2.5"},
        {[&] { velmar::land_h(10, -0.1, 0.95); }, "s = -0.1"},
        {[&] { velmar::lognormal_mean_limits(tooFew, 0.95); }, "values: 2 given"},
        {[&] { velmar::lognormal_mean_limits(zero, 0.95); }, "values[1] = 0"},
        {[&] { velmar::lognormal_mean_limits(infinite, 0.95); }, "values[1] = inf"},
    };
    for (const Row& row : rows) EXPECT_EQ(refusal(row.call).rfind(row.starts, 0), 0u) << row.starts;
}

// Worked examples from published material (copied from the project's
// reference notes): Land's H for n = 15, s = 0.4272 at 0.95 is 1.99370; four
// concentrations 0.043, 0.236, 0.057, 0.016 have log mean -2.89759 and log
// standard deviation 1.11173, and published 95% limits of about 11.6 (upper)
// and 0.039 (lower), read from printed tables and good to only 2 or 3
// percent: a gross check of sides and degrees of freedom.
TEST(Face, PublishedWorkedExamples)
{
    EXPECT_NEAR(velmar::land_h(15, 0.4272, 0.95), 1.99370, 5e-6);
    const std::vector<double> values{0.043, 0.236, 0.057, 0.016};
    const velmar::LognormalLimits up = velmar::lognormal_mean_limits(values, 0.95);
    EXPECT_EQ(up.n, 4);
    EXPECT_NEAR(up.mean_log, -2.89759, 5e-6);
    EXPECT_NEAR(up.sd_log, 1.11173, 5e-6);
    EXPECT_NEAR(up.arithmetic_mean, 0.088, 1e-12);
    ASSERT_TRUE(up.upper && !up.lower);
    EXPECT_NEAR(up.upper->value, 11.6, 0.03 * 11.6);
    const velmar::LognormalLimits low = velmar::lognormal_mean_limits(values, 0.95, velmar::Side::lower);
    ASSERT_TRUE(low.lower && !low.upper);
    EXPECT_NEAR(low.lower->value, 0.039, 0.03 * 0.039);
    // The limit for the mean is exp of the limit for mu + sigma^2/2.
    const velmar::Limit onLogs = velmar::upper_limit({up.mean_log, up.sd_log, 3.0, 4.0}, 0.5, 0.95);
    EXPECT_DOUBLE_EQ(up.upper->value, std::exp(onLogs.value));
    EXPECT_EQ(up.upper->C, onLogs.C);
}

// theta -> -theta: a limit for lambda < 0 mirrors the other side's limit for
// -lambda about mu-hat; a two-sided pair stays ordered.
TEST(Face, SidesAndSignsMapOntoTheCanonicalProblem)
{
    const velmar::Estimates e{1.7, 0.8, 7.0, 3.0};
    const velmar::Limit upNeg = velmar::upper_limit(e, -0.7, 0.9);
    const velmar::Limit lowPos = velmar::lower_limit(e, 0.7, 0.9);
    EXPECT_NEAR(upNeg.value - 1.7, -(lowPos.value - 1.7), 1e-10);
    const velmar::Interval neg = velmar::two_sided_limits(e, -0.7, 0.9);
    const velmar::Interval pos = velmar::two_sided_limits(e, 0.7, 0.9);
    EXPECT_LT(neg.lower.value, neg.upper.value);
    EXPECT_NEAR(neg.lower.value - 1.7, -(pos.upper.value - 1.7), 1e-10);
    EXPECT_NEAR(neg.upper.value - 1.7, -(pos.lower.value - 1.7), 1e-10);
    for (const velmar::Limit& l : {upNeg, lowPos, neg.lower, neg.upper})
        EXPECT_EQ(l.outcome, velmar::Outcome::converged) << velmar::describe(l.outcome);
}

// lambda = 0 leaves the mean: the limit is the Student-t limit
// mu-hat + t_nu(p) sigma-hat/gamma (t from mpmath, 30 digits), for real nu too.
TEST(Face, ZeroLambdaGivesTheStudentTLimit)
{
    struct Row {
        double nu, level, t;
    };
    const Row rows[] = {
        {10.0, 0.95, 1.81246112281167641},
        {2.5, 0.9, 1.73025092880717659},
    };
    for (const Row& r : rows) {
        const velmar::Limit l = velmar::upper_limit({1.0, 2.0, r.nu, {}}, 0.0, r.level);
        EXPECT_NEAR(l.value, 1.0 + r.t * 2.0 / std::sqrt(r.nu + 1.0), 1e-14) << r.nu;
        EXPECT_EQ(l.outcome, velmar::Outcome::converged);
    }
}

// Where double precision cannot reach the target the outcome says so and
// carries the bound reached, instead of passing for converged.
TEST(Face, RequestsBeyondDoublePrecisionSaySo)
{
    const velmar::Limit far = velmar::upper_limit({0.0, 1.0, 2.0, {}}, 0.5, 1.0 - 1e-10);
    EXPECT_EQ(far.outcome, velmar::Outcome::beyond_precision);
    EXPECT_GT(far.error_bound, 0.0);
    EXPECT_TRUE(std::isfinite(far.value));
}

// Every face reads and prints sides and outcomes through these names: a name
// that does not read back, or a stray spelling, breaks them all.
TEST(Face, NamesReadBackAndNothingElseReads)
{
    for (const velmar::Side side :
         {velmar::Side::upper, velmar::Side::lower, velmar::Side::two_sided, velmar::Side::equal_tailed})
        EXPECT_EQ(velmar::parse_side(velmar::to_string(side)), side);
    for (const char* other : {"", "Upper", "two_sided", "both", "upper "})
        EXPECT_FALSE(velmar::parse_side(other).has_value()) << other;
    EXPECT_EQ(velmar::to_string(velmar::Outcome::beyond_precision), "beyond_precision");
    EXPECT_EQ(velmar::to_string(velmar::Outcome::integral_failed), "integral_failed");
}

// The one-call entry gives each side what the side's own entry gives, and
// leaves the other empty.
TEST(Face, LimitsOfASideAreTheSidesOwn)
{
    const velmar::Estimates e{0.5, 1.1, 12.0, {}};
    const velmar::Limits up = velmar::limits(e, 0.5, 0.9, velmar::Side::upper);
    const velmar::Limits down = velmar::limits(e, -0.5, 0.9, velmar::Side::lower);
    const velmar::Limits both = velmar::limits(e, 0.5, 0.9, velmar::Side::two_sided);
    const velmar::Interval pair = velmar::two_sided_limits(e, 0.5, 0.9);
    ASSERT_TRUE(up.upper && !up.lower && down.lower && !down.upper && both.lower && both.upper);
    EXPECT_EQ(up.upper->value, velmar::upper_limit(e, 0.5, 0.9).value);
    EXPECT_EQ(down.lower->value, velmar::lower_limit(e, -0.5, 0.9).value);
    EXPECT_EQ(both.lower->value, pair.lower.value);
    EXPECT_EQ(both.upper->value, pair.upper.value);
    const velmar::Limits equal = velmar::limits(e, 0.5, 0.9, velmar::Side::equal_tailed);
    ASSERT_TRUE(equal.lower && equal.upper);
    EXPECT_EQ(equal.lower->value, velmar::lower_limit(e, 0.5, 0.95).value);
    EXPECT_EQ(equal.upper->value, velmar::upper_limit(e, 0.5, 0.95).value);
}

// The exact limits hold their level (to the integration's 1e-9), one-sided
// and two-sided, and bad arguments are refused by name.
TEST(Face, CoverageOfTheExactLimitsIsTheLevel)
{
    struct Case {
        double n, sigma, level;
        velmar::Side side;
    };
    const Case cases[] = {{4.0, 1.0, 0.95, velmar::Side::two_sided},
                          {11.0, 0.1, 0.9, velmar::Side::upper},
                          {5.5, 2.0, 0.99, velmar::Side::lower}};
    for (const Case& c : cases) {
        const velmar::Coverage cov = velmar::coverage(c.n, c.sigma, 0.5, c.level, c.side);
        EXPECT_EQ(cov.outcome, velmar::Outcome::converged);
        EXPECT_NEAR(cov.value, c.level, 2e-8) << c.n << " " << c.sigma;
        EXPECT_LT(cov.error, 1e-8);
        EXPECT_GT(cov.evaluations, 0);
    }
    EXPECT_EQ(refusal([] { velmar::coverage(3.0, 0.0, 0.5, 0.9, velmar::Side::upper); }),
              "sigma = 0: must be finite and positive");
    EXPECT_EQ(refusal([] { velmar::coverage(2.0, 1.0, 0.5, 0.9, velmar::Side::upper); }),
              "n = 2: must be finite and at least 3");
}

// A limit that the double range cannot hold is never converged; one that it
// can hold is computed, even where sigma-hat^2 overflows; the mean of values
// near the largest double does not overflow.
TEST(Face, LimitsBeyondTheRangeOfDoublesSaySo)
{
    const velmar::Limit t = velmar::upper_limit({-1.0, 1e308, 7.0, {}}, 0.0, 0.9);
    EXPECT_EQ(t.outcome, velmar::Outcome::converged);
    EXPECT_TRUE(std::isfinite(t.value));
    EXPECT_NEAR(t.value / 1e308, t.C * std::sqrt(8.0 / 7.0) / std::sqrt(8.0), 1e-15);

    const velmar::Limit huge = velmar::upper_limit({1e308, 1e308, 7.0, {}}, 1e-308, 0.9);
    EXPECT_EQ(huge.outcome, velmar::Outcome::out_of_range);
    EXPECT_FALSE(velmar::usable(huge.outcome));

    const double big[] = {1e308, 1.7e308, 1e308};
    const velmar::LognormalLimits m = velmar::lognormal_mean_limits(big, 0.95, velmar::Side::two_sided);
    EXPECT_NEAR(m.arithmetic_mean, 1.2333333333333333e308, 1e293);
    ASSERT_TRUE(m.lower && m.upper);
    EXPECT_EQ(m.upper->outcome, velmar::Outcome::out_of_range);
    EXPECT_TRUE(std::isfinite(m.lower->value));

    EXPECT_EQ(velmar::confidence_level(95.0), 0.95);
    EXPECT_EQ(velmar::confidence_level(0.9), 0.9);
    for (const double bad : {0.0, 1.0, 100.0, -5.0, notANumber})
        EXPECT_NE(refusal([bad] { velmar::confidence_level(bad); }), "") << bad;
}

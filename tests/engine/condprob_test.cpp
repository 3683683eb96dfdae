#include "engine/condprob.h"
#include "engine/loggamma.h"
#include "limits_test_support.h"
#include "support/reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using engine::interactiveVariant;
using engine::loggamma;
using engine::newg;
using engine::onetailg;
using engine::Variant;
using engine::verificationVariant;
using limitstest::ConsoleCapture;
using limitstest::ControlScope;
using testsupport::readTable;

const std::string dataDir = TEST_DATA_DIR;

// ArgTop 800 mixes closed forms and integration; 0 integrates every mass and
// moment; 1e6 lets c pass the largest argument besseli serves, whose failure
// must send the mass to integration instead of into the result.
constexpr double argTops[] = {800.0, 0.0, 1.0e6};

// The probability against mpmath quadrature of the same density, nu 2 to
// 1000, spreads 0.05 to 20, from about 1e-6 to 1 - 1e-6. The integrators'
// thresholds are absolute against a peak scaled to 1, so the error is an
// absolute one and grows where a large spread makes the peak narrow. Worst
// observed: 4.1e-10 for S <= 3, 3.1e-8 above (nu 3, S 20); nu = 2 is closed
// form (6.4e-14).
TEST(OneTailG, MatchesHighPrecisionReference)
{
    ControlScope scope;
    for (const double argTop : argTops) {
        int closedForms = 0;
        for (const auto& row : readTable(dataDir + "/onetailg_reference.txt")) {
            const double nu = row[0], S = row[1], x = row[2], want = row[3];
            int how = 0;
            const double got = onetailg(x, nu, S, argTop, how, loggamma(nu / 2.0), interactiveVariant);
            const double tol = nu == 2.0 ? 1e-13 : S <= 3.0 ? 1e-9 : 4e-8;
            EXPECT_LE(std::fabs(got - want), tol) << "nu " << nu << ", S " << S << ", x " << x << ", ArgTop " << argTop;
            if (nu > 2.0 && argTop <= 0.0) {
                EXPECT_NE(how, 1);
            }
            closedForms += how == 1;
        }
        if (argTop > 0.0) {
            EXPECT_GT(closedForms, 50) << "ArgTop " << argTop;
        }
    }
}

// The first-moment fraction against mpmath (nan in the table: no region of
// mass p ends at u_obs, which must come back as the failure of that side).
// Worst observed: 1.5e-8 (nu 100, S 20).
TEST(NewG, MatchesHighPrecisionReferenceAndFailsWhereNoRegionExists)
{
    ControlScope scope;
    for (const double argTop : argTops) {
        for (const auto& row : readTable(dataDir + "/newg_reference.txt")) {
            const double nu = row[0], S = row[1], x = row[2], p = row[3], want = row[5];
            const int side = static_cast<int>(row[4]);
            int fail = -1;
            ConsoleCapture console;
            const double got = newg(x, p, side, nu, S, argTop, loggamma(nu / 2.0), fail, interactiveVariant);
            const std::string where = "nu " + std::to_string(nu) + ", S " + std::to_string(S) + ", x " +
                                      std::to_string(x) + ", p " + std::to_string(p) + ", side " +
                                      std::to_string(side) + ", ArgTop " + std::to_string(argTop);
            if (std::isnan(want)) {
                // The closed forms for two degrees of freedom carry on past the
                // ends of (-1, 1); only a logarithm of a non-positive number is
                // reported (tested below).
                if (nu == 2.0) continue;
                EXPECT_EQ(fail, 1) << where;
                EXPECT_EQ(got, side == 1 ? engine::lowerEndFailure : engine::upperEndFailure) << where;
                continue;
            }
            EXPECT_EQ(fail, 0) << where;
            EXPECT_LE(std::fabs(got - want), 2e-8) << where;
        }
    }
}

// Two degrees of freedom with no upper end: the two console lines, then the failure.
TEST(NewG, TwoDegreesOfFreedomWithoutUpperEndReportsOnTheConsole)
{
    ConsoleCapture console;
    int fail = 0;
    const double v = newg(-3.0, 0.95, 2, 2.0, 1.0, 800.0, loggamma(1.0), fail, interactiveVariant);
    EXPECT_EQ(v, engine::twoDfFailure);
    EXPECT_EQ(fail, 1);
    ASSERT_EQ(console.lines().size(), 2u);
    EXPECT_EQ(console.lines()[0], "Failed with v=2...");
    EXPECT_EQ(console.lines()[1], "v,s |2|1");
}

// Above 1000 degrees of freedom and S > 5 the log-scale factor is 0, which
// newg announces on every call and onetailg does not; the value is continuous
// across the switch from the mode rule.
TEST(NewG, FactorZeroIsAnnouncedAndChangesOnlyTheScaling)
{
    ControlScope scope;
    const double nu = 1001.0, lgam = loggamma(nu / 2.0), x = 11.0;
    ConsoleCapture console;
    int fail = 0;
    const double atFive = newg(x, 0.95, 1, nu, 5.0, 800.0, lgam, fail, interactiveVariant);
    EXPECT_EQ(console.lines().size(), 0u);
    const double above = newg(x, 0.95, 1, nu, 5.000001, 800.0, lgam, fail, interactiveVariant);
    EXPECT_EQ(fail, 0);
    newg(x, 0.95, 1, nu, 5.000001, 800.0, lgam, fail, interactiveVariant);
    EXPECT_EQ(console.count("Set Factor to 0 "), 2);
    EXPECT_NEAR(above, atFive, 1e-6);
    int how = 0;
    onetailg(x, nu, 5.000001, 800.0, how, lgam, interactiveVariant);
    EXPECT_EQ(console.lines().size(), 2u);
}

// With the factor chosen the scaled density peaks at 1: the mode rule for
// large nu, and the linear rule where it keeps the peak in range. Where the
// linear rule would underflow the peak (nu = 1000, S = 20) the probability
// still matches the reference table, checked above.
TEST(Factor, ScalesThePeakToOne)
{
    const double K = 1.0 / std::sqrt(engine::pi);
    struct Case { double nu, S, g; };
    const Case cases[] = {{1001.0, 3.0, -3.0}, {1001.0, 0.5, -0.4}, {5000.0, 4.0, -2.0}};
    for (const auto& c : cases) {
        const double lgam = loggamma(c.nu / 2.0);
        const double m = engine::umode(c.nu, c.g);
        const double F = engine::Factor(c.nu, c.S, m, c.g, lgam, interactiveVariant, false);
        EXPECT_NEAR(engine::condens(m, engine::Density(c.nu, c.g, K, lgam, F, 1.0)), K, 1e-12 * K);
    }
    EXPECT_EQ(engine::Factor(1000.0, 9.0, -0.1, -1.0, 0.0, interactiveVariant, false),
              2.0 * 0.14306151645207438);
    EXPECT_EQ(engine::Factor(1000.0, 9.0, -0.1, -1.0, 0.0, verificationVariant, false),
              2.0 * 0.14306152113650694);
}

TEST(Umode, IsTheMaximumOfTheDensity)
{
    EXPECT_EQ(engine::umode(2.0, -0.5), -1.0);
    struct Case { double nu, g; };
    const Case cases[] = {{3.0, -0.1}, {10.0, -2.0}, {100.0, -0.05}, {1000.0, -30.0}};
    for (const auto& c : cases) {
        const double m = engine::umode(c.nu, c.g);
        // Zero slope of k ln(1 - u^2) - q u: q m^2 - 2 k m - q = 0.
        const double k = c.nu / 2.0 - 1.0, q = -c.g * (c.nu + 1.0);
        EXPECT_NEAR(q * m * m - 2.0 * k * m - q, 0.0, 1e-12 * (q + k)) << "nu " << c.nu;
        EXPECT_GT(m, -1.0);
        EXPECT_LT(m, 0.0);
    }
}

TEST(UseBessel, ComparesTheRatioAndTheOrderAndArgTop)
{
    struct Case { double c, order, argTop; int interactive, verification; };
    const Case cases[] = {
        {26.0, 100.0, 800.0, 0, 1},         // c/order = 0.26 exactly: only the single-precision 0.26 is below
        {26.000001, 100.0, 800.0, 1, 1},    // just above the ratio
        {10.0, 50.0, 800.0, 1, 1},          // the order itself (not nu) is compared with 50
        {10.0, 50.5, 800.0, 0, 0},
        {800.0, 10.0, 800.0, 1, 1},         // c = ArgTop uses the closed form
        {800.0000001, 10.0, 800.0, 0, 0},
        {0.5, 1.5, 0.0, 0, 0},              // ArgTop 0 disables it
    };
    for (const auto& c : cases) {
        EXPECT_EQ(engine::usebessel(c.c, c.order, c.argTop, interactiveVariant), c.interactive) << c.c << " " << c.order;
        EXPECT_EQ(engine::usebessel(c.c, c.order, c.argTop, verificationVariant), c.verification) << c.c << " " << c.order;
    }
}

// The integrators: zero at the ends of (-1, 1), signed for reversed limits,
// and the endpoint solvers land where the mass reaches the target.
TEST(Integrators, EndsReversedLimitsAndSolverRoundTrips)
{
    ControlScope scope;
    const double nu = 10.0, g = -0.3, lgam = loggamma(nu / 2.0);
    const double K = 1.0 / std::sqrt(engine::pi);
    const engine::Density d(nu, g, K, lgam, 0.0, 1.0);
    for (const double end : {-1.0, 1.0}) {
        EXPECT_EQ(engine::condens(end, d), 0.0);
        EXPECT_EQ(engine::TWOTAILEDNEWF(end, d), 0.0);
    }
    bool exhausted = false;
    const double forward = engine::intdens(-0.7, 0.4, d, interactiveVariant, exhausted);
    EXPECT_NEAR(engine::intdens(0.4, -0.7, d, interactiveVariant, exhausted), -forward, 1e-12);
    const double moment = engine::intmom(-0.7, 0.4, d, interactiveVariant, exhausted);
    EXPECT_NEAR(engine::intmom(0.4, -0.7, d, interactiveVariant, exhausted), -moment, 1e-12);
    EXPECT_FALSE(exhausted);

    for (const double share : {1e-4, 0.1, 0.5, 0.9}) {
        const double target = share * forward;
        int fail = 0;
        const double up = engine::solveup(-0.7, 0.4, target, d, interactiveVariant, fail);
        const double low = engine::solvelow(-0.7, 0.4, target, d, interactiveVariant, fail);
        EXPECT_EQ(fail, 0);
        EXPECT_NEAR(engine::intdens(-0.7, up, d, interactiveVariant, exhausted), target, 1e-9) << share;
        EXPECT_NEAR(engine::intdens(low, 0.4, d, interactiveVariant, exhausted), target, 1e-9) << share;
    }
    int fail = 0;
    engine::solveup(-0.7, 0.4, 1.01 * forward, d, interactiveVariant, fail);
    EXPECT_EQ(fail, 1);
}

// The interactive thresholds follow Tolerance; the verification ones are fixed.
TEST(Integrators, ThresholdsOfTheVariants)
{
    ControlScope scope;
    engine::control.Tolerance = 1e-4;
    const engine::Thresholds mine = engine::thresholdsOf(interactiveVariant);
    EXPECT_DOUBLE_EQ(mine.negligible, 1e-7);
    EXPECT_DOUBLE_EQ(mine.accuracy, 1e-6);
    EXPECT_DOUBLE_EQ(mine.refine, 1e-5);
    const engine::Thresholds fixed = engine::thresholdsOf(verificationVariant);
    EXPECT_EQ(fixed.negligible, 1e-11);
    EXPECT_EQ(fixed.accuracy, 1e-10);
    EXPECT_EQ(fixed.refine, 1e-9);
}

// A stack that runs out, or thresholds that can never be met (a negative
// Tolerance), are failures of that integral: onetailg gives its failure value
// and newg fails on its side, and nothing runs on without end.
TEST(Integrators, ExhaustionTakesTheFailurePath)
{
    ControlScope scope;
    const double nu = 10.0, S = 1.0, lgam = loggamma(nu / 2.0);
    const double xLower = -0.6, xUpper = 2.0; // regions of mass 0.95 exist on side 1 / side 2

    auto withCapacity = [](int dens, int mom, int low, int up) {
        Variant v = interactiveVariant;
        v.intdensPanels = dens;
        v.intmomPanels = mom;
        v.solvelowPanels = low;
        v.solveupPanels = up;
        return v;
    };
    struct Case { Variant variant; double tolerance; bool onetailgFails, lowerFails, upperFails; };
    const Case cases[] = {
        {withCapacity(200, 100, 100, 200), 1e-8, false, false, false},
        {withCapacity(3, 100, 100, 200), 1e-8, true, true, true},
        {withCapacity(200, 3, 100, 200), 1e-8, false, true, true},
        {withCapacity(200, 100, 3, 200), 1e-8, false, true, false},
        {withCapacity(200, 100, 100, 3), 1e-8, false, false, true},
        {interactiveVariant, -1e-8, true, true, true},
    };
    for (const auto& c : cases) {
        engine::control.Tolerance = c.tolerance;
        int how = 0;
        const double P = onetailg(xLower, nu, S, 0.0, how, lgam, c.variant);
        EXPECT_EQ(P == engine::onetailgFailure, c.onetailgFails);
        int fail = 0;
        const double lower = newg(xLower, 0.95, 1, nu, S, 0.0, lgam, fail, c.variant);
        EXPECT_EQ(fail == 1, c.lowerFails);
        EXPECT_EQ(lower == engine::lowerEndFailure, c.lowerFails);
        const double upper = newg(xUpper, 0.95, 2, nu, S, 0.0, lgam, fail, c.variant);
        EXPECT_EQ(fail == 1, c.upperFails);
        EXPECT_EQ(upper == engine::upperEndFailure, c.upperFails);
    }
}

} // namespace

#include "engine/condprob.h"
#include "engine/settings.h"
#include "engine/loggamma.h"
#include "limits_test_support.h"
#include "support/reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using namespace engine;
using limitstest::ConsoleCapture;
using testsupport::readTable;

const std::string dataDir = TEST_DATA_DIR;

// ArgTop 800 mixes closed forms and integration; 0 integrates every mass and
// moment; 1e6 lets c pass the largest argument besseli serves, whose failure
// must send the mass to integration instead of into the result.
constexpr double argTops[] = {800.0, 0.0, 1.0e6};

// Against mpmath quadrature of the same density: nu 2 to 1000, S 0.05 to 20,
// probabilities from about 1e-6 to 1 - 1e-6. The integrators' thresholds are
// absolute against a peak scaled to 1, so the error is absolute and grows as
// a large spread narrows the peak. Worst observed: 4.1e-10 for S <= 3, 3.1e-8
// above (nu 3, S 20); 6.4e-14 for the closed form of nu = 2.
TEST(OneTailG, MatchesHighPrecisionReference)
{
    Settings control;
    for (const double argTop : argTops) {
        int closedForms = 0;
        for (const auto& row : readTable(dataDir + "/onetailg_reference.txt")) {
            const double nu = row[0], S = row[1], x = row[2];
            int how = 0;
            const double got = onetailg(x, nu, S, argTop, control.Tolerance, how, loggamma(nu / 2.0), interactiveVariant);
            const double tol = nu == 2.0 ? 1e-13 : S <= 3.0 ? 1e-9 : 4e-8;
            EXPECT_NEAR(got, row[3], tol) << "nu " << nu << ", S " << S << ", x " << x << ", ArgTop " << argTop;
            closedForms += how == 1;
        }
        EXPECT_EQ(closedForms > 50, argTop > 0.0) << "ArgTop " << argTop;
    }
}

// The first-moment fraction against mpmath; nan in the table: no region of
// mass p ends at u_obs, which is the failure of that side (the closed forms
// of nu = 2 carry on past the ends of (-1, 1) instead). The rows include a
// narrow peak that the solver's first samples miss. Worst observed: 1.5e-8.
TEST(NewG, MatchesHighPrecisionReferenceAndFailsWhereNoRegionExists)
{
    Settings control;
    ConsoleCapture console;
    for (const double argTop : argTops) {
        for (const auto& row : readTable(dataDir + "/newg_reference.txt")) {
            const double nu = row[0], S = row[1], x = row[2], p = row[3], want = row[5];
            const int side = static_cast<int>(row[4]);
            int fail = -1;
            const double got = newg(x, p, side, nu, S, argTop, control.Tolerance, loggamma(nu / 2.0), fail, interactiveVariant);
            const auto where = [&] { return ::testing::Message() << "nu " << nu << ", S " << S << ", x " << x
                                                                 << ", side " << side << ", ArgTop " << argTop; };
            if (!std::isnan(want)) {
                EXPECT_EQ(fail, 0) << where();
                EXPECT_NEAR(got, want, 2e-8) << where();
            } else if (nu > 2.0) {
                EXPECT_EQ(fail, 1) << where();
                EXPECT_EQ(got, side == 1 ? lowerEndFailure : upperEndFailure) << where();
            }
        }
    }
}

// Two degrees of freedom with no upper end writes two lines; above 1000
// degrees of freedom with S > 5 newg (not onetailg) announces the zero
// factor on every call, and the value is continuous across that switch.
TEST(NewG, ConsoleLines)
{
    Settings control;
    ConsoleCapture console;
    int fail = 0;
    EXPECT_EQ(newg(-3.0, 0.95, 2, 2.0, 1.0, 800.0, control.Tolerance, loggamma(1.0), fail, interactiveVariant), twoDfFailure);
    EXPECT_EQ(fail, 1);
    EXPECT_EQ(console.lines(), (std::vector<std::string>{"Failed with v=2...", "v,s |2|1"}));

    console.lines().clear();
    const double nu = 1001.0, lgam = loggamma(nu / 2.0), x = 11.0;
    const double atFive = newg(x, 0.95, 1, nu, 5.0, 800.0, control.Tolerance, lgam, fail, interactiveVariant);
    EXPECT_TRUE(console.lines().empty());
    const double above = newg(x, 0.95, 1, nu, 5.000001, 800.0, control.Tolerance, lgam, fail, interactiveVariant);
    newg(x, 0.95, 1, nu, 5.000001, 800.0, control.Tolerance, lgam, fail, interactiveVariant);
    int how = 0;
    onetailg(x, nu, 5.000001, 800.0, control.Tolerance, how, lgam, interactiveVariant);
    EXPECT_EQ(console.lines(), (std::vector<std::string>{"Set Factor to 0 ", "Set Factor to 0 "}));
    EXPECT_EQ(fail, 0);
    EXPECT_NEAR(above, atFive, 1e-6);
}

// The rules that pick closed forms, the scaling and the thresholds, in both
// variants: the single-precision 0.26 lets c/order = 0.26 through.
TEST(Variants, ClosedFormRulesScalingAndThresholds)
{
    struct Case { double c, order, argTop; int interactive, verification; };
    const Case cases[] = {
        {26.0, 100.0, 800.0, 0, 1}, {26.000001, 100.0, 800.0, 1, 1}, // the ratio 0.26
        {10.0, 50.0, 800.0, 1, 1},  {10.0, 50.5, 800.0, 0, 0},       // the order itself against 50
        {800.0, 10.0, 800.0, 1, 1}, {800.0000001, 10.0, 800.0, 0, 0}, // c = ArgTop still closed
        {0.5, 1.5, 0.0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(usebessel(c.c, c.order, c.argTop, interactiveVariant), c.interactive) << c.c << " " << c.order;
        EXPECT_EQ(usebessel(c.c, c.order, c.argTop, verificationVariant), c.verification) << c.c << " " << c.order;
    }
    EXPECT_EQ(Factor(1000.0, 9.0, -0.1, -1.0, 0.0, interactiveVariant, false), 2.0 * 0.14306151645207438);
    EXPECT_EQ(Factor(1000.0, 9.0, -0.1, -1.0, 0.0, verificationVariant, false), 2.0 * 0.14306152113650694);
    // Above 1000 degrees of freedom the factor scales the density at the mode to K.
    const double nu = 1001.0, g = -3.0, lgam = loggamma(nu / 2.0), K = 1.0 / std::sqrt(pi);
    const double m = umode(nu, g);
    const double F = Factor(nu, 3.0, m, g, lgam, interactiveVariant, false);
    EXPECT_NEAR(condens(m, Density(nu, g, K, lgam, F, 1.0)), K, 1e-12);

    Settings control;
    control.Tolerance = 1e-4;
    const Thresholds mine = thresholdsOf(interactiveVariant, control.Tolerance), fixed = thresholdsOf(verificationVariant, control.Tolerance);
    EXPECT_DOUBLE_EQ(mine.negligible, 1e-7);
    EXPECT_DOUBLE_EQ(mine.accuracy, 1e-6);
    EXPECT_DOUBLE_EQ(mine.refine, 1e-5);
    EXPECT_EQ(fixed.negligible, 1e-11);
    EXPECT_EQ(fixed.accuracy, 1e-10);
    EXPECT_EQ(fixed.refine, 1e-9);
}

// The density is 0 at the ends, integrals over reversed limits are signed,
// and the endpoint solvers land where the mass reaches the target.
TEST(Integrators, EndsReversedLimitsAndSolverRoundTrips)
{
    Settings control;
    const Density d(10.0, -0.3, 1.0 / std::sqrt(pi), loggamma(5.0), 0.0, 1.0);
    EXPECT_EQ(condens(-1.0, d), 0.0);
    EXPECT_EQ(TWOTAILEDNEWF(1.0, d), 0.0);
    bool exhausted = false;
    const double mass = intdens(-0.7, 0.4, d, interactiveVariant, control.Tolerance, exhausted);
    EXPECT_NEAR(intdens(0.4, -0.7, d, interactiveVariant, control.Tolerance, exhausted), -mass, 1e-12);
    const double moment = intmom(-0.7, 0.4, d, interactiveVariant, control.Tolerance, exhausted);
    EXPECT_NEAR(intmom(0.4, -0.7, d, interactiveVariant, control.Tolerance, exhausted), -moment, 1e-12);
    for (const double share : {1e-4, 0.1, 0.5, 0.9}) {
        int fail = 0;
        const double up = solveup(-0.7, 0.4, share * mass, d, interactiveVariant, control.Tolerance, fail);
        const double low = solvelow(-0.7, 0.4, share * mass, d, interactiveVariant, control.Tolerance, fail);
        EXPECT_EQ(fail, 0);
        EXPECT_NEAR(intdens(-0.7, up, d, interactiveVariant, control.Tolerance, exhausted), share * mass, 1e-9) << share;
        EXPECT_NEAR(intdens(low, 0.4, d, interactiveVariant, control.Tolerance, exhausted), share * mass, 1e-9) << share;
    }
    EXPECT_FALSE(exhausted);
    int fail = 0;
    solveup(-0.7, 0.4, 1.01 * mass, d, interactiveVariant, control.Tolerance, fail);
    EXPECT_EQ(fail, 1);
}

// A stack that runs out, or thresholds that can never be met (a negative
// Tolerance), fail that integral: onetailg gives its failure value, newg
// fails on its side, and nothing runs on without end.
TEST(Integrators, ExhaustionTakesTheFailurePath)
{
    Settings control;
    const double nu = 10.0, S = 1.0, lgam = loggamma(nu / 2.0);
    const double xLower = -0.6, xUpper = 2.0; // regions of mass 0.95 exist on side 1 / side 2
    const auto withCapacity = [](int dens, int mom, int low, int up) {
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
        control.Tolerance = c.tolerance;
        int how = 0, fail = 0;
        EXPECT_EQ(onetailg(xLower, nu, S, 0.0, control.Tolerance, how, lgam, c.variant) == onetailgFailure, c.onetailgFails);
        const double lower = newg(xLower, 0.95, 1, nu, S, 0.0, control.Tolerance, lgam, fail, c.variant);
        EXPECT_EQ(fail == 1 && lower == lowerEndFailure, c.lowerFails);
        const double upper = newg(xUpper, 0.95, 2, nu, S, 0.0, control.Tolerance, lgam, fail, c.variant);
        EXPECT_EQ(fail == 1 && upper == upperEndFailure, c.upperFails);
    }
}

} // namespace

#include "engine/limit_searches.h"
#include "engine/searches.h"
#include "limits_test_support.h"
#include "support/reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using namespace engine;
using testsupport::readTable;
using testsupport::relativeError;

const std::string dataDir = TEST_DATA_DIR;

// The small tail beyond z = |x| is computed up to 18.66 and 0 beyond; the
// large side up to 7 and exactly 1 beyond. Worst observed: 4.1e-11.
TEST(NormalTail, MatchesHighPrecisionReferenceWithinItsCutPoints)
{
    for (const auto& row : readTable(dataDir + "/normal_tail_reference.txt")) {
        const double x = row[0], small = x >= 0.0 ? row[1] : row[2];
        const double gotSmall = NormalTail(x, x >= 0.0), gotLarge = NormalTail(x, x < 0.0);
        if (std::fabs(x) > 18.66) EXPECT_EQ(gotSmall, 0.0) << x;
        else EXPECT_LE(relativeError(gotSmall, small), 5e-11) << x;
        if (std::fabs(x) > 7.0) EXPECT_EQ(gotLarge, 1.0) << x;
        else EXPECT_LE(relativeError(gotLarge, 1.0 - small), 5e-11) << x;
    }
}

// Quantiles from mpmath (30 digits); the search stops at steps of 1e-4.
TEST(NormalQuantile, FindsTheQuantileAndRefusesLevelsOutsideTheOpenInterval)
{
    struct Case { double p, z; };
    const Case cases[] = {{0.001, -3.0902323061678135}, {0.025, -1.9599639845400542}, {0.3, -0.52440051270804078},
                          {0.5, 0.0},                   {0.999, 3.0902323061678135}};
    for (const auto& c : cases) EXPECT_NEAR(NormalQuantile(c.p, 1e-4, 500), c.z, 1e-6) << c.p;
    for (const double p : {0.0, 1.0, 1.5}) EXPECT_EQ(NormalQuantile(p, 1e-4, 500), -99999.0) << p;
}

// C within 1e-6 x max(1, |C|) of an mpmath solution over nu 2 to 1000, S 0.05
// to 20 and p 0.001 to 0.999 (worst 2.4e-7), except far upper tails with few
// degrees of freedom and a large spread: there C runs into the hundreds and
// the flat probability magnifies the integrators' absolute error at the
// default Tolerance (worst 4.0e-4 at nu 3, S 20, p 0.999; a Tolerance of
// 1e-12 brings it to 4e-8).
constexpr limitstest::CaseTolerance farTails[] = {
    {3, 3, 0.999, 1e-5},  {3, 8, 0.999, 8e-5}, {3, 20, 0.95, 2e-6},  {3, 20, 0.975, 4e-6},
    {3, 20, 0.999, 6e-4}, {5, 8, 0.999, 4e-6}, {5, 20, 0.999, 2e-5},
};

TEST(OneTailedCrit, MatchesHighPrecisionSolution)
{
    Settings control;
    for (const auto& row : readTable(dataDir + "/onesided_reference.txt")) {
        const double nu = row[0], S = row[1], p = row[2], want = row[3];
        int iterations = 0;
        const double C = OneTailedCrit(S, static_cast<int>(nu) + 1, p, control, interactiveVariant, iterations);
        const double tol = limitstest::toleranceFor(farTails, nu, S, p, 1e-6);
        EXPECT_NEAR(C, want, tol * std::max(1.0, std::fabs(want))) << "nu " << nu << ", S " << S << ", p " << p;
    }
    control.Tolerance = 1e-12;
    int iterations = 0;
    EXPECT_NEAR(OneTailedCrit(20.0, 4, 0.999, control, interactiveVariant, iterations), 2121.2368474,
                1e-7 * 2121.2368474);
    // At the median the normal quantile is near 0 and the starting points all
    // but coincide; the search must still find the root (mpmath: 0.1766355614).
    control.Tolerance = 1e-8;
    EXPECT_NEAR(OneTailedCrit(12.0, 501, 0.5, control, interactiveVariant, iterations), 0.1766355614, 1e-7);
}

// NumIt = 2 allows one secant step (count 3); below 2 no step is taken and
// the answer is the second starting point, 2.5 times as far out as the first.
// A positive ResultTol ends the search at the first short step that leaves
// the function below it, sooner than a run to an exactly zero difference.
TEST(OneTailedCrit, IterationLimitAndResultTol)
{
    Settings control;
    Settings settings = control;
    int iterations = 0;
    const double converged = OneTailedCrit(1.0, 11, 0.95, settings, interactiveVariant, iterations);
    settings.NumIt = 2;
    EXPECT_GT(std::fabs(OneTailedCrit(1.0, 11, 0.95, settings, interactiveVariant, iterations) - converged), 1e-6);
    EXPECT_EQ(iterations, 3);
    settings.NumIt = 1;
    const double noStep = OneTailedCrit(1.0, 11, 0.95, settings, interactiveVariant, iterations);
    EXPECT_EQ(iterations, 2);
    const double A = NormalQuantile(0.95, 1e-4, 500) * std::sqrt(1.0 / 24.0 + 1.0 / 11.0);
    EXPECT_NEAR(noStep, 2.5 * 0.15 * A * std::sqrt(10.0), 1e-12);

    settings = control;
    int defaultCount = 0, earlyCount = 0;
    OneTailedCrit(1.0, 4, 0.999, settings, interactiveVariant, defaultCount);
    settings.ResultTol = 1e-10;
    EXPECT_NEAR(OneTailedCrit(1.0, 4, 0.999, settings, interactiveVariant, earlyCount), 106.27323, 2e-4);
    EXPECT_LT(earlyCount, defaultCount);
}

// Kind 1 is the upper limit (level alpha), every other kind the lower one; C
// is mapped back with the caller's nu, while the search runs with trunc(nu +
// 1) - 1 degrees of freedom. With lambda 1/2 and gamma^2 = nu + 1, S is
// sigma-hat (the table's C for nu 10, S 1: 2.9978948 and -1.6697932).
TEST(OneTailedLimit, KindsNonIntegralNuAndTheMappingBack)
{
    Settings control;
    struct Case { int kind; double nu, C; };
    const Case cases[] = {{1, 10.0, 2.9978948}, {2, 10.0, -1.6697932}, {0, 10.0, -1.6697932},
                          {-1, 10.0, -1.6697932}, {1, 10.5, 2.9978948}, {2, 10.99, -1.6697932}};
    for (const auto& c : cases) {
        const OneSidedResult r = OneTailedLimit(c.kind, 0.3, 1.0, c.nu, 0.95, 0.5, c.nu + 1.0, control, interactiveVariant);
        EXPECT_NEAR(r.C, c.C, 1e-6 * std::fabs(c.C)) << "kind " << c.kind << ", nu " << c.nu;
        EXPECT_NEAR(r.limit, 0.8 + r.C / std::sqrt(c.nu), 1e-14) << "kind " << c.kind << ", nu " << c.nu;
    }
}

// lambda < 0 makes the limit of one kind the mirror image about mu-hat of the
// other kind's limit for -lambda, with the same C.
TEST(OneTailedLimit, NegativeLambdaMirrorsTheOtherKind)
{
    Settings control;
    for (const int kind : {1, 2}) {
        const OneSidedResult neg = OneTailedLimit(kind, 1.7, 0.8, 7.0, 0.9, -0.7, 3.0, control, interactiveVariant);
        const OneSidedResult pos = OneTailedLimit(3 - kind, 1.7, 0.8, 7.0, 0.9, 0.7, 3.0, control, interactiveVariant);
        EXPECT_EQ(neg.C, pos.C) << "kind " << kind;
        EXPECT_NEAR(neg.limit, 2.0 * 1.7 - pos.limit, 1e-13) << "kind " << kind;
    }
}

// No spread (lambda = 0 or sigma-hat = 0): NaN with no iterations. Integrals
// that can never meet a negative Tolerance fail, and the search stops at once.
TEST(OneTailedLimit, ZeroSpreadAndFailedIntegrals)
{
    Settings control;
    for (const auto& [lambda, sigmahat] : {std::pair{0.0, 1.0}, std::pair{0.5, 0.0}}) {
        const OneSidedResult r = OneTailedLimit(1, 1.0, sigmahat, 10.0, 0.95, lambda, 11.0, control, interactiveVariant);
        EXPECT_TRUE(std::isnan(r.C) && std::isnan(r.limit));
        EXPECT_EQ(r.iterations, 0);
    }
    control.Tolerance = -1e-8;
    const OneSidedResult r = OneTailedLimit(1, 0.0, 1.0, 10.0, 0.95, 0.5, 11.0, control, interactiveVariant);
    EXPECT_EQ(r.iterations, 2);
    EXPECT_TRUE(std::isfinite(r.C));
}

// A published lognormal example, copied from the project's worked examples
// (four concentrations, a question-and-answer site): 95% limits for the mean,
// upper 11.6 and lower 0.039, from logs with mean -2.89759 and standard
// deviation 1.11173 (nu 3). The published figures come from interpolated
// tables and agree with an exact computation to about 2 percent.
TEST(OneTailedLimit, PublishedLognormalExample)
{
    Settings control;
    const OneSidedResult upper = OneTailedLimit(1, -2.89759, 1.11173, 3.0, 0.95, 0.5, 4.0, control, interactiveVariant);
    const OneSidedResult lower = OneTailedLimit(2, -2.89759, 1.11173, 3.0, 0.95, 0.5, 4.0, control, interactiveVariant);
    EXPECT_NEAR(std::exp(upper.limit), 11.6, 0.025 * 11.6);
    EXPECT_NEAR(std::exp(lower.limit), 0.039, 0.025 * 0.039);
}

} // namespace

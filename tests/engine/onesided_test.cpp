#include "engine/control.h"
#include "engine/mainguts.h"
#include "engine/searches.h"
#include "limits_test_support.h"
#include "support/reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using engine::interactiveVariant;
using engine::OneTailedCrit;
using engine::OneTailedLimit;
using limitstest::ControlScope;
using testsupport::readTable;
using testsupport::relativeError;

const std::string dataDir = TEST_DATA_DIR;

// The tail area as the cut points define it: the small tail beyond z = |x|
// is computed up to 18.66 and is 0 beyond; the large side is computed up to
// 7 and is exactly 1 beyond. Worst observed: 4.1e-11 of the small tail.
TEST(NormalTail, MatchesHighPrecisionReferenceWithinItsCutPoints)
{
    for (const auto& row : readTable(dataDir + "/normal_tail_reference.txt")) {
        const double x = row[0], z = std::fabs(x);
        const double small = x >= 0.0 ? row[1] : row[2];
        const bool smallIsUpper = x >= 0.0;
        const double gotSmall = engine::NormalTail(x, smallIsUpper);
        const double gotLarge = engine::NormalTail(x, !smallIsUpper);
        if (z > 18.66) EXPECT_EQ(gotSmall, 0.0) << x;
        else EXPECT_LE(relativeError(gotSmall, small), 5e-11) << x;
        if (z > 7.0) EXPECT_EQ(gotLarge, 1.0) << x;
        else EXPECT_LE(relativeError(gotLarge, 1.0 - small), 5e-11) << x;
    }
    EXPECT_EQ(engine::NormalCdf(-100.0), 0.0);
    EXPECT_EQ(engine::NormalCdf(100.0), 1.0);
}

// Quantiles from mpmath (30 digits); the search stops at steps of 1e-4.
TEST(NormalQuantile, FindsTheQuantileAndRefusesLevelsOutsideTheOpenInterval)
{
    struct Case { double p, z; };
    const Case cases[] = {{0.001, -3.0902323061678135},
                          {0.025, -1.9599639845400542}, {0.3, -0.52440051270804078},
                          {0.5, 0.0},                   {0.975, 1.9599639845400542},
                          {0.999, 3.0902323061678135}};
    for (const auto& c : cases) EXPECT_NEAR(engine::NormalQuantile(c.p, 1e-4, 500), c.z, 1e-6) << c.p;
    for (const double p : {0.0, 1.0, -0.5, 1.5}) EXPECT_EQ(engine::NormalQuantile(p, 1e-4, 500), -99999.0) << p;
}

// C within 1e-6 x max(1, |C|) over nu 2 to 1000, S 0.05 to 20 and p 0.001
// to 0.999 (worst 2.4e-7), except in far upper tails with few degrees of
// freedom and a large spread, where C runs into the hundreds and the flat
// probability magnifies the integrators' absolute error at the default
// Tolerance (worst 4.0e-4 at nu 3, S 20, p 0.999).
constexpr limitstest::CaseTolerance farTails[] = {
    {3, 3, 0.999, 1e-5}, {3, 8, 0.999, 8e-5},  {3, 20, 0.95, 2e-6}, {3, 20, 0.975, 4e-6},
    {3, 20, 0.999, 6e-4}, {5, 8, 0.999, 4e-6}, {5, 20, 0.999, 2e-5},
};

TEST(OneTailedCrit, MatchesHighPrecisionSolution)
{
    ControlScope scope;
    const engine::Settings settings = engine::settingsFromControl();
    for (const auto& row : readTable(dataDir + "/onesided_reference.txt")) {
        const double nu = row[0], S = row[1], p = row[2], want = row[3];
        int iterations = 0;
        const double C = OneTailedCrit(S, static_cast<int>(nu) + 1, p, settings, interactiveVariant, iterations);
        const double tol = limitstest::toleranceFor(farTails, nu, S, p, 1e-6);
        EXPECT_LE(std::fabs(C - want), tol * std::max(1.0, std::fabs(want)))
            << "nu " << nu << ", S " << S << ", p " << p;
    }
}

// The error above is the integrators' accuracy at the default Tolerance: a
// smaller one brings the worst case in.
TEST(OneTailedCrit, SmallerToleranceTightensFarTails)
{
    ControlScope scope;
    engine::control.Tolerance = 1e-12;
    int iterations = 0;
    const double C = OneTailedCrit(20.0, 4, 0.999, engine::settingsFromControl(), interactiveVariant, iterations);
    EXPECT_NEAR(C, 2121.2368474, 2e-7 * 2121.2368474);
}

// At the median both starting points come from a normal quantile near 0 and
// would all but coincide; the search must still find the root.
TEST(OneTailedCrit, MedianFromNearlyCoincidingStartingPoints)
{
    ControlScope scope;
    int iterations = 0;
    const double C = OneTailedCrit(12.0, 501, 0.5, engine::settingsFromControl(), interactiveVariant, iterations);
    EXPECT_NEAR(C, 0.17663556143, 1e-7); // mpmath, as the reference table
}

// Kind 1 is the upper limit (level alpha); every other kind the lower one.
// With lambda 1/2 and gamma^2 = nu + 1 the canonical spread is sigma-hat.
TEST(OneTailedLimit, KindSelectsTheLevelAndTheLimitIsMappedBack)
{
    ControlScope scope;
    const double nu = 10.0, sigmahat = 1.0, muhat = 0.3, gamma2 = 11.0;
    const double K = sigmahat / std::sqrt(gamma2) * std::sqrt((nu + 1.0) / nu);
    const double base = muhat + 0.5 * sigmahat * sigmahat;
    struct Case { int kind; double C; }; // C from the reference table: nu 10, S 1
    const Case cases[] = {{1, 2.9978948}, {2, -1.6697932}, {0, -1.6697932}, {3, -1.6697932}, {-1, -1.6697932}};
    for (const auto& c : cases) {
        const engine::OneSidedResult r = OneTailedLimit(c.kind, muhat, sigmahat, nu, 0.95, 0.5, gamma2);
        EXPECT_NEAR(r.C, c.C, 1e-6 * std::fabs(c.C)) << "kind " << c.kind;
        EXPECT_NEAR(r.limit, base + K * r.C, 1e-14) << "kind " << c.kind;
        EXPECT_GE(r.seconds, 0.0);
        EXPECT_GT(r.iterations, 2);
    }
}

// lambda < 0: the upper limit is the mirror image of the lower limit for
// -lambda about mu-hat, with the same C.
TEST(OneTailedLimit, NegativeLambdaMirrorsTheOtherKind)
{
    ControlScope scope;
    const double muhat = 1.7, sigmahat = 0.8, nu = 7.0, gamma2 = 3.0;
    for (const int kind : {1, 2}) {
        const engine::OneSidedResult neg = OneTailedLimit(kind, muhat, sigmahat, nu, 0.9, -0.7, gamma2);
        const engine::OneSidedResult pos = OneTailedLimit(3 - kind, muhat, sigmahat, nu, 0.9, 0.7, gamma2);
        EXPECT_EQ(neg.C, pos.C) << "kind " << kind;
        EXPECT_NEAR(neg.limit, 2.0 * muhat - pos.limit, 1e-13) << "kind " << kind;
    }
}

// A non-integral nu: the search runs with trunc(nu + 1) - 1 degrees of
// freedom, while S and the mapping back use the caller's nu.
TEST(OneTailedLimit, NonIntegralNuSearchesWithTheWholeDegreesOfFreedom)
{
    ControlScope scope;
    const double nu = 10.5, sigmahat = 1.0, gamma2 = nu + 1.0; // S = sigma-hat
    const engine::OneSidedResult r = OneTailedLimit(1, 0.0, sigmahat, nu, 0.95, 0.5, gamma2);
    EXPECT_NEAR(r.C, 2.9978948, 1e-6 * 2.9978948); // the table's C for nu 10, S 1
    EXPECT_NEAR(r.limit, 0.5 + std::sqrt(1.0 / nu) * r.C, 1e-14);
}

// NumIt bounds the secant steps: 2 allows one step (count 3); below 2 no step
// is taken and the second starting point, 2.5 times as far out as the first,
// is the answer.
TEST(OneTailedCrit, IterationLimit)
{
    ControlScope scope;
    const double S = 1.0, p = 0.95, nu = 10.0;
    engine::Settings settings = engine::settingsFromControl();
    int iterations = 0;
    const double converged = OneTailedCrit(S, 11, p, settings, interactiveVariant, iterations);

    settings.NumIt = 2;
    const double oneStep = OneTailedCrit(S, 11, p, settings, interactiveVariant, iterations);
    EXPECT_EQ(iterations, 3);
    EXPECT_GT(std::fabs(oneStep - converged), 1e-6);

    settings.NumIt = 1;
    const double noStep = OneTailedCrit(S, 11, p, settings, interactiveVariant, iterations);
    EXPECT_EQ(iterations, 2);
    const double z = engine::NormalQuantile(p, 1e-4, 500);
    const double A = S * z * std::sqrt(S * S / (2.0 * (nu + 2.0)) + 1.0 / (nu + 1.0));
    EXPECT_NEAR(noStep, 2.5 * 0.15 * A * std::sqrt(nu) / S, 1e-12);
}

// A positive ResultTol ends the search at the first short step that leaves
// the function below it, sooner than the default's run to an exactly zero
// secant difference, and still at the root.
TEST(OneTailedCrit, PositiveResultTolEndsEarly)
{
    ControlScope scope;
    engine::Settings settings = engine::settingsFromControl();
    int defaultCount = 0, earlyCount = 0;
    OneTailedCrit(1.0, 4, 0.999, settings, interactiveVariant, defaultCount);
    settings.ResultTol = 1e-10;
    const double C = OneTailedCrit(1.0, 4, 0.999, settings, interactiveVariant, earlyCount);
    EXPECT_LT(earlyCount, defaultCount);
    EXPECT_NEAR(C, 106.27323, 1e-6 * 106.27323); // the table's C for nu 3, S 1
}

// lambda = 0 (and sigma-hat = 0) leave no spread: NaN and no iterations.
TEST(OneTailedLimit, ZeroSpreadGivesNaN)
{
    ControlScope scope;
    for (const auto& [lambda, sigmahat] : {std::pair{0.0, 1.0}, std::pair{0.5, 0.0}}) {
        const engine::OneSidedResult r = OneTailedLimit(1, 1.0, sigmahat, 10.0, 0.95, lambda, 11.0);
        EXPECT_TRUE(std::isnan(r.C));
        EXPECT_TRUE(std::isnan(r.limit));
        EXPECT_EQ(r.iterations, 0);
    }
}

// Integrals that can never meet their thresholds fail, onetailg returns its
// failure value and the search stops at once with its second starting point.
TEST(OneTailedLimit, FailedIntegralsStopTheSearch)
{
    ControlScope scope;
    engine::control.Tolerance = -1e-8;
    const engine::OneSidedResult r = OneTailedLimit(1, 0.0, 1.0, 10.0, 0.95, 0.5, 11.0);
    EXPECT_EQ(r.iterations, 2);
    EXPECT_TRUE(std::isfinite(r.C));
}

// A published lognormal example (copied from the project's worked examples:
// four concentrations, a question-and-answer site): 95% limits for the mean
// upper 11.6 and lower 0.039, from logs with mean -2.89759 and standard
// deviation 1.11173, nu = 3. The published figures come from interpolated
// tables and agree with an exact computation to about 2 percent.
TEST(OneTailedLimit, PublishedLognormalExample)
{
    ControlScope scope;
    const double muhat = -2.89759, sigmahat = 1.11173, nu = 3.0, gamma2 = 4.0;
    const engine::OneSidedResult upper = OneTailedLimit(1, muhat, sigmahat, nu, 0.95, 0.5, gamma2);
    const engine::OneSidedResult lower = OneTailedLimit(2, muhat, sigmahat, nu, 0.95, 0.5, gamma2);
    EXPECT_NEAR(std::exp(upper.limit), 11.6, 0.025 * 11.6);
    EXPECT_NEAR(std::exp(lower.limit), 0.039, 0.025 * 0.039);
    EXPECT_NEAR(upper.C, 7.37, 0.02 * 7.37);
    EXPECT_NEAR(lower.C, -1.50, 0.03 * 1.50);
}

} // namespace

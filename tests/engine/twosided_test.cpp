#include "engine/limit_searches.h"
#include "engine/searches.h"
#include "limits_test_support.h"
#include "support/reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace engine;
using limitstest::ConsoleCapture;
using testsupport::readTable;

const std::string dataDir = TEST_DATA_DIR;

// Against an mpmath solution of the same equations over nu 2 to 1000, S 0.05
// to 20 and alpha 0.001 to 0.999, relative to max(1, |C|). The two-sided
// fraction is flat in the trial value where the spread is large, so the
// integrators' absolute error at the default Tolerance moves C far more than
// in the one-sided search. Tolerances per spread (rows) and alpha (columns),
// about twice the worst error over nu, which lies at nu 3 in the far columns
// (4.2e-2 at S 20, alpha 0.001 and at S 8, alpha 0.999) and at nu 100 to 1000
// in the middle ones (2.7e-4 at S 20, alpha 0.95, nu 1000).
constexpr double spreads[] = {0.05, 0.2, 1.0, 3.0, 8.0, 20.0};
constexpr double alphas[] = {0.001, 0.5, 0.9, 0.95, 0.999};
constexpr double defaultTolerance[6][5] = {
    {5e-6, 2e-6, 1e-6, 1e-6, 1e-6}, {1e-6, 1e-6, 1e-6, 1e-6, 1e-6}, {1e-5, 1e-6, 1e-6, 1e-6, 5e-5},
    {5e-5, 1e-6, 1e-6, 1e-6, 3e-3}, {6e-4, 2e-5, 2e-5, 3e-5, 6e-2}, {6e-2, 2e-4, 2e-4, 5e-4, 6e-2},
};

double toleranceAt(double S, double alpha)
{
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 5; ++j)
            if (spreads[i] == S && alphas[j] == alpha) return defaultTolerance[i][j];
    return 1e-6;
}

void expectLimits(const TwoSidedResult& r, const std::vector<double>& row, double tol)
{
    const double nu = row[0], S = row[1];
    const auto where = [&] { return ::testing::Message() << "nu " << nu << ", S " << S << ", alpha " << row[2]; };
    EXPECT_NEAR(r.Clower, row[3], tol * std::max(1.0, std::fabs(row[3]))) << where();
    EXPECT_NEAR(r.Cupper, row[4], tol * std::max(1.0, std::fabs(row[4]))) << where();
    EXPECT_NEAR(r.lower, S * S / 2.0 + S / std::sqrt(nu) * r.Clower, 1e-12 * std::max(1.0, std::fabs(r.lower))) << where();
}

// Both variants (at the default Tolerance their thresholds agree), with
// lambda 1/2 and gamma^2 = nu + 1 so that S is sigma-hat.
TEST(TwoTailedLimits, MatchHighPrecisionSolution)
{
    Settings control;
    ConsoleCapture console;
    for (const auto& variant : {interactiveVariant, verificationVariant})
        for (const auto& row : readTable(dataDir + "/twosided_reference.txt"))
            expectLimits(TwoTailedLimits(0.0, row[1], row[0], row[2], 0.5, row[0] + 1.0, control, variant), row,
                         toleranceAt(row[1], row[2]));
}

// A Tolerance of 1e-12 brings C within 1e-6 (worst 5.7e-7 in this sample),
// except at nu 3 and alpha 0.999 (2.4e-6 at S 8, 2.5e-4 at S 20).
TEST(TwoTailedLimits, SmallerToleranceMatchesClosely)
{
    Settings control;
    ConsoleCapture console;
    control.Tolerance = 1e-12;
    for (const auto& row : readTable(dataDir + "/twosided_reference.txt")) {
        const double nu = row[0], S = row[1], alpha = row[2];
        if ((S != 1.0 && S != 8.0 && S != 20.0) || alpha == 0.001 || alpha == 0.9) continue;
        const double tol = nu == 3.0 && S == 20.0 && alpha == 0.999 ? 5e-4 : nu == 3.0 && alpha == 0.999 ? 5e-6 : 1e-6;
        expectLimits(TwoTailedLimits(0.0, S, nu, alpha, 0.5, nu + 1.0, control, interactiveVariant), row, tol);
    }
}

// lambda -> -lambda mirrors the pair about mu-hat: each limit comes from the
// other side's search, with its C and its iteration count. The values at the
// end are the true 95% limits for mu-hat 0, sigma-hat 1, nu 10, lambda -0.5.
TEST(TwoTailedLimits, NegativeLambdaMirrorsThePairAboutMuHat)
{
    Settings control;
    struct Case { double muhat, sigmahat, nu, alpha, lambda, gamma2; };
    const Case cases[] = {{0.0, 1.0, 10.0, 0.95, 0.5, 11.0}, {2.5, 0.4, 3.0, 0.9, 1.3, 2.0}, {-1.0, 2.0, 100.0, 0.99, 0.2, 50.0}};
    for (const auto& c : cases) {
        const TwoSidedResult pos = TwoTailedLimits(c.muhat, c.sigmahat, c.nu, c.alpha, c.lambda, c.gamma2, control, interactiveVariant);
        const TwoSidedResult neg = TwoTailedLimits(c.muhat, c.sigmahat, c.nu, c.alpha, -c.lambda, c.gamma2, control, interactiveVariant);
        EXPECT_NEAR(neg.lower, 2.0 * c.muhat - pos.upper, 1e-12 * std::max(1.0, std::fabs(pos.upper)));
        EXPECT_NEAR(neg.upper, 2.0 * c.muhat - pos.lower, 1e-12 * std::max(1.0, std::fabs(pos.lower)));
        EXPECT_EQ(neg.Clower, pos.Cupper);
        EXPECT_EQ(neg.Cupper, pos.Clower);
        EXPECT_EQ(neg.itLower, pos.itUpper);
        EXPECT_EQ(neg.itUpper, pos.itLower);
    }
    const TwoSidedResult r = TwoTailedLimits(0.0, 1.0, 10.0, 0.95, -0.5, 11.0, control, interactiveVariant);
    EXPECT_NEAR(r.lower, -1.6290, 1e-4);
    EXPECT_NEAR(r.upper, 0.1530, 1e-4);
}

// No spread gives NaN with no iterations. A non-integral nu searches with
// trunc(nu + 1) - 1 degrees of freedom (S included) and maps back with the
// caller's nu.
TEST(TwoTailedLimits, ZeroSpreadAndNonIntegralNu)
{
    Settings control;
    for (const auto& [lambda, sigmahat] : {std::pair{0.0, 1.0}, std::pair{0.5, 0.0}}) {
        const TwoSidedResult r = TwoTailedLimits(1.0, sigmahat, 10.0, 0.95, lambda, 11.0, control, interactiveVariant);
        EXPECT_TRUE(std::isnan(r.lower) && std::isnan(r.upper) && std::isnan(r.Clower) && std::isnan(r.Cupper));
        EXPECT_EQ(r.itLower + r.itUpper, 0);
    }
    const TwoSidedResult r = TwoTailedLimits(0.0, 1.0, 10.5, 0.95, 0.5, 11.0, control, interactiveVariant);
    const TwoSidedResult whole = TwoTailedLimits(0.0, 1.0, 10.0, 0.95, 0.5, 11.0, control, interactiveVariant);
    EXPECT_EQ(r.Clower, whole.Clower);
    EXPECT_EQ(r.Cupper, whole.Cupper);
    EXPECT_NEAR(r.lower, 0.5 + std::sqrt(11.5 / 10.5 / 11.0) * r.Clower, 1e-14);
}

// NumIt = 2: one secant step, then the bisection fallback takes one step of
// its own and gives up with count 3 and its line. A positive ResultTol ends
// each search at the first point within it, sooner than the default's run
// down to a bracket of Tolerance.
TEST(TwoTailedLimits, IterationLimitAndResultTol)
{
    Settings control;
    const TwoSidedResult full = TwoTailedLimits(0.0, 1.0, 10.0, 0.95, 0.5, 11.0, control, interactiveVariant);
    control.ResultTol = 1e-7;
    const TwoSidedResult early = TwoTailedLimits(0.0, 1.0, 10.0, 0.95, 0.5, 11.0, control, interactiveVariant);
    EXPECT_LT(early.itLower + early.itUpper, full.itLower + full.itUpper);
    EXPECT_NEAR(early.Clower, full.Clower, 1e-5);
    EXPECT_NEAR(early.Cupper, full.Cupper, 1e-5);

    control = defaultSettings;
    control.NumIt = 2;
    ConsoleCapture console;
    const TwoSidedResult r = TwoTailedLimits(0.0, 1.0, 10.0, 0.95, 0.5, 11.0, control, interactiveVariant);
    EXPECT_EQ(r.itLower, 3);
    EXPECT_EQ(r.itUpper, 3);
    EXPECT_EQ(console.count("Method (Only Bisection) failed..."), 2);
}

// Every evaluation fails (integrals that can never meet a negative
// Tolerance): the bracketing loops meet their bound, say so, and each search
// ends as an exhausted bisection instead of running for ever.
TEST(TwoTailedLimits, BracketingBoundEndsASearchThatCannotBracket)
{
    Settings control;
    control.Tolerance = -1e-8;
    ConsoleCapture console;
    const TwoSidedResult r = TwoTailedLimits(0.0, 1.0, 10.0, 0.95, 0.5, 11.0, control, interactiveVariant);
    EXPECT_EQ(r.itLower, control.NumIt + 1);
    EXPECT_EQ(r.itUpper, control.NumIt + 1);
    EXPECT_EQ(console.count("No sign change found by bracketing in SecantBis..."), 2);
    EXPECT_EQ(console.count("No sign change found by bracketing in OnlyBisection..."), 2);
    EXPECT_EQ(console.count("Method (Only Bisection) failed..."), 2);
}

// A search function that counts its evaluations: value(p) everywhere, failing
// where fails(p) holds.
class Counted : public TwoSidedFunction {
public:
    Counted(double (*value)(double), bool (*fails)(double)) : value_(value), fails_(fails) {}
    double value(double p, bool& failed) const override
    {
        ++evaluations;
        failed = fails_(p);
        return failed ? -8.0e6 : value_(p);
    }
    mutable int evaluations = 0;

private:
    double (*value_)(double);
    bool (*fails_)(double);
};

// A bracketing trial that cannot move (a fixed step below the spacing of
// doubles at a huge starting point, or a back-off midpoint that has shrunk
// onto the last good point) gives up at once, as its bound would after
// thousands of evaluations at the same point, with the same result.
TEST(TwoTailedLimits, BracketingThatCannotMoveGivesUpAtOnce)
{
    const Settings control;
    {
        // Positive everywhere: the downward steps of 0.1 and 0.5 from 1e22 stay put.
        const Counted f([](double) { return 1.0; }, [](double) { return false; });
        ConsoleCapture console;
        const SearchResult r = SecantBis({1, 0.95, 8.0, 1.0, 0.0, &f}, 1e22, 1.1e22, control, interactiveVariant);
        EXPECT_EQ(r.X, 1e22);
        EXPECT_EQ(r.iterations, control.NumIt + 1);
        EXPECT_EQ(console.count("No sign change found by bracketing in SecantBis..."), 1);
        EXPECT_EQ(console.count("No sign change found by bracketing in OnlyBisection..."), 1);
        EXPECT_LE(f.evaluations, 6);
    }
    {
        // Negative below 2 and failing from 2 on: the upward trials back off
        // towards 1.5 and the midpoints reach it after about fifty halvings.
        const Counted f([](double p) { return p - 3.0; }, [](double p) { return p >= 2.0; });
        ConsoleCapture console;
        const SearchResult r = SecantBis({2, 0.95, 8.0, 1.0, 0.0, &f}, 1.0, 1.5, control, interactiveVariant);
        EXPECT_EQ(r.iterations, control.NumIt + 1);
        EXPECT_EQ(console.count("No sign change found by bracketing in SecantBis..."), 1);
        EXPECT_LE(f.evaluations, 300);
    }
}

} // namespace

// The verification program's rules for the two-sided searches, driven by
// functions of known shape in place of newg - level: its own secant phase,
// the second try by SecantBis after a failed evaluation, and the changed
// rules of SecantBis and OnlyBisection.

#include "console_lines.h"
#include "engine/searches.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

using engine::SearchResult;
using engine::Settings;

constexpr double failedValue = -8.0e6;
const double singleTenth = static_cast<double>(0.1f);

// A search function that records where it was evaluated and fails (with
// newg's lower-end failure value) wherever fails says so.
class Scripted : public engine::TwoSidedFunction {
public:
    explicit Scripted(std::function<double(double)> f, std::function<bool(double)> fails = nullptr)
        : f_(std::move(f)), fails_(std::move(fails))
    {
    }

    double value(double p, bool& failed) const override
    {
        points.push_back(p);
        failed = fails_ && fails_(p);
        return failed ? failedValue : f_(p);
    }

    mutable std::vector<double> points;

private:
    std::function<double(double)> f_;
    std::function<bool(double)> fails_;
};

engine::TwoSidedSearch searchOf(const Scripted& f)
{
    return {2, 0.95, 5.0, 1.0, 0.0, &f};
}

Settings settings(int NumIt, double Tolerance, double ResultTol)
{
    return {.NumIt = NumIt, .ArgTop = 800.0, .Tolerance = Tolerance, .ResultTol = ResultTol};
}

const auto& rules = engine::verificationVariant;

// The first n evaluation points (all of them when there are fewer).
std::vector<double> first(const std::vector<double>& points, std::size_t n)
{
    return {points.begin(), points.begin() + static_cast<std::ptrdiff_t>(std::min(n, points.size()))};
}

double lineFrom1(double p)
{
    return p - 1.0;
}

// ---- The secant phase ---------------------------------------------------------

TEST(SecantPhase, EndsOnASmallStepAndLooksAtTheAnswerOnceMore)
{
    // The value 0 at the first step is below -ResultTol only when ResultTol
    // is negative; the line does not end the search.
    const std::pair<double, std::vector<std::string>> rows[] = {
        {-1.0, {"  q1 error met, i is            2"}},
        {0.5, {}},
    };
    for (const auto& [ResultTol, lines] : rows) {
        verifytest::ConsoleLines console;
        Scripted f(lineFrom1);
        const SearchResult r =
            engine::TWOTAILEDSECANT(searchOf(f), 0.0, 2.0, settings(200, 1.0e-8, ResultTol), rules);
        EXPECT_EQ(r.X, 1.0);
        EXPECT_EQ(r.iterations, 3);
        EXPECT_EQ(r.fail, 0);
        EXPECT_EQ(f.points, (std::vector<double>{0.0, 2.0, 1.0, 1.0}));
        EXPECT_EQ(console.lines(), lines) << ResultTol;
    }
}

TEST(SecantPhase, FailedEvaluationEndsItWithTheFlag)
{
    struct Row {
        std::function<bool(double)> fails;
        std::size_t evaluations;
    };
    // Starting points 0.25 and 2 (F = p - 1).
    const Row rows[] = {
        {[](double p) { return p < 0.3; }, 1}, // the first starting point fails
        {[](double p) { return p > 1.5; }, 2}, // the second one fails
    };
    for (const Row& row : rows) {
        Scripted f(lineFrom1, row.fails);
        const SearchResult r =
            engine::TWOTAILEDSECANT(searchOf(f), 0.25, 2.0, settings(200, 1.0e-8, -1.0), rules);
        EXPECT_EQ(r.fail, 1) << row.evaluations;
        EXPECT_EQ(f.points.size(), row.evaluations);
    }
    // A step onto a failing point, and a failure at the answer itself.
    Scripted stepFails(lineFrom1, [](double p) { return p > 0.5 && p < 1.5; });
    EXPECT_EQ(engine::TWOTAILEDSECANT(searchOf(stepFails), 0.0, 2.0, settings(200, 1.0e-8, -1.0), rules).fail, 1);
    EXPECT_EQ(stepFails.points, (std::vector<double>{0.0, 2.0, 1.0}));

    int calls = 0;
    Scripted answerFails(lineFrom1, [&](double p) { return p == 1.0 && ++calls == 2; });
    const SearchResult r = engine::TWOTAILEDSECANT(searchOf(answerFails), 0.0, 2.0, settings(200, 1.0e-8, -1.0), rules);
    EXPECT_EQ(r.X, 1.0);
    EXPECT_EQ(r.fail, 1);
}

TEST(SecantPhase, EqualValuesHandTheSearchToSecantBisFromTheNewerPoint)
{
    // Flat at -0.5 up to 3, then rising: the two starting values are equal.
    Scripted f([](double p) { return p < 3.0 ? -0.5 : p - 3.5; });
    engine::TWOTAILEDSECANT(searchOf(f), 0.0, 1.0, settings(40, 1.0e-8, 0.01), rules);
    EXPECT_EQ(first(f.points, 5), (std::vector<double>{0.0, 1.0, 1.0, 1.0, 1.0 + singleTenth}));
}

TEST(SecantPhase, ExhaustedIterationsWriteTheirReport)
{
    verifytest::ConsoleLines console;
    Scripted f([](double p) { return p * p * p - 2.0; });
    const SearchResult r = engine::TWOTAILEDSECANT(searchOf(f), 0.0, 2.0, settings(2, 1.0e-8, -1.0), rules);
    EXPECT_EQ(r.X, 0.5);
    EXPECT_EQ(r.iterations, 3);
    EXPECT_EQ(r.fail, 0);
    EXPECT_EQ(f.points, (std::vector<double>{0.0, 2.0, 0.5, 0.5}));
    // |q2| = 1.875 is not below -ResultTol: no "error met" line.
    const std::vector<std::string> expected{
        " Method thinks it did not work.",
        "   i,p,s,q1 are  3  5.0000E-01  1.0000E+00 -1.8750E+00",
        " Value (=0?)         -1.87500000000000",
        " ",
    };
    EXPECT_EQ(console.lines(), expected);
}

// ---- The driver's second try --------------------------------------------------

TEST(LimitSearch, FailedPhaseIsSearchedAgainBySecantBis)
{
    verifytest::ConsoleLines console;
    Scripted f(lineFrom1, [](double p) { return p < 0.5; });
    const SearchResult r = engine::LimitSearch(searchOf(f), 0.0, 2.0, settings(20, 1.0e-8, 1.0e-3), rules);
    // The phase fails at once; SecantBis starts again from both points.
    EXPECT_EQ(first(f.points, 3), (std::vector<double>{0.0, 0.0, 2.0}));
    // Its secant steps creep from 2 (the failed value -8e6 is the lower
    // end), it runs out of iterations, and OnlyBisection starts again from
    // the starting points, announcing the failed first one; its first
    // midpoint is the root.
    EXPECT_EQ(r.X, 1.0);
    EXPECT_EQ(r.iterations, 3);
    EXPECT_EQ(console.lines(), std::vector<std::string>{" error getting guess q0 in only bisection..."});
    ASSERT_GE(f.points.size(), 4u);
    EXPECT_EQ(std::vector<double>(f.points.end() - 3, f.points.end()), (std::vector<double>{0.0, 2.0, 1.0}));
}

// ---- SecantBis ---------------------------------------------------------------

TEST(SecantBisRules, BothBracketingStepsAreTheSingleTenth)
{
    // Both points above the root 1: the lower one steps down.
    Scripted above(lineFrom1);
    engine::SecantBis(searchOf(above), 2.0, 3.0, settings(12, 1.0e-8, 0.5), rules);
    std::vector<double> expected{2.0, 3.0};
    for (double p = 2.0; p > 1.0;) expected.push_back(p = p - singleTenth);
    EXPECT_EQ(first(above.points, expected.size()), expected);

    // Both below the root 10: the upper one steps up by the same fixed step.
    Scripted below([](double p) { return p - 10.0; });
    engine::SecantBis(searchOf(below), 0.0, 8.0, settings(30, 1.0e-8, 0.5), rules);
    expected = {0.0, 8.0};
    for (double p = 8.0; p < 10.0;) expected.push_back(p = p + singleTenth);
    EXPECT_EQ(first(below.points, expected.size()), expected);
}

TEST(SecantBisRules, EndsOnlyOnTheValueAfterAStep)
{
    // The bracket [0, 2] is already narrower than Tolerance, yet a step is
    // taken, and its value 0 ends the search.
    Scripted f(lineFrom1);
    const SearchResult r = engine::SecantBis(searchOf(f), 0.0, 2.0, settings(200, 10.0, 0.5), rules);
    EXPECT_EQ(r.X, 1.0);
    EXPECT_EQ(r.iterations, 3);

    // Under a negative ResultTol the steps go on until NumIt is spent, and
    // bisection starts again from the starting points.
    Scripted g(lineFrom1);
    engine::SecantBis(searchOf(g), 0.0, 2.0, settings(4, 10.0, -1.0), rules);
    EXPECT_EQ(g.points, (std::vector<double>{0.0, 2.0, 1.0, 1.0, 1.0, 0.0, 2.0, 1.0}));
}

TEST(SecantBisRules, FailedEvaluationDoesNotEndTheLoop)
{
    // The first step lands on a failing point; the loop goes on from the
    // bracket [1, 2] with the failure value at its lower end.
    Scripted f(lineFrom1, [](double p) { return p > 0.9 && p < 1.1; });
    engine::SecantBis(searchOf(f), 0.0, 2.0, settings(4, 1.0e-8, 1.0e-3), rules);
    ASSERT_GE(f.points.size(), 4u);
    EXPECT_EQ(f.points[2], 1.0);
    EXPECT_EQ(f.points[3], 2.0 - 1.0 / (1.0 - failedValue));
}

TEST(SecantBisRules, ExhaustedLoopRestartsOnlyBisectionFromTheStartingPoints)
{
    // Regula falsi on a convex function keeps its left end; with a negative
    // ResultTol the loop runs out and bisection starts from 0.5 and 3.
    Scripted f([](double p) { return p * p - 2.0; });
    const SearchResult r = engine::SecantBis(searchOf(f), 0.5, 3.0, settings(6, 1.0e-3, -1.0), rules);
    ASSERT_GE(f.points.size(), 9u);
    EXPECT_EQ(f.points[7], 0.5);
    EXPECT_EQ(f.points[8], 3.0);
    // Five midpoints of [0.5, 3] before the iterations run out again.
    EXPECT_NEAR(r.X, std::sqrt(2.0), 2.5 / 32.0);
}

TEST(SecantBisRules, EqualValuesAfterBracketing)
{
    verifytest::ConsoleLines console;
    // Zero on [1, 2]: both starting values are exactly 0.
    Scripted f([](double p) { return p < 1.0 ? p - 1.0 : (p > 2.0 ? p - 2.0 : 0.0); });
    const SearchResult r = engine::SecantBis(searchOf(f), 1.25, 1.5, settings(200, 1.0e-8, 0.0), rules);
    EXPECT_EQ(console.lines(), std::vector<std::string>{" q1-q0=machine 0 in SecantBis..."});
    // The next step goes to the lower point, whose value 0 ends the search.
    EXPECT_EQ(r.X, 1.25);
    EXPECT_EQ(r.iterations, 3);
}

// ---- OnlyBisection (its failed first point: see LimitSearch above) ------------

TEST(OnlyBisectionRules, MidpointIsEvaluatedBeforeTheTests)
{
    struct Row {
        Settings s;
        double X;
        int iterations;
    };
    const Row rows[] = {
        {settings(200, 10.0, -1.0), 1.0, 3},   // the bracket is already narrower than Tolerance
        {settings(200, 1.0e-8, 2.0), 1.0, 3},  // the lower value is already within ResultTol
        {settings(200, 0.3, -1.0), 0.75, 5},   // |pm - p1| = 0.25 at the third midpoint
        {settings(3, 1.0e-8, -1.0), 0.5, 4},   // exhausted: the last midpoint, with a line
    };
    for (const Row& row : rows) {
        verifytest::ConsoleLines console;
        Scripted f([](double p) { return p - 0.7; });
        const SearchResult r = engine::OnlyBisection(searchOf(f), 0.0, 2.0, row.s, rules);
        EXPECT_EQ(r.X, row.X) << row.s.NumIt << " " << row.s.Tolerance;
        EXPECT_EQ(r.iterations, row.iterations) << row.s.NumIt << " " << row.s.Tolerance;
        const bool exhausted = row.s.NumIt == 3;
        EXPECT_EQ(console.lines().size(), exhausted ? 1u : 0u);
    }
}

} // namespace

// The adaptive Simpson rule: evaluation count and order, the stack limit with
// its partial sum, and the stop on a subinterval too narrow for its position.

#include "console_lines.h"
#include "brennik/verification.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

using verify::AdapQuad;
using verify::Case;

constexpr Case someCase{0.0, 10.0, 0.5, 5.0, 0.95, 1.0e-8, -1.0};

// An integrand of one variable that records where it was evaluated.
struct Recorded {
    std::function<double(double)> f;
    std::vector<double> points;

    verify::Integrand integrand()
    {
        return [this](int, double u, const Case&) {
            points.push_back(u);
            return f(u);
        };
    }
};

// A quadratic is integrated exactly, but only once the range is cut into
// eighths: 3 + 2 x (1 + 2 + 4 + 8) evaluations, the left half of each
// subinterval examined before its right half.
TEST(AdapQuad, QuadraticIsAcceptedAtAnEighthOfTheRange)
{
    Recorded q{[](double u) { return 3.0 * u * u - 2.0 * u + 1.0; }, {}};
    const verify::Quadrature r = AdapQuad(q.integrand(), 2, 0.0, 2.0, someCase, 1.0e-12);
    EXPECT_NEAR(r.value, 6.0, 6.0e-15);
    EXPECT_EQ(r.deepest, 4);
    EXPECT_FALSE(r.stopped);
    ASSERT_EQ(q.points.size(), 33u);
    EXPECT_EQ(std::vector<double>(q.points.begin(), q.points.begin() + 9),
              (std::vector<double>{0.0, 1.0, 2.0, 0.5, 1.5, 0.25, 0.75, 0.125, 0.375}));
}

// Integrands whose first five points agree with a parabola by chance: the
// rule without a least subdivision takes the Simpson sum of those points
// (0 here) for the integral.
TEST(AdapQuad, ChanceAgreementOfTheFirstPointsIsNotAccepted)
{
    const double pi = std::acos(-1.0);
    const struct {
        const char* name;
        std::function<double(double)> f;
        double integral;
    } rows[] = {
        // Zero at 0, 1/4, 1/2, 3/4 and 1.
        {"sin^2(4 pi u)", [pi](double u) { return std::pow(std::sin(4.0 * pi * u), 2); }, 0.5},
        // A peak between 1/4 and 1/2, below 1e-30 at the five points.
        {"peak at 3/8", [](double u) { return std::exp(-std::pow((u - 0.375) / 0.0125, 2)); },
         0.0125 * std::sqrt(pi)},
    };
    for (const auto& row : rows) {
        Recorded q{row.f, {}};
        const verify::Quadrature r = AdapQuad(q.integrand(), 2, 0.0, 1.0, someCase, 1.0e-7);
        EXPECT_NEAR(r.value, row.integral, 1.0e-6) << row.name;
    }
}

TEST(AdapQuad, HandsWhichAndTheCaseToTheIntegrand)
{
    int seenWhich = 0;
    double seenSigma = 0.0;
    const verify::Integrand f = [&](int which, double, const Case& c) {
        seenWhich = which;
        seenSigma = c.sigma;
        return 1.0;
    };
    EXPECT_DOUBLE_EQ(AdapQuad(f, 7, 0.25, 0.5, someCase, 1.0e-6).value, 0.25);
    EXPECT_EQ(seenWhich, 7);
    EXPECT_EQ(seenSigma, someCase.sigma);
}

TEST(AdapQuad, PiecesAreAcceptedInLeftToRightOrder)
{
    // Every examined subinterval starts at or right of the one before it,
    // and the accepted pieces add up to the integral.
    Recorded q{[](double u) { return std::exp(8.0 * u); }, {}};
    const verify::Quadrature r = AdapQuad(q.integrand(), 2, 0.0, 1.0, someCase, 1.0e-9);
    ASSERT_GT(q.points.size(), 100u);
    double lastLeft = 0.0;
    for (std::size_t k = 3; k + 1 < q.points.size(); k += 2) {
        const double H = q.points[k + 1] - q.points[k];
        const double left = q.points[k] - H / 2.0;
        EXPECT_GE(left, lastLeft) << "evaluation " << k;
        lastLeft = left;
    }
    EXPECT_NEAR(r.value, (std::exp(8.0) - 1.0) / 8.0, 1.0e-8);
}

// 1 on [-1, 0] and 1/sqrt(u) on (0, 1]: the left half is exact, the
// subintervals at 0 are never accepted, and each halving leaves one more
// right half pending until 98 of them wait.
TEST(AdapQuad, StackLimitEndsWithThePartialSumAndTwoLines)
{
    verifytest::ConsoleLines console;
    Recorded q{[](double u) { return u <= 0.0 ? 1.0 : 1.0 / std::sqrt(u); }, {}};
    const verify::Quadrature r = AdapQuad(q.integrand(), 2, -1.0, 1.0, someCase, 1.0e-6);
    EXPECT_EQ(r.value, 1.0); // [-1, 0] only
    EXPECT_FALSE(r.stopped);
    EXPECT_EQ(r.deepest, 99);
    const std::vector<std::string> expected{
        " Level exceeded! i, L(i) are          98         100.000000000000",
        "     Sigma is   1.000000E+01",
    };
    EXPECT_EQ(console.lines(), expected);
}

// A jump at 1/3 is never resolved: the subinterval holding it is halved
// until its half-width is below 1e-16 of its left end.
TEST(AdapQuad, NarrowSubintervalStopsWithOneLine)
{
    verifytest::ConsoleLines console;
    Recorded q{[](double u) { return u < 1.0 / 3.0 ? 1.0 : 0.0; }, {}};
    const verify::Quadrature r = AdapQuad(q.integrand(), 2, 0.0, 1.0, someCase, 1.0e-6);
    EXPECT_TRUE(r.stopped);
    EXPECT_NEAR(r.value, 1.0 / 3.0, 1.0e-15);
    EXPECT_LT(r.deepest, 98); // well short of the stack limit
    EXPECT_EQ(console.lines(), std::vector<std::string>{" Something's wrong.  a(i)~b(i)"});
}

} // namespace

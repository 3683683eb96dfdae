// The expectation over sigma-hat that verify's coverage rests on, against
// closed forms: with T = sqrt(X / nu), X ~ chi-square(nu),
//   E exp(-a X) = (1 + 2a)^(-nu/2)   and   E T^2 = 1.
// A wrong density, normalisation or cut-off, or a wrong quadrature table,
// moves these by far more than the tolerance.

#include "library/spread_integral.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ExpectOverSpread, MatchesChiSquareMoments)
{
    // nu from the smallest sample to far beyond the printed tables, real nu included.
    for (const double nu : {2.0, 3.0, 7.5, 100.0, 1000.0, 1.0e6}) {
        const double a = 0.3 / nu;
        const auto f = [&](double t) -> std::array<double, 2> { return {std::exp(-a * nu * t * t), t * t}; };
        const velmar::detail::SpreadIntegral s = velmar::detail::expect_over_spread(nu, f, 1e-13);
        EXPECT_TRUE(s.converged) << "nu " << nu;
        EXPECT_NEAR(s.value[0], std::exp(-nu / 2.0 * std::log1p(2.0 * a)), 1e-12) << "nu " << nu;
        EXPECT_NEAR(s.value[1], 1.0, 1e-12) << "nu " << nu;
        EXPECT_LT(s.evaluations, 1000) << "nu " << nu;
    }
}

TEST(ExpectOverSpread, StepFunctionIsChiSquareProbability)
{
    // P(X <= nu) for nu = 2 is 1 - e^-1; a jump in the integrand (a limit
    // that changes branch) must still be integrated, to the tolerance asked.
    const auto f = [](double t) -> std::array<double, 2> { return {t <= 1.0 ? 1.0 : 0.0, 0.0}; };
    const velmar::detail::SpreadIntegral s = velmar::detail::expect_over_spread(2.0, f, 1e-9);
    EXPECT_NEAR(s.value[0], 1.0 - std::exp(-1.0), 1e-9);
}

} // namespace

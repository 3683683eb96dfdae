#pragma once
// Expectations over the sampling distribution of sigma-hat, by adaptive
// Gauss-Kronrod quadrature: the integration under the library's coverage.

#include <array>
#include <functional>

namespace velmar::detail {

struct SpreadIntegral {
    std::array<double, 2> value; // the two integrals
    double error;                // estimated absolute error (the larger of the two)
    int evaluations;
    bool converged;              // the error is within the tolerance
};

// E f(T) for T = sqrt(X / nu), X ~ chi-square(nu), nu > 0 (real), for a
// function with two values, by adaptive Gauss-Kronrod quadrature in
// z = ln(X / nu), to an absolute error of `tolerance` for each value.
SpreadIntegral expect_over_spread(double nu, const std::function<std::array<double, 2>(double)>& f,
                                  double tolerance);

} // namespace velmar::detail

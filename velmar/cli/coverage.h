#pragma once
// The coverage of the exact limits, by numerical integration over the
// distribution of sigma-hat: for a true sigma, and mu-hat at the true mu, the
// limit L(sigma-hat) misses theta with probability Phi(-(L - theta)/(sigma/gamma))
// over the normal distribution of mu-hat; averaging over sigma-hat gives the
// probability that the procedure misses.

#include "velmar/velmar.h"

#include <array>
#include <functional>
#include <string>

namespace velmar::cli {

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

struct Coverage {
    double coverage = 0.0; // the probability that the limit(s) hold theta
    double error = 0.0;    // the estimated integration error of coverage
    std::string failure;   // empty, or why it could not be computed
};

// Coverage of the exact limits of `side` at `level` for a sample of size n
// (nu = n - 1, gamma^2 = n), true sigma and lambda, to about 1e-9.
Coverage coverage(double n, double sigma, double lambda, double level, Side side);

} // namespace velmar::cli

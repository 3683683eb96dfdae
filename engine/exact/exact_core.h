#pragma once
// The exact core: the critical values of the canonical problem solved to
// about 1e-11 relative accuracy, for real degrees of freedom nu >= 2 and
// spreads S >= 0. It solves the same equations as the original searches
// (OneTailedCrit and the two-sided pair of TwoTailedLimits), with its own
// quadrature and bracketed Newton steps. Re-entrant, allocation-free, no
// clock and no console output.

#include <algorithm>
#include <cmath>

namespace engine::exact {

// The accuracy the core aims at: |C - true C| <= target_accuracy x max(1, |C|).
inline constexpr double target_accuracy = 1.0e-11;

// How a search ended: at a root (C and error_bound hold it), without a
// bracket around one, or at a probability that could not be evaluated (both
// with C = NaN).
enum class SearchEnd { root, unbracketed, evaluation_failed };

// Arguments outside the domain (S < 0, nu < 2, a level outside (0, 1), or
// NaN) give C = NaN, ended unbracketed, and no search.
struct Critical {
    double C;           // the standardized critical value
    double error_bound; // estimated absolute error of C
    int iterations;     // evaluations of the probability function
    SearchEnd end;
};

// A root whose error bound is within the target (others are the best double
// precision reaches there).
inline bool within_target(const Critical& c)
{
    return c.end == SearchEnd::root && c.error_bound <= target_accuracy * std::max(1.0, std::fabs(c.C));
}

// The one-sided critical value: the C at which the one-sided conditional
// probability of the canonical problem with spread S and nu degrees of
// freedom equals p (0 < p < 1); the root that OneTailedCrit(S, nu + 1, p)
// seeks, for real nu. S = 0 gives the Student-t limit sqrt(nu/(nu+1)) t_nu(p).
Critical one_sided(double S, double nu, double p);

struct CriticalPair {
    Critical lower; // the root with the observed point as the upper end of the region
    Critical upper; // the root with the observed point as the lower end
};

// The unbiased two-sided pair of level L (0 < L < 1) for spread S and nu
// degrees of freedom, as TwoTailedLimits seeks it for lambda >= 0.
CriticalPair two_sided(double S, double nu, double L);

} // namespace engine::exact

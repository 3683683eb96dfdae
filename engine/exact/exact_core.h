#pragma once
// The exact core: the critical values of the canonical problem solved to
// about 1e-11 relative accuracy, for real degrees of freedom nu >= 2 and
// spreads S >= 0. It solves the same equations as the specified searches
// (OneTailedCrit and the two-sided pair of TwoTailedLimits), with its own
// quadrature and bracketed Newton steps. Re-entrant, allocation-free, no
// clock and no console output.

namespace engine::exact {

enum class Status {
    converged,        // within the target accuracy
    beyond_precision, // a root was found, but double precision cannot reach the
                      // target here; error_bound holds what was reached
    no_root,          // no root could be bracketed (the value of C is NaN)
    integral_failed,  // a probability could not be evaluated (the value of C is NaN)
};

// Arguments outside the domain (S < 0, nu < 2, a level outside (0, 1), or
// NaN) give C = NaN with status no_root and no search.
struct Critical {
    double C;           // the standardized critical value
    double error_bound; // estimated absolute error of C
    int iterations;     // evaluations of the probability function
    Status status;
};

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

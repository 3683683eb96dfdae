#pragma once
// Inner routines of the limit searches: the normal quantile that seeds them,
// the one-sided secant search and the two-sided searches. The entries are in
// engine/limit_searches.h.

#include "engine/canonical.h"
#include "engine/limit_searches.h"
#include "engine/variant.h"

#include <cmath>

namespace engine {

// The critical value of the search value X: (X - S^2/2) sqrt(nu) / S.
inline double critical(double X, double S, double nu)
{
    return (X - S * S / 2.0) * std::sqrt(nu) / S;
}

// Standard normal tail area beyond x (upper) or below x (not upper).
double NormalTail(double x, bool upper);
// Lower-tail standard normal probability; exactly 0 / 1 beyond -100 / 100.
double NormalCdf(double x);
// The standard normal quantile of p by a secant search to tol; -99999.0 for
// p outside (0, 1).
double NormalQuantile(double p, double tol, int maxit);

// Secant search for onetailg(x) = target from x0 and x1. Returns the search
// value X (the second starting point when no step was taken).
double OneTailedSecant(double x0, double x1, double target, double nu, double S, const Settings& settings,
                       double lgam, const Variant& variant, int& iterations);

// Bounds the bracketing loops of the two-sided searches; no real case comes near.
inline constexpr int bracketingSteps = 2000;

// A function that stands in for newg - level in a two-sided search, so that
// the search rules can be driven by functions of known shape.
class TwoSidedFunction {
public:
    virtual ~TwoSidedFunction() = default;
    // The value at p; failed is set as newg's failure flag would be.
    virtual double value(double p, bool& failed) const = 0;
};

// One two-sided search: the zero of newg(p, level, side, nu, S, ...) - level,
// or of the function given instead.
struct TwoSidedSearch {
    int side; // 1: lower limit (the observed point is the upper end of the region)
    double level;
    double nu;
    double S;
    double lgam;
    const TwoSidedFunction* function = nullptr;
};

struct SearchResult {
    double X;
    int iterations;
    int fail; // the verification program's rules report failed evaluations here
};

// One limit as the driver searches it: TWOTAILEDSECANT, and SecantBis once
// more from the same starting points when that reports fail = 1.
SearchResult LimitSearch(const TwoSidedSearch& search, double first, double second, const Settings& settings,
                         const Variant& variant);
// Stands between the driver and the search rules of the variant: the
// interactive rules hand the whole call to SecantBis, the verification rules
// run SecantPhase.
SearchResult TWOTAILEDSECANT(const TwoSidedSearch& search, double first, double second,
                             const Settings& settings, const Variant& variant);
// Secant search kept inside a bracket, falling back to bisection.
SearchResult SecantBis(const TwoSidedSearch& search, double first, double second, const Settings& settings,
                       const Variant& variant);
// Bisection only; the last resort of SecantBis.
SearchResult OnlyBisection(const TwoSidedSearch& search, double first, double second,
                           const Settings& settings, const Variant& variant);

// The verification program's own secant search, run before any bracketing:
// unbracketed secant steps until one moves by at most Tolerance. A failed
// evaluation ends it with fail = 1; two equal values hand the search to
// SecantBis from the newer point.
SearchResult SecantPhase(const TwoSidedSearch& search, double first, double second, const Settings& settings,
                         const Variant& variant);

} // namespace engine

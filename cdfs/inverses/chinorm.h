#pragma once
// The two entries of the distribution library that the programs call.

namespace cdfs {

// Chi-square quantile: the x with P(chi-square(df) <= x) = p, found to the
// zero finder's tolerance tol (absolute and relative); about six significant
// digits, as the cumulative routine allows. Callers pass
// 0 <= p <= 0.999999999999999 and df > 0; outside that range the result is
// +infinity for p >= 1 and NaN otherwise.
double Chiinv(double p, double df, double tol);

// Standard normal distribution function Phi(x).
double normcdf(double x);

} // namespace cdfs

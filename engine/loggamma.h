#pragma once
// Natural logarithm of the gamma function for positive arguments.

namespace engine {

// Returned by loggamma outside its domain.
inline constexpr double loggammaOutOfRange = 1.79e308;

// ln Gamma(x) for 0 < x <= 2.55e305; 1.79e308 for x <= 0, for larger x and
// for NaN.
double loggamma(double x);

} // namespace engine

#pragma once
// The gamma function of a real argument.

namespace engine {

// Gamma(x) for real x. 1.79e308 for 0 and the negative integers, for
// x > 171.624, for 0 < |x| < 2.23e-308 and for NaN.
double gammafn(double x);

} // namespace engine

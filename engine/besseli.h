#pragma once
// The modified Bessel function of the first kind, I_v(x), for x >= 0 and
// v >= 0, optionally scaled by exp(-x).

#include "engine/gammafn.h"

#include <span>

namespace engine {

// Returned by besseli when the requested order was not computed.
inline constexpr double besselFailure = -99999.9;

// The sequence I_(alpha+k)(x), k = 0 .. nb-1, into B[0] .. B[nb-1]: unscaled
// when ize = 1 (x <= 709), times exp(-x) when ize = 2 (x <= 1e4). Needs
// 0 <= alpha < 1, nb >= 1 and B.size() >= nb.
// ncalc = nb: every value is accurate. 0 <= ncalc < nb: only B[0] ..
// B[ncalc-1] are (the higher orders underflowed or lost significance).
// ncalc < 0: the arguments were out of range and B is untouched.
void besselseq(double x, double alpha, int nb, int ize, std::span<double> B, int& ncalc);

// I_order(x) (scaled by exp(-x) when ize = 2), or besselFailure when the
// order could not be delivered: arguments out of range, the value lost to
// underflow or significance, or an order above besselMaxOrder.
// Orders up to 1999 use a work array on the stack; higher orders allocate.
double besseli(double x, double order, int ize);

// Highest order besseli serves. Far below it the values for any x it accepts
// have underflowed to 0 or failed the significance test already; the bound
// keeps the work array of a runaway order from exhausting memory.
inline constexpr double besselMaxOrder = 1.0e6;

} // namespace engine

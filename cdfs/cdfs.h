#pragma once
// The distribution library: machine constants, elementary special functions,
// the incomplete gamma ratio, the chi-square and normal distributions, the
// reverse-communication search and the chi-square inverse.

namespace cdfs {

// Integer machine constants, i = 1..10 (base, digits, exponent ranges).
int ipmpar(int i);

} // namespace cdfs

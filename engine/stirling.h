#pragma once
// The asymptotic correction series shared by loggamma and gammafn for
// arguments of 12 and more.

#include <array>

namespace engine::detail {

// Cody's SPECFUN (TOMS 715) C table; C[5] ~ 1/12 is the constant term, C[4] .. C[0] multiply
// w .. w^5 and C[6] multiplies w^6, w = 1/y^2 (the published loop order, kept as it is).
inline constexpr std::array<double, 7> stirlingC{
    -1.910444077728E-03,
    8.4171387781295E-04,
    -5.952379913043012E-04,
    7.93650793500350248E-04,
    -2.777777777777681622553E-03,
    8.333333333333333331554247E-02,
    5.7083835261E-03,
};

// The series in 1/y^2 before its division by y: start from C[6], then
// divide by y^2 and add C[0], ..., C[5] in turn.
inline double stirlingSum(double y)
{
    const double ysq = y * y;
    double sum = stirlingC[6];
    for (std::size_t i = 0; i < stirlingC.size() - 1; ++i) sum = sum / ysq + stirlingC[i];
    return sum;
}

} // namespace engine::detail

#pragma once
// Gauss-Legendre rules on [-1, 1]: the positive nodes in ascending order and
// their weights (the rule is symmetric). Made by make_gauss_legendre.py
// (mpmath 1.3.0, 40 digits); do not edit by hand.

namespace engine::exact::detail {

inline constexpr int glOrder12 = 12;
inline constexpr double glNodes12[6] = {
    1.2523340851146891547e-1,
    3.6783149899818019375e-1,
    5.873179542866174473e-1,
    7.6990267419430468704e-1,
    9.0411725637047485668e-1,
    9.8156063424671925069e-1,
};
inline constexpr double glWeights12[6] = {
    2.49147045813402785e-1,
    2.3349253653835480876e-1,
    2.0316742672306592175e-1,
    1.6007832854334622633e-1,
    1.0693932599531843096e-1,
    4.7175336386511827195e-2,
};

} // namespace engine::exact::detail

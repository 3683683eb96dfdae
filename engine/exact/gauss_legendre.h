#pragma once
// Gauss-Legendre rules on [-1, 1]: the positive nodes in ascending order and
// their weights (the rule is symmetric). Made by make_gauss_legendre.py
// (mpmath 1.3.0, 40 digits); do not edit by hand.

namespace engine::exact::detail {

inline constexpr int glOrder20 = 20;
inline constexpr double glNodes20[10] = {
    7.6526521133497333755e-2,
    2.2778585114164507808e-1,
    3.7370608871541956067e-1,
    5.10867001950827098e-1,
    6.3605368072651502545e-1,
    7.4633190646015079261e-1,
    8.3911697182221882339e-1,
    9.1223442825132590587e-1,
    9.6397192727791379127e-1,
    9.9312859918509492479e-1,
};
inline constexpr double glWeights20[10] = {
    1.527533871307258507e-1,
    1.4917298647260374679e-1,
    1.4209610931838205133e-1,
    1.316886384491766269e-1,
    1.1819453196151841731e-1,
    1.0193011981724043504e-1,
    8.3276741576704748725e-2,
    6.267204833410906357e-2,
    4.0601429800386941331e-2,
    1.7614007139152118312e-2,
};

} // namespace engine::exact::detail

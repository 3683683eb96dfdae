// Gamma(x) by Cody's rational approximation on [1, 2), recurrence below 12,
// the asymptotic series from 12 on and reflection for x <= 0 (SPECFUN, TOMS 715).

#include "engine/gammafn.h"

#include "engine/stirling.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace engine {

double gammafn(double x)
{
    constexpr double xbig = 171.624;
    constexpr double xminin = 2.23E-308;
    constexpr double eps = 2.22E-16;
    constexpr double xinf = 1.79E308;
    constexpr double lnSqrt2Pi = 0.9189385332046727417803297;
    constexpr double pi = 3.1415926535897932384626434;

    // Cody's SPECFUN (TOMS 715) P, Q for Gamma(1+z) - 1 on [0, 1): the loop
    // num = (num + P[i])*z, den = den*z + Q[i], i = 0 .. 7, from num = 0, den = 1.
    constexpr std::array<double, 8> P{
        -1.71618513886549492533811E+0, 2.47656508055759199108314E+1,
        -3.79804256470945635097577E+2, 6.29331155312818442661052E+2,
        8.66966202790413211295064E+2,  -3.14512729688483675254357E+4,
        -3.61444134186911729807069E+4, 6.64561438202405440627855E+4};
    constexpr std::array<double, 8> Q{
        -3.08402300119738975254353E+1, 3.15350626979604161529144E+2,
        -1.01515636749021914166146E+3, -3.10777167157231109440444E+3,
        2.25381184209801510330112E+4,  4.75584627752788110767815E+3,
        -1.34659959864969306392456E+5, -1.15132259675553483497211E+5};

    bool parity = false;
    double fact = 1.0;
    double y = x;
    double res = 0.0;

    // Reflection: Gamma(x) = -pi / (sin(pi*res) * |x| Gamma(|x|)) with res the
    // fractional part of |x|; the poles at 0 and the negative integers give XINF.
    if (y <= 0.0) {
        y = -x;
        const double y1 = std::trunc(y);
        res = y - y1;
        if (res == 0.0) return xinf;
        if (y1 != std::trunc(y1 * 0.5) * 2.0) parity = true;
        fact = -pi / std::sin(pi * res);
        y = y + 1.0;
    }

    if (y < eps) {
        if (y < xminin) return xinf;
        res = 1.0 / y;
    } else if (y < 12.0) {
        // Reduce to 1 <= y < 2, evaluate Gamma there, then undo the reduction.
        const double y1 = y;
        int n = 0;
        double z = 0.0;
        if (y < 1.0) {
            z = y;
            y = y + 1.0;
        } else {
            n = static_cast<int>(y) - 1;
            y = y - static_cast<double>(n);
            z = y - 1.0;
        }
        double xnum = 0.0;
        double xden = 1.0;
        for (std::size_t i = 0; i < P.size(); ++i) {
            xnum = (xnum + P[i]) * z;
            xden = xden * z + Q[i];
        }
        res = xnum / xden + 1.0;
        if (y1 < y) {
            res = res / y1;
        } else if (y1 > y) {
            for (int i = 0; i < n; ++i) {
                res = res * y;
                y = y + 1.0;
            }
        }
    } else {
        if (!(y <= xbig)) return xinf;
        double sum = detail::stirlingSum(y);
        sum = sum / y - y + lnSqrt2Pi;
        sum = sum + (y - 0.5) * std::log(y);
        res = std::exp(sum);
    }

    if (parity) res = -res;
    if (fact != 1.0) res = fact / res;
    return res;
}

} // namespace engine

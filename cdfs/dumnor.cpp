// dumnor: the standard normal distribution function Phi(x) from rational
// approximations of erf and erfc, with the logarithmic tail formula below
// x = -15; exactly 0 for x <= -38 and exactly 1 for x > 6.
#include "cdfs/cdfs.h"

#include <cmath>

namespace cdfs {

double dumnor(double x)
{
    // erf(y) / y for |y| < 0.5, numerator and denominator; ascending powers of y^2.
    constexpr double p1[] = {242.66795523053176, 21.979261618294153, 6.996383488619135,
                             -0.035609843701815386};
    constexpr double q1[] = {215.0588758698612, 91.1649054045149, 15.082797630407788, 1.0};
    // exp(y^2) erfc(y) for 0.5 <= y < 4, numerator and denominator; ascending powers of y.
    constexpr double p2[] = {300.4592610201616, 451.9189537118729, 339.3208167343437,
                             152.9892850469404, 43.162227222056735, 7.2117582508830935,
                             0.564195517478974, -1.368648573827167e-07};
    constexpr double q2[] = {300.4592609569833, 790.9509253278981, 931.3540948506096,
                             638.9802644656312, 277.58544474398764, 77.00015293522948,
                             12.782727319629423, 1.0};
    // Asymptotic correction of erfc for y >= 4, numerator and denominator; ascending powers of 1/y^2.
    constexpr double p3[] = {-0.002996107077035422, -0.04947309106232507, -0.22695659353968692,
                             -0.2786613086096478, -0.02231924597341847};
    constexpr double q3[] = {0.010620923052846792, 0.19130892610782985, 1.051675107067932,
                             1.9873320181713525, 1.0};
    constexpr double sqrt2 = 1.4142135623730951;
    constexpr double rtpiInv = 0.5641895835477563;

    if (std::fabs(x) < 1.0e-30) return 0.5;
    if (x <= -38.0) return 0.0;
    if (x <= -15.0) return std::exp(dlanor(x));
    if (x > 6.0) return 1.0;

    const double y = x / sqrt2;
    const double ay = std::fabs(y);
    const double t = ay * ay;
    if (ay < 0.5) {
        const double erfValue = ay * devlpl(p1, 4, t) / devlpl(q1, 4, t);
        return x >= 0.0 ? (erfValue + 1.0) / 2.0 : (1.0 - erfValue) / 2.0;
    }
    double erfcValue;
    if (ay < 4.0) {
        erfcValue = std::exp(-t) * devlpl(p2, 8, ay) / devlpl(q2, 8, ay);
    } else {
        const double r = 1.0 / t;
        erfcValue = (std::exp(-t) / ay) * (rtpiInv + r * devlpl(p3, 5, r) / devlpl(q3, 5, r));
    }
    return x >= 0.0 ? ((1.0 - erfcValue) + 1.0) / 2.0 : erfcValue / 2.0;
}

} // namespace cdfs

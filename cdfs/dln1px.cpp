// dln1px: ln(1 + a), by a rational approximation in a / (a + 2) for
// |a| <= 0.375 where the direct form loses the low digits of a.
#include "cdfs/cdfs.h"

#include <cmath>

namespace cdfs {

double dln1px(double a)
{
    // TOMS 654 ALNREL, numerator 1, p1..p3 and denominator 1, q1..q3; ascending powers of t^2.
    constexpr double p[] = {1.0, -1.29418923021993, 0.405303492862024, -0.0178874546012214};
    constexpr double q[] = {1.0, -1.62752256355323, 0.747811014037616, -0.0845104217945565};

    if (std::fabs(a) > 0.375) return std::log(1.0 + a);
    const double t = a / (a + 2.0);
    const double t2 = t * t;
    const double w = devlpl(p, 4, t2) / devlpl(q, 4, t2);
    return 2.0 * t * w;
}

} // namespace cdfs

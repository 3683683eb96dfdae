// erf: the error function by rational approximations on |x| <= 0.5,
// 0.5 < |x| <= 4 and 4 < |x| < 5.8, and exactly +-1 beyond.
#include "cdfs/cdfs.h"
#include "cdfs/erf_kernels.h"

#include <cmath>

namespace cdfs {

double erf(double x)
{
    const double ax = std::fabs(x);
    if (ax <= 0.5) return x * erfkernel::smallRatio(x * x);

    double result;
    if (ax <= 4.0) {
        const erfkernel::Fraction f = erfkernel::middleFraction(ax);
        result = 0.5 + (0.5 - (std::exp(-x * x) * f.top) / f.bot);
    } else if (ax < 5.8) {
        const double x2 = x * x;
        const double t = 1.0 / x2;
        const erfkernel::Fraction f = erfkernel::largeFraction(t);
        const double v = (erfkernel::rtpiInv - f.top / (x2 * f.bot)) / ax;
        result = 0.5 + (0.5 - std::exp(-x2) * v);
    } else {
        result = 1.0;
    }
    return x < 0.0 ? -result : result;
}

} // namespace cdfs

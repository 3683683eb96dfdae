// erfc1: the complementary error function erfc(x) (ind = 0) or its scaled
// form exp(x*x) erfc(x) (ind != 0), on the ranges of erf.
#include "cdfs/cdfs.h"
#include "cdfs/erf_kernels.h"

#include <cmath>

namespace cdfs {

double erfc1(int ind, double x)
{
    const double ax = std::fabs(x);
    if (ax <= 0.5) {
        const double t = x * x;
        double v = 0.5 + (0.5 - x * erfkernel::smallRatio(t));
        if (ind != 0) v = std::exp(t) * v;
        return v;
    }

    double v;
    if (ax <= 4.0) {
        const erfkernel::Fraction f = erfkernel::middleFraction(ax);
        v = f.top / f.bot;
    } else {
        if (x <= -5.6) return ind == 0 ? 2.0 : 2.0 * std::exp(x * x);
        if (ind == 0 && (x > 100.0 || x * x > -exparg(1))) return 0.0;
        const double rx = 1.0 / x;
        const double t = rx * rx;
        const erfkernel::Fraction f = erfkernel::largeFraction(t);
        v = (erfkernel::rtpiInv - (t * f.top) / f.bot) / ax;
    }

    if (ind != 0) return x < 0.0 ? 2.0 * std::exp(x * x) - v : v;

    // exp(-x^2) as exp(-t) (1 - e), t the rounded square and e its exact
    // rounding remainder, so the rounding of x * x does not reach the result.
    const double t = x * x;
    const double e = std::fma(x, x, -t);
    v = ((0.5 + (0.5 - e)) * std::exp(-t)) * v;
    return x < 0.0 ? 2.0 - v : v;
}

} // namespace cdfs

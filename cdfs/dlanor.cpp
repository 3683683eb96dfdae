// dlanor: ln Phi(-|x|) for |x| >= 5 by the asymptotic series of the Mills
// ratio, so that the far lower tail keeps its relative accuracy.
#include "cdfs/cdfs.h"

#include "diag/sink.h"

#include <cmath>

namespace cdfs {

double dlanor(double x)
{
    // Asymptotic series c_i = (-1)^i (2i - 1)!!, i = 1..12; ascending powers of 1/x^2.
    constexpr double coef[] = {-1.0, 3.0, -15.0, 105.0, -945.0, 10395.0, -135135.0, 2027025.0,
                               -34459425.0, 654729075.0, -13749310575.0, 316234143225.0};
    // ln sqrt(2 pi).
    constexpr double dlsqpi = 0.9189385332046728;

    const double xx = std::fabs(x);
    if (xx < 5.0) diag::line({" Argument too small in DLANOR"});
    const double xx2 = xx * xx;
    const double approx = -dlsqpi - 0.5 * xx2 - std::log(xx);
    const double correc = devlpl(coef, 12, 1.0 / xx2) / xx2;
    return approx + dln1px(correc);
}

} // namespace cdfs

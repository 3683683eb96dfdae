// rlog: x - 1 - ln x, with an argument shift and a rational approximation
// near x = 1 where the direct form cancels.
#include "cdfs/cdfs.h"

#include <cmath>

namespace cdfs {

double rlog(double x)
{
    // TOMS 654 RLOG: a = 0.7 - 1 - ln 0.7, b = 4/3 - 1 - ln(4/3).
    constexpr double a = .566749439387324E-01;
    constexpr double b = .456512608815524E-01;
    // TOMS 654 RLOG, numerator p0..p2 and denominator 1, q1, q2; ascending powers of t.
    constexpr double p[] = {.333333333333333E+00, -.224696413112536E+00, .620886815375787E-02};
    constexpr double q[] = {1.0, -.127408923933623E+01, .354508718369557E+00};

    if (x < 0.61 || x > 1.57) {
        const double r = (x - 0.5) - 0.5;
        return r - std::log(x);
    }
    double u;
    double w1;
    if (x < 0.82) {
        u = (x - 0.7) / 0.7;
        w1 = a - u * 0.3;
    } else if (x > 1.18) {
        u = 0.75 * x - 1.0;
        w1 = b + u / 3.0;
    } else {
        u = (x - 0.5) - 0.5;
        w1 = 0.0;
    }
    const double r = u / (u + 2.0);
    const double t = r * r;
    const double w = devlpl(p, 3, t) / devlpl(q, 3, t);
    return 2.0 * t * (1.0 / (1.0 - r) - r * w) + w1;
}

} // namespace cdfs

// rexp: exp(x) - 1, by a rational approximation for |x| <= 0.15 and from
// exp(x) elsewhere.
#include "cdfs/cdfs.h"

#include <cmath>

namespace cdfs {

double rexp(double x)
{
    // TOMS 654 REXP, numerator 1, p1, p2 and denominator 1, q1..q4; ascending powers of x.
    constexpr double p[] = {1.0, .914041914819518E-09, .238082361044469E-01};
    constexpr double q[] = {1.0, -.499999999085958E+00, .107141568980644E+00,
                            -.119041179760821E-01, .595130811860248E-03};

    if (std::fabs(x) <= 0.15) return x * (devlpl(p, 3, x) / devlpl(q, 5, x));
    const double w = std::exp(x);
    if (x > 0.0) return w * (0.5 + (0.5 - 1.0 / w));
    return (w - 0.5) - 0.5;
}

} // namespace cdfs

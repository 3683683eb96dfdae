// exparg: the largest (l = 0) or most negative (l != 0) argument of exp whose
// value is finite and nonzero, kept 0.99999 inside the true limit.
#include "cdfs/cdfs.h"

#include <cmath>

namespace cdfs {

double exparg(int l)
{
    const int b = ipmpar(4);
    double lnb;
    if (b == 2) {
        lnb = .69314718055995;
    } else if (b == 8) {
        lnb = 2.0794415416798;
    } else if (b == 16) {
        lnb = 2.7725887222398;
    } else {
        lnb = std::log(static_cast<double>(b));
    }
    const int m = l == 0 ? ipmpar(10) : ipmpar(9) - 1;
    return 0.99999 * (m * lnb);
}

} // namespace cdfs

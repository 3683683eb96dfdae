// cumgam: the gamma distribution function P(a, x) to about six significant
// digits; 0 for x <= 0, and 2 when the incomplete gamma ratio fails.
#include "cdfs/cdfs.h"

namespace cdfs {

double cumgam(double x, double a)
{
    if (x <= 0.0) return 0.0;
    double p = 0.0;
    double q = 0.0;
    gratio(a, x, p, q, 1);
    return p;
}

} // namespace cdfs

// cumchi: the chi-square distribution function with df degrees of freedom,
// P(df/2, x/2); 2 when the incomplete gamma ratio fails.
#include "cdfs/cdfs.h"

namespace cdfs {

double cumchi(double x, double df)
{
    return cumgam(x / 2.0, df / 2.0);
}

} // namespace cdfs

// chinorm: the chi-square quantile and the normal distribution function, as
// the programs call them.
#include "cdfs/inverses/chinorm.h"

#include "cdfs/cdfs.h"

#include <limits>

namespace cdfs {

double Chiinv(double p, double df, double tol)
{
    double x = 0.0;
    int status = 0;
    double bound = 0.0;
    cdfchi(2, p, x, df, status, bound, tol);
    if (status == 0) return x;
    // No quantile was computed: its limit for p >= 1, else not a number.
    return p >= 1.0 ? std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::quiet_NaN();
}

double normcdf(double x)
{
    return cumnor(x);
}

} // namespace cdfs

// spmpar: double-precision machine constants built from the integer machine
// description, so that no intermediate overflows or underflows.
#include "cdfs/cdfs.h"

namespace cdfs {

namespace {

// base^k for an integer k; exact for base 2 within the normal range.
double powi(double base, int k)
{
    double result = 1.0;
    double factor = k < 0 ? 1.0 / base : base;
    for (int n = k < 0 ? -k : k; n > 0; n /= 2) {
        if (n % 2 != 0) result *= factor;
        if (n > 1) factor *= factor;
    }
    return result;
}

} // namespace

double spmpar(int i)
{
    const double b = ipmpar(4);
    const int m = ipmpar(8);
    if (i <= 1) return powi(b, 1 - m);
    if (i == 2) {
        const int emin = ipmpar(9);
        const double w = powi(b, emin + 2);
        return ((w / b) / b) / b;
    }
    const int emax = ipmpar(10);
    double z = powi(b, m - 1);
    const double w = ((z - 1.0) * b + (b - 1.0)) / (b * z);
    z = powi(b, emax - 2);
    return ((w * z) * b) * b;
}

} // namespace cdfs

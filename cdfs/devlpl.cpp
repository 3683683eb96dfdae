// devlpl: polynomial evaluation by Horner's rule. Every coefficient table of
// the library is stored in ascending powers and evaluated here.
#include "cdfs/cdfs.h"

namespace cdfs {

double devlpl(const double a[], int n, double x)
{
    double term = a[n - 1];
    for (int i = n - 2; i >= 0; --i) term = a[i] + term * x;
    return term;
}

} // namespace cdfs

// cumnor: the standard normal distribution function Phi(x).
#include "cdfs/cdfs.h"

namespace cdfs {

double cumnor(double x)
{
    return dumnor(x);
}

} // namespace cdfs

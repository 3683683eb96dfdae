// ipmpar: integer machine constants of IEEE arithmetic, as tabulated with the
// published incomplete gamma and beta algorithms (TOMS 708, IEEE entries).
#include "cdfs/cdfs.h"

namespace cdfs {

int ipmpar(int i)
{
    static constexpr int imach[10] = {2, 31, 2147483647, 2, 24, -125, 128, 53, -1021, 1024};
    return (i >= 1 && i <= 10) ? imach[i - 1] : 0;
}

} // namespace cdfs

// gamma: Gamma(a) for real a. Below |a| = 15 the recurrence reduces the
// argument to Gamma(1 + x), 0 <= x < 1, a rational function; above, the
// asymptotic series with the reflection formula for negative a. Returns 0
// where Gamma cannot be computed: at the poles, for |a| >= 1000, on overflow.
#include "cdfs/cdfs.h"

#include <cmath>

namespace cdfs {

double gamma(double a)
{
    // TOMS 654 GAMMA, Gamma(1 + x) on [0, 1): numerator and denominator; ascending powers of x.
    constexpr double p[] = {1.0, .553413866010467E+00, .279648642639792E+00, .730981088720487E-01,
                            .204493667594920E-01, .261939260042690E-02, .539637273585445E-03};
    constexpr double q[] = {1.0, .113062953091122E+01, -.567902761974940E-01, -.170458969313360E+00,
                            .225211131035340E-01, .470059485860584E-02, -.832979206704073E-03};
    // TOMS 654 GAMMA, asymptotic sum r5..r1; ascending powers of 1/x^2.
    constexpr double r[] = {.833333333333333E-01, -.277777777770481E-02, .793650663183693E-03,
                            -.595156336428591E-03, .820756370353826E-03};
    // TOMS 654 GAMMA: pi as published and d = 0.5 (ln(2 pi) - 1).
    constexpr double pi = 3.1415926535898;
    constexpr double d = .41893853320467274178;

    double x = a;
    if (std::fabs(a) < 15.0) {
        // t collects the factors of the recurrence that brings a to 1 + x.
        double t = 1.0;
        int m = static_cast<int>(a) - 1;
        if (m >= 0) {
            for (int j = 0; j < m; ++j) {
                x -= 1.0;
                t = x * t;
            }
            x -= 1.0;
        } else {
            t = a;
            if (a <= 0.0) {
                m = -m - 1;
                for (int j = 0; j < m; ++j) {
                    x += 1.0;
                    t = x * t;
                }
                x = (x + 0.5) + 0.5;
                t = x * t;
                if (t == 0.0) return 0.0;
            }
            // 1/t would overflow for the tiniest t.
            if (std::fabs(t) < 1.0e-30) {
                if (std::fabs(t) * spmpar(3) <= 1.0001) return 0.0;
                return 1.0 / t;
            }
        }
        const double g = devlpl(p, 7, x) / devlpl(q, 7, x);
        return a < 1.0 ? g / t : g * t;
    }

    if (std::fabs(a) >= 1.0e3) return 0.0;
    double s = 0.0;
    if (a <= 0.0) {
        x = -a;
        const int n = static_cast<int>(x);
        double t = x - n;
        if (t > 0.9) t = 1.0 - t;
        s = std::sin(pi * t) / pi;
        if (n % 2 == 0) s = -s;
        if (s == 0.0) return 0.0;
    }
    const double t = 1.0 / (x * x);
    double g = devlpl(r, 5, t) / x;
    g = (d + g) + (x - 0.5) * (std::log(x) - 1.0);
    // In double arithmetic g needs no split into a rounded part and a
    // correction: the result is exp(g) unless that would overflow.
    if (g > 0.99999 * exparg(0)) return 0.0;
    const double result = std::exp(g);
    return a < 0.0 ? (1.0 / (result * s)) / x : result;
}

} // namespace cdfs

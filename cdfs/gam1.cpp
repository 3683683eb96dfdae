// gam1: 1/Gamma(a + 1) - 1 for -0.5 <= a <= 1.5, by rational functions of
// t = a (a <= 0.5) or t = a - 1 (a > 0.5).
#include "cdfs/cdfs.h"

namespace cdfs {

double gam1(double a)
{
    // TOMS 654 GAM1, t > 0: numerator p and denominator 1, q2..q5; ascending powers of t.
    constexpr double p[] = {.577215664901533E+00, -.409078193005776E+00, -.230975380857675E+00,
                            .597275330452234E-01, .766968181649490E-02, -.514889771323592E-02,
                            .589597428611429E-03};
    constexpr double q[] = {1.0, .427569613095214E+00, .158451672430138E+00, .261132021441447E-01,
                            .423244297896961E-02};
    // TOMS 654 GAM1, t < 0: numerator r and denominator 1, s1, s2; ascending powers of t.
    constexpr double r[] = {-.422784335098468E+00, -.771330383816272E+00, -.244757765222226E+00,
                            .118378989872749E+00, .930357293360349E-03, -.118290993445146E-01,
                            .223047661158249E-02, .266505979058923E-03, -.132674909766242E-03};
    constexpr double s[] = {1.0, .273076135303957E+00, .559398236957378E-01};

    const double d = a - 0.5;
    const double t = d > 0.0 ? d - 0.5 : a;
    if (t == 0.0) return 0.0;
    if (t > 0.0) {
        const double w = devlpl(p, 7, t) / devlpl(q, 5, t);
        return d > 0.0 ? (t / a) * ((w - 0.5) - 0.5) : a * w;
    }
    const double w = devlpl(r, 9, t) / devlpl(s, 3, t);
    return d > 0.0 ? t * w / a : a * ((w + 0.5) + 0.5);
}

} // namespace cdfs

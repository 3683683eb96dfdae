#pragma once
// Rational kernels shared by erf and erfc1: the same published tables serve
// both, over the ranges |x| <= 0.5, 0.5 < |x| <= 4 and |x| > 4.
#include "cdfs/cdfs.h"

namespace cdfs::erfkernel {

// 1/sqrt(pi) as published with the tables.
inline constexpr double rtpiInv = .564189583547756;

// erf(x) / x for |x| <= 0.5, as a rational function of t = x * x.
inline double smallRatio(double t)
{
    // TOMS 708 ERF, table A (without the 1 added last); ascending powers of t.
    constexpr double a[] = {.128379167095513E+00, .479137145607681E-01, .323076579225834E-01,
                            -.133733772997339E-02, .771058495001320E-04};
    // TOMS 708 ERF, denominator 1, B(3), B(2), B(1); ascending powers of t.
    constexpr double b[] = {1.0, .375795757275549E+00, .538971687740286E-01, .301048631703895E-02};
    const double top = devlpl(a, 5, t) + 1.0;
    const double bot = devlpl(b, 4, t);
    return top / bot;
}

struct Fraction {
    double top;
    double bot;
};

// exp(x*x) erfc(x) for 0.5 < x <= 4, as a rational function of x; erf and
// erfc1 combine numerator and denominator in different groupings.
inline Fraction middleFraction(double ax)
{
    // TOMS 708 ERF, tables P and Q; ascending powers of |x|.
    constexpr double p[] = {3.00459261020162E+02, 4.51918953711873E+02, 3.39320816734344E+02,
                            1.52989285046940E+02, 4.31622272220567E+01, 7.21175825088309E+00,
                            5.64195517478974E-01, -1.36864857382717E-07};
    constexpr double q[] = {3.00459260956983E+02, 7.90950925327898E+02, 9.31354094850610E+02,
                            6.38980264465631E+02, 2.77585444743988E+02, 7.70001529352295E+01,
                            1.27827273196294E+01, 1.00000000000000E+00};
    return {devlpl(p, 8, ax), devlpl(q, 8, ax)};
}

// The asymptotic correction for |x| > 4, in t = 1/x^2.
inline Fraction largeFraction(double t)
{
    // TOMS 708 ERF, tables R and S (denominator with constant term 1); ascending powers of t.
    constexpr double r[] = {2.82094791773523E-01, 4.65807828718470E+00, 2.13688200555087E+01,
                            2.62370141675169E+01, 2.10144126479064E+00};
    constexpr double s[] = {1.0, 1.80124575948747E+01, 9.90191814623914E+01,
                            1.87114811799590E+02, 9.41537750555460E+01};
    return {devlpl(r, 5, t), devlpl(s, 5, t)};
}

} // namespace cdfs::erfkernel

// ln Gamma(x) by Cody's rational approximations on (0, 12] and the
// asymptotic series above 12 (SPECFUN, TOMS 715).

#include "engine/loggamma.h"

#include "engine/stirling.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace engine {

namespace {

using Table = std::array<double, 8>;

// The rational approximation num/den at t: num = 0 and den = den0 to start,
// then num = num*t + P[i], den = den*t + Q[i] for i = 0 .. 7.
double rational(const Table& P, const Table& Q, double den0, double t)
{
    double num = 0.0;
    double den = den0;
    for (std::size_t i = 0; i < P.size(); ++i) {
        num = num * t + P[i];
        den = den * t + Q[i];
    }
    return num / den;
}

} // namespace

double loggamma(double x)
{
    constexpr double xbig = 2.55E305;
    constexpr double eps = 2.22E-16;
    constexpr double frtbig = 2.25E76;
    constexpr double pnt68 = 0.6796875;
    constexpr double lnSqrt2Pi = 0.9189385332046727417803297;
    constexpr double d1 = -5.772156649015328605195174E-1;
    constexpr double d2 = 4.227843350984671393993777E-1;
    constexpr double d4 = 1.791759469228055000094023E0;

    // Cody's SPECFUN (TOMS 715) P1, Q1 on (0.5, 1.5); P(i) multiplies t^(7-i), descending.
    constexpr Table p1{4.945235359296727046734888E0, 2.018112620856775083915565E2,
                       2.290838373831346393026739E3, 1.131967205903380828685045E4,
                       2.855724635671635335736389E4, 3.848496228443793359990269E4,
                       2.637748787624195437963534E4, 7.225813979700288197698961E3};
    constexpr Table q1{6.748212550303777196073036E1, 1.113332393857199323513008E3,
                       7.738757056935398733233834E3, 2.763987074403340708898585E4,
                       5.499310206226157329794414E4, 6.161122180066002127833352E4,
                       3.635127591501940507276287E4, 8.785536302431013170870835E3};
    // Cody's SPECFUN (TOMS 715) P2, Q2 on (1.5, 4); same order.
    constexpr Table p2{4.974607845568932035012064E0, 5.424138599891070494101986E2,
                       1.550693864978364947665077E4, 1.847932904445632425417223E5,
                       1.088204769468828767498470E6, 3.338152967987029735917223E6,
                       5.106661678927352456275255E6, 3.074109054850539556250927E6};
    constexpr Table q2{1.830328399370592604055942E2, 7.765049321445005871323047E3,
                       1.331903827966074194402448E5, 1.136705821321969608938755E6,
                       5.267964117437946917577538E6, 1.346701454311101692290052E7,
                       1.782736530353274213975932E7, 9.533095591844353613395747E6};
    // Cody's SPECFUN (TOMS 715) P4, Q4 on (4, 12); same order, denominator starts at -1.
    constexpr Table p4{1.474502166059939948905062E4, 2.426813369486704502836312E6,
                       1.214755574045093227939592E8, 2.663432449630976949898078E9,
                       2.940378956634553899906876E10, 1.702665737765398868392998E11,
                       4.926125793377430887588120E11, 5.606251856223951465078242E11};
    constexpr Table q4{2.690530175870899333379843E3, 6.393885654300092398984238E5,
                       4.135599930241388052042842E7, 1.120872109616147941376570E9,
                       1.488613728678813811542398E10, 1.016803586272438228077304E11,
                       3.417476345507377132798597E11, 4.463158187419713286462081E11};

    const double y = x;
    if (!(y > 0.0 && y <= xbig)) return loggammaOutOfRange;
    if (y <= eps) return -std::log(y);
    if (y <= 1.5) {
        double corr = 0.0;
        double xm1 = 0.0;
        if (y < pnt68) {
            corr = -std::log(y);
            xm1 = y;
        } else {
            xm1 = (y - 0.5) - 0.5;
        }
        if (y <= 0.5 || y >= pnt68) return corr + (xm1 * (d1 + xm1 * rational(p1, q1, 1.0, xm1)));
        const double xm2 = (y - 0.5) - 0.5;
        return corr + xm2 * (d2 + xm2 * rational(p2, q2, 1.0, xm2));
    }
    if (y <= 4.0) {
        const double xm2 = y - 2.0;
        return xm2 * (d2 + xm2 * rational(p2, q2, 1.0, xm2));
    }
    if (y <= 12.0) {
        const double xm4 = y - 4.0;
        return d4 + xm4 * rational(p4, q4, -1.0, xm4);
    }
    double res = 0.0;
    if (y <= frtbig) res = detail::stirlingSum(y);
    res = res / y;
    const double corr = std::log(y);
    res = res + lnSqrt2Pi - 0.5 * corr;
    res = res + y * (corr - 1.0);
    return res;
}

} // namespace engine

// gratio: the regularized incomplete gamma ratios P(a, x) and Q(a, x), by the
// published algorithm of DiDonato and Morris (TOMS 654): power series,
// continued fraction, finite sums, an asymptotic series in 1/x and Temme's
// uniform expansion about x = a, chosen by a, x and the accuracy selector.
#include "cdfs/cdfs.h"

#include <algorithm>
#include <cmath>

namespace cdfs {

namespace {

// TOMS 654 GRATIO, constants ln 10, 1/sqrt(2 pi), sqrt(pi), 1/3 as published.
constexpr double alog10 = 2.30258509299405;
constexpr double rt2pin = .398942280401433;
constexpr double rtpi = 1.77245385090552;
constexpr double third = .333333333333333;

// No series or continued fraction of the algorithm takes more than a few
// hundred terms for valid arguments; reaching this bound is an error return.
constexpr int maxTerms = 10000;

// The terms of the series stored for adding smallest-first.
constexpr int storedTerms = 20;

struct Result {
    double p;
    double q;
    bool failed;
};

constexpr Result failure{2.0, 0.0, true};
constexpr Result pZero{0.0, 1.0, false};
constexpr Result pOne{1.0, 0.0, false};

Result fromQ(double q) { return {0.5 + (0.5 - q), q, false}; }
Result fromP(double p) { return {p, 0.5 + (0.5 - p), false}; }

// P = 0 for x <= a, P = 1 otherwise: the limits when the prefactor vanishes.
Result limit(double a, double x) { return x <= a ? pZero : pOne; }

// Series for P(a, x) / x^a, a < 1, x < 1.1, with the form (P or Q first)
// that keeps the smaller of the two accurate.
Result smallASeries(double a, double x, double acc)
{
    double an = 3.0;
    double c = x;
    double sum = x / (a + 3.0);
    const double tol = 3.0 * acc / (a + 1.0);
    double t;
    int n = 0;
    do {
        if (++n > maxTerms) return failure;
        an += 1.0;
        c = -c * (x / an);
        t = c / (a + an);
        sum += t;
    } while (std::fabs(t) > tol);
    const double j = a * x * ((sum / 6.0 - 0.5 / (a + 2.0)) * x + 1.0 / (a + 1.0));

    const double z = a * std::log(x);
    const double h = gam1(a);
    const double g = 1.0 + h;
    const bool qFirst = x < 0.25 ? z > -.13394 : a < x / 2.59;
    if (!qFirst) {
        const double w = std::exp(z);
        return fromP(w * g * (0.5 + (0.5 - j)));
    }
    const double l = rexp(z);
    const double w = 0.5 + (0.5 + l);
    const double q = (w * j - l) * g - h;
    if (q < 0.0) return pOne;
    return fromQ(q);
}

// Series for P / r with r = x^a exp(-x) / Gamma(a), x <= max(a, ln 10). The
// first terms are stored and added last, smallest first.
Result pSeries(double a, double x, double r, double acc)
{
    double wk[storedTerms];
    double apn = a + 1.0;
    double t = x / apn;
    wk[0] = t;
    int m = storedTerms;
    for (int n = 2; n <= storedTerms; ++n) {
        apn += 1.0;
        t = t * (x / apn);
        if (t <= 1.0e-3) {
            m = n;
            break;
        }
        wk[n - 1] = t;
    }
    double sum = t;
    const double tol = 0.5 * acc;
    int n = 0;
    do {
        if (++n > maxTerms) return failure;
        apn += 1.0;
        t = t * (x / apn);
        sum += t;
    } while (t > tol);
    for (int k = m - 1; k >= 1; --k) sum += wk[k - 1];
    return fromP((r / a) * (1.0 + sum));
}

// Asymptotic expansion of Q in 1/x, for x >= x00 and x > max(a, ln 10).
Result asymptoticQ(double a, double x, double r, double acc)
{
    double wk[storedTerms];
    double amn = a - 1.0;
    double t = amn / x;
    wk[0] = t;
    int m = storedTerms;
    for (int n = 2; n <= storedTerms; ++n) {
        amn -= 1.0;
        t = t * (amn / x);
        if (std::fabs(t) <= 1.0e-3) {
            m = n;
            break;
        }
        wk[n - 1] = t;
    }
    double sum = t;
    for (int n = 0; std::fabs(t) > acc; ++n) {
        if (n >= maxTerms) return failure;
        amn -= 1.0;
        t = t * (amn / x);
        sum += t;
    }
    for (int k = m - 1; k >= 1; --k) sum += wk[k - 1];
    return fromQ((r / x) * (1.0 + sum));
}

// Continued fraction for Q, with the prefactor r.
Result continuedFractionQ(double a, double x, double r, double acc)
{
    const double tol = std::max(5.0 * spmpar(1), acc);
    double a2nm1 = 1.0;
    double a2n = 1.0;
    double b2nm1 = x;
    double b2n = x + (1.0 - a);
    double c = 1.0;
    double am0;
    double an0;
    int n = 0;
    do {
        if (++n > maxTerms) return failure;
        a2nm1 = x * a2n + c * a2nm1;
        b2nm1 = x * b2n + c * b2nm1;
        am0 = a2nm1 / b2nm1;
        c += 1.0;
        const double cma = c - a;
        a2n = a2nm1 + cma * a2n;
        b2n = b2nm1 + cma * b2n;
        an0 = a2n / b2n;
    } while (std::fabs(an0 - am0) >= tol * an0);
    return fromQ(r * an0);
}

// Q for integer a = i: exp(-x) times the sum of x^k / k!, k < i.
Result integerSumQ(double x, int i)
{
    double sum = std::exp(-x);
    double t = sum;
    double c = 0.0;
    for (int n = 1; n != i; ++n) {
        c += 1.0;
        t = (x * t) / c;
        sum += t;
    }
    return fromQ(sum);
}

// Q for half-integer a = i + 1/2: erfc(sqrt x) plus a finite sum.
Result halfIntegerSumQ(double x, int i)
{
    const double rtx = std::sqrt(x);
    double sum = erfc1(0, rtx);
    double t = std::exp(-x) / (rtpi * rtx);
    double c = -0.5;
    for (int n = 0; n != i; ++n) {
        c += 1.0;
        t = (x * t) / c;
        sum += t;
    }
    return fromQ(sum);
}

// a = 1/2: P = erf(sqrt x).
Result halfA(double x)
{
    if (x < 0.25) return fromP(erf(std::sqrt(x)));
    return fromQ(erfc1(0, std::sqrt(x)));
}

// With the prefactor r = x^a exp(-x) / Gamma(a): series, continued fraction
// or asymptotic expansion by the size of x.
Result byPrefactor(double a, double x, double r, double acc, double x0)
{
    if (r == 0.0) return limit(a, x);
    if (x <= std::max(a, alog10)) return pSeries(a, x, r, acc);
    if (x < x0) return continuedFractionQ(a, x, r, acc);
    return asymptoticQ(a, x, r, acc);
}

// Coefficient tables of Temme's expansion, C_k(z) = sum over n of d_kn z^n,
// with the constant term d_k0 first. TOMS 654 GRATIO, D0 (constant -1/3) to
// D7; ascending powers of z.
constexpr double d0[] = {-third,
                         .833333333333333E-01, -.148148148148148E-01, .115740740740741E-02,
                         .352733686067019E-03, -.178755144032922E-03, .391926317852244E-04,
                         -.218544851067999E-05, -.185406221071516E-05, .829671134095309E-06,
                         -.176659527368261E-06, .670785354340150E-08, .102618097842403E-07,
                         -.438203601845335E-08};
constexpr double d1[] = {-.185185185185185E-02,
                         -.347222222222222E-02, .264550264550265E-02, -.990226337448560E-03,
                         .205761316872428E-03, -.401877572016461E-06, -.180985503344900E-04,
                         .764916091608111E-05, -.161209008945634E-05, .464712780280743E-08,
                         .137863344691572E-06, -.575254560351770E-07, .119516285997781E-07};
constexpr double d2[] = {.413359788359788E-02,
                         -.268132716049383E-02, .771604938271605E-03, .200938786008230E-05,
                         -.107366532263652E-03, .529234488291201E-04, -.127606351886187E-04,
                         .342357873409614E-07, .137219573090629E-05, -.629899213838006E-06,
                         .142806142060642E-06};
constexpr double d3[] = {.649434156378601E-03,
                         .229472093621399E-03, -.469189494395256E-03, .267720632062839E-03,
                         -.756180167188398E-04, -.239650511386730E-06, .110826541153473E-04,
                         -.567495282699160E-05, .142309007324359E-05};
constexpr double d4[] = {-.861888290916712E-03,
                         .784039221720067E-03, -.299072480303190E-03, -.146384525788434E-05,
                         .664149821546512E-04, -.396836504717943E-04, .113757269706784E-04};
constexpr double d5[] = {-.336798553366358E-03,
                         -.697281375836586E-04, .277275324495939E-03, -.199325705161888E-03,
                         .679778047793721E-04};
constexpr double d6[] = {.531307936463992E-03,
                         -.592166437353694E-03, .270878209671804E-03};
constexpr double d7[] = {.344367606892378E-03};
constexpr const double* temmeTables[] = {d0, d1, d2, d3, d4, d5, d6, d7};
constexpr int temmeOrders = 8;

// How many powers of z each coefficient C_k keeps in one truncation of the
// expansion; -1 ends the list (C_k for k at and beyond it is dropped).
using Truncation = int[temmeOrders];
constexpr Truncation fullTerms = {13, 12, 10, 8, 6, 4, 2, 0};       // selector 1, general
constexpr Truncation nearOneTerms = {7, 6, 5, 4, 2, 2, 1, 0};       // selector 1, x close to a
constexpr Truncation generalTerms2 = {6, 4, 1, -1, -1, -1, -1, -1}; // selector 2, general
constexpr Truncation nearOneTerms2 = {2, 1, 0, -1, -1, -1, -1, -1}; // selector 2, x close to a
constexpr Truncation generalTerms3 = {3, -1, -1, -1, -1, -1, -1, -1};
constexpr Truncation nearOneTerms3 = {1, -1, -1, -1, -1, -1, -1, -1};

// The correction sum T = sum of C_k(z) u^k for one truncation.
double temmeSum(const Truncation& terms, double z, double u)
{
    double c[temmeOrders];
    int orders = 0;
    while (orders < temmeOrders && terms[orders] >= 0) {
        c[orders] = devlpl(temmeTables[orders], terms[orders] + 1, z);
        ++orders;
    }
    return devlpl(c, orders, u);
}

// Final assembly of Temme's expansion from c ~ exp(-y), w ~ erfc(sqrt y) / 2
// scaled by exp(y), and the correction sum.
Result temmeResult(double l, double c, double w, double t, double rta)
{
    if (l >= 1.0) return fromQ(c * (w + rt2pin * t / rta));
    return fromP(c * (w - rt2pin * t / rta));
}

// Temme's expansion for large a, z = rlog(x / a), y = a z.
Result temme(double a, double l, double s, double z, double y, double rta, int iop, double e,
             bool nearOne)
{
    double c;
    double w;
    if (nearOne) {
        c = 0.5 + (0.5 - y);
        w = (0.5 - std::sqrt(y) * (0.5 + (0.5 - y / 3.0)) / rtpi) / c;
    } else {
        if (std::fabs(s) <= 2.0 * e && a * e * e > 3.28e-3) return failure;
        c = std::exp(-y);
        w = 0.5 * erfc1(1, std::sqrt(y));
    }
    const double u = 1.0 / a;
    double zz = std::sqrt(z + z);
    if (l < 1.0) zz = -zz;

    const Truncation* terms;
    if (iop == 1) {
        terms = nearOne || std::fabs(s) <= 1.0e-3 ? &nearOneTerms : &fullTerms;
    } else if (iop == 2) {
        terms = nearOne ? &nearOneTerms2 : &generalTerms2;
    } else {
        terms = nearOne ? &nearOneTerms3 : &generalTerms3;
    }
    return temmeResult(l, c, w, temmeSum(*terms, zz, u), rta);
}

// TOMS 654 GRATIO, per accuracy selector 1..3: requested accuracy, the a from
// which the large-a methods apply, Temme's near-one width, the x from which
// the asymptotic expansion applies.
constexpr double acc0[] = {5.e-15, 5.e-7, 5.e-4};
constexpr double bigA[] = {20.0, 14.0, 10.0};
constexpr double e00[] = {.25e-3, .25e-1, .14};
constexpr double x00[] = {31.0, 17.0, 9.7};

Result ratios(double a, double x, int ind)
{
    if (!(a >= 0.0) || !(x >= 0.0)) return failure;
    if (a == 0.0 && x == 0.0) return failure;
    if (a * x == 0.0) return limit(a, x);
    // An infinite x would turn every method's prefactor into NaN.
    if (std::isinf(x)) return std::isinf(a) ? failure : pOne;

    const int iop = ind == 0 || ind == 1 ? ind + 1 : 3;
    const double e = spmpar(1);
    const double acc = std::max(acc0[iop - 1], e);
    const double x0 = x00[iop - 1];

    if (a < 1.0) {
        if (a == 0.5) return halfA(x);
        if (x < 1.1) return smallASeries(a, x, acc);
        const double t1 = a * std::log(x) - x;
        const double u = a * std::exp(t1);
        if (u == 0.0) return pOne;
        const double r = u * (1.0 + gam1(a));
        return continuedFractionQ(a, x, r, acc);
    }

    if (a < bigA[iop - 1]) {
        const double twoa = a + a;
        const int m = static_cast<int>(twoa);
        if (a <= x && x < x0 && twoa == m) {
            const int i = m / 2;
            return a == i ? integerSumQ(x, i) : halfIntegerSumQ(x, i);
        }
        const double t1 = a * std::log(x) - x;
        const double r = std::exp(t1) / gamma(a);
        return byPrefactor(a, x, r, acc, x0);
    }

    const double l = x / a;
    if (l == 0.0) return pZero;
    const double s = 0.5 + (0.5 - l);
    const double z = rlog(l);
    if (z >= 700.0 / a) {
        if (std::fabs(s) <= 2.0 * e) return failure;
        return limit(a, x);
    }
    const double y = a * z;
    const double rta = std::sqrt(a);
    if (std::fabs(s) <= e00[iop - 1] / rta) {
        if (a * e * e > 3.28e-3) return failure;
        return temme(a, l, s, z, y, rta, iop, e, true);
    }
    if (std::fabs(s) <= 0.4) return temme(a, l, s, z, y, rta, iop, e, false);

    const double ra = 1.0 / a;
    const double t = ra * ra;
    double t1 = (((0.75 * t - 1.0) * t + 3.5) * t - 105.0) / (a * 1260.0);
    t1 = t1 - y;
    const double r = rt2pin * rta * std::exp(t1);
    return byPrefactor(a, x, r, acc, x0);
}

} // namespace

void gratio(double a, double x, double& ans, double& qans, int ind)
{
    const Result result = ratios(a, x, ind);
    ans = result.p;
    if (!result.failed) qans = result.q;
}

} // namespace cdfs

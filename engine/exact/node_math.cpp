// Batched exp, log1p and sin/cos for the quadrature nodes; see node_math.h.
// The lanes are GCC vector types; the batch functions are compiled twice
// (AVX2 and the x86-64 baseline) and chosen when the program loads.

#include "engine/exact/node_math.h"

#include "engine/exact/density_table.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

// The lane helpers pass 32-byte vectors by value; they are always inlined
// into the batch functions (at every optimisation level), so no call between
// code compiled for different instruction sets ever carries one.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace engine::exact::detail {

namespace {

typedef double Lanes __attribute__((vector_size(32)));
typedef std::int64_t Bits __attribute__((vector_size(32)));
typedef std::uint64_t UnsignedBits __attribute__((vector_size(32)));
constexpr int width = 4;

constexpr double inf = std::numeric_limits<double>::infinity();

// One lane (double) or four (Lanes): the kernels below are templates over
// the two, with the same operations on every lane.
template <class T>
struct LaneTraits;
template <>
struct LaneTraits<double> {
    using Mask = bool;
    using Int = std::int64_t;
    using Unsigned = std::uint64_t;
    [[gnu::always_inline]] static double fromBits(Int b) { return std::bit_cast<double>(b); }
    [[gnu::always_inline]] static double fromUnsigned(Unsigned b) { return std::bit_cast<double>(b); }
    [[gnu::always_inline]] static Unsigned toUnsigned(double x) { return std::bit_cast<Unsigned>(x); }
    [[gnu::always_inline]] static Int toBits(double x) { return std::bit_cast<Int>(x); }
    [[gnu::always_inline]] static double select(bool m, double a, double b) { return m ? a : b; }
    [[gnu::always_inline]] static double toDouble(Int k) { return static_cast<double>(k); }
    [[gnu::always_inline]] static Int ifMask(bool m, Int value) { return m ? value : 0; }
};
template <>
struct LaneTraits<Lanes> {
    using Mask = Bits;
    using Int = Bits;
    using Unsigned = UnsignedBits;
    [[gnu::always_inline]] static Lanes fromBits(const Bits& b) { return reinterpret_cast<Lanes>(b); }
    [[gnu::always_inline]] static Lanes fromUnsigned(const UnsignedBits& b) { return reinterpret_cast<Lanes>(b); }
    [[gnu::always_inline]] static UnsignedBits toUnsigned(const Lanes& x) { return reinterpret_cast<UnsignedBits>(x); }
    [[gnu::always_inline]] static Bits toBits(const Lanes& x) { return reinterpret_cast<Bits>(x); }
    [[gnu::always_inline]] static Lanes select(const Bits& m, const Lanes& a, const Lanes& b) { return m ? a : b; }
    // Exact for |k| < 2^51 (the exponents here): k added to the bits of
    // 1.5 x 2^52 is that double plus k, which the subtraction leaves exactly.
    [[gnu::always_inline]] static Lanes toDouble(const Bits& k)
    {
        constexpr double shift = 6755399441055744.0;
        return reinterpret_cast<Lanes>(k + std::bit_cast<std::int64_t>(shift)) - shift;
    }
    [[gnu::always_inline]] static Bits ifMask(const Bits& m, std::int64_t value) { return m & value; }
};

template <class T>
[[gnu::always_inline]] inline T constant(double x)
{
    return T{} + x;
}

// ln 2 split so that k ln2Hi is exact for |k| < 2^20.
constexpr double ln2Hi = 6.93147180369123816490e-01;
constexpr double ln2Lo = 1.90821492927058770002e-10;
constexpr double log2e = 1.44269504088896338700e+00;
constexpr double roundingShift = 6755399441055744.0; // 1.5 x 2^52: adding it rounds to an integer

// Polynomial coefficients, highest power first.
// exp(r) on |r| <= ln2 / 2: 1 + r + r^2/2 exactly and r^3 times a degree-9
// near-minimax fit of the rest (make_node_polynomials.py; relative error
// below 1e-18 with these rounded coefficients), powers 12 .. 0.
constexpr double expSeries[] = {
    0x1.1f66d948a47d2p-29, 0x1.af389ecfc4b9cp-26, 0x1.27e4e1f7222cbp-22, 0x1.71de0db2f6b19p-19,
    0x1.a01a01a47a591p-16, 0x1.a01a01a7c2efep-13, 0x1.6c16c16c167e2p-10, 0x1.11111111109b5p-7,
    0x1.5555555555555p-5,  0x1.5555555555556p-3,  0x1.0p-1,              0x1.0p+0,
    0x1.0p+0};
// sin(x) = x + x z S(z) and cos(x) = 1 - (z/2 - z^2 C(z)), z = x^2: S and C
// near-minimax fits of the series' tails (make_node_polynomials.py), powers
// of z highest first. On |x| <= pi/2: sin within 3.6e-17 relative, cos
// within 1.5e-17 absolute.
constexpr double sinSeries[] = {
    -0x1.275f3132d0bb5p-57, 0x1.9507ff1d2eab1p-49, -0x1.ae7ee3a7e62e7p-41, 0x1.612460b6ab17ep-33,
    -0x1.ae64567e733b7p-26, 0x1.71de3a556b9b6p-19, -0x1.a01a01a01a00dp-13, 0x1.1111111111111p-7,
    -0x1.5555555555555p-3};
constexpr double cosSeries[] = {
    0x1.d9bbefba649bep-62, -0x1.680cf6dd1c8abp-53, 0x1.ae7efc501a580p-45, -0x1.93974a2bf8ad4p-37,
    0x1.1eed8eff3b8c8p-29, -0x1.27e4fb7789a72p-22, 0x1.a01a01a01a015p-16, -0x1.6c16c16c16c17p-10,
    0x1.5555555555555p-5};
// On |x| <= pi/4 (a panel's half offsets): sin within 6.4e-18 relative, cos
// within 9e-19 absolute.
constexpr double sinSeriesQuarter[] = {
    -0x1.ab17d404de5b3p-41, 0x1.61217f0b800d5p-33, -0x1.ae645412c560cp-26, 0x1.71de3a546095bp-19,
    -0x1.a01a01a019938p-13, 0x1.1111111111110p-7, -0x1.5555555555555p-3};
constexpr double cosSeriesQuarter[] = {
    -0x1.907da367a37cbp-37, 0x1.1eeb68e93b64cp-29, -0x1.27e4fa17da09ep-22, 0x1.a01a019f4eb01p-16,
    -0x1.6c16c16c16967p-10, 0x1.5555555555555p-5};
// log: R(z) / z = sum 2 z^(j-1) / (2j + 1) on z <= 0.02944 by a degree-6
// near-minimax fit (make_node_polynomials.py; relative error of log below
// 5e-18 with these rounded coefficients), powers 6 .. 0.
constexpr double logSeries[] = {
    0x1.2b584aae78a57p-3, 0x1.39fe606542ddep-3, 0x1.7462b4ab2ef6bp-3, 0x1.c71c62e5800a1p-3,
    0x1.2492492df148dp-2, 0x1.99999999952e2p-2, 0x1.5555555555558p-1};

// atan(t) = t + t z A(z), z = t^2, 0 <= t <= tan(pi/8): A a near-minimax fit
// (make_node_polynomials.py; relative error below 1e-17), powers of z 10 .. 0.
constexpr double atanSeries[] = {
    -0x1.3a31b1c0fd3b7p-6, 0x1.4162c02b1dda3p-5, -0x1.a0999c632b6edp-5, 0x1.dfe6497e96323p-5,
    -0x1.10fa77b1a6d57p-4, 0x1.3b1263064f6b9p-4, -0x1.745d0b28a7e37p-4, 0x1.c71c71853d7fap-4,
    -0x1.2492492436201p-3, 0x1.999999999934cp-3, -0x1.5555555555555p-2};
constexpr double piHi = 0x1.921fb54442d18p+1; // pi = piHi + piLo
constexpr double piLo = 0x1.1a62633145c07p-53;

template <class T, std::size_t N>
[[gnu::always_inline]] inline T horner(const double (&coefficients)[N], const T& x)
{
    T p = constant<T>(coefficients[0]);
    for (std::size_t i = 1; i < N; ++i) p = p * x + coefficients[i];
    return p;
}

// Estrin's scheme for the coefficients [First, First + Count) (highest power
// first), with powers[j] = x^(2^j): halves evaluated side by side, so the
// chain of dependent operations grows with log2 of the degree instead of the
// degree (Horner's sums made the batches wait on latency, not throughput).
template <std::size_t First, std::size_t Count, class T, std::size_t N>
[[gnu::always_inline]] inline T estrin(const double (&coefficients)[N], const T* powers)
{
    if constexpr (Count == 1) {
        return constant<T>(coefficients[First]);
    } else {
        // The low part takes the largest power of two below Count.
        constexpr std::size_t lowTerms = std::bit_floor(Count - 1);
        constexpr std::size_t highTerms = Count - lowTerms;
        const T high = estrin<First, highTerms>(coefficients, powers);
        const T lowPart = estrin<First + highTerms, lowTerms>(coefficients, powers);
        return high * powers[std::countr_zero(lowTerms)] + lowPart;
    }
}

// The polynomial with the top N - Tail coefficients by Estrin's scheme and
// the last Tail by Horner's (the low-order terms, which carry most of the
// value, keep Horner's rounding).
template <std::size_t Tail, class T, std::size_t N>
[[gnu::always_inline]] inline T polynomial(const double (&coefficients)[N], const T& x)
{
    static_assert(Tail < N);
    constexpr int used = std::bit_width(N - Tail - 1);
    T powers[used > 0 ? used : 1];
    powers[0] = x;
    for (int j = 1; j < used; ++j) powers[j] = powers[j - 1] * powers[j - 1];
    T p = estrin<0, N - Tail>(coefficients, powers);
    for (std::size_t i = N - Tail; i < N; ++i) p = p * x + coefficients[i];
    return p;
}

// exp(x): x = k ln 2 + r with |r| <= ln2 / 2 (k by rounding through the
// 2^52 shift), exp(r) by the polynomial of degree 12 above, and 2^k put into
// the exponent field from the low bits of the shifted x.
// expInRange is that for -708 <= x <= 709.7 only; expOfLanes adds the rest.
template <class T>
[[gnu::always_inline]] inline T expInRange(const T& x)
{
    using L = LaneTraits<T>;
    const T shifted = x * log2e + roundingShift;
    const T k = shifted - roundingShift;
    const T r = (x - k * ln2Hi) - k * ln2Lo;
    const T p = polynomial<3>(expSeries, r);
    // (Unsigned: the bits above the exponent field wrap around.)
    const typename L::Unsigned scale = (L::toUnsigned(shifted) << 52) + (std::uint64_t{1023} << 52);
    return p * L::fromUnsigned(scale);
}

template <class T>
[[gnu::always_inline]] inline T expOfLanes(const T& x)
{
    using L = LaneTraits<T>;
    T result = L::select(x < -708.0, constant<T>(0.0), expInRange(x));
    result = L::select(x > 709.7, constant<T>(inf), result);
    return L::select(x != x, x, result);
}

// log(u) + c for u > 0 and a small correction c: u = 2^k m with m in
// [sqrt(1/2), sqrt(2)), f = m - 1 (exact), s = f / (2 + f), and
// log(1 + f) = f - (f^2/2 - s (f^2/2 + R)) with R = sum 2 s^(2j) / (2j + 1)
// over j >= 1, by the fit above (|s| <= 0.1716).
// logNormal takes u normal and finite, scaled by 2^-extra (the exponent
// `extra` added back); logOfLanes adds subnormal, zero, negative, infinite
// and NaN arguments.
template <class T>
[[gnu::always_inline]] inline T logNormal(const T& u, const typename LaneTraits<T>::Int& extra, const T& c)
{
    using L = LaneTraits<T>;
    constexpr std::int64_t rootHalf = 0x3fe6a09e667f3bcd; // sqrt(1/2)
    constexpr std::int64_t one = 0x3ff0000000000000;
    const typename L::Int shiftedBits = L::toBits(u) + (one - rootHalf);
    const typename L::Int k = (shiftedBits >> 52) - 1023 - extra;
    const T m = L::fromBits((shiftedBits & 0x000fffffffffffff) + rootHalf);
    const T f = m - 1.0;
    const T s = f / (f + 2.0);
    const T z = s * s;
    const T R = polynomial<0>(logSeries, z) * z;
    const T halfSquare = 0.5 * f * f;
    const T kd = L::toDouble(k);
    return kd * ln2Hi + (f - (halfSquare - (s * (halfSquare + R) + (kd * ln2Lo + c))));
}

template <class T>
[[gnu::always_inline]] inline T logOfLanes(const T& u, const T& c)
{
    using L = LaneTraits<T>;
    // Subnormal arguments are scaled by 2^54 first.
    const typename L::Mask subnormal = u < std::numeric_limits<double>::min();
    T result = logNormal(L::select(subnormal, u * 0x1p54, u), L::ifMask(subnormal, 54), c);
    // Zero, negative, infinite and NaN arguments.
    result = L::select(u == 0.0, constant<T>(-inf), result);
    result = L::select(u < 0.0, constant<T>(std::numeric_limits<double>::quiet_NaN()), result);
    result = L::select(u == inf, constant<T>(inf), result);
    return L::select(u != u, u, result);
}

// log1p(x): u = 1 + x, and the rounding of that sum, (x - (u - 1)) / u, as the
// correction (u - 1 and the difference are exact for every x > -1).
template <class T>
[[gnu::always_inline]] inline T log1pOfLanes(const T& x)
{
    const T u = 1.0 + x;
    return logOfLanes(u, (x - (u - 1.0)) / u);
}

// The same for -1 < x < 2^1000, where u = 1 + x is normal and finite (at
// least 2^-53): no special arguments to sort out, the same bits.
template <class T>
[[gnu::always_inline]] inline T log1pInRange(const T& x)
{
    const T u = 1.0 + x;
    return logNormal(u, typename LaneTraits<T>::Int{}, (x - (u - 1.0)) / u);
}

// sin and cos of |x| <= pi/2 by the fits above (degree 17 and 20 in x).
template <class T>
[[gnu::always_inline]] inline void sinCosOfLanes(const T& x, T& sinX, T& cosX)
{
    const T z = x * x;
    sinX = x + x * (z * polynomial<1>(sinSeries, z));
    cosX = 1.0 - (0.5 * z - z * z * polynomial<1>(cosSeries, z));
}

// The same for |x| <= pi/4 (degree 15 and 14 in x).
template <class T>
[[gnu::always_inline]] inline void sinCosQuarterLanes(const T& x, T& sinX, T& cosX)
{
    const T z = x * x;
    sinX = x + x * (z * polynomial<1>(sinSeriesQuarter, z));
    cosX = 1.0 - (0.5 * z - z * z * polynomial<1>(cosSeriesQuarter, z));
}

// The density at mode + d from sin(d/2) and cos(d/2): with v = 1 - cos d,
// sin(s)/sin(mode) = 1 - v + cot(mode) sin d and u - u_mode = cos(mode) v +
// sin(mode) sin d.
[[gnu::always_inline]] inline void densityLanes(const Shape& shape, const Lanes& sh, const Lanes& ch, Lanes& du, Lanes& f)
{
    const Lanes sd = 2.0 * sh * ch;
    const Lanes v = 2.0 * sh * sh;
    du = shape.cosMode * v + shape.sinMode * sd;
    const Lanes ratioMinus1 = shape.cotMode * sd - v;
    // Lanes where the density vanishes or underflows are set to 0 afterwards;
    // elsewhere ratioMinus1 > -1 is far below 2^1000 and logf <= 0 (the peak
    // is 1), inside the kernels' ranges.
    const Lanes logf = shape.nuMinus1 * log1pInRange(ratioMinus1) - shape.c * du;
    f = ((ratioMinus1 <= -1.0) | (logf < -708.0)) ? constant<Lanes>(0.0) : expInRange(logf);
}

// Four doubles into lanes, written out rather than returned: a vector
// returned by value changes the calling convention of the baseline clones.
[[gnu::always_inline]] inline void load(const double* p, Lanes& lanes)
{
    lanes = Lanes{p[0], p[1], p[2], p[3]};
}

[[gnu::always_inline]] inline void store(double* p, const Lanes& x)
{
    for (int i = 0; i < width; ++i) p[i] = x[i];
}

} // namespace

__attribute__((target_clones("avx2", "default"))) void sinCosBatch(int n, const double* x, double* sinX,
                                                                    double* cosX)
{
    for (int i = 0; i < n; i += width) {
        Lanes s, c;
        Lanes v;
        load(x + i, v);
        sinCosOfLanes(v, s, c);
        store(sinX + i, s);
        store(cosX + i, c);
    }
}

__attribute__((target_clones("avx2", "default"))) void densityBatch(const Shape& shape, int n,
                                                                     const double* sinHalf,
                                                                     const double* cosHalf, double* du, double* f)
{
    for (int i = 0; i < n; i += width) {
        Lanes d, g;
        Lanes sh, ch;
        load(sinHalf + i, sh);
        load(cosHalf + i, ch);
        densityLanes(shape, sh, ch, d, g);
        store(du + i, d);
        store(f + i, g);
    }
}

namespace {

// The node pairs mid -+ dx of a panel in groups of lanes, handed to `sink`:
// sink.pairs(i, du and f below, du and f above) for the four pairs from i,
// and sink.shared(i, left, du, f) for the last one or two pairs (the 10-point
// rule's fifth, the 20-point rule's ninth and tenth), whose nodes below and
// above mid share one group: lanes [0, left) below, [left, 2 left) above.
template <class Sink>
[[gnu::always_inline]] inline void panelGroups(const Shape& shape, double sinMid, double cosMid, int n,
                                               const double* halfOffset, Sink& sink)
{
    const int left = n % width;
    const int whole = left <= 2 ? n - left : n + width - left;
    for (int i = 0; i < whole; i += width) {
        Lanes sinDx, cosDx;
        Lanes dx;
        load(halfOffset + i, dx);
        sinCosQuarterLanes(dx, sinDx, cosDx);
        // sin and cos of (mid -+ dx)/2 by the addition theorem.
        const Lanes sinBelow = sinMid * cosDx - cosMid * sinDx;
        const Lanes cosBelow = cosMid * cosDx + sinMid * sinDx;
        const Lanes sinAbove = sinMid * cosDx + cosMid * sinDx;
        const Lanes cosAbove = cosMid * cosDx - sinMid * sinDx;
        Lanes duBelow, fBelow, duAbove, fAbove;
        densityLanes(shape, sinBelow, cosBelow, duBelow, fBelow);
        densityLanes(shape, sinAbove, cosAbove, duAbove, fAbove);
        sink.pairs(i, duBelow, fBelow, duAbove, fAbove);
    }
    if (whole >= n) return;
    const double* dx = halfOffset + whole;
    const Lanes offset = left == 1 ? Lanes{dx[0], dx[0], 0.0, 0.0} : Lanes{dx[0], dx[1], dx[0], dx[1]};
    const Lanes sign = left == 1 ? Lanes{-1.0, 1.0, 1.0, 1.0} : Lanes{-1.0, -1.0, 1.0, 1.0};
    Lanes sinDx, cosDx;
    sinCosQuarterLanes(offset, sinDx, cosDx);
    const Lanes signedSin = sign * sinDx;
    Lanes du, f;
    densityLanes(shape, sinMid * cosDx + cosMid * signedSin, cosMid * cosDx - sinMid * signedSin, du, f);
    sink.shared(whole, left, du, f);
}

} // namespace

__attribute__((target_clones("avx2", "default"))) void panelBatch(const Shape& shape, double sinMid, double cosMid,
                                                                   int n, const double* halfOffset,
                                                                   double* duBelow, double* fBelow,
                                                                   double* duAbove, double* fAbove)
{
    struct Store {
        double* duBelow;
        double* fBelow;
        double* duAbove;
        double* fAbove;
        [[gnu::always_inline]] void pairs(int i, const Lanes& dB, const Lanes& gB, const Lanes& dA, const Lanes& gA)
        {
            store(duBelow + i, dB);
            store(fBelow + i, gB);
            store(duAbove + i, dA);
            store(fAbove + i, gA);
        }
        [[gnu::always_inline]] void shared(int i, int left, const Lanes& d, const Lanes& g)
        {
            for (int j = 0; j < left; ++j) {
                duBelow[i + j] = d[j];
                fBelow[i + j] = g[j];
                duAbove[i + j] = d[left + j];
                fAbove[i + j] = g[left + j];
            }
        }
    } sink{duBelow, fBelow, duAbove, fAbove};
    panelGroups(shape, sinMid, cosMid, n, halfOffset, sink);
}

__attribute__((target_clones("avx2", "default"))) void panelMomentsBatch(const Shape& shape, double sinMid,
                                                                          double cosMid, int n,
                                                                          const double* halfOffset,
                                                                          const double* weight, double* sums)
{
    // Per-lane sums, node pairs in order, below before above; then the lanes
    // added in a fixed order. (Four short chains of additions instead of one
    // long one through every node.)
    struct Accumulate {
        const double* weight;
        Lanes m0{}, m1{}, m2{};
        [[gnu::always_inline]] void add(const Lanes& w, const Lanes& du, const Lanes& f)
        {
            const Lanes wf = w * f;
            m0 += wf;
            m1 += wf * du;
            m2 += wf * du * du;
        }
        [[gnu::always_inline]] void pairs(int i, const Lanes& dB, const Lanes& gB, const Lanes& dA, const Lanes& gA)
        {
            Lanes w;
            load(weight + i, w);
            add(w, dB, gB);
            add(w, dA, gA);
        }
        [[gnu::always_inline]] void shared(int i, int left, const Lanes& d, const Lanes& g)
        {
            const double* x = weight + i;
            add(left == 1 ? Lanes{x[0], x[0], 0.0, 0.0} : Lanes{x[0], x[1], x[0], x[1]}, d, g);
        }
    } sink{weight};
    panelGroups(shape, sinMid, cosMid, n, halfOffset, sink);
    sums[0] = (sink.m0[0] + sink.m0[1]) + (sink.m0[2] + sink.m0[3]);
    sums[1] = (sink.m1[0] + sink.m1[1]) + (sink.m1[2] + sink.m1[3]);
    sums[2] = (sink.m2[0] + sink.m2[1]) + (sink.m2[2] + sink.m2[3]);
}

double expOf(double x)
{
    return expOfLanes(x);
}

double log1pOf(double x)
{
    return log1pOfLanes(x);
}

double logOf(double x)
{
    return logOfLanes(x, 0.0);
}

void sinCosOf(double x, double& sinX, double& cosX)
{
    sinCosOfLanes(x, sinX, cosX);
}

void sinCosQuarterOf(double x, double& sinX, double& cosX)
{
    sinCosQuarterLanes(x, sinX, cosX);
}

double angleOf(double y, double x)
{
    const double ax = std::fabs(x);
    const double big = std::max(y, ax);
    if (!(big > 0.0)) return x < 0.0 ? piHi : 0.0;
    // t = tan of the angle within (0, pi/4], halved by tan(a/2) =
    // t / (1 + sqrt(1 + t^2)) to at most tan(pi/8), where the fit holds.
    double t = std::min(y, ax) / big;
    t = t / (1.0 + std::sqrt(1.0 + t * t));
    const double z = t * t;
    double angle = 2.0 * (t + t * (z * polynomial<1>(atanSeries, z)));
    if (y > ax) angle = (0.5 * piHi - angle) + 0.5 * piLo;
    if (x < 0.0) angle = (piHi - angle) + piLo;
    return angle;
}

} // namespace engine::exact::detail

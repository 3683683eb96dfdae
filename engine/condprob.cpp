#include "engine/condprob.h"

#include "engine/besseli.h"
#include "diag/sink.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace engine {

namespace {

constexpr double orderLimit = 50.0; // closed Bessel forms avoided above this order when c/order is small
constexpr double largeNu = 1000.0;  // above it the log-scale factor follows the mode
constexpr double factorCut = 5.0;   // above it (and nu > largeNu) the log-scale factor is 0
constexpr double factorCentre = 7.0;
constexpr int scaled = 2; // besseli option: exp(-x) I(x)

// Panels one integral may examine. The stack bounds the depth of refinement
// but not its breadth: an integrand that the thresholds cannot satisfy (a
// Tolerance too small for the peak, or a zero-width panel beside an infinite
// value) would otherwise be split without end. Ordinary integrals take a few
// thousand panels at most; running out is a failure of the integral, like a
// full stack.
constexpr int panelBudget = 100000;

// One pending panel of the three-point rule: left end a, half-width h, the
// integrand at a, a + h and a + 2h, and the rule's estimate over the panel.
struct Panel {
    double a;
    double h;
    double fa;
    double fm;
    double fb;
    double Q;
};

using Integrand = double (*)(double, const Density&);

Panel firstPanel(Integrand f, double a, double b, const Density& d)
{
    const double h = (b - a) / 2.0;
    const double fa = f(a, d);
    const double fm = f(a + h, d);
    const double fb = f(b, d);
    return {a, h, fa, fm, fb, (fa + 4.0 * fm + fb) * h / 3.0};
}

// The two halves of a panel, each with its own estimate.
struct Halves {
    Panel left;
    Panel right;
};

Halves halve(Integrand f, const Panel& p, const Density& d)
{
    const double f1 = f(p.a + p.h / 2.0, d);
    const double f2 = f(p.a + 3.0 * p.h / 2.0, d);
    const double ql = (p.fa + 4.0 * f1 + p.fm) * p.h / 6.0;
    const double qr = (p.fm + 4.0 * f2 + p.fb) * p.h / 6.0;
    return {{p.a, p.h / 2.0, p.fa, f1, p.fm, ql}, {p.a + p.h, p.h / 2.0, p.fm, f2, p.fb, qr}};
}

// The thresholds are absolute: they are not reduced when a panel is split.
bool accepted(const Halves& s, double Q, const Thresholds& th)
{
    const double sum = s.left.Q + s.right.Q;
    return th.negligible >= std::fabs(sum) || th.accuracy >= std::fabs(sum - Q);
}

double extrapolated(const Halves& s, double Q)
{
    return (16.0 * (s.left.Q + s.right.Q) - Q) / 15.0;
}

// The pending panels of one integral: an array of the largest capacity, used
// up to the capacity the variant gives this integral.
// It also counts the panels taken against the budget.
class PanelStack {
public:
    explicit PanelStack(int capacity) : capacity_(std::clamp(capacity, 1, maxPanels)) {}

    bool empty() const { return size_ == 0; }
    // Room to split the panel just taken, within the stack and the budget.
    bool roomForTwo() const { return size_ + 2 <= capacity_ && taken_ < panelBudget; }
    void push(const Panel& p) { panels_[size_++] = p; }
    Panel pop()
    {
        ++taken_;
        return panels_[--size_];
    }

private:
    int capacity_;
    int size_ = 0;
    int taken_ = 0;
    std::array<Panel, maxPanels> panels_;
};

// What a walk over panels does with the panel just halved.
enum class PanelStep { split, take, stop };

// The panels of [a, b], depth first from the left end (or the right end when
// not leftFirst), each offered halved to visit, which splits it (both halves
// are pushed, the one nearer the starting end on top), takes it, or stops the
// walk. False when the stack or the panel budget ran out.
template <class Visit>
bool walkPanels(Integrand f, double a, double b, const Density& d, int capacity, bool leftFirst, Visit visit)
{
    PanelStack stack(capacity);
    stack.push(firstPanel(f, a, b, d));
    while (!stack.empty()) {
        const Panel p = stack.pop();
        const Halves s = halve(f, p, d);
        const PanelStep step = visit(p, s);
        if (step == PanelStep::stop) return true;
        if (step == PanelStep::take) continue;
        if (!stack.roomForTwo()) return false;
        stack.push(leftFirst ? s.right : s.left);
        stack.push(leftFirst ? s.left : s.right);
    }
    return true;
}

// Adaptive three-point rule, depth-first from the left end.
double integrate(Integrand f, double a, double b, const Density& d, int capacity,
                 const Thresholds& th, bool& exhausted)
{
    double result = 0.0;
    const bool complete = walkPanels(f, a, b, d, capacity, true, [&](const Panel& p, const Halves& s) {
        if (!accepted(s, p.Q, th)) return PanelStep::split;
        result += extrapolated(s, p.Q);
        return PanelStep::take;
    });
    if (!complete) exhausted = true;
    return result;
}

// Accumulates the mass of condens from one end of [a, b] towards the other
// (from a when upward, from b otherwise) and returns the point where it
// reaches target. Panels that contain the crossing are refined to the refine
// half-width and added whole; the panel after the overshoot places the end by
// linear interpolation at the density of its half nearer the starting end.
double solveEnd(bool upward, double a, double b, double target, const Density& d, int capacity,
                const Thresholds& th, int& fail)
{
    double acc = 0.0;
    double end = std::numeric_limits<double>::quiet_NaN();
    bool found = false;
    walkPanels(condens, a, b, d, capacity, upward, [&](const Panel& p, const Halves& s) {
        if (!accepted(s, p.Q, th) || (acc + s.left.Q + s.right.Q > target && p.h > th.refine))
            return PanelStep::split;
        if (target > acc) {
            acc += extrapolated(s, p.Q);
            return PanelStep::take;
        }
        // target - acc <= 0: the end lies back inside the overshooting panel,
        // whose far edge is this panel's near edge. A near half without mass
        // (the density underflowed) gives no slope: the edge itself is the end.
        const double nearEdge = upward ? p.a : p.a + 2.0 * p.h;
        const double nearMass = upward ? s.left.Q : s.right.Q;
        if (!(nearMass > 0.0))
            end = nearEdge;
        else
            end = upward ? nearEdge + (target - acc) * p.h / nearMass : nearEdge - (target - acc) * p.h / nearMass;
        found = true;
        return PanelStep::stop;
    });
    if (!found) fail = 1;
    return end;
}

// ln of the unscaled density at the mode m, divided by nu + 1: the factor
// that makes the density at the mode equal to K.
double modeFactor(double nu, double m, double g, double lgam)
{
    const double c = (nu + 1.0) * (-g);
    return ((nu / 2.0 - 1.0) * std::log(1.0 - m * m) + (nu + 1.0) * g * (m + 1.0) -
            ((nu - 1.0) / 2.0) * std::log(2.0 / c) - lgam) /
           (nu + 1.0);
}

// The working quantities of one evaluation, computed from (x, S, nu) in this order.
struct Derived {
    double K;
    double w;
    double g; // negative for S > 0
    double uobs;
    double c; // the Bessel argument, > 0
    double t; // -c, the exponent coefficient for two degrees of freedom
};

Derived derive(double x, double S, double nu)
{
    Derived q{};
    q.K = 1.0 / std::sqrt(pi);
    q.w = -std::sqrt(nu + 1.0) * x / S;
    q.g = -S * std::sqrt(q.w * q.w + nu) * std::sqrt(nu + 1.0) * 0.5 / (nu + 1.0);
    const double r = q.w / std::sqrt(nu);
    q.uobs = r / std::sqrt(r * r + 1.0);
    q.c = (nu + 1.0) * (-q.g);
    q.t = (nu + 1.0) * q.g;
    return q;
}

// The density scaled to peak 1 at its mode m (nu > 2), and D0, the unscaled
// peak that the closed Bessel form of the total mass divides by.
struct Scaled {
    double m;
    double D0;
    Density density;
};

Scaled scale(const Derived& q, double nu, double S, double lgam, const Variant& variant, bool announce)
{
    const double m = umode(nu, q.g);
    double F = Factor(nu, S, m, q.g, lgam, variant, announce);
    double D = condens(m, Density(nu, q.g, q.K, lgam, F, 1.0));
    if (!std::isnormal(D)) {
        // The linear rule misses the peak by more than the exponent range
        // (large nu with a large spread): scale by the peak itself instead.
        F = modeFactor(nu, m, q.g, lgam);
        D = condens(m, Density(nu, q.g, q.K, lgam, F, 1.0));
    }
    const double D0 = condens(m, Density(nu, q.g, q.K, lgam, 0.0, 1.0));
    return {m, D0, Density(nu, q.g, q.K, lgam, F, D)};
}

// Small Bessel argument for a large order: the closed forms are not trusted.
bool smallArgument(double c, double nu, const Variant& variant)
{
    return c / ((nu - 1.0) / 2.0) <= variant.ratioLimit && nu > orderLimit;
}

// exp(-c) I_order(c) when the closed form may serve: c within ArgTop, a
// nonzero peak to divide by, and a value that besseli could deliver.
bool closedMass(double c, double nu, double D0, double ArgTop, double& bessel)
{
    if (c > ArgTop || D0 == 0.0) return false;
    bessel = besseli(c, (nu - 1.0) / 2.0, scaled);
    return bessel != besselFailure;
}

// The total mass, split at the mode and at the midpoints between it and the ends.
double fourPartMass(double m, const Density& d, const Variant& variant, double Tolerance, bool& exhausted)
{
    return intdens(-1.0, (m - 1.0) / 2.0, d, variant, Tolerance, exhausted) +
           intdens((m - 1.0) / 2.0, m, d, variant, Tolerance, exhausted) +
           intdens(m, (m + 1.0) / 2.0, d, variant, Tolerance, exhausted) +
           intdens((m + 1.0) / 2.0, 1.0, d, variant, Tolerance, exhausted);
}

// The end z of the region [z, b] (lowerEnd) or [a, z] (upperEnd) of mass
// target. The solver's first samples of the whole range can all miss a narrow
// peak, and it then reaches the far end short of the target as if there were
// no such region; when the mode lies inside the range, the range is solved
// again in two parts split at the mode, whose peak value the solver then sees.
double lowerEnd(double b, double target, double m, const Density& d, const Variant& variant, double Tolerance, int& fail,
                bool& exhausted)
{
    const double z = solvelow(-1.0, b, target, d, variant, Tolerance, fail);
    if (fail != 1 || !(-1.0 < m && m < b)) return z;
    fail = 0;
    const double above = intdens(m, b, d, variant, Tolerance, exhausted);
    if (above >= target) return solvelow(m, b, target, d, variant, Tolerance, fail);
    return solvelow(-1.0, m, target - above, d, variant, Tolerance, fail);
}

double upperEnd(double a, double target, double m, const Density& d, const Variant& variant, double Tolerance, int& fail,
                bool& exhausted)
{
    const double z = solveup(a, 1.0, target, d, variant, Tolerance, fail);
    if (fail != 1 || !(a < m && m < 1.0)) return z;
    fail = 0;
    const double below = intdens(a, m, d, variant, Tolerance, exhausted);
    if (below >= target) return solveup(a, m, target, d, variant, Tolerance, fail);
    return solveup(m, 1.0, target - below, d, variant, Tolerance, fail);
}

} // namespace

Density::Density(double nu_, double g_, double K_, double lgam_, double F_, double Dv_)
    : nu(nu_), g(g_), K(K_), lgam(lgam_), F(F_), Dv(Dv_), slope((nu_ + 1.0) * g_),
      normTerm(((nu_ - 1.0) / 2.0) * std::log(2.0 / ((nu_ + 1.0) * (-g_)))),
      scaleTerm((nu_ + 1.0) * F_), logDv(std::log(Dv_)), power(nu_ / 2.0 - 1.0)
{
}

Thresholds thresholdsOf(const Variant& variant, double Tolerance)
{
    if (!variant.thresholdsFromSettings) return {variant.negligible, variant.accuracy, variant.refine};
    return {Tolerance / 1000.0, Tolerance / 100.0, Tolerance / 10.0};
}

double umode(double nu, double g)
{
    const double k = ((nu + 1.0) - 1.0) * 0.5 - 1.0;
    const double q = (-g) * (nu + 1.0);
    if (k == 0.0) return -1.0; // exp(-q u) is largest at the left end
    return -(std::sqrt(q * q / (k * k) + 1.0) - 1.0) * (k / q);
}

double Factor(double nu, double S, double m, double g, double lgam, const Variant& variant,
              bool announce)
{
    if (nu <= largeNu) return (S - factorCentre) * variant.factorSlope;
    if (S > factorCut) {
        if (announce) diag::line({"Set Factor to 0 "});
        return 0.0;
    }
    return modeFactor(nu, m, g, lgam);
}

double condens(double u, const Density& d)
{
    if (std::fabs(u) == 1.0) return 0.0;
    return d.K * std::exp(d.slope * (u + 1.0) - d.normTerm - d.lgam - d.scaleTerm - d.logDv +
                          d.power * std::log(1.0 - u * u));
}

double TWOTAILEDNEWF(double u, const Density& d)
{
    return u * condens(u, d);
}

double intdens(double a, double b, const Density& d, const Variant& variant, double Tolerance, bool& exhausted)
{
    return integrate(condens, a, b, d, variant.intdensPanels, thresholdsOf(variant, Tolerance), exhausted);
}

double intmom(double a, double b, const Density& d, const Variant& variant, double Tolerance, bool& exhausted)
{
    return integrate(TWOTAILEDNEWF, a, b, d, variant.intmomPanels, thresholdsOf(variant, Tolerance), exhausted);
}

double solvelow(double a, double b, double target, const Density& d, const Variant& variant, double Tolerance, int& fail)
{
    return solveEnd(false, a, b, target, d, variant.solvelowPanels, thresholdsOf(variant, Tolerance), fail);
}

double solveup(double a, double b, double target, const Density& d, const Variant& variant, double Tolerance, int& fail)
{
    return solveEnd(true, a, b, target, d, variant.solveupPanels, thresholdsOf(variant, Tolerance), fail);
}

double twodfmom(double zL, double zU, double t)
{
    return (std::exp((zU + 1.0) * t) * (t * zU - 1.0) - std::exp((zL + 1.0) * t) * (t * zL - 1.0)) /
           (std::exp(2.0 * t) * (t - 1.0) + (t + 1.0));
}

int usebessel(double c, double order, double ArgTop, const Variant& variant)
{
    return ((c / order > variant.ratioLimit || order <= orderLimit) && ArgTop >= c) ? 1 : 0;
}

double newg(double x, double p, int side, double nu, double S, double ArgTop, double Tolerance, double lgam,
            int& fail, const Variant& variant)
{
    fail = 0;
    const Derived q = derive(x, S, nu);

    if (nu == 2.0) {
        // Closed forms: the density is proportional to exp(t u).
        const double t = q.t;
        double zL = 0.0;
        double zU = 0.0;
        if (side == 1) {
            zU = q.uobs;
            zL = (std::log(std::exp((zU + 1.0) * t) - (std::exp(2.0 * t) - 1.0) * p) - t) / t;
        } else {
            zL = q.uobs;
            const double V = (std::exp(2.0 * t) - 1.0) * p + std::exp((zL + 1.0) * t);
            if (!(V > 0.0)) {
                diag::line({"Failed with v=2..."});
                diag::line({"v,s ", nu, S});
                fail = 1;
                return twoDfFailure;
            }
            zU = (std::log(V) - t) / t;
        }
        return twodfmom(zL, zU, t);
    }

    const Scaled sc = scale(q, nu, S, lgam, variant, true);
    const Density& d = sc.density;
    const double m = sc.m;
    bool exhausted = false;

    double T = 0.0;
    double bessel = 0.0;
    if (!smallArgument(q.c, nu, variant) && closedMass(q.c, nu, sc.D0, ArgTop, bessel)) {
        T = bessel / sc.D0;
    } else {
        T = fourPartMass(m, d, variant, Tolerance, exhausted);
    }

    const double failure = side == 1 ? lowerEndFailure : upperEndFailure;
    double zL = 0.0;
    double zU = 0.0;
    if (side == 1) {
        zU = q.uobs;
        if (!exhausted) zL = lowerEnd(zU, p * T, m, d, variant, Tolerance, fail, exhausted);
    } else {
        zL = q.uobs;
        if (!exhausted) zU = upperEnd(zL, p * T, m, d, variant, Tolerance, fail, exhausted);
    }
    if (exhausted || fail == 1) {
        fail = 1;
        return failure;
    }

    const double Mout = intmom(-1.0, zL, d, variant, Tolerance, exhausted) + intmom(zU, 1.0, d, variant, Tolerance, exhausted);
    const double order = (nu + 1.0) / 2.0;
    const double moment = usebessel(q.c, order, ArgTop, variant) == 1 ? besseli(q.c, order, scaled)
                                                                       : besselFailure;
    double Mtot = 0.0;
    if (moment != besselFailure) {
        Mtot = -moment * std::exp(-(nu + 1.0) * d.F - d.logDv);
    } else {
        Mtot = intmom(zL, m, d, variant, Tolerance, exhausted) + intmom(m, zU, d, variant, Tolerance, exhausted) + Mout;
    }
    if (exhausted) {
        fail = 1;
        return failure;
    }
    return 1.0 - Mout / Mtot;
}

double onetailg(double x, double nu, double S, double ArgTop, double Tolerance, int& how, double lgam,
                const Variant& variant)
{
    const Derived q = derive(x, S, nu);
    const double u = q.uobs;
    if (nu == 2.0) return (1.0 - std::exp(3.0 * q.g * (u + 1.0))) / (1.0 - std::exp(6.0 * q.g));

    const Scaled sc = scale(q, nu, S, lgam, variant, false);
    const Density& d = sc.density;
    const double m = sc.m;
    const bool small = smallArgument(q.c, nu, variant);
    bool exhausted = false;

    // A: the mass of the tail on the far side of u_obs from the mode.
    const bool lowerTail = u < m;
    double A = 0.0;
    if (lowerTail) {
        A = small ? intdens(-1.0, u, d, variant, Tolerance, exhausted)
                  : intdens(-1.0, (u - 1.0) / 2.0, d, variant, Tolerance, exhausted) +
                        intdens((u - 1.0) / 2.0, u, d, variant, Tolerance, exhausted);
    } else if (u < 0.0) {
        A = intdens(u, 0.0, d, variant, Tolerance, exhausted) + intdens(0.0, 1.0, d, variant, Tolerance, exhausted);
    } else {
        A = intdens(u, 1.0, d, variant, Tolerance, exhausted);
    }

    double T = 0.0;
    double bessel = 0.0;
    if (small) {
        T = fourPartMass(m, d, variant, Tolerance, exhausted);
    } else if (closedMass(q.c, nu, sc.D0, ArgTop, bessel)) {
        T = bessel / sc.D0;
        how = 1;
    } else {
        T = intdens(-1.0, (m - 1.0) / 2.0, d, variant, Tolerance, exhausted) +
            intdens((m - 1.0) / 2.0, m, d, variant, Tolerance, exhausted) + intdens(m, 1.0, d, variant, Tolerance, exhausted);
        how = 2;
    }

    if (exhausted || T == 0.0) return onetailgFailure;
    return lowerTail ? A / T : 1.0 - A / T;
}

} // namespace engine

// The exact core: bracketed Newton searches in C on Gauss-Legendre tables of
// the conditional law (density_table.h), with derivatives with respect to C
// taken from the same sums.
//
// For a trial C the canonical quantities are
//   w = -sqrt(nu + 1) (S/2 + C/sqrt(nu)),  c = S sqrt(nu + 1) sqrt(w^2 + nu) / 2,
//   u_obs = w / sqrt(w^2 + nu),  s_obs = arccos(-u_obs) = atan2(sqrt(nu), -w).
// One-sided: P(U <= u_obs) = 1 - p. Two-sided: with the observed point as
// one end of the region of mass L, the region's mean of U equals the mean of
// U over (-1, 1). That is the same root as 1 - M_out/M_tot = L, written as
// G = E[(U - mu); region] = 0, which stays well conditioned as S -> 0 (there
// M_tot -> 0) and at S = 0 gives the symmetric Student-t region.

#include "engine/exact/exact_core.h"

#include "engine/exact/density_table.h"
#include "engine/exact/node_math.h"
#include "engine/exact/starting_values.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace engine::exact {

namespace {

using detail::DensityTable;
using detail::Moments;
using detail::Panel;

constexpr double eps = std::numeric_limits<double>::epsilon();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double stopStep = 1.0e-13;       // a bracket this narrow (relative) ends a search
constexpr double switchStep = 1.0e-3;      // coarse tables until the Newton step is this small,
constexpr double halleySwitchStep = 3.0e-2; // or the Halley step (third order) this small
constexpr double acceptedNewtonError = 1e-2; // of the target: the last step's own error, at most
constexpr int maxSearchSteps = 80;         // evaluations per search
constexpr int maxEndSteps = 40;            // Halley steps for the free end of a region
constexpr double endStepForMidpoint = 1e-6; // a free-end step below this (in sigmas) ends them
constexpr double sliverWidth = 1e-8;       // regions narrower than this (in sigmas) are slivers
constexpr double tinyLevel = 1e-100;      // two-sided levels below this solve the limit L -> 0
constexpr double quadratureNoise = 16.0 * eps; // relative error of a tabulated mass, times:

// The log-density carries (nu - 1) ln(sin s / sin mode), whose rounding grows
// like sqrt(nu) over the few widths the table spans.
double massNoise(double nu)
{
    return quadratureNoise * (1.0 + 0.1 * std::sqrt(nu));
}

// Points are held as offsets from the mode, so a point near s = 0 is known
// only to a few ulps of the mode: the absolute uncertainty of its position.
constexpr double observedUlps = 4.0;
double positionNoise(const detail::Shape& shape, double d, double ulps)
{
    return ulps * eps * (shape.mode + std::fabs(d));
}

// The canonical quantities of one trial C and their derivatives in C.
struct Trial {
    double c;
    double sObs;
    double dsObs;  // d s_obs / dC
    double dc;     // d c / dC
    double d2sObs; // second derivatives
    double d2c;
};

Trial trialAt(double S, double nu, double C)
{
    const double rootNu = std::sqrt(nu);
    const double rootNu1 = std::sqrt(nu + 1.0);
    const double w = -rootNu1 * (0.5 * S + C / rootNu);
    const double r2 = w * w + nu;
    const double r = std::sqrt(r2);
    const double dw = -rootNu1 / rootNu;
    return {0.5 * S * rootNu1 * r,
            detail::angleOf(rootNu, -w),
            rootNu / r2 * dw,
            0.5 * S * rootNu1 * (w / r) * dw,
            -2.0 * w * rootNu / (r2 * r2) * dw * dw,
            0.5 * S * rootNu1 * nu / (r2 * r) * dw * dw};
}

// Rounding of C itself as it enters w: two ulps of |C| + S sqrt(nu)/2
// (and of 1 near C = 0).
double inputNoise(double S, double nu, double C)
{
    return 2.0 * eps * (std::fabs(C) + 0.5 * S * std::sqrt(nu)) + eps;
}

// Two-sided regions of mass below narrowRegion: their fine tables' root has
// been seen 5e-6 of the way from the coarse tables' one to its true place,
// so their bound adds 1e-5 of that distance (elsewhere the fine masses are
// some 1e7 times more accurate and nothing is added).
constexpr double narrowRegion = 1e-6;
constexpr double narrowFineToCoarse = 1e-5;

// One evaluation of a decreasing function h(C) whose root is sought.
struct Evaluation {
    enum class Kind { value, positive, negative, failed } kind;
    double h;     // for Kind::value
    double dh;    // dh/dC
    double noise; // estimated absolute error of h
    double d2h = nan; // d2h/dC2 where it is known
};

// Bracketed Newton search for the root of a decreasing h, from C0: Newton
// steps on coarse tables (or the `steering` ones) until the step is below
// switchStep, then on fine tables (or the `finest`) until the next step's
// own error (from the curvature of h,
// estimated from the last two derivatives) is negligible. Coarse steps after
// the first are corrected for that curvature (Halley's form). Where the
// evaluation gives h'' itself, every step is Halley's (third order): the
// coarse stage ends below halleySwitchStep, and the error of a fine step is
// judged from h'' and h''' (estimated from the last two h''). Steps that
// leave the bracket, or that h' does not support, become bisections or (with
// no bracket yet) expanding steps outward.
template <class Evaluate>
Critical searchRoot(double C0, double S, double nu, Evaluate evaluate, double fineToCoarse = 0.0,
                    const detail::Resolution& steering = detail::coarse,
                    const detail::Resolution& finest = detail::fine)
{
    auto resolutionError = [&](double fineRoot, double coarseRoot) {
        return std::isfinite(coarseRoot) ? fineToCoarse * std::fabs(fineRoot - coarseRoot) : 0.0;
    };
    double lo = -inf; // h(lo) > 0
    double hi = inf;  // h(hi) < 0
    double C = C0;
    double outward = std::max(0.5, 0.25 * std::fabs(C0));
    bool fineStage = false;
    double coarseRoot = nan; // where the coarse tables put the root
    double previousC = nan;
    double previousSlope = nan;
    double previousCurvature = nan; // h'' there, where known
    for (int it = 1; it <= maxSearchSteps; ++it) {
        const Evaluation e = evaluate(C, fineStage ? finest : steering);
        if (e.kind == Evaluation::Kind::failed) return {nan, inf, it, SearchEnd::evaluation_failed};
        const double scale = std::max(1.0, std::fabs(C));
        if (e.kind == Evaluation::Kind::value && e.h == 0.0 && fineStage) {
            // h rounded to zero: C is the root to within h's own noise.
            const double noiseC = e.dh < 0.0 && std::isfinite(e.dh) ? e.noise / -e.dh : 0.0;
            return {C, noiseC + inputNoise(S, nu, C), it, SearchEnd::root};
        }
        const bool positive = e.kind == Evaluation::Kind::positive || (e.kind == Evaluation::Kind::value && e.h > 0.0);
        if (positive)
            lo = C;
        else
            hi = C;

        double next = nan;
        if (e.kind == Evaluation::Kind::value && e.dh < 0.0 && std::isfinite(e.dh)) {
            const double newton = e.h / e.dh;
            next = C - newton;
            bool halley = false;
            const bool apart = std::fabs(C - previousC) >= 1e-9 * scale;
            double d2h = e.d2h;
            if (!std::isfinite(d2h) && !fineStage && apart) d2h = (e.dh - previousSlope) / (C - previousC);
            if (std::isfinite(d2h)) {
                // The Newton step corrected for the curvature of h, where the
                // correction is moderate.
                const double factor = 1.0 - 0.5 * newton * d2h / e.dh;
                if (factor >= 0.5 && factor <= 2.0) {
                    next = C - newton / factor;
                    halley = std::isfinite(e.d2h);
                }
            }
            const double step = std::fabs(next - C);
            // (Closed bracket: a step that rounds to nothing lands on C itself.)
            if (fineStage && next >= lo && next <= hi) {
                const double noiseC = e.noise / -e.dh + inputNoise(S, nu, C);
                double predicted = step;
                if (halley && apart && std::isfinite(previousCurvature)) {
                    // Halley's error: (h''^2 / (4 h'^2) - h''' / (6 h')) times the cube.
                    const double third = (e.d2h - previousCurvature) / (C - previousC);
                    const double constant = e.d2h * e.d2h / (4.0 * e.dh * e.dh) + std::fabs(third / (6.0 * e.dh));
                    predicted = constant * step * step * step;
                } else if (!halley && apart) {
                    const double curvature = (e.dh - previousSlope) / (C - previousC);
                    predicted = std::fabs(curvature / (2.0 * e.dh)) * step * step;
                }
                if (predicted <= acceptedNewtonError * target_accuracy * scale || step <= noiseC) {
                    const double bound = std::max(10.0 * predicted, noiseC) + resolutionError(next, coarseRoot);
                    return {next, bound, it, SearchEnd::root};
                }
            }
            if (!fineStage && step <= (halley ? halleySwitchStep : switchStep) * scale) {
                // The coarse tables' root may sit a little off the fine one:
                // the fine stage keeps a bracket of its own signs only.
                fineStage = true;
                coarseRoot = next;
                lo = -inf;
                hi = inf;
            }
            previousC = C;
            previousSlope = e.dh;
            previousCurvature = e.d2h;
        }
        if (!(next > lo && next < hi)) {
            if (std::isfinite(lo) && std::isfinite(hi))
                next = 0.5 * (lo + hi);
            else {
                next = std::isfinite(lo) ? C + outward : C - outward;
                outward *= 2.0;
            }
        }
        if (std::isfinite(lo) && std::isfinite(hi) && hi - lo <= stopStep * std::max(1.0, std::fabs(next))) {
            if (!fineStage) {
                fineStage = true;
                lo = -inf;
                hi = inf;
            } else {
                const double bound = hi - lo + inputNoise(S, nu, next) + resolutionError(next, coarseRoot);
                return {next, bound, it, SearchEnd::root};
            }
        }
        C = next;
    }
    return {nan, inf, maxSearchSteps, SearchEnd::unbracketed};
}

// Mass beyond an observed point outside the table: the Laplace tail
// f / |(ln f)'|, enough to steer the search back.
double farTail(const detail::Shape& shape, double dObs)
{
    const detail::PointValue atObs = detail::pointAt(shape, dObs);
    return detail::expOf(atObs.logf) / std::max(std::fabs(atObs.slope), 1.0e-300);
}

// The table of the trial value C; false when it cannot be built or holds no mass.
bool tableAt(double S, double nu, double C, const detail::Resolution& resolution, Trial& t, DensityTable& table)
{
    t = trialAt(S, nu, C);
    if (!detail::buildTable(detail::makeShape(nu, t.c), t.sObs, resolution, table)) return false;
    const double m0 = table.total.m0;
    return m0 > 0.0 && std::isfinite(m0);
}

Evaluation oneSidedAt(double S, double nu, double p, double C, const detail::Resolution& resolution)
{
    Trial t;
    DensityTable table;
    if (!tableAt(S, nu, C, resolution, t, table)) return {Evaluation::Kind::failed, nan, nan, inf};
    const detail::Shape& shape = table.shape;
    const double m0 = table.total.m0;

    const double dObs = t.sObs - shape.mode;
    double below = table.below.m0;
    double above = m0 - below;
    if (table.obsBeyondLow) below = farTail(shape, dObs);
    if (table.obsBeyondHigh) above = farTail(shape, dObs);
    if (!table.obsBeyondLow && !table.obsBeyondHigh) {
        above = 0.0;
        for (int i = table.obsIndex; i < table.count; ++i) above += table.panels[i].sums.m0;
    }
    const double P = below / m0;
    const double Q = above / m0;
    const double mean = table.total.m1 / m0; // E[u - u_mode]
    // dP/dC: the move of the observed point, and the change of the law with c.
    const detail::PointValue atObs = detail::pointAt(shape, dObs);
    const double fObs = detail::expOf(atObs.logf) / m0;
    const double B1 = table.below.m1 / m0;
    const double dPdc = -(B1 - mean * P);
    const double dP = fObs * t.dsObs + dPdc * t.dc;
    // d2P/dC2 from the same sums: the observed point's density moves along
    // the law and with c, and dP/dc changes with both.
    double d2P = nan;
    if (!table.obsBeyondLow && !table.obsBeyondHigh) {
        const double variance = table.total.m2 / m0 - mean * mean;
        const double belowSquare = table.below.m2 / m0 - 2.0 * mean * B1 + mean * mean * P;
        const double uObs = atObs.du - mean;
        d2P = fObs * (atObs.slope * t.dsObs * t.dsObs + t.d2sObs) -
              2.0 * uObs * fObs * t.dc * t.dsObs + dPdc * t.d2c + (belowSquare - variance * P) * t.dc * t.dc;
    }

    // h decreasing in C, on the log scale of the tail that the level sits in.
    // Rounding of the tail mass, relative: the sums, and the position of the
    // observed point (the density there times its uncertainty).
    const double target = 1.0 - p;
    const double shift = fObs * positionNoise(shape, dObs, observedUlps);
    if (target <= 0.5) {
        if (!(P > 0.0)) return {Evaluation::Kind::negative, -inf, nan, inf};
        return {Evaluation::Kind::value, detail::logOf(P) - detail::logOf(target), dP / P, massNoise(nu) + shift / P,
                d2P / P - (dP / P) * (dP / P)};
    }
    if (!(Q > 0.0)) return {Evaluation::Kind::positive, inf, nan, inf};
    return {Evaluation::Kind::value, detail::logOf(p) - detail::logOf(Q), dP / Q, massNoise(nu) + shift / Q,
            d2P / Q + (dP / Q) * (dP / Q)};
}

// The interval of mass `mass` that ends at the edge of panel `edge`:
// downward (the panels below `edge`) or upward (from panel `edge` on). Whole
// panels are walked outward from the edge, then Halley steps find the free
// end z inside the panel that holds it, safeguarded by bisection. The sums
// stay local to the interval, so their rounding scales with its mass.
struct Region {
    Moments sums;
    double z;      // the free end, offset from the mode
    double zShift; // below the spacing of doubles: the end is at z + zShift
};

// A first guess of the point where the mass of the panel, counted from its
// edge nearer the observed point, reaches `need`: the Gauss-Legendre node
// masses taken as cells, interpolated linearly inside the crossing cell.
double cellGuess(const detail::Shape& shape, const detail::Rule& rule, const Panel& panel, double need,
                 bool fromHigh)
{
    const double mid = 0.5 * (panel.lo + panel.hi);
    const double half = 0.5 * (panel.hi - panel.lo);
    if (panel.kind != detail::PanelKind::plain) {
        const double fraction = std::clamp(need / panel.sums.m0, 0.0, 1.0);
        return fromHigh ? panel.hi - fraction * (panel.hi - panel.lo) : panel.lo + fraction * (panel.hi - panel.lo);
    }
    const int n = 2 * rule.half;
    // The nodes from the near edge inward, their densities in one batch.
    constexpr int capacity = detail::roundedUp(detail::maxNodeBatch);
    double node[capacity], cellWeight[capacity], halfAngle[capacity];
    for (int j = 0; j < n; ++j) {
        // index into the symmetric half-table
        const int i = j < n / 2 ? n / 2 - 1 - j : j - n / 2;
        const double x = j < n / 2 ? rule.nodes[i] : -rule.nodes[i];
        node[j] = fromHigh ? mid + half * x : mid - half * x;
        cellWeight[j] = half * rule.weights[i];
        halfAngle[j] = 0.5 * node[j];
    }
    for (int j = n; j < detail::roundedUp(n); ++j) halfAngle[j] = 0.0;
    double sinHalf[capacity], cosHalf[capacity], du[capacity], f[capacity];
    detail::sinCosBatch(n, halfAngle, sinHalf, cosHalf);
    detail::densityBatch(shape, n, sinHalf, cosHalf, du, f);
    double previous = fromHigh ? panel.hi : panel.lo;
    double accumulated = 0.0;
    for (int j = 0; j < n; ++j) {
        const double cell = cellWeight[j] * f[j];
        if (accumulated + cell >= need && cell > 0.0)
            return previous + (need - accumulated) / cell * (node[j] - previous);
        accumulated += cell;
        previous = node[j];
    }
    return fromHigh ? panel.lo : panel.hi;
}

bool intervalOfMass(const DensityTable& table, int edge, double mass, bool downward, double zGuess, Region& region)
{
    const bool observedIsUpper = downward;
    Moments whole;
    const int step = downward ? -1 : 1;
    int k = downward ? edge - 1 : edge;
    while (k + step >= 0 && k + step < table.count && whole.m0 + table.panels[k].sums.m0 <= mass) {
        whole.m0 += table.panels[k].sums.m0;
        whole.m1 += table.panels[k].sums.m1;
        whole.m2 += table.panels[k].sums.m2;
        k += step;
    }
    const Panel& panel = table.panels[k];
    const double need = mass - whole.m0;
    // The part of the panel between z and its edge nearer the observed point.
    auto part = [&](double d) {
        return observedIsUpper ? detail::panelPart(table.shape, table.rule, panel, d, panel.hi)
                               : detail::panelPart(table.shape, table.rule, panel, panel.lo, d);
    };
    // The end z is a double: its spacing can leave the mass of a narrow region
    // off by many times its rounding. The remainder is put at z (u - u_mode =
    // duZ there), which makes the mass exact and the moments right to second
    // order in it.
    auto done = [&](double z, const detail::PointValue& atZ, const Moments& p) {
        const double rest = need - p.m0;
        const double f = detail::expOf(atZ.logf);
        region.z = z;
        region.zShift = f > 0.0 ? (downward ? -rest : rest) / f : 0.0;
        region.sums = {whole.m0 + need, whole.m1 + p.m1 + rest * atZ.du, whole.m2 + p.m2 + rest * atZ.du * atZ.du};
        return true;
    };
    if (whole.m0 == 0.0) {
        // A region narrower than 1e-8 sigma, or than a few spacings of doubles
        // at its fixed edge: a sliver of width need / f there, its moments at
        // its midpoint (u' = sin s; the curvature of f changes them by
        // (width / sigma)^2, below 1e-16), held exactly instead of through an
        // end that the spacing of doubles resolves only to a part in 1e4.
        const double at = downward ? panel.hi : panel.lo;
        const detail::PointValue atEdge = detail::pointAt(table.shape, at);
        const double f = detail::expOf(atEdge.logf);
        if (need <= std::max(64.0 * eps * (table.shape.mode + std::fabs(at)), sliverWidth * table.shape.sigma) * f) {
            const double width = need / f;
            double sinHalf, cosHalf;
            detail::sinCosOf(0.5 * (table.shape.mode + at), sinHalf, cosHalf);
            const double du = atEdge.du + (downward ? -0.5 : 0.5) * width * (2.0 * sinHalf * cosHalf);
            region.z = at;
            region.zShift = downward ? -width : width;
            region.sums = {need, need * du, need * du * du};
            return true;
        }
    }
    double lo = panel.lo;
    double hi = panel.hi;
    double d = zGuess; // extrapolated from the previous trial
    if (!(d > lo && d < hi)) d = cellGuess(table.shape, table.rule, panel, need, observedIsUpper);
    const double massTol = 4.0 * eps * mass;
    const double smallStep = endStepForMidpoint * table.shape.sigma;
    for (int it = 0; it < maxEndSteps; ++it) {
        Moments p = part(d);
        const detail::PointValue atD = detail::pointAt(table.shape, d);
        // F grows as z moves away from the observed point.
        const double F = p.m0 - need;
        // (The bracket ends at a few ulps of the point itself, s = mode + d.)
        if (std::fabs(F) <= massTol || hi - lo <= 4.0 * eps * (table.shape.mode + std::fabs(d)))
            return done(d, atD, p);
        if ((F > 0.0) == observedIsUpper)
            lo = d;
        else
            hi = d;
        const double f = detail::expOf(atD.logf);
        double next = nan;
        if (f > 0.0) {
            // Halley's step for F(z) = 0 with F' = -+f and F'' = -+f (ln f)'.
            const double r = observedIsUpper ? F / f : -F / f;
            const double denom = 1.0 + 0.5 * r * atD.slope;
            next = d + (denom > 0.5 ? r / denom : r);
        }
        if (next > lo && next < hi && std::fabs(next - d) <= smallStep) {
            // A last tiny step: the sliver [d, next] by the midpoint rule (its
            // error is of order (step/sigma)^3 relative) instead of a new pass.
            const detail::PointValue mid = detail::pointAt(table.shape, 0.5 * (d + next));
            const double sliver = (next - d) * detail::expOf(mid.logf) * (observedIsUpper ? -1.0 : 1.0);
            p.m0 += sliver;
            p.m1 += sliver * mid.du;
            p.m2 += sliver * mid.du * mid.du;
            return done(next, mid, p);
        }
        if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
        d = next;
    }
    return false;
}

// The free end of the previous trial, and how it moved with C there: the
// next trial starts its free-end steps from the extrapolation.
struct EndMemory {
    double s = nan; // the free end in s
    double C = nan;
    double slope = nan; // ds/dC of the free end
};

Evaluation twoSidedAt(double S, double nu, double L, bool observedIsUpper, double C,
                      const detail::Resolution& resolution, EndMemory& memory)
{
    Trial t;
    DensityTable table;
    if (!tableAt(S, nu, C, resolution, t, table)) return {Evaluation::Kind::failed, nan, nan, inf};
    const detail::Shape& shape = table.shape;
    const double m0 = table.total.m0;

    Moments belowObs = table.below;
    Moments aboveObs;
    for (int i = table.obsIndex; i < table.count; ++i) {
        aboveObs.m0 += table.panels[i].sums.m0;
        aboveObs.m1 += table.panels[i].sums.m1;
        aboveObs.m2 += table.panels[i].sums.m2;
    }
    const double mean = table.total.m1 / m0; // E[u - u_mode]

    // For L <= 1/2 the region itself is summed; for larger L its complement
    // (the tail beyond the observed point and the tail beyond z), so that G
    // keeps its relative accuracy as L -> 1.
    Region region;
    double G = 0.0;
    const double zGuess = memory.s + memory.slope * (C - memory.C) - shape.mode;
    if (L <= 0.5) {
        // No region of mass L on the required side of the observed point: C
        // lies beyond the root (G < 0 for the lower limit, G > 0 for the upper).
        const double regionMass = L * m0;
        if (observedIsUpper && belowObs.m0 <= regionMass) return {Evaluation::Kind::negative, -inf, nan, inf};
        if (!observedIsUpper && aboveObs.m0 <= regionMass) return {Evaluation::Kind::positive, inf, nan, inf};
        if (!intervalOfMass(table, table.obsIndex, regionMass, observedIsUpper, zGuess, region))
            return {Evaluation::Kind::failed, nan, nan, inf};
        G = region.sums.m1 / m0 - L * mean;
    } else {
        const Moments& beyondObs = observedIsUpper ? aboveObs : belowObs;
        const double tailMass = (1.0 - L) * m0 - beyondObs.m0;
        if (tailMass <= 0.0)
            return observedIsUpper ? Evaluation{Evaluation::Kind::negative, -inf, nan, inf}
                                   : Evaluation{Evaluation::Kind::positive, inf, nan, inf};
        Region tail;
        if (!intervalOfMass(table, observedIsUpper ? 0 : table.count, tailMass, !observedIsUpper, zGuess, tail))
            return {Evaluation::Kind::failed, nan, nan, inf};
        const Moments outside{beyondObs.m0 + tail.sums.m0, beyondObs.m1 + tail.sums.m1, beyondObs.m2 + tail.sums.m2};
        G = -(outside.m1 / m0 - (1.0 - L) * mean);
        region.z = tail.z;
        region.zShift = tail.zShift;
        region.sums = {m0 - outside.m0, table.total.m1 - outside.m1, table.total.m2 - outside.m2};
    }

    const double variance = table.total.m2 / m0 - mean * mean;

    // dG/dC: the observed end moves with s_obs, the free end keeps the mass at
    // L, and the law changes with c (d/dc of the density is -(u - mu) times it).
    const detail::PointValue atObs = detail::pointAt(shape, t.sObs - shape.mode);
    const double pObs = (table.obsBeyondLow || table.obsBeyondHigh) ? 0.0 : detail::expOf(atObs.logf) / m0;
    const detail::PointValue atZ = detail::pointAt(shape, region.z);
    const double uZ = atZ.du - mean;
    // u_obs - u_z = cos z - cos s_obs from the half sum and the half width,
    // the width taken to below the spacing of doubles: for a narrow region
    // the difference of the two u would be mostly rounding.
    const double dObs = t.sObs - shape.mode;
    const double width = (dObs - region.z) - region.zShift;
    double sinMiddle, cosMiddle, sinWidth, cosWidth;
    detail::sinCosOf(0.5 * (shape.mode + dObs - 0.5 * width), sinMiddle, cosMiddle);
    detail::sinCosOf(0.5 * width, sinWidth, cosWidth);
    const double obsMinusZ = 4.0 * sinMiddle * cosMiddle * sinWidth;
    const double regionSquare = (region.sums.m2 - 2.0 * mean * region.sums.m1) / m0 + mean * mean * L;
    const double dGdc = L * variance - regionSquare;
    const double moveObs = pObs * t.dsObs;
    const double pZ = detail::expOf(atZ.logf) / m0;
    const double moveZ = observedIsUpper ? moveObs - G * t.dc : moveObs + G * t.dc; // pZ dz/dC
    memory = {shape.mode + region.z, C, pZ > 0.0 ? moveZ / pZ : 0.0};
    // (uObs moveObs - uZ moveZ for the lower root, the negative for the upper.)
    const double dG = (observedIsUpper ? obsMinusZ : -obsMinusZ) * moveObs + (uZ * G + dGdc) * t.dc;
    // Rounding of G: relative to the region's own sums and to L times the
    // mean; and the position of the observed point, which carries the region
    // of fixed mass along with it.
    const double spread = std::sqrt(region.sums.m2 / region.sums.m0) + std::fabs(mean) + std::fabs(uZ);
    const double noise = massNoise(nu) * std::min(L, 1.0 - L) * spread +
                         std::fabs(obsMinusZ) * pObs * positionNoise(shape, dObs, observedUlps);
    // G is of the order of min(L, 1 - L): scaled to order one, so that tiny
    // levels neither underflow nor look like a root.
    const double scale = std::min(L, 1.0 - L);
    return {Evaluation::Kind::value, G / scale, dG / scale, noise / scale};
}

// The roots satisfy lower < upper. Near L = 0 they lie closer together
// than their error bounds and may come out the other way round: then both
// are the midpoint, with bounds widened by half the gap. A wider inversion
// is a failed evaluation, not a result.
CriticalPair ordered(Critical lower, Critical upper)
{
    if (lower.end != SearchEnd::root || upper.end != SearchEnd::root || lower.C <= upper.C) return {lower, upper};
    const double gap = lower.C - upper.C;
    if (gap > lower.error_bound + upper.error_bound) {
        lower = {nan, inf, lower.iterations, SearchEnd::evaluation_failed};
        upper = {nan, inf, upper.iterations, SearchEnd::evaluation_failed};
        return {lower, upper};
    }
    const double middle = upper.C + 0.5 * gap;
    lower = {middle, lower.error_bound + 0.5 * gap, lower.iterations, SearchEnd::root};
    upper = {middle, upper.error_bound + 0.5 * gap, upper.iterations, SearchEnd::root};
    return {lower, upper};
}

} // namespace

Critical one_sided(double S, double nu, double p)
{
    if (!(S >= 0.0) || !(nu >= 2.0) || !(p > 0.0 && p < 1.0)) return {nan, inf, 0, SearchEnd::unbracketed};
    const double C0 = detail::oneSidedStart(S, nu, p);
    auto evaluate = [&](double C, const detail::Resolution& r) { return oneSidedAt(S, nu, p, C, r); };
    return searchRoot(C0, S, nu, evaluate, 0.0, detail::rough, detail::fineTails);
}

CriticalPair two_sided(double S, double nu, double L)
{
    if (!(S >= 0.0) || !(nu >= 2.0) || !(L > 0.0 && L < 1.0)) {
        const Critical bad{nan, inf, 0, SearchEnd::unbracketed};
        return {bad, bad};
    }
    const detail::PairStart start = detail::twoSidedStart(S, nu, L);
    // Each search starts its free-end steps from the end of its previous trial.
    EndMemory lowerEnd;
    EndMemory upperEnd;
    // Below tinyLevel both roots are the root of the limit equation u_obs =
    // E[U] to far below double precision: one search gives both.
    const double level = std::max(L, tinyLevel);
    const double fineToCoarse = std::min(level, 1.0 - level) < narrowRegion ? narrowFineToCoarse : 0.0;
    Critical lower = searchRoot(
        start.lower, S, nu,
        [&](double C, const detail::Resolution& r) { return twoSidedAt(S, nu, level, true, C, r, lowerEnd); },
        fineToCoarse);
    if (L < tinyLevel) return {lower, lower};
    Critical upper = searchRoot(
        start.upper, S, nu,
        [&](double C, const detail::Resolution& r) { return twoSidedAt(S, nu, level, false, C, r, upperEnd); },
        fineToCoarse);
    return ordered(lower, upper);
}

} // namespace engine::exact

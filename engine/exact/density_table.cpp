// Gauss-Legendre tables of the conditional law in the angle variable.

#include "engine/exact/density_table.h"

#include "engine/exact/node_math.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace engine::exact::detail {

namespace {

constexpr double pi = 3.141592653589793;
constexpr int maxPanelsPerSide = 40;  // bound of the outward walk from the mode
constexpr int maxGradedLevels = 2;    // halvings towards an end for fractional nu
constexpr double endSnap = 0.25;      // a break this close (in panel widths) to an end goes to it

// Node values are computed a panel at a time (node_math.h); the mapped end
// panels' are summed here in node order, the plain panels' in lanes there.
void accumulate(Moments& m, double weight, double f, double du)
{
    const double wf = weight * f;
    m.m0 += wf;
    m.m1 += wf * du;
    m.m2 += wf * du * du;
}

// sin and cos of mid/2 for the panel [lo, hi] come with it.
Moments plainMoments(const Shape& shape, const Rule& rule, double lo, double hi, double sinMid, double cosMid)
{
    const double half = 0.5 * (hi - lo);
    // The half angles of mid -+ dx by the addition theorem: one sin/cos pair
    // per node pair instead of two.
    constexpr int capacity = roundedUp(maxNodeBatch / 2);
    double x[capacity], weight[capacity];
    for (int i = 0; i < rule.half; ++i) {
        x[i] = 0.5 * (half * rule.nodes[i]);
        weight[i] = half * rule.weights[i];
    }
    for (int i = rule.half; i < roundedUp(rule.half); ++i) x[i] = weight[i] = 0.0;
    double sums[3];
    panelMomentsBatch(shape, sinMid, cosMid, rule.half, x, weight, sums);
    return {sums[0], sums[1], sums[2]};
}

// Moments between the end `end` of (0, pi) and `x`, with |s - end| = a v^3,
// a = |x - end|: the integrand then behaves like v^(3 nu - 1) at the end,
// smooth enough for the fixed rule even for fractional nu.
Moments endMoments(const Shape& shape, const Rule& rule, double end, double x)
{
    const double a = x - end; // signed: negative towards the right end
    const int n = 2 * rule.half;
    constexpr int capacity = roundedUp(maxNodeBatch);
    double halfAngle[capacity], weight[capacity];
    for (int i = n; i < roundedUp(n); ++i) halfAngle[i] = 0.0;
    for (int i = 0; i < rule.half; ++i) {
        for (int side = 0; side < 2; ++side) {
            const double v = 0.5 * (1.0 + (side == 0 ? -rule.nodes[i] : rule.nodes[i]));
            weight[2 * i + side] = 0.5 * rule.weights[i] * (3.0 * std::fabs(a) * v * v);
            halfAngle[2 * i + side] = 0.5 * (end + a * v * v * v);
        }
    }
    double sh[capacity], ch[capacity], du[capacity], f[capacity];
    sinCosBatch(n, halfAngle, sh, ch);
    densityBatch(shape, n, sh, ch, du, f);
    Moments m;
    for (int i = 0; i < n; ++i) accumulate(m, weight[i], f[i], du[i]);
    return m;
}

Moments difference(const Moments& a, const Moments& b)
{
    return {a.m0 - b.m0, a.m1 - b.m1, a.m2 - b.m2};
}

void add(Moments& into, const Moments& m)
{
    into.m0 += m.m0;
    into.m1 += m.m1;
    into.m2 += m.m2;
}

// The outward walk from the mode on one side (direction +1 or -1): the
// breaks nearest first, their count, and whether the last is the end.
struct Walk {
    int direction;
    double* breaks;
    double d = 0.0;
    PointValue atD{};
    int count = 0;
    bool reachedEnd = false;
    bool done = false;
};

// One step of a walk: the next break, and whether the walk ends there.
void stepOutward(const Shape& shape, const Resolution& res, Walk& w)
{
    const double end = w.direction > 0 ? pi - shape.mode : -shape.mode;
    const double curvature = 1.0 / (shape.sigma * shape.sigma);
    // The allowed fall of ln f grows with the distance from the peak: a
    // panel far out carries little mass, so its relative error may be larger.
    const double drop = res.maxDrop - res.dropGrowth * w.atD.logf;
    const double slope = std::fabs(w.atD.slope);
    const double step = std::min(res.widestPanel * shape.sigma,
                                 2.0 * drop / (slope + std::sqrt(slope * slope + 2.0 * drop * curvature)));
    const double next = w.d + w.direction * step;
    if ((end - next) * w.direction <= endSnap * step) {
        w.breaks[w.count++] = end;
        w.reachedEnd = true;
        w.done = true;
        return;
    }
    w.breaks[w.count++] = next;
    w.atD = pointAt(shape, next);
    w.d = next;
    w.done = w.atD.logf < -res.logCut || w.count == maxPanelsPerSide;
}

// Both walks, a step of each in turn: the two chains of dependent steps
// overlap instead of waiting on each other.
void walkOutward(const Shape& shape, const Resolution& res, Walk& left, Walk& right)
{
    left.atD = right.atD = pointAt(shape, 0.0);
    while (!left.done || !right.done) {
        if (!left.done) stepOutward(shape, res, left);
        if (!right.done) stepOutward(shape, res, right);
    }
}

} // namespace

Shape makeShape(double nu, double c)
{
    Shape s{};
    const double k = nu - 1.0;
    s.nuMinus1 = k;
    s.c = c;
    // cos(mode) is the root in [0, 1) of c y^2 + k y - c = 0, in the form
    // without cancellation; then sin^2 = 1 - y^2 = k y / c exactly.
    const double y = c > 0.0 ? 2.0 * c / (k + std::sqrt(k * k + 4.0 * c * c)) : 0.0;
    const double x = y < 0.5 ? std::sqrt((1.0 - y) * (1.0 + y)) : std::sqrt(k * y / c);
    s.cosMode = y;
    s.sinMode = x;
    s.cotMode = y / x;
    s.mode = angleOf(x, y);
    s.sigma = 1.0 / std::sqrt(k / (x * x) + c * y);
    s.smoothEnds = k == std::floor(k) || k >= 6.0;
    return s;
}

PointValue pointAt(const Shape& shape, double d)
{
    double sinHalf, cosHalf;
    sinCosOf(0.5 * d, sinHalf, cosHalf);
    return pointFromHalfAngle(shape, sinHalf, cosHalf);
}

PointValue pointFromHalfAngle(const Shape& shape, double sh, double ch)
{
    // With v = 1 - cos d: sin(s)/sin(mode) = 1 - v + cot(mode) sin d and
    // cos(mode) - cos(s) = cos(mode) v + sin(mode) sin d; v from sin(d/2).
    const double sd = 2.0 * sh * ch;
    const double v = 2.0 * sh * sh;
    const double du = shape.cosMode * v + shape.sinMode * sd;
    const double ratioMinus1 = shape.cotMode * sd - v;
    // d/ds ln f = (nu - 1) cot s - c sin s, with sin s = sin(mode) (1 + ratioMinus1).
    const double sinS = shape.sinMode * (1.0 + ratioMinus1);
    const double cosS = shape.cosMode * (1.0 - v) - shape.sinMode * sd;
    const double slope = shape.nuMinus1 * cosS / sinS - shape.c * sinS;
    if (ratioMinus1 <= -1.0) return {-std::numeric_limits<double>::infinity(), du, slope};
    return {shape.nuMinus1 * log1pOf(ratioMinus1) - shape.c * du, du, slope};
}

Moments panelPart(const Shape& shape, const Rule& rule, const Panel& panel, double from, double to)
{
    // A part of an end panel that keeps its distance from the end (at least
    // half its width) is smooth enough for the plain rule; closer to the end
    // it is the difference of two mapped integrals from the end, which loses
    // little there (the part holds most of their mass).
    switch (panel.kind) {
    case PanelKind::leftEnd: {
        const double end = -shape.mode;
        if (from - end >= 0.5 * (to - from)) break;
        const Moments upTo = endMoments(shape, rule, end, to);
        return from == end ? upTo : difference(upTo, endMoments(shape, rule, end, from));
    }
    case PanelKind::rightEnd: {
        const double end = pi - shape.mode;
        if (end - to >= 0.5 * (to - from)) break;
        const Moments downTo = endMoments(shape, rule, end, from);
        return to == end ? downTo : difference(downTo, endMoments(shape, rule, end, to));
    }
    case PanelKind::plain:
        break;
    }
    double sinMid, cosMid;
    sinCosOf(0.5 * (0.5 * (from + to)), sinMid, cosMid);
    return plainMoments(shape, rule, from, to, sinMid, cosMid);
}

bool buildTable(const Shape& shape, double sObs, const Resolution& resolution, DensityTable& table)
{
    table.shape = shape;
    table.rule = resolution.rule;
    std::array<double, maxPanelsPerSide> left{};
    std::array<double, maxPanelsPerSide> right{};
    Walk leftWalk{-1, left.data()};
    Walk rightWalk{+1, right.data()};
    walkOutward(shape, resolution, leftWalk, rightWalk);
    const int nLeft = leftWalk.count;
    const int nRight = rightWalk.count;
    const bool leftEnd = leftWalk.reachedEnd;
    const bool rightEnd = rightWalk.reachedEnd;

    // Breaks in ascending order; geometric grading into an end for fractional nu.
    constexpr int maxBreaks = 2 * maxPanelsPerSide + 2 * maxGradedLevels + 2;
    const int gradedLevels = std::clamp(resolution.gradedLevels, 0, maxGradedLevels);
    std::array<double, maxBreaks> breaks{};
    int n = 0;
    const bool gradeLeft = leftEnd && !shape.smoothEnds;
    const bool gradeRight = rightEnd && !shape.smoothEnds;
    breaks[n++] = left[nLeft - 1];
    if (gradeLeft) {
        const double end = left[nLeft - 1];
        const double width = (nLeft >= 2 ? left[nLeft - 2] : 0.0) - end;
        for (int g = gradedLevels; g >= 1; --g) breaks[n++] = end + std::ldexp(width, -g);
    }
    for (int k = nLeft - 2; k >= 0; --k) breaks[n++] = left[k];
    breaks[n++] = 0.0;
    for (int k = 0; k < nRight - 1; ++k) breaks[n++] = right[k];
    if (gradeRight) {
        const double end = right[nRight - 1];
        const double width = end - (nRight >= 2 ? right[nRight - 2] : 0.0);
        for (int g = 1; g <= gradedLevels; ++g) breaks[n++] = end - std::ldexp(width, -g);
    }
    breaks[n++] = right[nRight - 1];

    // Panels; the ones touching a graded end are mapped towards it.
    const double dObs = sObs - shape.mode;
    table.obsBeyondLow = dObs <= breaks[0];
    table.obsBeyondHigh = dObs >= breaks[n - 1];
    table.obsOffset = std::clamp(dObs, breaks[0], breaks[n - 1]);
    int count = 0;
    table.obsIndex = table.obsBeyondLow ? 0 : -1;
    for (int i = 0; i + 1 < n; ++i) {
        PanelKind kind = PanelKind::plain;
        if (gradeLeft && i == 0) kind = PanelKind::leftEnd;
        if (gradeRight && i + 2 == n) kind = PanelKind::rightEnd;
        const double lo = breaks[i];
        const double hi = breaks[i + 1];
        if (count + 2 > maxTablePanels) return false;
        if (table.obsIndex < 0 && dObs < hi) {
            if (dObs > lo) {
                table.panels[count++] = {lo, dObs, kind, {}};
                table.obsIndex = count;
                table.panels[count++] = {dObs, hi, kind, {}};
                continue;
            }
            table.obsIndex = count;
        }
        table.panels[count++] = {lo, hi, kind, {}};
    }
    if (table.obsIndex < 0) table.obsIndex = count;
    table.count = count;

    // The half angles of the panels' midpoints in one batch.
    double halfMid[maxTablePanels], sinMid[maxTablePanels], cosMid[maxTablePanels];
    for (int i = 0; i < count; ++i) halfMid[i] = 0.5 * (0.5 * (table.panels[i].lo + table.panels[i].hi));
    for (int i = count; i < roundedUp(count); ++i) halfMid[i] = 0.0;
    sinCosBatch(count, halfMid, sinMid, cosMid);
    table.below = {};
    table.total = {};
    for (int i = 0; i < count; ++i) {
        Panel& p = table.panels[i];
        p.sums = p.kind == PanelKind::plain ? plainMoments(shape, resolution.rule, p.lo, p.hi, sinMid[i], cosMid[i])
                                            : panelPart(shape, resolution.rule, p, p.lo, p.hi);
        if (i < table.obsIndex) add(table.below, p.sums);
        add(table.total, p.sums);
    }
    return true;
}

} // namespace engine::exact::detail

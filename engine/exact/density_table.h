#pragma once
// The conditional law of the canonical problem in the angle variable
// s = arccos(-u) on (0, pi): density proportional to
//   f(s) = sin(s)^(nu - 1) exp(c cos s),
// which vanishes at both ends for nu >= 2 (no endpoint singularity as in u).
// A DensityTable holds fixed Gauss-Legendre panels over the part of (0, pi)
// where f exceeds e^-logCut of its peak, with the mass and the first two moments
// of u about the mode of f accumulated per panel. All values are scaled to
// the mode (f(mode) = 1) and every offset is measured from the mode, so that
// nothing overflows and the log-density keeps its accuracy for large nu.

#include "engine/exact/gauss_legendre.h"

#include <array>

namespace engine::exact::detail {

// A symmetric Gauss-Legendre rule: its positive nodes and their weights.
struct Rule {
    int half;
    const double* nodes;
    const double* weights;
};
inline constexpr Rule rule8{glOrder8 / 2, glNodes8, glWeights8};
inline constexpr Rule rule10{glOrder10 / 2, glNodes10, glWeights10};
inline constexpr Rule rule20{glOrder20 / 2, glNodes20, glWeights20};
inline constexpr Rule rule24{glOrder24 / 2, glNodes24, glWeights24};

// The density about its mode.
struct Shape {
    double nuMinus1; // exponent of sin s
    double c;        // coefficient of cos s, >= 0
    double mode;     // s at the mode
    double cosMode;  // cos(mode)
    double sinMode;  // sin(mode)
    double cotMode;  // cos(mode) / sin(mode)
    double sigma;    // 1 / sqrt(-(ln f)'' at the mode)
    // sin^(nu-1) needs no graded panels at the ends of (0, pi): analytic
    // there (integral nu), or vanishing to sixth order (nu >= 7), where the
    // fractional power moves no rule's sum by more than rounding.
    bool smoothEnds;
};

Shape makeShape(double nu, double c);

// ln f at mode + d (relative to the peak), u - u_mode and d/ds ln f there.
struct PointValue {
    double logf;
    double du;
    double slope;
};
PointValue pointAt(const Shape& shape, double d);
// The same from sin(d/2) and cos(d/2).
PointValue pointFromHalfAngle(const Shape& shape, double sinHalf, double cosHalf);


// How a panel maps its Gauss-Legendre nodes: plainly, or with s - end = a v^3
// towards an end of (0, pi) where sin^(nu-1) is not smooth for fractional nu.
enum class PanelKind { plain, leftEnd, rightEnd };

// Mass, first and second moment of u - u_mode over an interval.
struct Moments {
    double m0 = 0.0;
    double m1 = 0.0;
    double m2 = 0.0;
};

struct Panel {
    double lo; // offsets from the mode
    double hi;
    PanelKind kind;
    Moments sums;
};

inline constexpr int maxTablePanels = 96;

struct DensityTable {
    Shape shape;
    Rule rule;
    std::array<Panel, maxTablePanels> panels;
    int count = 0;
    int obsIndex = 0;  // panels [0, obsIndex) lie below the observed point
    double obsOffset;  // observed point, offset from the mode (clamped to the table)
    Moments below;     // sums over the panels below the observed point
    Moments total;
    bool obsBeyondLow;  // the observed point lies below the tabulated range
    bool obsBeyondHigh; // ... or above it
};

// How finely a table resolves the law. The coarse one (about half the nodes,
// masses to roughly 1e-9) steers the search; the fine one (about 1e-16)
// gives the final value. The one-sided search, which needs only the tail
// masses of its final table to that accuracy, uses tables of its own: rough
// ones to steer (8 nodes a panel, one panel a side where the law is near
// normal, one graded level at an end, masses to about 1e-4: its fine stage
// starts from a step that only has to land within reach), and final ones of 24 nodes on panels up to 40%
// wider than the fine ones' (fewer panels, tail masses as close as theirs to
// a table five times finer).
struct Resolution {
    Rule rule;            // the rule on every panel
    double logCut;        // the integrand below e^-logCut of its peak is dropped
    double maxDrop;       // largest fall of ln f across a panel that starts at the peak
    double dropGrowth;    // ... plus this times the fall of ln f before the panel
    double widestPanel;   // panel width limit in units of sigma
    int gradedLevels = 2; // halvings of an end panel where the ends are not smooth (at most 2)
};
inline constexpr Resolution coarse{rule10, 30.0, 11.0, 1.0, 6.0};
inline constexpr Resolution rough{rule8, 22.0, 24.0, 1.0, 8.0, 1};
inline constexpr Resolution fineTails{rule24, 42.0, 32.0, 0.3, 8.5};
inline constexpr Resolution fine{rule20, 42.0, 18.0, 0.5, 6.0};

// Builds the table for density shape and observed point sObs (in (0, pi)).
// Returns false if the panel bound was reached.
bool buildTable(const Shape& shape, double sObs, const Resolution& resolution, DensityTable& table);

// Moments over [from, to], a part of the panel.
Moments panelPart(const Shape& shape, const Rule& rule, const Panel& panel, double from, double to);

} // namespace engine::exact::detail

#pragma once
// The two programs run one engine with different numerical details: the
// interactive program takes its integrator thresholds from the settings block
// and uses double-precision constants, the verification program fixes the
// thresholds and keeps the single-precision constants and smaller stacks of
// its origin. A Variant describes one such set; the engine takes it as data.

namespace engine {

// Which rules the two-sided searches follow.
enum class TwoSidedRules {
    Interactive,  // the secant search with bracketing and bisection fallback
    Verification, // the verification program's own secant phase and changed fallbacks
};

// Largest capacity of any pending-panel stack; every integrator owns an array
// of this size and uses it up to the variant's capacity.
inline constexpr int maxPanels = 200;

struct Variant {
    // true: the thresholds are Tolerance/1000, Tolerance/100 and Tolerance/10
    // of the settings block, read when an integral starts; false: the three
    // fixed values below.
    bool thresholdsFromSettings;
    double negligible; // a panel whose two halves sum to at most this is accepted
    double accuracy;   // a panel whose halves differ from the whole by at most this is accepted
    double refine;     // endpoint solvers refine a crossing panel to this half-width

    double ratioLimit;  // closed Bessel forms avoided when c/order <= this for large orders
    double factorSlope; // slope of the linear log-scale rule (S - 7) * slope

    // Capacities of the four pending-panel stacks (at most maxPanels).
    int intdensPanels;
    int intmomPanels;
    int solvelowPanels;
    int solveupPanels;

    TwoSidedRules twoSided;
};

inline constexpr Variant interactiveVariant{
    true, 0.0, 0.0, 0.0, 0.26, 0.14306151645207438, 200, 100, 100, 200, TwoSidedRules::Interactive};

inline constexpr Variant verificationVariant{
    false, 1.0e-11, 1.0e-10, 1.0e-9, 0.25999999046325684, 0.14306152113650694, 100, 100, 100, 100,
    TwoSidedRules::Verification};

constexpr bool capacitiesFit(const Variant& v)
{
    const int caps[] = {v.intdensPanels, v.intmomPanels, v.solvelowPanels, v.solveupPanels};
    for (const int c : caps)
        if (c < 1 || c > maxPanels) return false;
    return true;
}
static_assert(capacitiesFit(interactiveVariant) && capacitiesFit(verificationVariant));

} // namespace engine

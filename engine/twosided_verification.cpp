// The verification program's own secant search for a two-sided limit: plain
// secant steps, unbracketed, run before SecantBis. Its changed rules for
// SecantBis and OnlyBisection live with those routines (engine/twosided.cpp).

#include "engine/searches.h"
#include "engine/twosided_steps.h"
#include "diag/sink.h"

#include <cmath>

namespace engine {

namespace {

constexpr double phaseFailed = -9000.0; // the secant phase stops on a value above this only

} // namespace

SearchResult SecantPhase(const TwoSidedSearch& search, double first, double second, const Settings& settings,
                         const Variant& variant)
{
    const auto F = [&](double p) { return evaluate(search, p, settings, variant); };
    constexpr int failed = 1;

    int i = 2;
    double p0 = first;
    double p1 = second;
    double X = second; // the result so far: replaced by a new point on every way out but a failure
    int count = i;
    const Evaluation e0 = F(p0);
    if (e0.failed) return {X, count, failed};
    const Evaluation e1 = F(p1);
    if (e1.failed) return {X, count, failed};
    double q0 = e0.value;
    double q1 = e1.value;

    double p2 = p1;
    double q2 = q1;
    while (i <= settings.NumIt) {
        if (q1 - q0 == 0.0) return SecantBis(search, p1, p1, settings, variant);
        p2 = p1 - (p1 - p0) * q1 / (q1 - q0);
        if (std::fabs(p2 - p1) <= settings.Tolerance && q1 > phaseFailed) {
            // The value at the answer is looked at once more for a failure only.
            return {p2, i, F(p2).failed ? failed : 0};
        }
        const Evaluation e2 = F(p2);
        if (e2.failed) return {X, count, failed};
        q2 = e2.value;
        if (std::fabs(q2) < -settings.ResultTol) {
            diag::line({" q1 error met, i is ", i});
            X = p2;
            count = -i;
        }
        i = i + 1;
        p0 = p1;
        q0 = q1;
        p1 = p2;
        q1 = q2;
    }

    diag::line({"Method thinks it did not work."});
    diag::formatted("(A15,i3,1p,3e12.4)", {" i,p,s,q1 are", i, p2, search.S, q2});
    diag::line({"Value (=0?) ", F(p2).value});
    diag::line({});
    return {p2, i, 0};
}

} // namespace engine

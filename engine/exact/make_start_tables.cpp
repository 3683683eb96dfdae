// Writes start_tables.h: the factors by which the exact roots differ from
// the smooth starts of starting_values.cpp, solved by the exact core itself
// on the grid of start_grid.h: the two-sided pair of level L, and the
// one-sided values of levels (1 -+ L)/2. The factors depend only on the roots
// and on the smooth starts, not on the starts the searches used.
// Build the target make_start_tables, then run: make_start_tables > start_tables.h

#include "engine/exact/exact_core.h"
#include "engine/exact/start_grid.h"
#include "engine/exact/starting_values.h"

#include <cmath>
#include <cstdio>

using namespace engine::exact;
using namespace engine::exact::detail;

namespace {

// root(nu, S, L) and base(nu, S, L) give the root and the start it is taken relative to.
template <class Root, class Base>
void writeTable(const char* name, Root root, Base base)
{
    const StartGrid& g = startGrid;
    std::printf("inline constexpr StartTable %s = {\n", name);
    for (int i = 0; i < g.nuCount; ++i) {
        std::printf("{");
        for (int j = 0; j < g.spreadCount; ++j) {
            std::printf("{");
            for (int k = 0; k < g.levelCount; ++k) {
                const double nu = g.nuAt(i), S = g.spreadAt(j), L = g.levelAt(k);
                double factor = root(nu, S, L) / base(nu, S, L);
                if (!std::isfinite(factor) || !(factor > 0.0)) {
                    std::fprintf(stderr, "%s: no factor at nu %g S %g L %g\n", name, nu, S, L);
                    factor = 1.0;
                }
                std::printf("%.7g%s", factor, k + 1 < g.levelCount ? "," : "");
            }
            std::printf("}%s\n", j + 1 < g.spreadCount ? "," : "");
        }
        std::printf("}%s\n", i + 1 < g.nuCount ? "," : "");
    }
    std::printf("};\n\n");
}

} // namespace

int main()
{
    std::printf("#pragma once\n"
                "// Factors from the smooth starts to the exact roots on the grid of\n"
                "// start_grid.h. Made by make_start_tables.cpp; do not edit by hand.\n\n"
                "#include \"engine/exact/start_grid.h\"\n\n"
                "namespace engine::exact::detail {\n\n");
    writeTable(
        "pairLower", [](double nu, double S, double L) { return two_sided(S, nu, L).lower.C; },
        [](double nu, double S, double L) { return pairBase(S, nu, L).lower; });
    writeTable(
        "pairUpper", [](double nu, double S, double L) { return two_sided(S, nu, L).upper.C; },
        [](double nu, double S, double L) { return pairBase(S, nu, L).upper; });
    // The one-sided levels (1 -+ L)/2 are the pair's tails: their smooth
    // starts are pairBase's.
    writeTable(
        "oneSidedLower", [](double nu, double S, double L) { return one_sided(S, nu, 0.5 * (1.0 - L)).C; },
        [](double nu, double S, double L) { return pairBase(S, nu, L).lower; });
    writeTable(
        "oneSidedUpper", [](double nu, double S, double L) { return one_sided(S, nu, 0.5 * (1.0 + L)).C; },
        [](double nu, double S, double L) { return pairBase(S, nu, L).upper; });
    std::printf("} // namespace engine::exact::detail\n");
}

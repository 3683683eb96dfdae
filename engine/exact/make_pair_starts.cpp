// Writes pair_starts.h: the factors by which the exact two-sided pair differs
// from the one-sided starting values at (1 -+ L)/2, solved by the exact core
// itself on the grid of pair_starts.h's coordinates. The factors depend only
// on the roots and on oneSidedStart, not on the starts the searches used.
// Build the target make_pair_starts, then run: make_pair_starts > pair_starts.h

#include "engine/exact/exact_core.h"
#include "engine/exact/pair_start_grid.h"
#include "engine/exact/starting_values.h"

#include <cmath>
#include <cstdio>

using namespace engine::exact;
using namespace engine::exact::detail;

int main()
{
    std::printf("#pragma once\n"
                "// Factors from pairBase to the exact two-sided pair on the grid of\n"
                "// pair_start_grid.h. Made by make_pair_starts.cpp; do not edit by hand.\n\n"
                "namespace engine::exact::detail {\n\n");
    const char* names[] = {"pairStartLower", "pairStartUpper"};
    for (int side = 0; side < 2; ++side) {
        std::printf("inline constexpr float %s[%d][%d][%d] = {\n", names[side], pairGrid.nuCount, pairGrid.spreadCount,
                    pairGrid.levelCount);
        for (int i = 0; i < pairGrid.nuCount; ++i) {
            std::printf("{");
            for (int j = 0; j < pairGrid.spreadCount; ++j) {
                std::printf("{");
                for (int k = 0; k < pairGrid.levelCount; ++k) {
                    const double nu = pairGrid.nuAt(i), S = pairGrid.spreadAt(j), L = pairGrid.levelAt(k);
                    const CriticalPair pair = two_sided(S, nu, L);
                    const PairStart base = pairBase(S, nu, L);
                    const double start = side == 0 ? base.lower : base.upper;
                    const double root = side == 0 ? pair.lower.C : pair.upper.C;
                    double factor = root / start;
                    if (!std::isfinite(factor) || !(factor > 0.0)) {
                        std::fprintf(stderr, "no factor at nu %g S %g L %g\n", nu, S, L);
                        factor = 1.0;
                    }
                    std::printf("%.7g%s", factor, k + 1 < pairGrid.levelCount ? "," : "");
                }
                std::printf("}%s\n", j + 1 < pairGrid.spreadCount ? "," : "");
            }
            std::printf("}%s\n", i + 1 < pairGrid.nuCount ? "," : "");
        }
        std::printf("};\n\n");
    }
    std::printf("} // namespace engine::exact::detail\n");
}

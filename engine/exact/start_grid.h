#pragma once
// The grid of the tabulated starts: uniform in a = sqrt(2/nu) (the factors
// approach 1 about linearly in it as nu grows), in b = S/(1 + S) and in
// y = -log10(1 - L), L the two-sided level (a one-sided level p sits at
// L = |2p - 1|).

#include <cmath>

namespace engine::exact::detail {

struct StartGrid {
    static constexpr int nuCount = 13;     // a = 0 (taken at nu = 1e6) .. 1 (nu = 2)
    static constexpr int spreadCount = 17; // b = 0 .. 0.96 (S = 24)
    static constexpr int levelCount = 16;  // y = 0.3 (L = 0.5) .. 4.05
    double spreadStep = 0.06;
    double levelFirst = 0.3;
    double levelStep = 0.25;

    double nuAt(int i) const
    {
        const double a = static_cast<double>(i) / (nuCount - 1);
        return i == 0 ? 1e6 : 2.0 / (a * a);
    }
    double spreadAt(int j) const
    {
        const double b = spreadStep * j;
        return b / (1.0 - b);
    }
    double levelAt(int k) const { return 1.0 - std::pow(10.0, -(levelFirst + levelStep * k)); }
};
inline constexpr StartGrid startGrid{};

// Factors on that grid: [nu][spread][level].
using StartTable = float[StartGrid::nuCount][StartGrid::spreadCount][StartGrid::levelCount];

} // namespace engine::exact::detail

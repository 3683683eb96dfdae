#pragma once
// The settings block: the four user-adjustable settings of the engine. It is
// zero until the main program loads the option file (or takes the defaults)
// at start-up; after that it is only read.

namespace engine {

struct Control {
    double ArgTop = 0.0;    // largest Bessel argument for the closed forms
    int NumIt = 0;          // maximum iterations of a limit search
    double Tolerance = 0.0; // step tolerance of the searches; scales the integrators
    double ResultTol = 0.0; // bound on |function value| at a root (negative: never met)
};

inline constexpr Control defaultControl{800.0, 200, 1.0e-8, -1.0};

inline Control control{};

} // namespace engine

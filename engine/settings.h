#pragma once
// The four settings of the limit searches, in the order of the option file,
// with its defaults. A program owns its settings and passes them to every call.

namespace engine {

struct Settings {
    int NumIt = 200;          // maximum iterations of a limit search
    double ArgTop = 800.0;    // largest Bessel argument for the closed forms
    double Tolerance = 1.0e-8; // step tolerance of the searches; scales the integrators
    double ResultTol = -1.0;  // bound on |function value| at a root (negative: never met)
};

inline constexpr Settings defaultSettings{};

} // namespace engine

// Adaptive Simpson rule with an explicit stack, processed depth first so that
// the integration runs from left to right. Each subinterval keeps its three
// integrand values, so examining it costs only the two values at the quarter
// points; there is no extrapolation term.
//
// Five points can agree with a parabola by chance (a peak or a step between
// them), and the whole range would then be accepted at once with a wrong
// value. No subinterval is therefore accepted before it is an eighth of the
// range: every integral looks at 33 equally spaced points at least, and
// the adaptive test decides from there.

#include "diag/sink.h"
#include "brennik/verification.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace verify {

namespace {

constexpr int stackCapacity = 100;
// No subinterval is halved once this many pending ones remain, so the two
// halves always fit.
constexpr int stackLimit = stackCapacity - 2;
constexpr double narrowest = 1.0e-16; // smallest |half-width / left end| of a new subinterval
constexpr double firstTolerance = 10.0; // times AdapQuadTol
constexpr double acceptedFromLevel = 4.0; // the range is level 1; level 4 is an eighth of it

struct Subinterval {
    double A;   // left end
    double H;   // half-width
    double FA;  // f(A)
    double FC;  // f(A + H)
    double FB;  // f(A + 2H)
    double S;   // Simpson estimate over the whole subinterval
    double TOL; // acceptance tolerance
    double L;   // level: 1 for the first, one more per halving
};

} // namespace

Quadrature AdapQuad(const Integrand& f, int which, double a, double b, const Case& c, double AdapQuadTol)
{
    std::array<Subinterval, stackCapacity> stack;
    int deepest = 0;
    double APP = 0.0;

    Subinterval& first = stack[0];
    first.A = a;
    first.H = (b - a) / 2.0;
    first.FA = f(which, a, c);
    first.FC = f(which, a + first.H, c);
    first.FB = f(which, b, c);
    first.S = first.H * (first.FA + 4.0 * first.FC + first.FB) / 3.0;
    first.TOL = firstTolerance * AdapQuadTol;
    first.L = 1.0;
    int i = 1; // pending subintervals; the top one is stack[i - 1]

    while (i >= 1) {
        const Subinterval e = stack[i - 1];
        const double FD = f(which, e.A + e.H / 2.0, c);
        const double FE = f(which, e.A + 3.0 * e.H / 2.0, c);
        const double S1 = e.H * (e.FA + 4.0 * FD + e.FC) / 6.0;
        const double S2 = e.H * (e.FC + 4.0 * FE + e.FB) / 6.0;
        i = i - 1;

        if (e.L >= acceptedFromLevel && std::fabs(S1 + S2 - e.S) < e.TOL) {
            APP = APP + S1 + S2;
            continue;
        }
        if (i >= stackLimit) {
            diag::line({"Level exceeded! i, L(i) are", i, stack[i - 1].L});
            diag::formatted("(A14,1p,E14.6)", {" Sigma is ", c.sigma});
            return {APP, deepest, false};
        }

        const Subinterval right{e.A + e.H, e.H / 2.0, e.FC, FE, e.FB, S2, e.TOL / 2.0, e.L + 1.0};
        stack[i] = right;
        i = i + 1;
        if (std::fabs(right.H / right.A) < narrowest) {
            diag::line({"Something's wrong.  a(i)~b(i)"});
            return {APP, deepest, true};
        }
        stack[i] = {e.A, right.H, e.FA, FD, e.FC, S1, right.TOL, right.L};
        i = i + 1;
        deepest = std::max(deepest, i);
    }
    return {APP, deepest, false};
}

} // namespace verify

// zror: reverse-communication zero finder in a bracket. Secant and
// three-point interpolation steps, safeguarded by bisection whenever more
// than three interpolation steps in a row leave the far end unchanged.
#include "cdfs/cdfs.h"
#include "cdfs/reverse_communication.h"

#include <algorithm>
#include <cmath>

namespace cdfs {

namespace {

// Each step at least halves the bracket within five evaluations; far more
// than any double bracket needs. Reaching it ends the search as if converged,
// and the sign test then reports whether a zero is enclosed.
constexpr int maxSteps = 10000;

// Renews the far end c from a, then takes the next step or finishes.
void iterate(ZrorState& s, int& status, double& x, bool renew)
{
    if (renew) {
        s.c = s.a;
        s.fc = s.fa;
        s.ext = 0;
    }
    // Keep b the point with the smaller residual.
    if (std::fabs(s.fc) < std::fabs(s.fb)) {
        if (s.c != s.a) {
            s.d = s.a;
            s.fd = s.fa;
        }
        s.a = s.b;
        s.fa = s.fb;
        s.xlo = s.c;
        s.b = s.c;
        s.fb = s.fc;
        s.c = s.a;
        s.fc = s.fa;
    }
    double tol = 0.5 * std::max(s.abstol, s.reltol * std::fabs(s.xlo));
    const double m = (s.c + s.b) * 0.5;
    s.mb = m - s.b;
    if (std::fabs(s.mb) <= tol || s.steps >= maxSteps) {
        s.xhi = s.c;
        const bool enclosed = (s.fc >= 0.0 && s.fb <= 0.0) || (s.fc < 0.0 && s.fb >= 0.0);
        status = enclosed ? 0 : -1;
        s.stage = ZrorState::Stage::start;
        return;
    }

    if (s.ext > 3) {
        s.w = s.mb;
    } else {
        tol = std::copysign(tol, s.mb);
        double p = (s.b - s.a) * s.fb;
        double q;
        if (s.first) {
            q = s.fa - s.fb;
            s.first = false;
        } else {
            const double fdb = (s.fd - s.fb) / (s.d - s.b);
            const double fda = (s.fd - s.fa) / (s.d - s.a);
            p = fda * p;
            q = fdb * s.fa - fda * s.fb;
        }
        if (p < 0.0) {
            p = -p;
            q = -q;
        }
        if (s.ext == 3) p *= 2.0;
        if (p == 0.0 || p <= q * tol) {
            s.w = tol;
        } else if (p < s.mb * q) {
            s.w = p / q;
        } else {
            s.w = s.mb;
        }
    }
    s.d = s.a;
    s.fd = s.fa;
    s.a = s.b;
    s.fa = s.fb;
    s.b = s.b + s.w;
    s.xlo = s.b;
    ++s.steps;
    requestValue(s, ZrorState::Stage::iterate, status, x, s.xlo);
}

} // namespace

void zrorset(ZrorState& s, double xlo, double xhi, double abstol, double reltol)
{
    s = ZrorState{};
    s.xxlo = xlo;
    s.xxhi = xhi;
    s.abstol = abstol;
    s.reltol = reltol;
}

void zror(ZrorState& s, int& status, double& x, double fx, double& xlo, double& xhi, bool& qleft,
          bool& qhi)
{
    if (status <= 0) s.stage = ZrorState::Stage::start;
    switch (s.stage) {
    case ZrorState::Stage::start:
        s.xlo = s.xxlo;
        s.xhi = s.xxhi;
        s.b = s.xlo;
        s.steps = 0;
        requestValue(s, ZrorState::Stage::lower, status, x, s.xlo);
        break;
    case ZrorState::Stage::lower:
        s.fb = fx;
        s.xlo = s.xhi;
        s.a = s.xlo;
        requestValue(s, ZrorState::Stage::upper, status, x, s.xhi);
        break;
    case ZrorState::Stage::upper:
        if (s.fb < 0.0 && fx < 0.0) {
            status = -1;
            qleft = fx < s.fb;
            qhi = false;
            s.stage = ZrorState::Stage::start;
        } else if (s.fb > 0.0 && fx > 0.0) {
            status = -1;
            qleft = fx > s.fb;
            qhi = true;
            s.stage = ZrorState::Stage::start;
        } else {
            s.fa = fx;
            s.first = true;
            iterate(s, status, x, true);
        }
        break;
    case ZrorState::Stage::iterate:
        s.fb = fx;
        if (s.fc * s.fb >= 0.0) {
            iterate(s, status, x, true);
        } else {
            s.ext = s.w == s.mb ? 0 : s.ext + 1;
            iterate(s, status, x, false);
        }
        break;
    }
    xlo = s.xlo;
    xhi = s.xhi;
}

} // namespace cdfs

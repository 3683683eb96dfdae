// invr: reverse-communication bracketing search for the zero of a monotone
// function in [small, big]. It checks that the ends bracket the zero, steps
// outward from the starting point in geometrically growing steps until the
// sign changes, and hands that bracket to the zero finder.
#include "cdfs/cdfs.h"
#include "cdfs/reverse_communication.h"

#include "diag/sink.h"

#include <algorithm>
#include <cmath>

namespace cdfs {

namespace {

// With stpmul > 1 the steps reach either end of [small, big] in a few dozen;
// reaching this bound ends the search as if that end had been reached.
constexpr int maxSteps = 10000;

// No sign change found: qleft tells the end, qhi the sign of f there.
void fail(InvrState& s, int& status, bool& qleft, bool& qhi, bool left, bool high)
{
    status = -1;
    qleft = left;
    qhi = high;
    s.stage = InvrState::Stage::start;
}

// Passes one request of the zero finder on, or ends the search at its best
// approximation when it is done (also when it found no sign change).
void zeroFinding(InvrState& s, int& status, double& x, double fx)
{
    int zstatus = s.stage == InvrState::Stage::zeroFinding ? 1 : 0;
    bool qleft = false;
    bool qhi = false;
    zror(s.zero, zstatus, x, fx, s.xlo, s.xhi, qleft, qhi);
    if (zstatus == 1) {
        s.stage = InvrState::Stage::zeroFinding;
        status = 1;
        return;
    }
    x = s.xlo;
    status = 0;
    s.stage = InvrState::Stage::start;
}

void bracketFound(InvrState& s, int& status, double& x)
{
    zrorset(s.zero, s.xlb, s.xub, s.abstol, s.reltol);
    s.stage = InvrState::Stage::start;
    zeroFinding(s, status, x, 0.0);
}

} // namespace

void invrset(InvrState& s, double small, double big, double absstp, double relstp, double stpmul,
             double abstol, double reltol)
{
    s = InvrState{};
    s.small = small;
    s.big = big;
    s.absstp = absstp;
    s.relstp = relstp;
    s.stpmul = stpmul;
    s.abstol = abstol;
    s.reltol = reltol;
}

void invr(InvrState& s, int& status, double& x, double fx, bool& qleft, bool& qhi)
{
    if (status <= 0) s.stage = InvrState::Stage::start;
    switch (s.stage) {
    case InvrState::Stage::start:
        if (!(s.small <= x && x <= s.big)) diag::line({" SMALL, X, BIG not monotone in INVR"});
        s.xsave = x;
        requestValue(s, InvrState::Stage::atSmall, status, x, s.small);
        break;
    case InvrState::Stage::atSmall:
        s.fsmall = fx;
        requestValue(s, InvrState::Stage::atBig, status, x, s.big);
        break;
    case InvrState::Stage::atBig: {
        s.fbig = fx;
        s.qincr = s.fbig > s.fsmall;
        // x stays at big in the failure returns.
        if (s.qincr) {
            if (s.fsmall > 0.0) return fail(s, status, qleft, qhi, true, true);
            if (s.fbig < 0.0) return fail(s, status, qleft, qhi, false, false);
        } else {
            if (s.fsmall < 0.0) return fail(s, status, qleft, qhi, true, false);
            if (s.fbig > 0.0) return fail(s, status, qleft, qhi, false, true);
        }
        s.step = std::max(s.absstp, s.relstp * std::fabs(s.xsave));
        s.steps = 0;
        requestValue(s, InvrState::Stage::atStart, status, x, s.xsave);
        break;
    }
    case InvrState::Stage::atStart: {
        const double yy = fx;
        if (yy == 0.0) {
            status = 0;
            x = s.xsave;
            s.stage = InvrState::Stage::start;
            return;
        }
        const bool above = (s.qincr && yy < 0.0) || (!s.qincr && yy > 0.0);
        if (above) {
            s.xlb = s.xsave;
            s.xub = std::min(s.xlb + s.step, s.big);
            requestValue(s, InvrState::Stage::stepUp, status, x, s.xub);
        } else {
            s.xub = s.xsave;
            s.xlb = std::max(s.xub - s.step, s.small);
            requestValue(s, InvrState::Stage::stepDown, status, x, s.xlb);
        }
        break;
    }
    case InvrState::Stage::stepUp: {
        const bool qbdd = (s.qincr && fx >= 0.0) || (!s.qincr && fx <= 0.0);
        const bool qlim = s.xub >= s.big || ++s.steps >= maxSteps;
        if (qbdd) return bracketFound(s, status, x);
        if (qlim) {
            fail(s, status, qleft, qhi, false, !s.qincr);
            x = s.big;
            return;
        }
        s.step = s.stpmul * s.step;
        s.xlb = s.xub;
        s.xub = std::min(s.xlb + s.step, s.big);
        requestValue(s, InvrState::Stage::stepUp, status, x, s.xub);
        break;
    }
    case InvrState::Stage::stepDown: {
        const bool qbdd = (s.qincr && fx <= 0.0) || (!s.qincr && fx >= 0.0);
        const bool qlim = s.xlb <= s.small || ++s.steps >= maxSteps;
        if (qbdd) return bracketFound(s, status, x);
        if (qlim) {
            fail(s, status, qleft, qhi, true, s.qincr);
            x = s.small;
            return;
        }
        s.step = s.stpmul * s.step;
        s.xub = s.xlb;
        s.xlb = std::max(s.xub - s.step, s.small);
        requestValue(s, InvrState::Stage::stepDown, status, x, s.xlb);
        break;
    }
    case InvrState::Stage::zeroFinding:
        zeroFinding(s, status, x, fx);
        break;
    }
}

} // namespace cdfs

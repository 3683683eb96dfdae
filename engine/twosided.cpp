// Two-sided limits: each limit is the zero of the two-sided first-moment
// fraction minus the level, found by a secant search that keeps the zero
// bracketed, with bisection as the fallback.

#include "engine/condprob.h"
#include "engine/loggamma.h"
#include "engine/limit_searches.h"
#include "engine/searches.h"
#include "engine/twosided_steps.h"
#include "diag/sink.h"

#include <cmath>
#include <limits>

namespace engine {

namespace {

constexpr double searchFailed = -90000.0;  // a value at or below this ends the main loops
constexpr double equalValues = -9999.9;    // the upper value after a zero secant difference
constexpr double equalValuesSingle = static_cast<double>(-9999.9f); // ... under the verification rules
constexpr double secantLowerStep = 0.1;    // SecantBis: downward bracketing step
constexpr double secantUpperFraction = 0.01; // SecantBis: upward step relative to |p1|
constexpr double secantUpperFloor = 0.01;  // ... when that relative step is 0
constexpr double bisectionStep = 0.5;      // OnlyBisection: bracketing step both ways
constexpr double noBadPoint = -99.0;
// The verification rules bracket by the single-precision tenth both ways.
constexpr double singleTenth = static_cast<double>(0.1f);

bool verificationRules(const Variant& variant)
{
    return variant.twoSided == TwoSidedRules::Verification;
}

struct Pair {
    double p0;
    double q0;
    double p1;
    double q1;
};

// The two starting points with their values, the smaller value first. With
// reportFirstFailure a failed evaluation of the first point writes its line.
Pair startingPair(const TwoSidedSearch& s, double first, double second, const Settings& settings,
                  const Variant& variant, bool reportFirstFailure = false)
{
    const Evaluation e0 = evaluate(s, first, settings, variant);
    if (e0.failed && reportFirstFailure) diag::line({"error getting guess q0 in only bisection..."});
    const double q0 = e0.value;
    const double q1 = evaluate(s, second, settings, variant).value;
    if (q0 > q1) return {second, q1, first, q0};
    return {first, q0, second, q1};
}

// Bracketing that backs off from failed evaluations: once a point has
// failed, the next trial point is the midpoint between the last good point
// and the last bad one.
class Backoff {
public:
    explicit Backoff(double start) : lastGood_(start) {}

    double next(double step) const { return badSeen_ ? (lastGood_ + lastBad_) / 2.0 : step; }

    void record(double p, bool failed)
    {
        if (failed) {
            lastBad_ = p;
            badSeen_ = true;
        } else {
            lastGood_ = p;
        }
    }

private:
    double lastGood_;
    double lastBad_ = noBadPoint;
    bool badSeen_ = false;
};

// A bracketing trial equal to the point it steps from (a step below the
// point's spacing, or a back-off midpoint that rounds onto it) gives the same
// value and leaves the loop where it was: the loop has met its bound.
bool stuck(double trial, double from)
{
    return trial == from;
}

// The exhaustion path of OnlyBisection, taken when a bracketing loop meets its bound.
SearchResult bisectionGaveUp(double p, const Settings& settings)
{
    diag::line({"Method (Only Bisection) failed..."});
    return {p, settings.NumIt + 1, 0};
}

// Replaces the end of the bracket [p0 (value < 0), p1 (value >= 0)] that the
// new point p with value q takes.
void replaceEnd(double p, double q, double& p0, double& q0, double& p1, double& q1)
{
    if (q < 0.0) {
        p0 = p;
        q0 = q;
    } else {
        p1 = p;
        q1 = q;
    }
}

} // namespace

Evaluation evaluate(const TwoSidedSearch& s, double p, const Settings& settings, const Variant& variant)
{
    if (s.function) {
        bool failed = false;
        const double value = s.function->value(p, failed);
        return {value, failed};
    }
    int fail = 0;
    const double g = newg(p, s.level, s.side, s.nu, s.S, settings.ArgTop, settings.Tolerance, s.lgam, fail, variant);
    return {g - s.level, fail == 1};
}

// Only the verification program's secant phase reports failed evaluations.
SearchResult LimitSearch(const TwoSidedSearch& search, double first, double second, const Settings& settings,
                         const Variant& variant)
{
    const SearchResult r = TWOTAILEDSECANT(search, first, second, settings, variant);
    if (r.fail == 1) return SecantBis(search, first, second, settings, variant);
    return r;
}

SearchResult TWOTAILEDSECANT(const TwoSidedSearch& search, double first, double second,
                             const Settings& settings, const Variant& variant)
{
    if (verificationRules(variant)) return SecantPhase(search, first, second, settings, variant);
    return SecantBis(search, first, second, settings, variant);
}

SearchResult SecantBis(const TwoSidedSearch& search, double first, double second, const Settings& settings,
                       const Variant& variant)
{
    const auto F = [&](double p) { return evaluate(search, p, settings, variant); };

    int i = 2;
    auto [p0, q0, p1, q1] = startingPair(search, first, second, settings, variant);

    // The verification rules bracket by a fixed step both ways, go on after a
    // failed evaluation, end only on the value after a step (the bracket
    // width plays no part), and hand over to OnlyBisection from the starting
    // points.
    const bool verification = verificationRules(variant);

    // Bracketing: lower the point with the smaller value until it is not
    // positive, then raise the other until it is not negative.
    // Moves the point p (value q) by step(p) while the value has the wrong
    // sign; false when the bound, or a trial that cannot move, ends it first.
    bool lastFailed = false; // of the most recent evaluation in the upper bracketing or the main loop
    const auto bracket = [&](double& p, double& q, auto step, auto wrongSign, bool& failed) {
        Backoff backoff(p);
        for (int steps = 0; wrongSign(q); ++steps) {
            const double trial = backoff.next(p + step(p));
            if (steps == bracketingSteps || stuck(trial, p)) return false;
            i = i + 1;
            p = trial;
            const Evaluation e = F(p);
            q = e.value;
            failed = e.failed;
            backoff.record(p, e.failed);
        }
        return true;
    };
    const double lowerStep = verification ? singleTenth : secantLowerStep;
    bool lowerFailed = false; // not read: the main loop looks at the upper end's evaluations
    const bool bracketed =
        bracket(p0, q0, [&](double) { return -lowerStep; }, [](double q) { return q > 0.0; }, lowerFailed) &&
        bracket(
            p1, q1,
            [&](double p) {
                if (verification) return singleTenth;
                const double step = std::fabs(p) * secantUpperFraction;
                return step == 0.0 ? secantUpperFloor : step;
            },
            [](double q) { return q < 0.0; }, lastFailed);
    if (!bracketed) {
        diag::line({"No sign change found by bracketing in SecantBis..."});
        return OnlyBisection(search, p0, p1, settings, variant);
    }

    double q2 = settings.ResultTol + 1.0;
    double p2 = p1; // read only after an evaluation or a zero difference has set it
    while (i <= settings.NumIt && q1 > searchFailed && (verification || !lastFailed)) {
        if (q1 - q0 == 0.0) {
            diag::line({"q1-q0=machine 0 in SecantBis..."});
            p2 = p1;
            q1 = verification ? equalValuesSingle : equalValues;
            continue;
        }
        if (!verification && (std::fabs(p0 - p1) <= settings.Tolerance || std::fabs(q2) <= settings.ResultTol)) {
            return {std::fabs(q2) <= settings.ResultTol ? p2 : p0, i, 0};
        }
        i = i + 1;
        p2 = p1 - (p1 - p0) * q1 / (q1 - q0);
        if ((p2 < p0 && p2 < p1) || (p2 > p0 && p2 > p1)) {
            diag::line({"Guess is out of interval.  Using bisection"});
            p2 = (p1 + p0) / 2.0;
        }
        const Evaluation e = F(p2);
        q2 = e.value;
        lastFailed = e.failed;
        replaceEnd(p2, q2, p0, q0, p1, q1);
        if (verification && std::fabs(q2) <= settings.ResultTol) return {p2, i, 0};
    }
    if (!verification && (i > settings.NumIt || lastFailed)) return OnlyBisection(search, p0, p1, settings, variant);
    return OnlyBisection(search, first, second, settings, variant);
}

SearchResult OnlyBisection(const TwoSidedSearch& search, double first, double second,
                           const Settings& settings, const Variant& variant)
{
    const auto F = [&](double p) { return evaluate(search, p, settings, variant); };

    int i = 2;
    auto [p0, q0, p1, q1] = startingPair(search, first, second, settings, variant, verificationRules(variant));

    for (int steps = 0; q0 > 0.0; ++steps) {
        const double trial = p0 - bisectionStep;
        if (steps == bracketingSteps || stuck(trial, p0)) {
            diag::line({"No sign change found by bracketing in OnlyBisection..."});
            return bisectionGaveUp(p0, settings);
        }
        p0 = trial;
        q0 = F(p0).value;
    }
    Backoff high(p1);
    for (int steps = 0; q1 < 0.0; ++steps) {
        const double trial = high.next(p1 + bisectionStep);
        if (steps == bracketingSteps || stuck(trial, p1)) {
            diag::line({"No sign change found by bracketing in OnlyBisection..."});
            return bisectionGaveUp(p1, settings);
        }
        p1 = trial;
        const Evaluation e = F(p1);
        q1 = e.value;
        high.record(p1, e.failed);
        if (std::fabs(q1) <= settings.ResultTol) return {p1, -1, 0};
    }

    // The verification rules evaluate the midpoint before the tests, and
    // measure the remaining width from it.
    const bool midpointFirst = verificationRules(variant);
    double pm = p0;
    double qm = q0;
    while (i <= settings.NumIt && q1 > searchFailed) {
        if (!midpointFirst && (std::fabs(p0 - p1) <= settings.Tolerance || std::fabs(qm) <= settings.ResultTol))
            return {pm, i, 0};
        pm = (p0 + p1) / 2.0;
        qm = F(pm).value;
        i = i + 1;
        if (midpointFirst && (std::fabs(pm - p1) <= settings.Tolerance || std::fabs(pm - p0) <= settings.Tolerance ||
                              std::fabs(qm) <= settings.ResultTol))
            return {pm, i, 0};
        replaceEnd(pm, qm, p0, q0, p1, q1);
    }
    diag::line({"Method (Only Bisection) failed..."});
    return {pm, i, 0};
}

TwoSidedResult TwoTailedLimits(double muhat, double sigmahat, double nu, double alpha, double lambda,
                               double gamma2, const Settings& settings, const Variant& variant)
{
    // For lambda < 0 the limits come from the problem for theta -> -theta and
    // are reflected back.
    const Canonical c = twoSidedCanonical(sigmahat, nu, alpha, lambda, gamma2, true);
    const double S = c.S, nuw = c.nu, L = c.p;
    const int n = static_cast<int>(nuw) + 1;
    const double lgam = loggamma(nuw / 2.0);
    if (!(S > 0.0)) { // no spread: no critical value exists
        constexpr double nan = std::numeric_limits<double>::quiet_NaN();
        return {nan, nan, nan, nan, 0, 0};
    }

    int unused = 0;
    const double c1 = OneTailedCrit(S, n, (1.0 - L) / 2.0, settings, variant, unused);
    const double first1 = c1 * S / std::sqrt(nuw) + S * S / 2.0;
    const double second1 = 1.1 * c1 * S / std::sqrt(nuw) + S * S / 2.0;
    const SearchResult r1 = LimitSearch({1, L, nuw, S, lgam}, first1, second1, settings, variant);

    const double c2 = OneTailedCrit(S, n, 1.0 - (1.0 - L) / 1.1, settings, variant, unused);
    const double first2 = c2 * S / std::sqrt(nuw) + S * S / 2.0;
    const double second2 = 1.05 * c2 * S / std::sqrt(nuw) + S * S / 2.0;
    const SearchResult r2 = LimitSearch({2, L, nuw, S, lgam}, first2, second2, settings, variant);

    const double C1 = critical(r1.X, S, nuw);
    const double C2 = critical(r2.X, S, nuw);
    const double limit1 = limitOf(muhat, sigmahat, nu, lambda, c.gamma, c.sign, C1);
    const double limit2 = limitOf(muhat, sigmahat, nu, lambda, c.gamma, c.sign, C2);
    if (lambda < 0.0) return {limit2, C2, limit1, C1, r2.iterations, r1.iterations};
    return {limit1, C1, limit2, C2, r1.iterations, r2.iterations};
}

} // namespace engine

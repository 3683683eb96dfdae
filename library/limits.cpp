// The public face: argument checks, the mapping of a request onto the
// canonical problem, and typed outcomes.

#include <velmar/velmar.h>

#include "library/text.h"
#include "engine/canonical.h"
#include "engine/exact/exact_core.h"
#include "engine/limit_searches.h"

#include <cmath>
#include <limits>
#include <string>

namespace velmar {

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// The request, checked, with gamma^2 filled in.
struct Request {
    double muhat;
    double sigmahat;
    double nu;
    double gamma2;
    double lambda;
};

Request checked(const Estimates& e, double lambda, double level)
{
    check_level(level);
    if (!std::isfinite(e.mu_hat)) refuse("mu_hat", e.mu_hat, "must be finite");
    if (!(e.sigma_hat >= 0.0) || !std::isfinite(e.sigma_hat))
        refuse("sigma_hat", e.sigma_hat, "must be finite and at least 0");
    if (!(e.nu >= 2.0) || !std::isfinite(e.nu)) refuse("nu", e.nu, "must be finite and at least 2");
    const double gamma2 = e.gamma2.value_or(e.nu + 1.0);
    if (!(gamma2 > 0.0) || !std::isfinite(gamma2)) refuse("gamma2", gamma2, "must be finite and positive");
    if (!std::isfinite(lambda)) refuse("lambda", lambda, "must be finite");
    return {e.mu_hat, e.sigma_hat, e.nu, gamma2, lambda};
}

engine::Settings searchSettings(const Settings& s)
{
    return {s.num_it, s.arg_top, s.tolerance, s.result_tol};
}

Outcome exactOutcome(const engine::exact::Critical& e)
{
    switch (e.end) {
    case engine::exact::SearchEnd::root:
        return engine::exact::within_target(e) ? Outcome::converged : Outcome::beyond_precision;
    case engine::exact::SearchEnd::unbracketed: return Outcome::no_root;
    case engine::exact::SearchEnd::evaluation_failed: return Outcome::integral_failed;
    }
    return Outcome::integral_failed;
}

// The limit of the critical value C for the request r reduced to c. Where
// sigma-hat^2 overflows, lambda sigma-hat^2 is taken as (lambda sigma-hat)
// sigma-hat, and as 0 for lambda = 0; a limit that is still not finite lies
// beyond the range of doubles.
Limit placed(const Request& r, const engine::Canonical& c, double C, Outcome outcome, int iterations,
             double errorBound)
{
    double value = engine::limitOf(r.muhat, r.sigmahat, r.nu, r.lambda, c.gamma, c.sign, C);
    if (!std::isfinite(value)) {
        const double shift = r.lambda == 0.0 ? 0.0 : (r.lambda * r.sigmahat) * r.sigmahat;
        value = r.muhat + shift + c.sign * (r.sigmahat / c.gamma) * std::sqrt((r.nu + 1.0) / r.nu) * C;
    }
    if (!std::isfinite(value) && usable(outcome)) outcome = Outcome::out_of_range;
    return {value, C, outcome, iterations, errorBound};
}

Limit exactLimit(const Request& r, const engine::Canonical& c, const engine::exact::Critical& e)
{
    const Outcome outcome = exactOutcome(e);
    if (outcome == Outcome::no_root || outcome == Outcome::integral_failed)
        return {nan, nan, outcome, e.iterations, e.error_bound};
    return placed(r, c, e.C, outcome, e.iterations, e.error_bound);
}

// A limit of the searches: an exhausted search (count num_it + 1) returns its
// last point; no spread gives no root.
Limit searchLimit(double value, double C, int iterations, const Settings& settings)
{
    if (std::isnan(C)) return {nan, nan, Outcome::no_root, iterations, 0.0};
    Outcome outcome = iterations > settings.num_it ? Outcome::iteration_limit : Outcome::converged;
    if (!std::isfinite(value) && usable(outcome)) outcome = Outcome::out_of_range;
    return {value, C, outcome, iterations, 0.0};
}

Limit oneSided(int kind, const Estimates& estimates, double lambda, double level, const Settings& settings)
{
    const Request r = checked(estimates, lambda, level);
    if (settings.method == Method::search) {
        const engine::OneSidedResult res = engine::OneTailedLimit(
            kind, r.muhat, r.sigmahat, r.nu, level, r.lambda, r.gamma2, searchSettings(settings),
            engine::interactiveVariant);
        return searchLimit(res.limit, res.C, res.iterations, settings);
    }
    const engine::Canonical c = engine::oneSidedCanonical(kind, r.sigmahat, r.nu, level, r.lambda, r.gamma2, false);
    return exactLimit(r, c, engine::exact::one_sided(c.S, c.nu, c.p));
}

} // namespace

std::string_view version()
{
    return VELMAR_VERSION;
}

Limit upper_limit(const Estimates& estimates, double lambda, double level, const Settings& settings)
{
    return oneSided(1, estimates, lambda, level, settings);
}

Limit lower_limit(const Estimates& estimates, double lambda, double level, const Settings& settings)
{
    return oneSided(2, estimates, lambda, level, settings);
}

Interval two_sided_limits(const Estimates& estimates, double lambda, double level, const Settings& settings)
{
    const Request r = checked(estimates, lambda, level);
    if (settings.method == Method::search) {
        const engine::TwoSidedResult res = engine::TwoTailedLimits(
            r.muhat, r.sigmahat, r.nu, level, r.lambda, r.gamma2, searchSettings(settings), engine::interactiveVariant);
        return {searchLimit(res.lower, res.Clower, res.itLower, settings),
                searchLimit(res.upper, res.Cupper, res.itUpper, settings)};
    }
    const engine::Canonical c = engine::twoSidedCanonical(r.sigmahat, r.nu, level, r.lambda, r.gamma2, false);
    const engine::exact::CriticalPair pair = engine::exact::two_sided(c.S, c.nu, c.p);
    // For lambda < 0 the pair comes from the problem for -theta: its upper root gives the lower limit.
    Interval i = r.lambda < 0.0 ? Interval{exactLimit(r, c, pair.upper), exactLimit(r, c, pair.lower)}
                                : Interval{exactLimit(r, c, pair.lower), exactLimit(r, c, pair.upper)};
    // A crossed pair is no pair: neither end stands.
    if (usable(i.lower.outcome) && usable(i.upper.outcome) && i.lower.value > i.upper.value)
        for (Limit* l : {&i.lower, &i.upper}) *l = {nan, nan, Outcome::no_root, l->iterations, l->error_bound};
    return i;
}

Limits limits(const Estimates& estimates, double lambda, double level, Side side, const Settings& settings)
{
    switch (side) {
    case Side::upper: return {std::nullopt, upper_limit(estimates, lambda, level, settings)};
    case Side::lower: return {lower_limit(estimates, lambda, level, settings), std::nullopt};
    case Side::two_sided: {
        const Interval i = two_sided_limits(estimates, lambda, level, settings);
        return {i.lower, i.upper};
    }
    case Side::equal_tailed: {
        check_level(level);
        const double tail = 0.5 * (1.0 + level);
        return {lower_limit(estimates, lambda, tail, settings), upper_limit(estimates, lambda, tail, settings)};
    }
    }
    throw std::invalid_argument("side: not one of upper, lower, two-sided");
}

double land_h(double n, double s, double level)
{
    if (!(n >= 3.0) || !std::isfinite(n)) refuse("n", n, "must be finite and at least 3");
    if (!(s >= 0.0) || !std::isfinite(s)) refuse("s", s, "must be finite and at least 0");
    const Limit h = upper_limit({0.0, s, n - 1.0, n}, 0.5, level);
    if (!usable(h.outcome))
        throw NumericalError("Land's H for n = " + shortest(n) + ", s = " + shortest(s) +
                             ": " + std::string(describe(h.outcome)));
    return h.C;
}

} // namespace velmar

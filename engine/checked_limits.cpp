#include "engine/checked_limits.h"

#include "engine/canonical.h"
#include "engine/exact/exact_core.h"

#include <algorithm>
#include <cmath>

namespace engine {

namespace {

// True when the exact C stands and the search's C is not within the threshold of it.
bool searchIsWrong(double searchC, const exact::Critical& e)
{
    if (e.end != exact::SearchEnd::root) return false;
    if (!std::isfinite(searchC)) return true;
    return std::fabs(searchC - e.C) > replaceThreshold * std::max(1.0, std::fabs(e.C));
}

} // namespace

CheckedOneSided CheckedOneTailedLimit(int kind, const LimitRequest& q, const Settings& settings,
                                      const Variant& variant)
{
    const auto [muhat, sigmahat, nu, alpha, lambda, gamma2] = q;
    CheckedOneSided r{OneTailedLimit(kind, muhat, sigmahat, nu, alpha, lambda, gamma2, settings, variant), false,
                      0.0};
    r.searchC = r.result.C;
    const Canonical c = oneSidedCanonical(kind, sigmahat, nu, alpha, lambda, gamma2, true);
    const exact::Critical e = exact::one_sided(c.S, c.nu, c.p);
    if (searchIsWrong(r.searchC, e)) {
        r.replaced = true;
        r.result.C = e.C;
        r.result.limit = limitOf(muhat, sigmahat, nu, lambda, c.gamma, c.sign, e.C);
    }
    return r;
}

CheckedTwoSided CheckedTwoTailedLimits(const LimitRequest& q, const Settings& settings, const Variant& variant)
{
    const auto [muhat, sigmahat, nu, alpha, lambda, gamma2] = q;
    CheckedTwoSided r{TwoTailedLimits(muhat, sigmahat, nu, alpha, lambda, gamma2, settings, variant), false, false,
                      0.0, 0.0};
    r.searchClower = r.result.Clower;
    r.searchCupper = r.result.Cupper;
    const Canonical c = twoSidedCanonical(sigmahat, nu, alpha, lambda, gamma2, true);
    const exact::CriticalPair pair = exact::two_sided(c.S, c.nu, c.p);
    // For lambda < 0 the lower limit comes from the canonical upper root.
    const exact::Critical& forLower = lambda < 0.0 ? pair.upper : pair.lower;
    const exact::Critical& forUpper = lambda < 0.0 ? pair.lower : pair.upper;
    if (searchIsWrong(r.searchClower, forLower)) {
        r.lowerReplaced = true;
        r.result.Clower = forLower.C;
        r.result.lower = limitOf(muhat, sigmahat, nu, lambda, c.gamma, c.sign, forLower.C);
    }
    if (searchIsWrong(r.searchCupper, forUpper)) {
        r.upperReplaced = true;
        r.result.Cupper = forUpper.C;
        r.result.upper = limitOf(muhat, sigmahat, nu, lambda, c.gamma, c.sign, forUpper.C);
    }
    return r;
}

} // namespace engine

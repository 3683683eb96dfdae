#pragma once
// The canonical reduction that every method shares: a request for a limit of
// theta = mu + lambda sigma^2 becomes a critical value C of the canonical
// problem (lambda 1/2, gamma^2 = nu + 1) with spread S, and C maps back to
// the limit.

#include <cmath>

namespace engine {

struct Canonical {
    double S;     // 2 |lambda| sigma-hat gamma / sqrt(nu + 1)
    double nu;    // degrees of freedom of the canonical problem
    double p;     // one-sided: the level of the one-sided probability; two-sided: the level
    double sign;  // -1 when lambda < 0 (theta -> -theta), else +1
    double gamma; // sqrt(gamma^2)
};

// The whole-number degrees of freedom trunc(nu + 1) - 1 of the searches.
inline double wholeNu(double nu)
{
    return static_cast<int>(nu + 1.0) - 1;
}

// One-sided: kind 1 is the upper limit (p = alpha), any other kind the lower
// (p = 1 - alpha); lambda < 0 reverses p. S uses the caller's nu; the
// degrees of freedom are whole for the searches (whole = true).
inline Canonical oneSidedCanonical(int kind, double sigmahat, double nu, double alpha, double lambda,
                                   double gamma2, bool whole)
{
    const double gamma = std::sqrt(gamma2);
    double p = kind == 1 ? alpha : 1.0 - alpha;
    double sign = 1.0;
    if (lambda < 0.0) {
        p = 1.0 - p;
        sign = -1.0;
    }
    const double S = std::fabs(lambda) * sigmahat * gamma * 2.0 / std::sqrt(nu + 1.0);
    return {S, whole ? wholeNu(nu) : nu, p, sign, gamma};
}

// Two-sided: both sides at the level alpha itself; for lambda < 0 the pair
// comes from the problem for -theta and is reflected back (the caller swaps
// the limits). The searches take S with their whole degrees of freedom.
inline Canonical twoSidedCanonical(double sigmahat, double nu, double alpha, double lambda, double gamma2,
                                   bool whole)
{
    const double gamma = std::sqrt(gamma2);
    const double nuw = whole ? wholeNu(nu) : nu;
    const double S = std::fabs(lambda) * sigmahat * gamma * 2.0 / std::sqrt(nuw + 1.0);
    return {S, nuw, alpha, lambda < 0.0 ? -1.0 : 1.0, gamma};
}

// mu-hat + lambda sigma-hat^2 + sign (sigma-hat/gamma) sqrt((nu + 1)/nu) C,
// with the caller's nu.
inline double limitOf(double muhat, double sigmahat, double nu, double lambda, double gamma, double sign,
                      double C)
{
    return muhat + lambda * (sigmahat * sigmahat) + sign * (sigmahat / gamma) * std::sqrt((nu + 1.0) / nu) * C;
}

} // namespace engine

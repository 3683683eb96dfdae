#pragma once
// The confidence-limit engine: one-sided limits and pairs of two-sided limits
// for theta = mu + lambda x sigma^2 of a normal distribution, from a sample
// mean mu-hat ~ Normal(mu, sigma/gamma) and a sample standard deviation
// sigma-hat ~ sigma x sqrt(chi-square(nu)/nu).
//
// A limit is mu-hat + lambda x sigma-hat^2 + sign x (sigma-hat/gamma) x
// sqrt((nu + 1)/nu) x C, with sign = -1 when lambda < 0 and +1 otherwise; C
// is the standardised critical value. The searches work on the canonical
// spread S = 2 |lambda| sigma-hat gamma / sqrt(nu + 1) and the whole-number
// degrees of freedom trunc(nu + 1) - 1.
//
// lambda = 0 (and sigma-hat = 0) make S = 0, for which no critical value
// exists: C and the limits come back as NaN with iteration count 0 and no
// search is run.
//
// An exhausted search still returns its last point; its iteration count
// (NumIt + 1) is the sign of it. The count -1 marks a two-sided limit found
// while the bisection fallback was bracketing.

#include "engine/settings.h"
#include "engine/variant.h"

namespace engine {

struct OneSidedResult {
    double C;
    double limit;
    int iterations;
};

struct TwoSidedResult {
    double lower;
    double Clower;
    double upper;
    double Cupper;
    int itLower;
    int itUpper;
};

// kind 1: upper limit (level alpha); any other kind: lower limit (level
// 1 - alpha). 0 < alpha < 1.
OneSidedResult OneTailedLimit(int kind, double muhat, double sigmahat, double nu, double alpha,
                              double lambda, double gamma2, const Settings& settings,
                              const Variant& variant);

// The critical value C at which the one-sided conditional probability of the
// canonical problem (spread S, sample size n, degrees of freedom n - 1) is p.
// The integrators take their thresholds as the variant says (from
// settings.Tolerance, or fixed).
double OneTailedCrit(double S, int n, double p, const Settings& settings, const Variant& variant,
                     int& iterations);

// The pair of two-sided limits of level alpha (0 < alpha < 1). For lambda < 0
// the pair is the mirror image about mu-hat of the pair for -lambda (the
// searches run for theta -> -theta); each C is the one that produced its
// limit, and each iteration count goes with its limit.
TwoSidedResult TwoTailedLimits(double muhat, double sigmahat, double nu, double alpha, double lambda,
                               double gamma2, const Settings& settings, const Variant& variant);

} // namespace engine

#pragma once
// The Kaplan-Meier estimate of the distribution of left-censored data
// (nondetects), its mean, standard deviation and the standard error of the
// mean, and the Student-t and Chebyshev limits for the mean built on them.
//
// With z_1 < ... < z_k the distinct detected values, d_j the detects equal to
// z_j and r_j the observations known to be at most z_j (detects <= z_j and
// nondetects whose limit is <= z_j):
//     F(z_k) = 1,  F(z_{j-1}) = F(z_j) (1 - d_j / r_j);
// the mass below z_1 is placed at z_1. A nondetect whose limit lies above z_k
// enters no r_j: it tells nothing about the distribution.

#include "library/nondetects/sample.h"

#include <span>
#include <vector>

namespace velmar::nondetects {

struct KaplanMeier {
    int n = 0;             // observations
    int detects = 0;       // D
    int nondetects = 0;
    int uninformative = 0; // nondetects whose limit lies above the largest detect
    std::vector<double> z; // the distinct detected values, ascending
    std::vector<int> d;    // detects equal to z[j]
    std::vector<int> r;    // observations known to be at most z[j]
    std::vector<double> F; // F(z[j]); F.back() == 1
    double mean = 0.0;
    double sd = 0.0;       // of the estimated distribution (weights F(z_j) - F(z_{j-1}))
    double se = 0.0;       // of the mean, with the small-sample factor D/(D - 1)
};

// Needs at least two distinct detected values, and every value positive and
// finite; throws std::invalid_argument otherwise.
KaplanMeier kaplan_meier(std::span<const Observation> sample);

// mean + sign t_{level, n-1} se with sign +1 for an upper limit, -1 for a
// lower one; level in (0, 1) is one-sided (a two-sided pair of level L takes
// (1 + L)/2 on each side).
double km_t_limit(const KaplanMeier& km, double level, bool upper);

// mean + sqrt(1/(1 - level) - 1) se: the one-sided Chebyshev upper limit.
double km_chebyshev_upper(const KaplanMeier& km, double level);

} // namespace velmar::nondetects

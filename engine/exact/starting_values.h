#pragma once
// Rough quantiles for starting values of the exact core's searches. They
// only need to land near the root: every search keeps its root bracketed.

namespace engine::exact::detail {

// Standard normal quantile, to about 1e-8 (rational start, Halley steps on erfc,
// rounded to 26 significant bits).
double normalQuantile(double p);

// Student-t quantile for real nu >= 2: exact for nu = 2 and nu = 4, a
// Cornish-Fisher expansion otherwise (rough in the far tails of small nu).
double studentQuantile(double p, double nu);

// A starting value of the one-sided C for level p: the Student-t term (the
// exact limit at S = 0) combined with the chi-square term that dominates for
// large S, times a factor tabulated from solved values (start_tables.h) and
// interpolated by cubics in each coordinate. Tails beyond a quarter or below
// 4.5e-5 take the plain combination.
double oneSidedStart(double S, double nu, double p);

struct PairStart {
    double lower;
    double upper;
};

// The plain one-sided starts at (1 -+ L)/2 with the Cornish-Fisher t
// quantile for every nu and a rounded-off chi-square quantile (smooth in nu,
// S and L): what the tabulated factors multiply.
PairStart pairBase(double S, double nu, double L);

// Starting values of the two-sided pair of level L: pairBase times factors
// tabulated from solved pairs (start_tables.h) and interpolated by cubics in
// each coordinate. Levels outside the table (L below 0.5 or above 0.9999)
// take the plain one-sided starts at (1 -+ L)/2.
PairStart twoSidedStart(double S, double nu, double L);

} // namespace engine::exact::detail

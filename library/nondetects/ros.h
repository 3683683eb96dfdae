#pragma once
// Robust regression on order statistics for data with nondetects at one or
// several detection limits: plotting positions for every observation, a
// least-squares line of ln(detect) on the standard normal quantile of its
// plotting position, and the completed sample in which each nondetect is
// replaced by the line's value at its own position. Detects keep their values.
//
// The detection limits of the nondetects, DL_1 < ... < DL_m, with DL_0 = 0 in
// front when a detect lies below DL_1 (or when there are no nondetects), cut
// the line into bands [DL_j, DL_{j+1}), DL_{m+1} = infinity. For band j:
//   A_j detects in the band, B_j detects below DL_j plus nondetects with
//   limit <= DL_j, C_j nondetects with limit DL_j.
// Probabilities of exceeding DL_j, from the top: pe_{m+1} = 0,
//   pe_j = pe_{j+1} + A_j / (A_j + B_j) (1 - pe_{j+1})  (the ratio 0 when A_j + B_j = 0).
// The i-th smallest detect of band j is plotted at
//   (1 - pe_j) + (pe_j - pe_{j+1}) i / (A_j + 1),
// the i-th nondetect at DL_j at (1 - pe_j) i / (C_j + 1).

#include "library/nondetects/sample.h"

#include <span>
#include <vector>

namespace velmar::nondetects {

struct Ros {
    // One entry per observation, in the order of the sample.
    std::vector<double> plotting_position;
    std::vector<double> z;         // the standard normal quantile of the plotting position
    std::vector<double> completed; // detects as measured, nondetects exp(intercept + slope z)
    double intercept = 0.0;        // ln(x) = intercept + slope z, least squares over the detects
    double slope = 0.0;
    double ppcc = 0.0;             // correlation of ln(detect) and z over the detects
};

// Needs at least two distinct detected values, and every value positive and
// finite; throws std::invalid_argument otherwise.
Ros regression_on_order_statistics(std::span<const Observation> sample);

} // namespace velmar::nondetects

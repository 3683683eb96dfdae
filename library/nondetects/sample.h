#pragma once
// Observations that may be nondetects: a nondetect's value is its detection
// limit (the measurement is known only to lie below it).

#include <velmar/velmar.h>

#include <span>
#include <string>

namespace velmar::nondetects {

// {value, nondetect}: a nondetect's value is its detection limit.
using Observation = velmar::Observation;

// Throws std::invalid_argument naming the first value that is not positive
// and finite ("sample[3] = -1: ...").
void check_positive(std::span<const Observation> sample);

// Detects, and detects with distinct values.
struct DetectCounts {
    int detects = 0;
    int distinct = 0;
};
DetectCounts count_detects(std::span<const Observation> sample);

} // namespace velmar::nondetects

// Checks and counts shared by the Kaplan-Meier estimate and the regression
// on order statistics.

#include "library/nondetects/sample.h"

#include "library/text.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmar::nondetects {

void check_positive(std::span<const Observation> sample)
{
    for (std::size_t i = 0; i < sample.size(); ++i) {
        const double v = sample[i].value;
        if (v > 0.0 && std::isfinite(v)) continue;
        throw std::invalid_argument("sample[" + std::to_string(i) + "] = " + shortest(v) +
                                    (sample[i].nondetect ? " (a detection limit)" : "") +
                                    ": every value must be positive and finite");
    }
}

DetectCounts count_detects(std::span<const Observation> sample)
{
    std::vector<double> detects;
    for (const Observation& o : sample)
        if (!o.nondetect) detects.push_back(o.value);
    std::sort(detects.begin(), detects.end());
    const auto distinct = std::unique(detects.begin(), detects.end()) - detects.begin();
    return {static_cast<int>(detects.size()), static_cast<int>(distinct)};
}

} // namespace velmar::nondetects

// Limits for the mean of a lognormal sample from its raw values: the logs'
// mean and standard deviation, the limits for mu + sigma^2/2 with lambda 1/2
// and gamma^2 = n, and their exponentials.

#include <velmar/velmar.h>

#include "library/text.h"

#include <cmath>
#include <string>

namespace velmar {

LognormalLimits lognormal_mean_limits(std::span<const double> values, double level, Side side)
{
    if (values.size() < 3)
        throw std::invalid_argument("values: " + std::to_string(values.size()) +
                                    " given, at least 3 are needed");
    double sumLog = 0.0, sum = 0.0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double v = values[i];
        if (!(v > 0.0) || !std::isfinite(v)) {
            throw std::invalid_argument("values[" + std::to_string(i) + "] = " + shortest(v) +
                                        ": every value must be positive and finite");
        }
        sumLog += std::log(v);
        sum += v;
    }
    const double n = static_cast<double>(values.size());
    const double meanLog = sumLog / n;
    double squares = 0.0; // about the mean, in a second pass, for accuracy
    for (const double v : values) {
        const double d = std::log(v) - meanLog;
        squares += d * d;
    }
    const double sdLog = std::sqrt(squares / (n - 1.0));

    LognormalLimits result{static_cast<int>(values.size()), meanLog, sdLog, sum / n, level, side, {}, {}};
    const Estimates e{meanLog, sdLog, n - 1.0, n};
    const auto onOriginalScale = [](Limit l) {
        l.value = std::exp(l.value);
        return l;
    };
    switch (side) {
    case Side::upper: result.upper = onOriginalScale(upper_limit(e, 0.5, level)); break;
    case Side::lower: result.lower = onOriginalScale(lower_limit(e, 0.5, level)); break;
    case Side::two_sided: {
        const Interval i = two_sided_limits(e, 0.5, level);
        result.lower = onOriginalScale(i.lower);
        result.upper = onOriginalScale(i.upper);
        break;
    }
    }
    return result;
}

} // namespace velmar

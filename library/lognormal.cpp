// Limits for the mean of a lognormal sample from its raw values: the logs'
// mean and standard deviation, the limits for mu + sigma^2/2 with lambda 1/2
// and gamma^2 = n, and their exponentials.

#include <velmar/velmar.h>

#include "library/statistics/statistics.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace velmar {

LognormalLimits lognormal_mean_limits(std::span<const double> values, double level, Side side)
{
    if (values.size() < 3)
        throw std::invalid_argument("values: " + std::to_string(values.size()) +
                                    " given, at least 3 are needed");
    const statistics::Moments logs = statistics::log_moments(values); // refuses a value <= 0 or not finite
    double sum = 0.0;
    for (const double v : values) sum += v;
    const double n = static_cast<double>(values.size());
    // Values near the largest double overflow the plain sum: add their n-th parts instead.
    double arithmeticMean = sum / n;
    if (!std::isfinite(arithmeticMean)) {
        arithmeticMean = 0.0;
        for (const double v : values) arithmeticMean += v / n;
    }
    const double meanLog = logs.mean;
    const double sdLog = logs.sd;

    LognormalLimits result{static_cast<int>(values.size()), meanLog, sdLog, arithmeticMean, level, side, {}, {}};
    const Estimates e{meanLog, sdLog, n - 1.0, n};
    // exp of a limit beyond about 709.78 is beyond the range of doubles.
    const auto onOriginalScale = [](Limit l) {
        l.value = std::exp(l.value);
        if (!std::isfinite(l.value) && usable(l.outcome)) l.outcome = Outcome::out_of_range;
        return l;
    };
    const Limits l = limits(e, 0.5, level, side);
    if (l.lower) result.lower = onOriginalScale(*l.lower);
    if (l.upper) result.upper = onOriginalScale(*l.upper);
    return result;
}

} // namespace velmar

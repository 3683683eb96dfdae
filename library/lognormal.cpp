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
    // Values near the largest double overflow the plain sum: add their n-th parts instead.
    double arithmeticMean = sum / n;
    if (!std::isfinite(arithmeticMean)) {
        arithmeticMean = 0.0;
        for (const double v : values) arithmeticMean += v / n;
    }
    const double meanLog = sumLog / n;
    double squares = 0.0; // about the mean, in a second pass, for accuracy
    for (const double v : values) {
        const double d = std::log(v) - meanLog;
        squares += d * d;
    }
    const double sdLog = std::sqrt(squares / (n - 1.0));

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

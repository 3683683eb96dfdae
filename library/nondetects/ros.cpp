// Regression on order statistics (see ros.h for the plotting positions).

#include "library/nondetects/ros.h"

#include <boost/math/distributions/normal.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string>

namespace velmar::nondetects {

namespace {

struct Band {
    double low;       // DL_j
    int above = 0;    // A_j
    int below = 0;    // B_j
    int censored = 0; // C_j
    double pe = 0.0;  // probability of exceeding DL_j
};

// The bands, each with its counts and exceedance probability.
std::vector<Band> bands(std::span<const Observation> sample)
{
    std::vector<double> limits;
    double lowestDetect = std::numeric_limits<double>::infinity();
    for (const Observation& o : sample) {
        if (o.nondetect)
            limits.push_back(o.value);
        else
            lowestDetect = std::min(lowestDetect, o.value);
    }
    std::sort(limits.begin(), limits.end());
    limits.erase(std::unique(limits.begin(), limits.end()), limits.end());
    if (limits.empty() || lowestDetect < limits.front()) limits.insert(limits.begin(), 0.0);

    std::vector<Band> out;
    for (const double low : limits) out.push_back({low});
    for (const Observation& o : sample) {
        // The band whose interval holds a detect; for a nondetect, the band of its limit.
        const auto j = static_cast<std::size_t>(
            std::upper_bound(limits.begin(), limits.end(), o.value) - limits.begin() - 1);
        if (o.nondetect) {
            ++out[j].censored;
            for (std::size_t i = j; i < out.size(); ++i) ++out[i].below;
        } else {
            ++out[j].above;
            for (std::size_t i = j + 1; i < out.size(); ++i) ++out[i].below;
        }
    }
    double peAbove = 0.0;
    for (std::size_t j = out.size(); j-- > 0;) {
        Band& b = out[j];
        const int total = b.above + b.below;
        const double ratio = total == 0 ? 0.0 : static_cast<double>(b.above) / static_cast<double>(total);
        b.pe = peAbove + ratio * (1.0 - peAbove);
        peAbove = b.pe;
    }
    return out;
}

} // namespace

Ros regression_on_order_statistics(std::span<const Observation> sample)
{
    check_positive(sample);
    const DetectCounts counts = count_detects(sample);
    if (counts.distinct < 2)
        throw std::invalid_argument("sample: " + std::to_string(counts.distinct) +
                                    " distinct detected values, at least 2 are needed");
    const std::vector<Band> band = bands(sample);
    std::vector<double> limits;
    for (const Band& b : band) limits.push_back(b.low);

    // Detects in ascending order (ties in the order of the sample), then the
    // nondetects in the order of the sample: the i-th of each band gets the
    // i-th position of that band.
    std::vector<std::size_t> order(sample.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (sample[a].nondetect != sample[b].nondetect) return !sample[a].nondetect;
        return !sample[a].nondetect && sample[a].value < sample[b].value;
    });
    Ros ros;
    ros.plotting_position.resize(sample.size());
    std::vector<int> placedDetects(band.size(), 0), placedNondetects(band.size(), 0);
    for (const std::size_t i : order) {
        const Observation& o = sample[i];
        const auto j = static_cast<std::size_t>(
            std::upper_bound(limits.begin(), limits.end(), o.value) - limits.begin() - 1);
        const Band& b = band[j];
        if (o.nondetect) {
            const double rank = ++placedNondetects[j];
            ros.plotting_position[i] = (1.0 - b.pe) * rank / (b.censored + 1.0);
        } else {
            const double rank = ++placedDetects[j];
            const double peNext = j + 1 < band.size() ? band[j + 1].pe : 0.0;
            ros.plotting_position[i] = (1.0 - b.pe) + (b.pe - peNext) * rank / (b.above + 1.0);
        }
    }

    const boost::math::normal normal;
    for (const double p : ros.plotting_position) ros.z.push_back(boost::math::quantile(normal, p));

    // Least squares of ln(detect) on z, about the means; summed in ascending
    // order of the detects, so that the order of the sample changes no digit.
    const std::span<const std::size_t> detects(order.data(), static_cast<std::size_t>(counts.detects));
    double sumZ = 0.0, sumY = 0.0;
    for (const std::size_t i : detects) {
        sumZ += ros.z[i];
        sumY += std::log(sample[i].value);
    }
    const double meanZ = sumZ / counts.detects, meanY = sumY / counts.detects;
    double szz = 0.0, syy = 0.0, szy = 0.0;
    for (const std::size_t i : detects) {
        const double dz = ros.z[i] - meanZ, dy = std::log(sample[i].value) - meanY;
        szz += dz * dz;
        syy += dy * dy;
        szy += dz * dy;
    }
    ros.slope = szy / szz;
    ros.intercept = meanY - ros.slope * meanZ;
    ros.ppcc = szy / std::sqrt(szz * syy);

    for (std::size_t i = 0; i < sample.size(); ++i)
        ros.completed.push_back(sample[i].nondetect ? std::exp(ros.intercept + ros.slope * ros.z[i])
                                                    : sample[i].value);
    return ros;
}

} // namespace velmar::nondetects

// Kaplan-Meier for left-censored data: the estimate, its moments and the
// standard error of the mean (see kaplan_meier.h for the recursion).

#include "library/nondetects/kaplan_meier.h"

#include "library/text.h"

#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace velmar::nondetects {

KaplanMeier kaplan_meier(std::span<const Observation> sample)
{
    check_positive(sample);
    std::vector<double> detects, limits;
    for (const Observation& o : sample) (o.nondetect ? limits : detects).push_back(o.value);
    std::sort(detects.begin(), detects.end());
    std::sort(limits.begin(), limits.end());

    KaplanMeier km;
    km.n = static_cast<int>(sample.size());
    km.detects = static_cast<int>(detects.size());
    km.nondetects = static_cast<int>(limits.size());
    for (const double x : detects) {
        if (km.z.empty() || x != km.z.back()) {
            km.z.push_back(x);
            km.d.push_back(0);
        }
        ++km.d.back();
    }
    const std::size_t k = km.z.size();
    if (k < 2)
        throw std::invalid_argument("sample: " + std::to_string(k) +
                                    " distinct detected values, at least 2 are needed");
    km.uninformative = static_cast<int>(limits.end() - std::upper_bound(limits.begin(), limits.end(), km.z.back()));

    int detectsSoFar = 0;
    for (std::size_t j = 0; j < k; ++j) {
        detectsSoFar += km.d[j];
        const auto limitsAtMost = std::upper_bound(limits.begin(), limits.end(), km.z[j]) - limits.begin();
        km.r.push_back(detectsSoFar + static_cast<int>(limitsAtMost));
    }

    km.F.assign(k, 1.0);
    for (std::size_t j = k - 1; j >= 1; --j)
        km.F[j - 1] = km.F[j] * (1.0 - static_cast<double>(km.d[j]) / static_cast<double>(km.r[j]));

    // The mean as the area above F from z_1 on.
    double mean = km.z[0];
    for (std::size_t j = 0; j + 1 < k; ++j) mean += (km.z[j + 1] - km.z[j]) * (1.0 - km.F[j]);
    km.mean = mean;

    double squares = 0.0, below = 0.0;
    for (std::size_t j = 0; j < k; ++j) {
        const double dz = km.z[j] - mean;
        squares += dz * dz * (km.F[j] - below);
        below = km.F[j];
    }
    km.sd = std::sqrt(squares);

    // Greenwood-type variance of the mean: each step j >= 2 contributes
    // d_j / (r_j (r_j - d_j)) times the squared area under F below z_j.
    double variance = 0.0, area = 0.0;
    for (std::size_t j = 1; j < k; ++j) {
        area += (km.z[j] - km.z[j - 1]) * km.F[j - 1];
        const int r = km.r[j], d = km.d[j];
        if (r == d) continue; // F(z_{j-1}) = 0: nothing below z_j
        variance += static_cast<double>(d) / (static_cast<double>(r) * static_cast<double>(r - d)) * area * area;
    }
    const double D = km.detects;
    km.se = std::sqrt(D / (D - 1.0) * variance);
    return km;
}

double km_t_limit(const KaplanMeier& km, double level, bool upper)
{
    check_level(level);
    const boost::math::students_t t(static_cast<double>(km.n) - 1.0);
    const double q = boost::math::quantile(t, level);
    return upper ? km.mean + q * km.se : km.mean - q * km.se;
}

double km_chebyshev_upper(const KaplanMeier& km, double level)
{
    check_level(level);
    return km.mean + std::sqrt(1.0 / (1.0 - level) - 1.0) * km.se;
}

} // namespace velmar::nondetects

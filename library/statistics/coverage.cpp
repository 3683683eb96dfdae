// The simulated coverage of upper-limit methods: how often, over samples of
// the data's size drawn from the fitted lognormal (censored at the data's
// detection limits), each method's limit reaches the fitted mean.

#include "library/statistics/statistics.h"

#include "library/statistics/checks.h"

#include <cmath>
#include <string>

namespace velmar::statistics {

double FittedLognormal::mean() const { return std::exp(mean_log + sd_log * sd_log / 2.0); }

std::vector<SimulatedCoverage> simulated_coverage(const UpperLimitPanel& panel, std::size_t methods,
                                                  const FittedLognormal& fitted, int n,
                                                  std::span<const double> detection_limits, int simulations,
                                                  std::uint64_t seed)
{
    if (!std::isfinite(fitted.mean_log)) detail::refuse("mean_log", fitted.mean_log, "must be finite");
    if (!(fitted.sd_log >= 0.0) || !std::isfinite(fitted.sd_log))
        detail::refuse("sd_log", fitted.sd_log, "must be finite and at least 0");
    if (n < 2) detail::refuse("n", n, "must be at least 2");
    if (simulations < 1) detail::refuse("simulations", simulations, "must be at least 1");
    for (std::size_t i = 0; i < detection_limits.size(); ++i)
        if (!(detection_limits[i] > 0.0) || !std::isfinite(detection_limits[i]))
            detail::refuse("detection_limits[" + std::to_string(i) + "]", detection_limits[i],
                           "every detection limit must be positive and finite");

    const double target = fitted.mean();
    std::vector<int> covered(methods, 0), failed(methods, 0);
    std::vector<Observation> sample(static_cast<std::size_t>(n));
    std::vector<double> limits(methods);
    RandomStream stream(seed);
    for (int s = 0; s < simulations; ++s) {
        for (std::size_t i = 0; i < sample.size(); ++i) {
            sample[i] = {std::exp(fitted.mean_log + fitted.sd_log * stream.normal()), false};
            if (!detection_limits.empty()) {
                const double dl = detection_limits[i % detection_limits.size()];
                if (sample[i].value < dl) sample[i] = {dl, true};
            }
        }
        panel(sample, limits);
        for (std::size_t k = 0; k < methods; ++k) {
            if (std::isnan(limits[k]))
                ++failed[k];
            else if (limits[k] >= target)
                ++covered[k];
        }
    }

    std::vector<SimulatedCoverage> result;
    result.reserve(methods);
    for (std::size_t k = 0; k < methods; ++k) {
        const int limited = simulations - failed[k];
        const double share = limited > 0 ? static_cast<double>(covered[k]) / limited : std::nan("");
        const double se = limited > 0 ? std::sqrt(share * (1.0 - share) / limited) : std::nan("");
        result.push_back({share, se, simulations, failed[k]});
    }
    return result;
}

std::vector<SimulatedCoverage> simulated_coverage(std::span<const UpperLimitMethod> methods,
                                                  const FittedLognormal& fitted, int n,
                                                  std::span<const double> detection_limits, int simulations,
                                                  std::uint64_t seed)
{
    const auto panel = [methods](std::span<const Observation> sample, std::span<double> limits) {
        for (std::size_t k = 0; k < methods.size(); ++k) limits[k] = methods[k](sample);
    };
    return simulated_coverage(panel, methods.size(), fitted, n, detection_limits, simulations, seed);
}

} // namespace velmar::statistics

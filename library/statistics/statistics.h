#pragma once
// The statistics around an exact lognormal limit: normality tests on the
// logs, geometric statistics and the minimum-variance unbiased mean, the
// other upper confidence limits of the mean, the 95th percentile with its
// tolerance limit, the exceedance fraction of an exposure limit with its
// exact upper limit, and the simulated coverage of any upper-limit method.
//
// Internal to the library: the summary builds its public result from these.
// Distributions come from Boost.Math (see boost_policy.h). Bad arguments
// throw std::invalid_argument naming the argument and its value; a quantity
// that the data leave undefined (all values equal) or that a numerical
// search could not reach comes back empty (std::nullopt) or as NaN where the
// comment says so.

#include <velmar/velmar.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <vector>

namespace velmar::statistics {

using velmar::Observation;

// ---- Sample moments -------------------------------------------------------

struct Moments {
    int n;
    double mean;
    double sd; // divisor n - 1; NaN for n = 1
};

// Of the values themselves (at least one, all finite).
Moments moments(std::span<const double> values);
// Of the natural logs of the values (at least one, each positive and finite).
Moments log_moments(std::span<const double> values);

// exp of the mean log and exp of the sd of the logs, from log_moments.
double geometric_mean(const Moments& logs);
double geometric_sd(const Moments& logs);

// Finney's g_n(t) = 0F1(; (n-1)/2; (n-1)^2 t / (2n)), n >= 2, t >= 0.
double finney_g(int n, double t);
// The minimum-variance unbiased estimate of the lognormal mean,
// exp(mean log) g_n(sd_log^2 / 2).
double mvue_mean(const Moments& logs);

// ---- Normality tests --------------------------------------------------------

struct TestResult {
    double statistic;
    double p;
};

// Shapiro-Wilk W and its upper-tail p-value by Royston's approximation
// (Applied Statistics AS R94), 3 <= n <= 5000. Empty when all values are
// equal (W undefined). Where the approximation puts p below 1e-99 it reports
// 1e-99.
std::optional<TestResult> shapiro_wilk(std::span<const double> values);

// Anderson-Darling A2 for normality with estimated mean and sd, n >= 8; the
// p-value from the adjusted A2 (1 + 0.75/n + 2.25/n^2) by D'Agostino and
// Stephens' piecewise formula. Empty when all values are equal.
std::optional<TestResult> anderson_darling(std::span<const double> values);

// ---- Upper confidence limits of the mean --------------------------------------
// level in (0, 1); `values` the raw values (n >= 2), `logs` the log moments.

// xbar + t_{level, n-1} s / sqrt(n).
double student_t_ucl(const Moments& values, double level);
// xbar + sqrt(1/(1 - level) - 1) s / sqrt(n) (one-sided Chebyshev-Cantelli).
double chebyshev_ucl(const Moments& values, double level);
// Cox's method: exp(ybar + s^2/2 + t_{level, n-1} sqrt(s^2/n + s^4/(2(n-1)))).
double cox_ucl(const Moments& logs, double level);

// Bootstrap-t: `resamples` samples of size n drawn with replacement from the
// values; for each, t*_b = (xbar*_b - xbar) / (s*_b / sqrt(n)) (a resample
// whose values are all equal has s*_b = 0 and t*_b = +-infinity by the sign
// of the difference, 0 when there is none). With t*_(1) <= ... <= t*_(B)
// sorted and k = floor((1 - level)(B + 1)) clamped to 1..B, the limit is
// xbar - t*_(k) s / sqrt(n). Seeded: the same seed gives the same limit on
// every platform.
double bootstrap_t_ucl(std::span<const double> values, double level, std::uint64_t seed, int resamples = 2000);

// ---- Percentiles and exceedance ---------------------------------------------
// From the log moments of a sample (n >= 2, sd > 0 unless said otherwise).

// exp(ybar + z_p s), the fitted lognormal's p quantile, p in (0, 1).
double lognormal_percentile(const Moments& logs, double p);
// Upper tolerance limit of confidence `level` for the p quantile:
// exp(ybar + s t'/sqrt(n)), t' the `level` quantile of the noncentral t with
// n - 1 degrees of freedom and noncentrality z_p sqrt(n). Empty when Boost's
// noncentral t does not converge.
std::optional<double> percentile_utl(const Moments& logs, double p, double level);

// 1 - Phi((ln limit - ybar)/s): the fitted share of values above `limit` > 0.
double exceedance_fraction(const Moments& logs, double limit);
// Its exact upper confidence limit 1 - Phi(delta/sqrt(n)), delta the
// noncentrality at which the noncentral t (n - 1 degrees of freedom) gives
// the observed t = sqrt(n)(ln limit - ybar)/s the probability `level` below
// it. Empty when the search for delta fails.
std::optional<double> exceedance_ucl(const Moments& logs, double limit, double level);

// ---- Random numbers -----------------------------------------------------------

// A seeded stream whose numbers are the same on every platform: the standard
// std::mt19937_64 engine (its output sequence is fixed by the C++ standard),
// with uniforms and normals derived here from its bits rather than by the
// library's distributions, whose algorithms differ between implementations.
class RandomStream {
public:
    explicit RandomStream(std::uint64_t seed);
    // (k + 0.5) / 2^53 for the top 53 bits k of one output: in (0, 1).
    double uniform();
    // Phi^-1(uniform()) by Boost's normal quantile (inversion: one output each).
    double normal();
    // Uniform on 0 .. n-1 (n >= 1), by rejection of the engine's top remainder.
    std::uint64_t index(std::uint64_t n);

private:
    std::mt19937_64 engine_;
};

// An independent seed for sub-stream `stream` of `seed` (SplitMix64 of the
// two), so that one user seed feeds several streams without overlap.
std::uint64_t derive_seed(std::uint64_t seed, std::uint64_t stream);

// ---- Simulated coverage --------------------------------------------------------

struct FittedLognormal {
    double mean_log;
    double sd_log;
    double mean() const; // exp(mean_log + sd_log^2 / 2)
};

// An upper-limit method applied to one simulated sample (a nondetect's value
// is its detection limit). Returns the upper limit, or NaN where the method
// cannot give one.
using UpperLimitMethod = std::function<double(std::span<const Observation> sample)>;

// Several methods at once, for methods that share work on a sample: fills
// limits[k] with method k's upper limit (NaN where it gives none).
using UpperLimitPanel = std::function<void(std::span<const Observation> sample, std::span<double> limits)>;

struct SimulatedCoverage {
    double coverage;       // share of the samples with a limit whose limit >= the fitted mean
    double standard_error; // sqrt(coverage (1 - coverage) / samples with a limit)
    int simulations;
    int failures;          // samples for which the method gave no limit (NaN)
};

// Draws `simulations` samples of size n from the fitted lognormal and applies
// the panel of `methods` methods to each. With detection limits, simulated
// value i is a nondetect reported at detection_limits[i mod k] when it falls
// below that limit (k = detection_limits.size()). Seeded: the same arguments
// give the same result on every platform.
std::vector<SimulatedCoverage> simulated_coverage(const UpperLimitPanel& panel, std::size_t methods,
                                                  const FittedLognormal& fitted, int n,
                                                  std::span<const double> detection_limits, int simulations,
                                                  std::uint64_t seed);

// The same for separate methods, on the same samples for all.
std::vector<SimulatedCoverage> simulated_coverage(std::span<const UpperLimitMethod> methods,
                                                  const FittedLognormal& fitted, int n,
                                                  std::span<const double> detection_limits, int simulations,
                                                  std::uint64_t seed);

} // namespace velmar::statistics

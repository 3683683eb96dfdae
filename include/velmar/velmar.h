#pragma once
// Exact confidence limits for theta = mu + lambda x sigma^2 of a normal
// distribution, and for the mean of a lognormal sample (Land's exact method).
//
// The estimates: mu-hat ~ Normal(mu, sigma/gamma) and sigma-hat ~
// sigma sqrt(chi-square(nu)/nu), independent. Every limit has the form
//     mu-hat + lambda sigma-hat^2 + sign (sigma-hat/gamma) sqrt((nu + 1)/nu) C
// with sign = -1 for lambda < 0 and +1 otherwise; C is the standardized
// critical value. The limits are the uniformly most accurate unbiased ones.
//
// Every function is thread-safe and needs no set-up call. Bad arguments throw
// std::invalid_argument naming the argument and its value; a numerical failure
// is reported in the outcome of the result, never as a silent number.

#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>

namespace velmar {

// The library's version, "major.minor.patch".
std::string_view version();

// Summary statistics: nu real >= 2; gamma2 empty means nu + 1 (the mean of a
// single sample of nu + 1 values).
struct Estimates {
    double mu_hat;
    double sigma_hat;
    double nu;
    std::optional<double> gamma2;
};

// How a limit is computed: by the exact core (to about 1e-11 in C, real nu),
// or by the searches of the interactive program, with the settings below
// (whole-number degrees of freedom trunc(nu + 1) - 1).
enum class Method { exact, search };

// The settings of the searches, with the option file's defaults.
struct Settings {
    int NumIt = 200;            // most iterations of a search
    double ArgTop = 800.0;      // largest Bessel argument for the closed forms
    double Tolerance = 1.0e-8;  // step tolerance of the searches
    double ResultTol = -1.0;    // bound on |function value| at a root (negative: none)
    Method method = Method::exact;
};

enum class Outcome {
    converged,        // the limit is right to the method's accuracy
    beyond_precision, // found, but double precision cannot reach the target: see error_bound
    iteration_limit,  // the search ran out of iterations; value is its last point
    no_root,          // no limit could be found; value and C are NaN
    integral_failed,  // a probability could not be evaluated; value and C are NaN
};

// "converged", "beyond precision", "iteration limit reached", ...
std::string_view describe(Outcome outcome);

struct Limit {
    double value;       // the limit for theta
    double C;           // the standardized critical value
    Outcome outcome;
    int iterations;     // evaluations of the probability function (exact) or search steps
    double error_bound; // estimated absolute error of C (exact method; 0 for the searches)
};

struct Interval {
    Limit lower;
    Limit upper;
};

enum class Side { upper, lower, two_sided };

// One-sided upper / lower limit of confidence level `level` in (0, 1) for
// theta = mu + lambda sigma^2 (lambda finite, any sign).
Limit upper_limit(const Estimates& estimates, double lambda, double level, const Settings& settings = {});
Limit lower_limit(const Estimates& estimates, double lambda, double level, const Settings& settings = {});

// The pair of two-sided (unbiased) limits of level `level` in (0, 1).
Interval two_sided_limits(const Estimates& estimates, double lambda, double level,
                          const Settings& settings = {});

// A numerical failure where the function has no outcome to report it in.
struct NumericalError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Land's H: the one-sided C for a lognormal sample of size n (real, >= 3) with
// log-scale standard deviation s >= 0, at level in (0, 1) (lambda 1/2,
// gamma^2 = n, nu = n - 1). Throws NumericalError when it cannot be computed.
double land_h(double n, double s, double level);

// Limits for the mean of a lognormal sample, from its raw values.
struct LognormalLimits {
    int n;
    double mean_log;           // mean of the logs
    double sd_log;             // standard deviation of the logs, divisor n - 1
    double arithmetic_mean;    // mean of the values themselves, for comparison
    double level;
    Side side;
    std::optional<Limit> lower; // value = the limit for the lognormal mean (original scale)
    std::optional<Limit> upper;
};

// values: at least 3, each positive and finite; level in (0, 1).
LognormalLimits lognormal_mean_limits(std::span<const double> values, double level, Side side = Side::upper);

} // namespace velmar

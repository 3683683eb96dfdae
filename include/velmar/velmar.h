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

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velmar {

// The library's version, "major.minor.patch".
std::string_view version();

// A confidence level as users write it: a fraction in (0, 1), or a percentage
// above 1 and below 100 (95 reads as 0.95). The command line, Python and R
// read levels by this rule; the functions below take the fraction alone.
// Throws std::invalid_argument for anything else.
double confidence_level(double value);

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

// How limits are computed. The first four fields are the settings of the
// searches (Method::search), with the interactive program's defaults; the
// exact method does not read them and its results do not depend on them.
struct Settings {
    int num_it = 200;            // most iterations of a search
    double arg_top = 800.0;      // largest Bessel argument for the closed forms
    double tolerance = 1.0e-8;   // step tolerance of the searches
    double result_tol = -1.0;    // bound on |function value| at a root (negative: none)
    Method method = Method::exact;
};

enum class Outcome {
    converged,        // the limit is right to the method's accuracy
    beyond_precision, // found, but double precision cannot reach the target: see error_bound
    iteration_limit,  // the search ran out of iterations; value is its last point
    no_root,          // no limit could be found; value and C are NaN
    integral_failed,  // a probability could not be evaluated; value and C are NaN
    out_of_range,     // C was found, but the limit lies beyond the range of doubles
                      // (value is infinite or NaN)
};

// True for the outcomes whose limit stands: converged and beyond_precision.
bool usable(Outcome outcome);

// The outcome's name: "converged", "beyond_precision", "iteration_limit",
// "no_root", "integral_failed", "out_of_range". The one spelling of every face.
std::string_view to_string(Outcome outcome);

// The outcome in words, for prose: "converged", "beyond double precision",
// "iteration limit reached", "no root found", "integral failed", "beyond the
// range of doubles".
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

// two_sided: the unbiased (UMAU) pair, whose tails are unequal;
// equal_tailed: the one-sided lower and upper limits of level (1 + level)/2.
enum class Side { upper, lower, two_sided, equal_tailed };

// "upper", "lower", "two-sided", "equal-tailed"; parse_side reads these names
// back (and nothing else).
std::string_view to_string(Side side);
std::optional<Side> parse_side(std::string_view text);
// Every side, in that order.
std::span<const Side> sides();

// The limits of one side: upper, lower, or both for two_sided and equal_tailed.
struct Limits {
    std::optional<Limit> lower;
    std::optional<Limit> upper;
};

// One-sided upper / lower limit of confidence level `level` in (0, 1) for
// theta = mu + lambda sigma^2 (lambda finite, any sign).
Limit upper_limit(const Estimates& estimates, double lambda, double level, const Settings& settings = {});
Limit lower_limit(const Estimates& estimates, double lambda, double level, const Settings& settings = {});

// The pair of two-sided (unbiased) limits of level `level` in (0, 1).
Interval two_sided_limits(const Estimates& estimates, double lambda, double level,
                          const Settings& settings = {});

// The status of a set of limits as every face prints it: the name of the
// less exact outcome where every side stands ("converged",
// "beyond_precision"), else the side that failed and how ("upper limit:
// no_root"; the upper side when both fail). A standing limit whose value or C
// is not finite counts as out_of_range.
struct LimitsStatus {
    std::string text;
    bool failed;
};
LimitsStatus status_of(const Limits& limits);

// The limits of `side` at `level`: upper_limit, lower_limit,
// two_sided_limits, or lower_limit and upper_limit at (1 + level)/2 for
// equal_tailed, with the sides not asked for left empty.
Limits limits(const Estimates& estimates, double lambda, double level, Side side, const Settings& settings = {});

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

// The coverage of the exact limits: the probability that the limits of
// `side` at `level`, computed from a sample of size n (real, >= 3; nu = n - 1,
// gamma^2 = n) of a normal distribution with standard deviation sigma > 0,
// hold theta = mu + lambda sigma^2. Integrated over the distributions of
// mu-hat (in closed form) and sigma-hat (adaptive Gauss-Kronrod quadrature in
// ln sigma-hat^2) to an absolute error of about 1e-9.
struct Coverage {
    double value;            // the coverage; NaN when it could not be computed
    double error;            // the estimated integration error of value
    int evaluations;         // limit computations (each side of a pair counts once)
    Outcome outcome;         // converged; integral_failed when the quadrature missed
                             // its tolerance; else the outcome of a limit that failed
    double failed_sigma_hat; // the sigma-hat at which that limit failed (else NaN)
};
Coverage coverage(double n, double sigma, double lambda, double level, Side side);

// Data with nondetects: a measurement reported only as below a detection
// limit ("<0.5"). A nondetect's value is its detection limit.
struct Observation {
    double value;
    bool nondetect = false;
};

// ---- Reading a lab's cells ---------------------------------------------------
// The one reading of numbers, measurement cells and nondetect marks that every
// face uses. Texts may have blanks (spaces, tabs) around them.

// How a text reads as a number: no locale, no trailing characters, a leading
// '+' allowed.
enum class NumberText {
    finite,       // value holds it
    not_a_number, // not the form of a number
    not_finite,   // inf or nan
    overflow,     // beyond the range of doubles
    underflow,    // so close to 0 that a double holds only 0
};
NumberText read_number(std::string_view text, double& value);

// Why a number was refused, for messages: "is not a number", "is not a
// finite number", "is beyond the range of doubles", "underflows: it is too
// close to 0 for a double".
std::string_view number_refusal(NumberText kind);

// Why a measurement cell was refused.
enum class CellRefusal {
    not_a_number,
    not_finite,
    overflow,
    underflow,
    not_positive,
    nondetect_without_limit,  // "ND": a nondetect needs its limit, "<DL"
    point_with_decimal_comma, // "0.5" where commas are the decimal separator
};

// One measurement cell: both fields empty for a missing value.
struct Cell {
    std::optional<Observation> observation;
    std::optional<CellRefusal> refusal;
};

// A measurement cell: a positive finite number (read_number), or "<" and one
// (blanks allowed between) for a nondetect whose value is its detection
// limit; empty or "NA" is missing; "ND" in any case is refused. With
// decimal_comma a comma is the decimal separator and a point is refused.
Cell read_cell(std::string_view text, bool decimal_comma = false);

// The refusal in words, after the cell's text: "is not a number", "is not
// positive (lognormal data are greater than 0)", ...
std::string_view describe(CellRefusal refusal);

// A cell of a column of nondetect marks, in any case: true for a nondetect
// mark (<, ND, U, TRUE, Y, YES), false for a detect mark (empty, =, D,
// FALSE, N, NO), empty for anything else.
std::optional<bool> read_nondetect_mark(std::string_view text);
std::span<const std::string_view> nondetect_marks();
std::span<const std::string_view> detect_marks(); // the first is ""
// "is not a nondetect mark (<, ND, ...) or a detect mark (empty, =, ...)".
std::string mark_refusal();

// One method's limits for the mean of a sample.
//   "exact UMAU"       a sample without nondetects: lognormal_mean_limits.
//   "KM-t"             Kaplan-Meier mean + t_{level, n-1} x its standard error
//                      (lower limits and pairs by symmetry; a pair's two kinds agree).
//   "KM-Chebyshev"     Kaplan-Meier mean + sqrt(1/(1 - level) - 1) x standard error;
//                      upper limits only, so a row only for Side::upper.
//   "ROS + exact UMAU" the exact limits of the sample completed by regression on
//                      order statistics: approximate, as the imputed values are
//                      not measurements.
//   ""                 no method applies (too few detects); status says why.
// status: where the row has its limits, the outcome's name (to_string), of the
// less exact side ("converged" for the closed forms of Kaplan-Meier); else
// failed is true and status says why ("upper limit: no_root", "2 detects, at
// least 3 are needed").
struct MethodLimits {
    std::string method;
    std::string status = std::string(to_string(Outcome::converged));
    bool failed = false;
    bool approximate = false;             // true for "ROS + exact UMAU"
    std::optional<LognormalLimits> exact; // exact rows: the (completed) sample's logs and limits
    std::optional<double> mean, sd, se;   // Kaplan-Meier rows: mean, standard deviation, standard error
    std::optional<double> lower, upper;   // the limits for the mean, on the original scale
};

struct SampleLimits {
    int n = 0;             // observations
    int nondetects = 0;
    int uninformative = 0; // nondetects whose limit lies above the largest detect: not used by Kaplan-Meier
    double level = 0.0;
    Side side = Side::upper;
    std::vector<MethodLimits> rows;
};

// The limits for the mean of a sample that may hold nondetects, one row per
// method: "exact UMAU" without nondetects; with them "KM-t", "KM-Chebyshev"
// (Side::upper only) and "ROS + exact UMAU". Data that no method can use come
// back as failed rows: fewer than 3 values (3 detects, of them 2 distinct,
// where there are nondetects) give one row with the reason; with more than
// 80% nondetects the ROS row has no limit. Every value must be positive and
// finite and level in (0, 1); otherwise std::invalid_argument.
SampleLimits mean_limits_by_method(std::span<const Observation> sample, double level, Side side = Side::upper);

// ---- The summary of a sample ------------------------------------------------
// What surrounds the exact limit: checks of lognormality, the upper limits
// of other methods beside it with their simulated coverage, geometric
// statistics, the 95th percentile and the exceedance of an exposure limit.

struct ShapiroWilk {
    double W;
    double p;
};

struct AndersonDarling {
    double A2; // the plain statistic; p comes from A2 (1 + 0.75/n + 2.25/n^2)
    double p;
};

// One method's upper confidence limit for the mean, with how often the
// method's limit covered the mean of the fitted lognormal in samples like the
// data (drawn from it, of the same size, censored at the data's detection limits).
struct MethodUpperLimit {
    std::string method;                       // "exact UMAU", "Student-t", ... (see summary)
    std::optional<double> value;              // the upper limit of the mean, original scale
    std::optional<double> simulated_coverage; // empty without simulations, and for bootstrap-t
    std::optional<double> coverage_se;        // its standard error
    // Where value stands, "converged" (or the exact limit's outcome, as in
    // MethodLimits); else why value is empty, and failed is true where that
    // is a failure (too few values, a numerical failure) rather than the
    // method's answer (an unbounded bootstrap-t limit).
    std::string status = std::string(to_string(Outcome::converged));
    bool failed = false;
};

// One observation on the lognormal probability plot.
struct PlotPoint {
    double value;             // as given (a nondetect's detection limit)
    bool nondetect;
    double plotting_position; // from regression on order statistics; i/(n+1) ranks without nondetects
    double z;                 // its standard normal quantile
    double fitted;            // the value in the completed sample: the ROS imputation for a nondetect
};

struct SummaryOptions {
    double level = 0.95;          // of every confidence limit, in (0, 1)
    std::optional<double> limit;  // an exposure limit (> 0): exceedance and compliance
    int simulations = 4000;       // samples for the simulated coverage; 0: none
    std::uint64_t seed = 0;       // of the bootstrap and the simulations (see group_seed)
};

// With nondetects the log-scale statistics (geometric mean and sd, MVUE,
// Cox, percentile, exceedance, compliance) and the Student-t, Chebyshev and
// bootstrap-t limits come from the sample completed by regression on order
// statistics; the Kaplan-Meier rows use the censored sample itself.
struct Summary {
    int n = 0;
    int n_nd = 0;
    double level = 0.0;
    std::optional<double> arithmetic_mean;
    std::optional<double> geometric_mean;       // exp(mean of the logs)
    std::optional<double> geometric_sd;         // exp(sd of the logs), divisor n - 1
    std::optional<double> mvue_mean;            // minimum-variance unbiased (Finney)
    std::optional<ShapiroWilk> shapiro_wilk;    // of the logs, 3 <= n <= 5000, no nondetects
    std::optional<AndersonDarling> anderson_darling; // of the logs, n >= 8, no nondetects
    std::optional<double> ros_ppcc;             // with nondetects: correlation of the ROS probability plot
    std::vector<MethodUpperLimit> ucl;
    std::optional<double> p95;                  // exp(ybar + z_0.95 s)
    std::optional<double> p95_utl;              // its upper tolerance limit of confidence level
    std::optional<double> limit;                // the exposure limit given
    std::optional<double> exceedance;           // 1 - Phi((ln limit - ybar)/s)
    std::optional<double> exceedance_ucl;       // its exact upper confidence limit
    std::optional<double> compliance_p;         // p of "the mean is below limit": the exact limit at 1 - p equals it
    std::vector<std::string> warnings;          // sentences
    std::vector<PlotPoint> probability_plot;    // one per observation, in the sample's order
};

// The summary of a sample (at least one observation, every value positive
// and finite; level in (0, 1), limit > 0 and finite, simulations >= 0).
// Methods: without nondetects "exact UMAU", "Student-t", "Chebyshev", "Cox",
// "bootstrap-t"; with them "KM-t", "KM-Chebyshev", "ROS + exact UMAU",
// "Student-t", "Chebyshev", "Cox", "bootstrap-t". Seeded: the same options
// give the same summary on every platform.
Summary summary(std::span<const Observation> sample, const SummaryOptions& options = {});
Summary summary(std::span<const double> values, const SummaryOptions& options = {});
// Every method a summary can hold, in the order of its panel.
std::span<const std::string> summary_methods();

// The seed of one group's summary from a user's seed and the group's key
// (FNV-1a of the key's bytes, mixed with the seed), so that a group's numbers
// do not depend on which other groups are summarised with it.
std::uint64_t group_seed(std::uint64_t seed, std::string_view key);
// ---- The report ---------------------------------------------------------------
// One self-contained HTML page for several groups of data: per group the data
// summary, the warnings, the lognormality tests, the panel of upper limits
// with their simulated coverage, the exposure statistics, a normal Q-Q plot of
// the logs and a strip plot of the values with the limits marked. Inline CSS
// and SVG; no scripts, nothing loaded from elsewhere; laid out for screen and
// for printing on A4 or Letter.

struct ReportGroup {
    std::string name;                // the section's title and its data-group
    std::vector<Observation> sample; // may be empty (all cells NA): the section says so
    long long skipped = 0;           // NA and empty cells left out of the sample
    std::optional<Summary> summary;  // the sample's summary; empty where it could not be computed
    std::string problem;             // then why, for the section
};

// What was computed from what: the first lines of the file and the page's heading.
struct ReportHeading {
    std::string source;   // the file, or "standard input"
    std::string column;   // how the values were found: "column \"result\""
    std::string grouping; // "one section per value of column \"analyte\"", or empty
    std::string options;  // the options as a user would type them again
    std::string date;     // when the report was written, as it should be shown
};

// The page, one section per group in the order given. Every text from the
// data (names, file, options, warnings) is escaped.
std::string html_report(const ReportHeading& heading, std::span<const ReportGroup> groups);

} // namespace velmar

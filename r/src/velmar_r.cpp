// The R face of the library: argument vectors in, columns out. The R
// functions in R/velmar.R recycle the arguments and build the data frames;
// everything computed comes from velmar.h. A std::invalid_argument or
// velmar::NumericalError of the library reaches R as an error with its
// message (Rcpp's translation of C++ exceptions).

#include <velmar/velmar.h>

#include <Rcpp.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

velmar::Side side_of(const std::string& text)
{
    if (const auto side = velmar::parse_side(text)) return *side;
    std::string known;
    for (const velmar::Side s : velmar::sides())
        known += (known.empty() ? "\"" : ", \"") + std::string(velmar::to_string(s)) + "\"";
    throw std::invalid_argument("side = \"" + text + "\": must be one of " + known);
}

// NA for an absent number, and for one that is not finite (a status says
// why), as the command line leaves such a field empty.
double na_or(const std::optional<double>& v)
{
    return v && std::isfinite(*v) ? *v : NA_REAL;
}

double value_or_na(const std::optional<velmar::Limit>& limit, double velmar::Limit::*field)
{
    return na_or(limit ? std::optional<double>((*limit).*field) : std::nullopt);
}

std::string version_text()
{
    return "velmar " + std::string(velmar::version()) + " (R)";
}

// The limit columns of limits(): C, the limits, their status.
struct LimitColumns {
    Rcpp::NumericVector C_lower, C_upper, lower, upper;
    Rcpp::CharacterVector status;
    Rcpp::LogicalVector failed;

    explicit LimitColumns(R_xlen_t n)
        : C_lower(n), C_upper(n), lower(n), upper(n), status(n), failed(n)
    {
    }

    void set(R_xlen_t i, const std::optional<velmar::Limit>& lo, const std::optional<velmar::Limit>& up)
    {
        C_lower[i] = value_or_na(lo, &velmar::Limit::C);
        C_upper[i] = value_or_na(up, &velmar::Limit::C);
        lower[i] = value_or_na(lo, &velmar::Limit::value);
        upper[i] = value_or_na(up, &velmar::Limit::value);
        const velmar::LimitsStatus s = velmar::status_of({lo, up});
        status[i] = s.text;
        failed[i] = s.failed;
    }
};

// Runs one element of a vectorised call; a refusal of element i (counting
// from 1) of several names the element before the library's message.
template <class F>
void element(R_xlen_t i, R_xlen_t count, F&& f)
{
    if (i % 64 == 63) Rcpp::checkUserInterrupt();
    if (count == 1) {
        f();
        return;
    }
    try {
        f();
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument("element " + std::to_string(i + 1) + ": " + e.what());
    } catch (const velmar::NumericalError& e) {
        throw velmar::NumericalError("element " + std::to_string(i + 1) + ": " + e.what());
    }
}

} // namespace

// Land's H for arguments already recycled to one length. NA (or NaN) in n, s
// or level gives NA.
// [[Rcpp::export(rng = false)]]
Rcpp::NumericVector velmar_land_h(Rcpp::NumericVector n, Rcpp::NumericVector s, Rcpp::NumericVector level)
{
    const R_xlen_t count = n.size();
    Rcpp::NumericVector h(count);
    for (R_xlen_t i = 0; i < count; ++i) {
        if (ISNAN(n[i]) || ISNAN(s[i]) || ISNAN(level[i])) {
            h[i] = NA_REAL;
            continue;
        }
        element(i, count, [&] { h[i] = velmar::land_h(n[i], s[i], velmar::confidence_level(level[i])); });
    }
    return h;
}

// Limits for theta = mu + lambda sigma^2, one row per element of the recycled
// arguments; gamma2 NA means nu + 1.
// [[Rcpp::export(rng = false)]]
Rcpp::List velmar_limits(Rcpp::NumericVector mu_hat, Rcpp::NumericVector sigma_hat, Rcpp::NumericVector nu,
                         Rcpp::NumericVector lambda, Rcpp::NumericVector gamma2, Rcpp::NumericVector level,
                         Rcpp::CharacterVector side)
{
    const R_xlen_t count = mu_hat.size();
    Rcpp::NumericVector gamma2_used(count), level_used(count);
    Rcpp::CharacterVector side_used(count), method(count), version(count);
    LimitColumns out(count);
    for (R_xlen_t i = 0; i < count; ++i) {
        method[i] = "exact UMAU";
        version[i] = version_text();
    }
    for (R_xlen_t i = 0; i < count; ++i) {
        element(i, count, [&] {
            if (Rcpp::CharacterVector::is_na(side[i])) throw std::invalid_argument("side = NA: a side is needed");
            const velmar::Side sd = side_of(Rcpp::as<std::string>(side[i]));
            const double lv = velmar::confidence_level(level[i]);
            const std::optional<double> g2 = ISNAN(gamma2[i]) ? std::nullopt : std::optional<double>(gamma2[i]);
            const velmar::Limits l = velmar::limits({mu_hat[i], sigma_hat[i], nu[i], g2}, lambda[i], lv, sd);
            gamma2_used[i] = g2.value_or(nu[i] + 1.0);
            level_used[i] = lv;
            side_used[i] = std::string(velmar::to_string(sd));
            out.set(i, l.lower, l.upper);
        });
    }
    return Rcpp::List::create(
        Rcpp::Named("mu_hat") = mu_hat, Rcpp::Named("sigma_hat") = sigma_hat, Rcpp::Named("nu") = nu,
        Rcpp::Named("gamma2") = gamma2_used, Rcpp::Named("lambda") = lambda, Rcpp::Named("level") = level_used,
        Rcpp::Named("side") = side_used, Rcpp::Named("C_lower") = out.C_lower, Rcpp::Named("C_upper") = out.C_upper,
        Rcpp::Named("lower") = out.lower, Rcpp::Named("upper") = out.upper, Rcpp::Named("status") = out.status,
        Rcpp::Named("method") = method, Rcpp::Named("version") = version, Rcpp::Named(".failed") = out.failed);
}

namespace {

// The library names a bad value by its place in what it was given
// ("sample[k] = ...", counting from 0); x held NA values besides, skipped
// before the call: say where the value is in x, counting from 1.
[[noreturn]] void refuse_in_x(const std::invalid_argument& e, const std::vector<R_xlen_t>& place)
{
    const std::string what = e.what();
    const std::size_t open = what.find('[');
    const std::size_t close = what.find(']');
    const bool named = open != std::string::npos && close != std::string::npos && open < close &&
                       open > 0 && what.find_first_of(" :=") > open;
    if (named && close > open + 1 && what.find_first_not_of("0123456789", open + 1) == close) {
        const std::size_t k = std::stoul(what.substr(open + 1, close - open - 1));
        if (k < place.size())
            throw std::invalid_argument("x[" + std::to_string(place[k] + 1) + "]" + what.substr(close + 1));
    }
    throw e;
}

// The observations of x, NA values skipped and counted, nondetect[i] marking
// x[i] as a detection limit.
struct Sample {
    std::vector<velmar::Observation> observations;
    std::vector<R_xlen_t> place; // where in x each observation is
    int skipped = 0;
};

Sample sample_of(const Rcpp::NumericVector& x, const Rcpp::LogicalVector& nondetect)
{
    if (nondetect.size() != x.size())
        throw std::invalid_argument("nondetect has " + std::to_string(nondetect.size()) + " elements, x " +
                                    std::to_string(x.size()));
    Sample s;
    for (R_xlen_t i = 0; i < x.size(); ++i) {
        if (R_IsNA(x[i])) {
            ++s.skipped;
            continue;
        }
        if (nondetect[i] == NA_LOGICAL)
            throw std::invalid_argument("nondetect[" + std::to_string(i + 1) + "] is NA where x has a value");
        s.observations.push_back({x[i], nondetect[i] == TRUE});
        s.place.push_back(i);
    }
    return s;
}

// A column of optional numbers: NA for an absent or non-finite one.
template <class Row, class Get>
Rcpp::NumericVector numbers(const std::vector<Row>& rows, Get get)
{
    Rcpp::NumericVector column(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) column[i] = na_or(get(rows[i]));
    return column;
}

} // namespace

// Limits for the mean of a sample, one row per method (the library's choice:
// the exact method without nondetects; Kaplan-Meier and regression on order
// statistics with them). NA values are skipped and counted; nondetect[i]
// marks x[i] as a detection limit.
// [[Rcpp::export(rng = false)]]
Rcpp::List velmar_lognormal_mean_limits(Rcpp::NumericVector x, Rcpp::LogicalVector nondetect, double level,
                                        std::string side)
{
    const velmar::Side sd = side_of(side);
    const double lv = velmar::confidence_level(level);
    const Sample sample = sample_of(x, nondetect);
    velmar::SampleLimits r;
    try {
        r = velmar::mean_limits_by_method(sample.observations, lv, sd);
    } catch (const std::invalid_argument& e) {
        refuse_in_x(e, sample.place);
    }
    const int skipped = sample.skipped;

    const std::vector<velmar::MethodLimits>& rows = r.rows;
    const auto exact = [](double velmar::LognormalLimits::*field) {
        return [field](const velmar::MethodLimits& m) {
            return m.exact ? std::optional<double>(*m.exact.*field) : std::nullopt;
        };
    };
    const auto critical = [](std::optional<velmar::Limit> velmar::LognormalLimits::*side) {
        return [side](const velmar::MethodLimits& m) {
            return m.exact && (*m.exact.*side) ? std::optional<double>((*m.exact.*side)->C) : std::nullopt;
        };
    };
    Rcpp::CharacterVector status(rows.size()), method(rows.size());
    Rcpp::LogicalVector failed(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        status[i] = rows[i].status;
        method[i] = rows[i].method.empty() ? Rcpp::String(NA_STRING) : Rcpp::String(rows[i].method);
        failed[i] = rows[i].failed;
    }
    // Named one by one: Rcpp's List::create takes at most 20 elements.
    Rcpp::List out;
    const auto column = [&out](const char* name, SEXP value) { out.push_back(value, name); };
    column("n", Rcpp::wrap(r.n));
    column("n_nd", Rcpp::wrap(r.nondetects));
    column("skipped", Rcpp::wrap(skipped));
    column("mean_log", Rcpp::wrap(numbers(rows, exact(&velmar::LognormalLimits::mean_log))));
    column("sd_log", Rcpp::wrap(numbers(rows, exact(&velmar::LognormalLimits::sd_log))));
    column("arithmetic_mean", Rcpp::wrap(numbers(rows, exact(&velmar::LognormalLimits::arithmetic_mean))));
    column("mean", Rcpp::wrap(numbers(rows, [](const velmar::MethodLimits& m) { return m.mean; })));
    column("sd", Rcpp::wrap(numbers(rows, [](const velmar::MethodLimits& m) { return m.sd; })));
    column("se", Rcpp::wrap(numbers(rows, [](const velmar::MethodLimits& m) { return m.se; })));
    column("level", Rcpp::wrap(r.level));
    column("side", Rcpp::wrap(std::string(velmar::to_string(r.side))));
    column("C_lower", Rcpp::wrap(numbers(rows, critical(&velmar::LognormalLimits::lower))));
    column("C_upper", Rcpp::wrap(numbers(rows, critical(&velmar::LognormalLimits::upper))));
    column("lower", Rcpp::wrap(numbers(rows, [](const velmar::MethodLimits& m) { return m.lower; })));
    column("upper", Rcpp::wrap(numbers(rows, [](const velmar::MethodLimits& m) { return m.upper; })));
    column("status", Rcpp::wrap(status));
    column("method", Rcpp::wrap(method));
    column("version", Rcpp::wrap(version_text()));
    column(".failed", Rcpp::wrap(failed));
    column(".uninformative", Rcpp::wrap(r.uninformative));
    return out;
}

namespace {

Rcpp::NumericVector optional_number(const std::optional<double>& v)
{
    return Rcpp::NumericVector::create(na_or(v));
}

} // namespace

// The summary of one sample (one group): key is the group's name, from which
// and the seed the library derives the group's own seed; NA for no group.
// [[Rcpp::export(rng = false)]]
Rcpp::List velmar_summary_of(Rcpp::NumericVector x, Rcpp::LogicalVector nondetect, double level,
                             Rcpp::NumericVector limit, int simulations, double seed, Rcpp::CharacterVector key)
{
    velmar::SummaryOptions options;
    options.level = velmar::confidence_level(level);
    if (!ISNAN(limit[0])) options.limit = limit[0];
    options.simulations = simulations;
    options.seed = static_cast<std::uint64_t>(seed);
    if (!Rcpp::CharacterVector::is_na(key[0]))
        options.seed = velmar::group_seed(options.seed, Rcpp::as<std::string>(key[0]));
    const Sample sample = sample_of(x, nondetect);
    velmar::Summary s;
    try {
        s = velmar::summary(sample.observations, options);
    } catch (const std::invalid_argument& e) {
        refuse_in_x(e, sample.place);
    }

    const std::vector<velmar::MethodUpperLimit>& rows = s.ucl;
    Rcpp::CharacterVector method(rows.size()), status(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        method[i] = rows[i].method;
        status[i] = rows[i].status;
    }
    const Rcpp::DataFrame ucl = Rcpp::DataFrame::create(
        Rcpp::Named("method") = method,
        Rcpp::Named("ucl") = numbers(rows, [](const velmar::MethodUpperLimit& r) { return r.value; }),
        Rcpp::Named("simulated_coverage") =
            numbers(rows, [](const velmar::MethodUpperLimit& r) { return r.simulated_coverage; }),
        Rcpp::Named("coverage_se") = numbers(rows, [](const velmar::MethodUpperLimit& r) { return r.coverage_se; }),
        Rcpp::Named("status") = status, Rcpp::Named("stringsAsFactors") = false);

    const std::vector<velmar::PlotPoint>& points = s.probability_plot;
    Rcpp::NumericVector value(points.size()), position(points.size()), z(points.size()), fitted(points.size());
    Rcpp::LogicalVector censored(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        value[i] = points[i].value;
        censored[i] = points[i].nondetect;
        position[i] = points[i].plotting_position;
        z[i] = points[i].z;
        fitted[i] = points[i].fitted;
    }
    const Rcpp::DataFrame plot = Rcpp::DataFrame::create(
        Rcpp::Named("value") = value, Rcpp::Named("nondetect") = censored,
        Rcpp::Named("plotting_position") = position, Rcpp::Named("z") = z, Rcpp::Named("fitted") = fitted);

    const auto sw = [&s](double velmar::ShapiroWilk::*field) {
        return optional_number(s.shapiro_wilk ? std::optional<double>((*s.shapiro_wilk).*field) : std::nullopt);
    };
    const auto ad = [&s](double velmar::AndersonDarling::*field) {
        return optional_number(s.anderson_darling ? std::optional<double>((*s.anderson_darling).*field)
                                                  : std::nullopt);
    };
    // Named one by one: Rcpp's List::create takes at most 20 elements.
    Rcpp::List out;
    const auto field = [&out](const char* name, SEXP v) { out.push_back(v, name); };
    field("n", Rcpp::wrap(s.n));
    field("n_nd", Rcpp::wrap(s.n_nd));
    field("skipped", Rcpp::wrap(sample.skipped));
    field("level", Rcpp::wrap(s.level));
    field("arithmetic_mean", optional_number(s.arithmetic_mean));
    field("geometric_mean", optional_number(s.geometric_mean));
    field("geometric_sd", optional_number(s.geometric_sd));
    field("mvue_mean", optional_number(s.mvue_mean));
    field("shapiro_wilk_W", sw(&velmar::ShapiroWilk::W));
    field("shapiro_wilk_p", sw(&velmar::ShapiroWilk::p));
    field("anderson_darling_A2", ad(&velmar::AndersonDarling::A2));
    field("anderson_darling_p", ad(&velmar::AndersonDarling::p));
    field("ros_ppcc", optional_number(s.ros_ppcc));
    field("ucl", ucl);
    field("p95", optional_number(s.p95));
    field("p95_utl", optional_number(s.p95_utl));
    field("limit", optional_number(s.limit));
    field("exceedance", optional_number(s.exceedance));
    field("exceedance_ucl", optional_number(s.exceedance_ucl));
    field("compliance_p", optional_number(s.compliance_p));
    field("warnings", Rcpp::wrap(s.warnings));
    field("probability_plot", plot);
    field("version", Rcpp::wrap(version_text()));
    return out;
}

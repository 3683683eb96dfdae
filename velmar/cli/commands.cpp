// The subcommands: compute every record (on all cores where there are many),
// then describe the run in the report's heading.

#include "velmar/cli/commands.h"

#include "velmar/cli/data.h"
#include "velmar/cli/parallel.h"
#include "velmar/cli/parse.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

namespace velmar::cli {

namespace {

const std::string method = "exact UMAU";

std::string programName()
{
    return "Velmar " + std::string(version());
}

// The first heading line of every text report: program, version, method.
std::string title(const std::string& what)
{
    return programName() + ": " + what + ", by the exact uniformly most accurate unbiased (UMAU) method";
}

// The last fields of every record: CSV and JSON name method and version in each.
void sign(Record& r)
{
    r.push_back({"method", method, false, false});
    r.push_back({"version", programName(), false, false});
}

Value number(double v)
{
    return std::isfinite(v) ? Value(v) : Value();
}

// The status of a result: the outcome's name where its limits stand (the
// less exact of its sides), otherwise why not.
struct Status {
    std::string text = std::string(to_string(Outcome::converged));
    bool failed = false;

    static Status failure(std::string why) { return {std::move(why), true}; }
};

// The limits (value and C) of a request, with their status.
struct Checked {
    Limits limits;
    Status status;
};

Checked checked(const Limits& l)
{
    Checked c{l, {}};
    for (const auto* limit : {&l.lower, &l.upper}) {
        if (!*limit) continue;
        const Outcome outcome = (*limit)->outcome;
        if (!usable(outcome))
            c.status = Status::failure((limit == &l.lower ? "lower limit: " : "upper limit: ") +
                                       std::string(to_string(outcome)));
        else if (!c.status.failed && outcome != Outcome::converged)
            c.status.text = std::string(to_string(outcome));
    }
    return c;
}

void addC(Record& r, const Limits& l)
{
    r.push_back({"C_lower", l.lower ? number(l.lower->C) : Value(), true});
    r.push_back({"C_upper", l.upper ? number(l.upper->C) : Value(), true});
}

void addValues(Record& r, const Limits& l)
{
    r.push_back({"lower", l.lower ? number(l.lower->value) : Value(), true});
    r.push_back({"upper", l.upper ? number(l.upper->value) : Value(), true});
}

std::string sideName(Side side)
{
    return std::string(to_string(side));
}

std::string sideText(Side side)
{
    switch (side) {
    case Side::upper: return "one-sided upper limit";
    case Side::lower: return "one-sided lower limit";
    case Side::two_sided: return "two-sided unbiased (UMAU) limits";
    case Side::equal_tailed: return "equal-tailed limits (one-sided limits of level (1 + level)/2)";
    }
    return {};
}

std::string listText(const std::vector<double>& values)
{
    if (values.size() > 6)
        return shortest(values.front()) + ", " + shortest(values[1]) + ", ..., " + shortest(values.back()) + " (" +
               std::to_string(values.size()) + " values)";
    std::string text;
    for (const double v : values) text += (text.empty() ? "" : ", ") + shortest(v);
    return text;
}

// Every sample size at least 3 and every spread at least 0 (a true sigma
// above 0), before anything is computed.
void checkGrid(const GridRequest& g, bool trueSigma)
{
    for (const double n : g.n)
        if (!(n >= 3.0)) throw UsageError("--n: sample size " + shortest(n) + " is below 3");
    for (const double s : g.s) {
        if (!(s >= 0.0)) throw UsageError("--s: " + shortest(s) + " is negative");
        if (trueSigma && s == 0.0) throw UsageError("--s: a true sigma of 0 has no coverage to compute");
    }
    if (!std::isfinite(g.lambda)) throw UsageError("--lambda must be finite");
}

} // namespace

CommandResult lognormal_command(const LognormalRequest& q)
{
    const Measurements m = read_measurements(q.text, q.source, q.column, q.group, q.nd_column);
    if (m.groups.empty()) throw DataError(q.source + ": no values below the header");

    struct Computed {
        std::optional<SampleLimits> limits;
        std::string failure; // the library's refusal
    };
    std::vector<Computed> computed(m.groups.size());
    for_each_index(m.groups.size(), [&](std::size_t i) {
        const Group& g = m.groups[i];
        std::vector<Observation> sample;
        for (std::size_t j = 0; j < g.values.size(); ++j) sample.push_back({g.values[j], g.nondetect[j]});
        try {
            computed[i].limits = mean_limits_by_method(sample, q.level, q.side);
        } catch (const std::exception& e) {
            computed[i].failure = e.what();
        }
    });
    const bool nondetects = std::any_of(computed.begin(), computed.end(), [](const Computed& c) {
        return c.limits && c.limits->nondetects > 0;
    });

    CommandResult result;
    Report& report = result.report;
    report.heading.push_back(title("limits for the mean of lognormal data"));
    std::string data = "data: " + q.source + ", " + m.column;
    if (q.nd_column) data += ", nondetects marked in column \"" + *q.nd_column + "\"";
    if (q.group) data += ", one result per value of column \"" + *q.group + "\"";
    if (q.group && m.blank_lines > 0) data += "; " + std::to_string(m.blank_lines) + " blank lines skipped";
    report.heading.push_back(data);
    report.heading.push_back("level " + shortest(q.level) + ", " + sideText(q.side) +
                             " for the mean on the original scale");
    report.heading.push_back("mean_log and sd_log: mean and standard deviation (divisor n - 1) of the natural logs;");
    report.heading.push_back(std::string("C: the standardized limit (Land's H); skipped: ") +
                             (q.group ? "NA and empty cells" : "blank lines, NA and empty cells"));
    if (nondetects) {
        report.heading.push_back("n_nd: nondetects (\"<DL\", below the detection limit DL), counted in n;");
        report.heading.push_back(
            "KM-t, KM-Chebyshev: Kaplan-Meier mean + t quantile or sqrt(1/(1 - level) - 1) times se;");
        report.heading.push_back("mean, sd: of the Kaplan-Meier estimate; se: the standard error of its mean;");
        report.heading.push_back("ROS + exact UMAU: the exact limit with the nondetects imputed by regression on order "
                                 "statistics;");
        report.heading.push_back("it is approximate, as the imputed values are not measurements");
        if (q.side != Side::upper) report.heading.push_back("KM-Chebyshev: upper limits only, so not computed here");
        for (std::size_t i = 0; i < m.groups.size(); ++i) {
            const auto& l = computed[i].limits;
            if (!l || l->uninformative == 0) continue;
            const Group& g = m.groups[i];
            report.heading.push_back((g.name ? "group \"" + *g.name + "\"" : std::string("the data")) + ": " +
                                     std::to_string(l->uninformative) +
                                     (l->uninformative == 1 ? " nondetect lies" : " nondetects lie") +
                                     " above the largest detect and tell Kaplan-Meier nothing");
        }
    }

    for (std::size_t i = 0; i < m.groups.size(); ++i) {
        const Group& g = m.groups[i];
        const Computed& c = computed[i];
        std::vector<MethodLimits> rows(1);
        if (c.limits) {
            rows = c.limits->rows;
        } else {
            rows.front().method = method;
            rows.front().status = c.failure;
            rows.front().failed = true;
        }
        const int nondetectCount = c.limits ? c.limits->nondetects : 0;
        for (const MethodLimits& row : rows) {
            Record r;
            r.push_back({"group", g.name ? Value(*g.name) : Value(), false, q.group.has_value()});
            r.push_back({"n", static_cast<long long>(g.values.size())});
            r.push_back({"n_nd", nondetectCount > 0 ? Value(static_cast<long long>(nondetectCount)) : Value()});
            r.push_back({"skipped", g.skipped});
            const LognormalLimits* l = row.exact ? &*row.exact : nullptr;
            r.push_back({"mean_log", l ? Value(l->mean_log) : Value(), true});
            r.push_back({"sd_log", l ? Value(l->sd_log) : Value(), true});
            r.push_back({"arithmetic_mean", l ? Value(l->arithmetic_mean) : Value(), true});
            r.push_back({"mean", row.mean ? Value(*row.mean) : Value(), true});
            r.push_back({"sd", row.sd ? Value(*row.sd) : Value(), true});
            r.push_back({"se", row.se ? Value(*row.se) : Value(), true});
            r.push_back({"level", q.level, false, false});
            r.push_back({"side", sideName(q.side), false, false});
            r.push_back({"C_lower", l && l->lower ? number(l->lower->C) : Value(), true});
            r.push_back({"C_upper", l && l->upper ? number(l->upper->C) : Value(), true});
            r.push_back({"lower", row.lower ? number(*row.lower) : Value(), true});
            r.push_back({"upper", row.upper ? number(*row.upper) : Value(), true});
            r.push_back({"status", row.status});
            r.push_back({"method", row.method, false, nondetects});
            r.push_back({"version", programName(), false, false});
            report.records.push_back(std::move(r));
            if (row.failed) {
                result.failed = true;
                std::string who = g.name ? "group \"" + *g.name + "\"" : std::string("the data");
                if (nondetectCount > 0 && !row.method.empty()) who += ", " + row.method;
                result.problems.push_back(who + ": " + row.status);
            }
        }
    }
    return result;
}

CommandResult limit_command(const LimitRequest& q)
{
    const Checked c = checked(limits(q.estimates, q.lambda, q.level, q.side));
    const Limits& l = c.limits;
    const Estimates& e = q.estimates;
    const double gamma2 = e.gamma2.value_or(e.nu + 1.0);
    CommandResult result;
    Report& report = result.report;
    report.heading.push_back(title("limits for theta = mu + lambda sigma^2"));
    report.heading.push_back("mu_hat " + shortest(e.mu_hat) + ", sigma_hat " + shortest(e.sigma_hat) + ", nu " +
                             shortest(e.nu) + ", gamma2 " + shortest(gamma2) + ", lambda " + shortest(q.lambda));
    report.heading.push_back("level " + shortest(q.level) + ", " + sideText(q.side) +
                             "; C: the standardized limits");
    Record r;
    r.push_back({"mu_hat", e.mu_hat, false, false});
    r.push_back({"sigma_hat", e.sigma_hat, false, false});
    r.push_back({"nu", e.nu, false, false});
    r.push_back({"gamma2", gamma2, false, false});
    r.push_back({"lambda", q.lambda, false, false});
    r.push_back({"level", q.level, false, false});
    r.push_back({"side", sideName(q.side), false, false});
    addC(r, l);
    addValues(r, l);
    r.push_back({"status", c.status.text});
    sign(r);
    report.records.push_back(std::move(r));
    result.failed = c.status.failed;
    if (result.failed) result.problems.push_back(c.status.text);
    return result;
}

namespace {

// The cells of a grid in the order level, n, s (s changing fastest).
struct Cell {
    double level, n, s;
};

std::vector<Cell> cells(const GridRequest& g)
{
    std::vector<Cell> all;
    all.reserve(g.levels.size() * g.n.size() * g.s.size());
    for (const double level : g.levels)
        for (const double n : g.n)
            for (const double s : g.s) all.push_back({level, n, s});
    return all;
}

// The first fields of a grid cell's record: n, the spread, level, side, lambda.
Record cellRecord(const Cell& c, const char* spread, const GridRequest& q)
{
    return {{"n", c.n}, {spread, c.s}, {"level", c.level},
            {"side", sideName(q.side), false, false}, {"lambda", q.lambda, false, false}};
}

std::string sixDigits(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

std::string cellText(const Cell& c, const char* spread)
{
    return "n " + shortest(c.n) + ", " + spread + " " + shortest(c.s) + ", level " + shortest(c.level);
}

} // namespace

CommandResult table_command(const GridRequest& q)
{
    checkGrid(q, false);
    const std::vector<Cell> grid = cells(q);
    std::vector<Checked> cellLimits(grid.size());
    for_each_index(grid.size(), [&](std::size_t i) {
        const Cell& c = grid[i];
        try {
            cellLimits[i] = checked(limits({0.0, c.s, c.n - 1.0, c.n}, q.lambda, c.level, q.side));
        } catch (const std::exception& e) {
            cellLimits[i].status = Status::failure(e.what());
        }
    });

    CommandResult result;
    Report& report = result.report;
    report.heading.push_back(title(q.lambda == 0.5 ? "Land's H, the standardized limit C for lognormal samples"
                                                   : "the standardized limit C"));
    report.heading.push_back("n: sample size (nu = n - 1, gamma^2 = n); s: sigma-hat; lambda " + shortest(q.lambda));
    report.heading.push_back("level " + listText(q.levels) + ", " + sideText(q.side));
    for (std::size_t i = 0; i < grid.size(); ++i) {
        Record r = cellRecord(grid[i], "s", q);
        addC(r, cellLimits[i].limits);
        r.push_back({"status", cellLimits[i].status.text});
        sign(r);
        report.records.push_back(std::move(r));
        if (cellLimits[i].status.failed) {
            result.failed = true;
            result.problems.push_back(cellText(grid[i], "s") + ": " + cellLimits[i].status.text);
        }
    }
    return result;
}

CommandResult verify_command(const GridRequest& q)
{
    checkGrid(q, true);
    const std::vector<Cell> grid = cells(q);
    struct CellCoverage {
        Coverage coverage{};
        Status status;
    };
    std::vector<CellCoverage> coverages(grid.size());
    for_each_index(grid.size(), [&](std::size_t i) {
        const Cell& c = grid[i];
        CellCoverage& cell = coverages[i];
        try {
            cell.coverage = coverage(c.n, c.s, q.lambda, c.level, q.side);
            if (cell.coverage.outcome == Outcome::integral_failed && std::isnan(cell.coverage.failed_sigma_hat))
                cell.status = Status::failure("the integration did not reach its tolerance");
            else if (cell.coverage.outcome != Outcome::converged)
                cell.status = Status::failure("the limit at sigma-hat " + sixDigits(cell.coverage.failed_sigma_hat) +
                                              ": " + std::string(to_string(cell.coverage.outcome)));
        } catch (const std::exception& e) {
            cell.status = Status::failure(e.what());
        }
    });

    CommandResult result;
    Report& report = result.report;
    report.heading.push_back(title("coverage of the limits"));
    report.heading.push_back("n: sample size (nu = n - 1, gamma^2 = n); sigma: the true sigma; mu 0; lambda " +
                             shortest(q.lambda));
    report.heading.push_back("level " + listText(q.levels) + ", " + sideText(q.side));
    report.heading.push_back("coverage: the probability that the limits hold theta, integrated over sigma-hat;");
    report.heading.push_back("error: coverage - level; integration_error: the estimated error of coverage");
    for (std::size_t i = 0; i < grid.size(); ++i) {
        const Coverage& c = coverages[i].coverage;
        const Status& status = coverages[i].status;
        const bool ok = !status.failed;
        Record r = cellRecord(grid[i], "sigma", q);
        r.push_back({"coverage", ok ? Value(c.value) : Value(), false});
        r.push_back({"error", ok ? Value(c.value - grid[i].level) : Value(), true});
        r.push_back({"integration_error", ok ? Value(c.error) : Value(), true});
        r.push_back({"status", status.text});
        sign(r);
        report.records.push_back(std::move(r));
        if (!ok) {
            result.failed = true;
            result.problems.push_back(cellText(grid[i], "sigma") + ": " + status.text);
        }
    }
    return result;
}

} // namespace velmar::cli

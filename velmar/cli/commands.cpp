// The subcommands: describe the run in the report's heading, then compute
// the records (on all cores where there are many) and write them in order.

#include "velmar/cli/commands.h"

#include "velmar/cli/data.h"
#include "velmar/cli/parallel.h"
#include "velmar/cli/parse.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>

namespace velmar::cli {

namespace {

const std::string method = "exact UMAU";

// The first heading line of every text report: program, version, method.
std::string title(const std::string& what)
{
    return program_name() + ": " + what + ", by the exact uniformly most accurate unbiased (UMAU) method";
}

// The last fields of every record: CSV and JSON name method and version in each.
void sign(Record& r)
{
    r.push_back({"method", method, false, false});
    r.push_back({"version", program_name(), false, false});
}

Value number(double v)
{
    return std::isfinite(v) ? Value(v) : Value();
}

// The status of a result that failed before it had limits: why.
LimitsStatus failure(std::string why)
{
    return {std::move(why), true};
}

// The limits (value and C) of a request, with their status.
struct Checked {
    Limits limits;
    LimitsStatus status;
};

Checked checked(const Limits& l)
{
    return {l, status_of(l)};
}

bool hasLower(Side side)
{
    return side != Side::upper;
}

bool hasUpper(Side side)
{
    return side != Side::lower;
}

// C of the sides asked for; the text leaves out a side not asked for.
void addC(Record& r, const Limits& l, Side side)
{
    r.push_back({"C_lower", l.lower ? number(l.lower->C) : Value(), true, hasLower(side)});
    r.push_back({"C_upper", l.upper ? number(l.upper->C) : Value(), true, hasUpper(side)});
}

void addValues(Record& r, const Limits& l, Side side)
{
    r.push_back({"lower", l.lower ? number(l.lower->value) : Value(), true, hasLower(side)});
    r.push_back({"upper", l.upper ? number(l.upper->value) : Value(), true, hasUpper(side)});
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
    // Each list holds at most 10^6 values: the product fits in 64 bits.
    const std::uint64_t cells = std::uint64_t{g.levels.size()} * g.n.size() * g.s.size();
    if (cells > max_grid_cells)
        throw UsageError("--n, --s and --level make " + std::to_string(cells) + " cells; a run computes at most " +
                         std::to_string(max_grid_cells) + " (split it into several runs)");
}

} // namespace

void CommandResult::fail(std::string problem)
{
    if (problems.size() < kept_problems) problems.push_back(std::move(problem));
    ++failures;
}

CommandResult lognormal_command(const LognormalRequest& q, ReportWriter& out)
{
    const Measurements m = read_measurements(q.text, q.source, q.read);
    const bool grouped = !m.group_columns.empty();
    const bool keyColumns = m.group_columns.size() > 1;

    struct Computed {
        std::optional<SampleLimits> limits;
        std::string failure; // the library's refusal
    };
    std::vector<Computed> computed(m.groups.size());
    for_each_index(m.groups.size(), [&](std::size_t i) {
        try {
            computed[i].limits = mean_limits_by_method(m.groups[i].sample, q.level, q.side);
        } catch (const std::exception& e) {
            computed[i].failure = e.what();
        }
    });
    const bool nondetects = std::any_of(computed.begin(), computed.end(), [](const Computed& c) {
        return c.limits && c.limits->nondetects > 0;
    });

    // The fields of one method's row for a group, computed or not.
    const auto record = [&](const Group& g, const MethodLimits& row, int nondetectCount) {
        Record r;
        r.push_back({"group", g.name ? Value(*g.name) : Value(), false, grouped});
        if (keyColumns)
            for (std::size_t k = 0; k < g.keys.size(); ++k) r.push_back({m.group_columns[k], g.keys[k]});
        r.push_back({"n", static_cast<long long>(g.sample.size())});
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
        addC(r, l ? Limits{l->lower, l->upper} : Limits{}, q.side);
        r.push_back({"lower", row.lower ? number(*row.lower) : Value(), true, hasLower(q.side)});
        r.push_back({"upper", row.upper ? number(*row.upper) : Value(), true, hasUpper(q.side)});
        r.push_back({"status", row.status});
        r.push_back({"method", row.method, false, nondetects});
        r.push_back({"version", program_name(), false, false});
        return r;
    };
    // A group column named like a field of the record would make two columns of one name.
    const Record names = record(m.groups.front(), MethodLimits{}, 0);
    for (std::size_t i = 0; i < names.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (names[i].name == names[j].name)
                throw UsageError("--group " + in_quotes(names[i].name) + ": the results have a column of that name " +
                                 "already (rename the column in the file)");

    std::vector<std::string> heading;
    heading.push_back(title("limits for the mean of lognormal data"));
    std::string data = "data: " + q.source + ", " + m.column;
    if (q.read.nd_column) data += ", nondetects marked in column " + in_quotes(*q.read.nd_column);
    if (m.group_columns.size() == 1) data += ", one result per value of column " + in_quotes(m.group_columns[0]);
    if (keyColumns) data += ", one result per combination of columns " + quoted_list(m.group_columns);
    if (grouped && m.blank_lines > 0) data += "; " + std::to_string(m.blank_lines) + " blank lines skipped";
    heading.push_back(data);
    if (!q.read.where.empty()) {
        std::string rows;
        bool alternatives = false;
        for (const auto& [column, value] : q.read.where) {
            alternatives = alternatives || rows.find(in_quotes(column) + " is ") != std::string::npos;
            rows += (rows.empty() ? "rows where " : ", ") + in_quotes(column) + " is " + in_quotes(value);
        }
        heading.push_back(rows + (alternatives ? " (one of the values where a column is named twice)" : ""));
    }
    heading.push_back("level " + shortest(q.level) + ", " + sideText(q.side) + " for the mean on the original scale");
    heading.push_back("mean_log and sd_log: mean and standard deviation (divisor n - 1) of the natural logs;");
    heading.push_back(std::string("C: the standardized limit (Land's H); skipped: ") +
                      (grouped ? "NA and empty cells" : "blank lines, NA and empty cells"));
    if (nondetects) {
        heading.push_back("n_nd: nondetects (\"<DL\", below the detection limit DL), counted in n;");
        heading.push_back("KM-t, KM-Chebyshev: Kaplan-Meier mean + t quantile or sqrt(1/(1 - level) - 1) times se;");
        heading.push_back("mean, sd: of the Kaplan-Meier estimate; se: the standard error of its mean;");
        heading.push_back("ROS + exact UMAU: the exact limit with the nondetects imputed by regression on order "
                          "statistics;");
        heading.push_back("it is approximate, as the imputed values are not measurements");
        if (q.side != Side::upper) heading.push_back("KM-Chebyshev: upper limits only, so not computed here");
        for (std::size_t i = 0; i < m.groups.size(); ++i) {
            const auto& l = computed[i].limits;
            if (!l || l->uninformative == 0) continue;
            heading.push_back(group_text(m.groups[i].name) + ": " + std::to_string(l->uninformative) +
                              (l->uninformative == 1 ? " nondetect lies" : " nondetects lie") +
                              " above the largest detect and tell Kaplan-Meier nothing");
        }
    }
    out.heading(std::move(heading));

    CommandResult result;
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
            out.add(record(g, row, nondetectCount));
            if (row.failed) {
                std::string who = group_text(g.name);
                if (nondetectCount > 0 && !row.method.empty()) who += ", " + row.method;
                result.fail(who + ": " + row.status);
            }
        }
    }
    return result;
}

CommandResult limit_command(const LimitRequest& q, ReportWriter& out)
{
    const Checked c = checked(limits(q.estimates, q.lambda, q.level, q.side));
    const Limits& l = c.limits;
    const Estimates& e = q.estimates;
    const double gamma2 = e.gamma2.value_or(e.nu + 1.0);
    CommandResult result;
    out.heading({title("limits for theta = mu + lambda sigma^2"),
                 "mu_hat " + shortest(e.mu_hat) + ", sigma_hat " + shortest(e.sigma_hat) + ", nu " + shortest(e.nu) +
                     ", gamma2 " + shortest(gamma2) + ", lambda " + shortest(q.lambda),
                 "level " + shortest(q.level) + ", " + sideText(q.side) + "; C: the standardized limits"});
    Record r;
    r.push_back({"mu_hat", e.mu_hat, false, false});
    r.push_back({"sigma_hat", e.sigma_hat, false, false});
    r.push_back({"nu", e.nu, false, false});
    r.push_back({"gamma2", gamma2, false, false});
    r.push_back({"lambda", q.lambda, false, false});
    r.push_back({"level", q.level, false, false});
    r.push_back({"side", sideName(q.side), false, false});
    addC(r, l, q.side);
    addValues(r, l, q.side);
    r.push_back({"status", c.status.text});
    sign(r);
    out.add(std::move(r));
    if (c.status.failed) result.fail(c.status.text);
    return result;
}

namespace {

// The cells of a grid in the order level, n, s (s changing fastest).
struct Cell {
    double level, n, s;
};

std::size_t cellCount(const GridRequest& g)
{
    return g.levels.size() * g.n.size() * g.s.size();
}

Cell cellAt(const GridRequest& g, std::size_t i)
{
    const std::size_t s = i % g.s.size();
    i /= g.s.size();
    return {g.levels[i / g.n.size()], g.n[i % g.n.size()], g.s[s]};
}

// Results computed ahead of the one being written, at most: enough to keep
// every core busy past a slow cell, few enough to keep memory small.
constexpr std::size_t gridWindow = 4096;

// The first fields of a grid cell's record: n, the spread, level, side, lambda.
Record cellRecord(const Cell& c, const char* spread, const GridRequest& q)
{
    return {{"n", c.n}, {spread, c.s}, {"level", c.level},
            {"side", sideName(q.side), false, false}, {"lambda", q.lambda, false, false}};
}

std::string cellText(const Cell& c, const char* spread)
{
    return "n " + shortest(c.n) + ", " + spread + " " + shortest(c.s) + ", level " + shortest(c.level);
}

} // namespace

CommandResult table_command(const GridRequest& q, ReportWriter& out)
{
    checkGrid(q, false);
    out.heading({title(q.lambda == 0.5 ? "Land's H, the standardized limit C for lognormal samples"
                                       : "the standardized limit C"),
                 "n: sample size (nu = n - 1, gamma^2 = n); s: sigma-hat; lambda " + shortest(q.lambda),
                 "level " + listText(q.levels) + ", " + sideText(q.side)});
    CommandResult result;
    const auto compute = [&](std::size_t i) {
        const Cell c = cellAt(q, i);
        try {
            return checked(limits({0.0, c.s, c.n - 1.0, c.n}, q.lambda, c.level, q.side));
        } catch (const std::exception& e) {
            return Checked{{}, failure(e.what())};
        }
    };
    const auto write = [&](std::size_t i, const Checked& cell) {
        const Cell c = cellAt(q, i);
        Record r = cellRecord(c, "s", q);
        addC(r, cell.limits, q.side);
        r.push_back({"status", cell.status.text});
        sign(r);
        out.add(std::move(r));
        if (cell.status.failed) result.fail(cellText(c, "s") + ": " + cell.status.text);
    };
    for_each_in_order<Checked>(cellCount(q), gridWindow, compute, write);
    return result;
}

CommandResult verify_command(const GridRequest& q, ReportWriter& out)
{
    checkGrid(q, true);
    out.heading({title("coverage of the limits"),
                 "n: sample size (nu = n - 1, gamma^2 = n); sigma: the true sigma; mu 0; lambda " + shortest(q.lambda),
                 "level " + listText(q.levels) + ", " + sideText(q.side),
                 "coverage: the probability that the limits hold theta, integrated over sigma-hat;",
                 "error: coverage - level; integration_error: the estimated error of coverage"});
    struct CellCoverage {
        Coverage coverage{};
        LimitsStatus status{std::string(to_string(Outcome::converged)), false};
    };
    CommandResult result;
    const auto compute = [&](std::size_t i) {
        const Cell c = cellAt(q, i);
        CellCoverage cell;
        try {
            cell.coverage = coverage(c.n, c.s, q.lambda, c.level, q.side);
            if (cell.coverage.outcome == Outcome::integral_failed && std::isnan(cell.coverage.failed_sigma_hat))
                cell.status = failure("the integration did not reach its tolerance");
            else if (cell.coverage.outcome != Outcome::converged)
                cell.status = failure("the limit at sigma-hat " + six_digits(cell.coverage.failed_sigma_hat) + ": " +
                                      std::string(to_string(cell.coverage.outcome)));
        } catch (const std::exception& e) {
            cell.status = failure(e.what());
        }
        return cell;
    };
    const auto write = [&](std::size_t i, const CellCoverage& cell) {
        const Cell c = cellAt(q, i);
        const Coverage& v = cell.coverage;
        const bool ok = !cell.status.failed;
        Record r = cellRecord(c, "sigma", q);
        r.push_back({"coverage", ok ? Value(v.value) : Value(), false});
        r.push_back({"error", ok ? Value(v.value - c.level) : Value(), true});
        r.push_back({"integration_error", ok ? Value(v.error) : Value(), true});
        r.push_back({"status", cell.status.text});
        sign(r);
        out.add(std::move(r));
        if (!ok) result.fail(cellText(c, "sigma") + ": " + cell.status.text);
    };
    for_each_in_order<CellCoverage>(cellCount(q), gridWindow, compute, write);
    return result;
}

} // namespace velmar::cli

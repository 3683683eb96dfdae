// The summary subcommand: reads the groups, asks the library for each one's
// summary (on both cores), and writes them as text, CSV or JSON.

#include "velmar/cli/summary.h"

#include "velmar/cli/data.h"
#include "velmar/cli/parallel.h"
#include "velmar/cli/parse.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <exception>

namespace velmar::cli {

namespace {

std::string textOf(const std::optional<double>& v)
{
    return v ? six_digits(*v) : "-";
}

Value valueOf(const std::optional<double>& v)
{
    return v ? Value(*v) : Value();
}

const MethodUpperLimit* find(const Summary& s, const std::string& method)
{
    const auto at =
        std::find_if(s.ucl.begin(), s.ucl.end(), [&](const MethodUpperLimit& u) { return u.method == method; });
    return at == s.ucl.end() ? nullptr : &*at;
}

std::string joined(const std::vector<std::string>& sentences)
{
    std::string text;
    for (const std::string& s : sentences) text += (text.empty() ? "" : " ") + s;
    return text;
}

// CSV: one flat record per group; nested fields joined to their parent's name with '_'.
Record csvRecord(const GroupSummary& c)
{
    Record r;
    r.push_back({"group", c.group ? Value(*c.group) : Value()});
    const Summary* s = c.summary ? &*c.summary : nullptr;
    const auto number = [&](const char* name, auto field) {
        r.push_back({name, s ? valueOf(field(*s)) : Value()});
    };
    r.push_back({"n", s ? Value(static_cast<long long>(s->n)) : Value()});
    r.push_back({"n_nd", s ? Value(static_cast<long long>(s->n_nd)) : Value()});
    r.push_back({"level", s ? Value(s->level) : Value()});
    number("arithmetic_mean", [](const Summary& x) { return x.arithmetic_mean; });
    number("geometric_mean", [](const Summary& x) { return x.geometric_mean; });
    number("geometric_sd", [](const Summary& x) { return x.geometric_sd; });
    number("mvue_mean", [](const Summary& x) { return x.mvue_mean; });
    const auto sw = [](const Summary& x) { return x.shapiro_wilk; };
    const auto ad = [](const Summary& x) { return x.anderson_darling; };
    number("shapiro_wilk_W", [&](const Summary& x) { return sw(x) ? std::optional<double>(sw(x)->W) : std::nullopt; });
    number("shapiro_wilk_p", [&](const Summary& x) { return sw(x) ? std::optional<double>(sw(x)->p) : std::nullopt; });
    number("anderson_darling_A2",
           [&](const Summary& x) { return ad(x) ? std::optional<double>(ad(x)->A2) : std::nullopt; });
    number("anderson_darling_p",
           [&](const Summary& x) { return ad(x) ? std::optional<double>(ad(x)->p) : std::nullopt; });
    number("ros_ppcc", [](const Summary& x) { return x.ros_ppcc; });
    // Every method a summary can hold, in the order of the CSV columns (each
    // summary holds the ones that apply to its data).
    for (const std::string& method : summary_methods()) {
        const MethodUpperLimit* u = s ? find(*s, method) : nullptr;
        r.push_back({"ucl_" + method, u ? valueOf(u->value) : Value()});
        r.push_back({"ucl_" + method + "_coverage", u ? valueOf(u->simulated_coverage) : Value()});
        r.push_back({"ucl_" + method + "_coverage_se", u ? valueOf(u->coverage_se) : Value()});
    }
    number("p95", [](const Summary& x) { return x.p95; });
    number("p95_utl", [](const Summary& x) { return x.p95_utl; });
    number("limit", [](const Summary& x) { return x.limit; });
    number("exceedance", [](const Summary& x) { return x.exceedance; });
    number("exceedance_ucl", [](const Summary& x) { return x.exceedance_ucl; });
    number("compliance_p", [](const Summary& x) { return x.compliance_p; });
    r.push_back({"warnings", s ? Value(joined(s->warnings)) : Value(c.problem)});
    r.push_back({"version", program_name()});
    return r;
}

nlohmann::ordered_json jsonNumber(const std::optional<double>& v)
{
    return v && std::isfinite(*v) ? nlohmann::ordered_json(*v) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json jsonObject(const GroupSummary& c)
{
    using json = nlohmann::ordered_json;
    json o = json::object();
    o["group"] = c.group ? json(*c.group) : json(nullptr);
    if (!c.summary) {
        o["error"] = c.problem;
        o["version"] = program_name();
        return o;
    }
    const Summary& s = *c.summary;
    o["n"] = s.n;
    o["n_nd"] = s.n_nd;
    o["level"] = s.level;
    o["arithmetic_mean"] = jsonNumber(s.arithmetic_mean);
    o["geometric_mean"] = jsonNumber(s.geometric_mean);
    o["geometric_sd"] = jsonNumber(s.geometric_sd);
    o["mvue_mean"] = jsonNumber(s.mvue_mean);
    o["shapiro_wilk"] = s.shapiro_wilk ? json{{"W", s.shapiro_wilk->W}, {"p", s.shapiro_wilk->p}} : json(nullptr);
    o["anderson_darling"] =
        s.anderson_darling ? json{{"A2", s.anderson_darling->A2}, {"p", s.anderson_darling->p}} : json(nullptr);
    o["ros_ppcc"] = jsonNumber(s.ros_ppcc);
    json ucl = json::array();
    for (const MethodUpperLimit& u : s.ucl)
        ucl.push_back({{"method", u.method},
                       {"value", jsonNumber(u.value)},
                       {"simulated_coverage", jsonNumber(u.simulated_coverage)},
                       {"coverage_se", jsonNumber(u.coverage_se)},
                       {"status", u.status}});
    o["ucl"] = std::move(ucl);
    o["p95"] = jsonNumber(s.p95);
    o["p95_utl"] = jsonNumber(s.p95_utl);
    o["limit"] = jsonNumber(s.limit);
    o["exceedance"] = jsonNumber(s.exceedance);
    o["exceedance_ucl"] = jsonNumber(s.exceedance_ucl);
    o["compliance_p"] = jsonNumber(s.compliance_p);
    o["warnings"] = s.warnings;
    o["version"] = program_name();
    return o;
}

// A simulated coverage to 4 decimals and its standard error to 2 digits: "0.9515 (0.0034)".
std::string coverageText(double coverage, const std::optional<double>& se)
{
    char text[64];
    if (se)
        std::snprintf(text, sizeof text, "%.4f (%.2g)", coverage, *se);
    else
        std::snprintf(text, sizeof text, "%.4f", coverage);
    return text;
}

// Text: a heading, then a block per group of labelled lines.
std::string textReport(const std::vector<std::string>& heading, const std::vector<GroupSummary>& groups)
{
    constexpr std::size_t labelWidth = 22;
    std::string out;
    for (const std::string& line : heading) out += line + '\n';
    const auto line = [&](const std::string& label, const std::string& rest) {
        std::string text = "  " + label;
        if (!rest.empty()) text += std::string(label.size() < labelWidth ? labelWidth - label.size() : 1, ' ') + rest;
        out += text + '\n';
    };
    for (const GroupSummary& c : groups) {
        out += '\n';
        out += c.group ? "group " + in_quotes(*c.group) + "\n" : std::string("the data\n");
        if (!c.summary) {
            line("no summary: " + c.problem, "");
            continue;
        }
        const Summary& s = *c.summary;
        std::string n = std::to_string(s.n);
        if (s.n_nd > 0) n += " (" + std::to_string(s.n_nd) + (s.n_nd == 1 ? " nondetect)" : " nondetects)");
        line("n", n);
        line("arithmetic mean", textOf(s.arithmetic_mean));
        line("geometric mean", textOf(s.geometric_mean) + "   geometric sd " + textOf(s.geometric_sd));
        line("MVUE of the mean", textOf(s.mvue_mean));
        if (s.n_nd > 0) {
            line("ROS plot correlation", textOf(s.ros_ppcc));
        } else {
            line("Shapiro-Wilk", s.shapiro_wilk
                                     ? "W " + six_digits(s.shapiro_wilk->W) + "   p " + six_digits(s.shapiro_wilk->p)
                                     : std::string("-"));
            line("Anderson-Darling", s.anderson_darling ? "A2 " + six_digits(s.anderson_darling->A2) + "   p " +
                                                              six_digits(s.anderson_darling->p)
                                                        : std::string("-"));
        }
        line("95th percentile", textOf(s.p95) + "   upper tolerance limit " + textOf(s.p95_utl));
        if (s.limit)
            line("exposure limit " + six_digits(*s.limit), "exceedance " + textOf(s.exceedance) + "   upper limit " +
                                                               textOf(s.exceedance_ucl) + "   compliance p " +
                                                               textOf(s.compliance_p));
        // The panel as a small table: method, limit, simulated coverage (standard error).
        std::vector<std::array<std::string, 3>> rows{{"method", "upper limit", "coverage (se)"}};
        for (const MethodUpperLimit& u : s.ucl)
            rows.push_back(
                {u.method, u.value ? six_digits(*u.value) : "- (" + u.status + ")",
                 u.simulated_coverage ? coverageText(*u.simulated_coverage, u.coverage_se) : std::string("-")});
        std::array<std::size_t, 3> width{};
        for (const auto& r : rows)
            for (std::size_t k = 0; k < 3; ++k) width[k] = std::max(width[k], r[k].size());
        out += "  upper confidence limits of the mean\n";
        for (const auto& r : rows) {
            std::string text = "    " + r[0] + std::string(width[0] - r[0].size() + 2, ' ') +
                               std::string(width[1] - r[1].size(), ' ') + r[1] + "  " + r[2];
            while (!text.empty() && text.back() == ' ') text.pop_back();
            out += text + '\n';
        }
        for (const std::string& w : s.warnings) out += "  warning: " + w + '\n';
    }
    return out;
}

} // namespace

std::vector<GroupSummary> summarise(const SummaryRequest& q, const Measurements& m)
{
    SummaryOptions options;
    options.level = q.level;
    options.limit = q.limit;
    options.simulations = q.simulations;
    std::vector<GroupSummary> computed(m.groups.size());
    for_each_index(m.groups.size(), [&](std::size_t i) {
        const Group& g = m.groups[i];
        GroupSummary& c = computed[i];
        c.group = g.name;
        c.skipped = g.skipped;
        c.sample = g.sample;
        SummaryOptions own = options;
        // Each group's random numbers come from the seed and its name alone.
        own.seed = g.name ? group_seed(q.seed, *g.name) : q.seed;
        try {
            c.summary = summary(c.sample, own);
        } catch (const std::exception& e) {
            c.problem = e.what();
        }
    });
    return computed;
}

CommandResult summary_command(const SummaryRequest& q, Format format,
                              const std::function<void(std::string_view)>& sink)
{
    const Measurements m = read_measurements(q.text, q.source, q.read);
    sink({}); // an output that cannot be opened is found before the work is done

    const std::vector<GroupSummary> computed = summarise(q, m);

    CommandResult result;
    for (const GroupSummary& c : computed) {
        const std::string where = group_text(c.group);
        if (!c.summary) {
            result.fail(where + ": " + c.problem);
            continue;
        }
        for (const MethodUpperLimit& u : c.summary->ucl)
            if (u.failed) result.fail(where + ": " + u.method + ": " + u.status);
    }

    if (format == Format::csv) {
        ReportWriter csv(Format::csv, sink);
        for (const GroupSummary& c : computed) csv.add(csvRecord(c));
        csv.finish();
        return result;
    }
    if (format == Format::json) {
        nlohmann::ordered_json array = nlohmann::ordered_json::array();
        for (const GroupSummary& c : computed) array.push_back(jsonObject(c));
        sink(array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n');
        return result;
    }
    std::vector<std::string> heading;
    heading.push_back(program_name() + ": summary of lognormal data");
    std::string data = "data: " + q.source + ", " + m.column;
    if (!m.group_columns.empty()) data += ", " + one_per_group("summary", m.group_columns);
    if (q.read.nd_column) data += ", nondetects marked in column " + in_quotes(*q.read.nd_column);
    heading.push_back(data);
    std::string settings = "level " + shortest(q.level);
    if (q.limit) settings += ", exposure limit " + shortest(*q.limit);
    settings += q.simulations > 0 ? ", coverage from " + std::to_string(q.simulations) +
                                        " samples of the fitted lognormal, seed " + std::to_string(q.seed)
                                  : ", no simulated coverage";
    heading.push_back(settings);
    sink(textReport(heading, computed));
    return result;
}

} // namespace velmar::cli

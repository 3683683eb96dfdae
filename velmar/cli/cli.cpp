// Velmar's command line: argument parsing, the run of one subcommand, and the
// writing of its output as it is computed.

#include "velmar/cli/cli.h"

#include "velmar/cli/commands.h"
#include "velmar/cli/output_file.h"
#include "velmar/cli/parse.h"
#include "velmar/cli/report.h"
#include "velmar/cli/summary.h"
#include "velmar/velmar.h"

#include <CLI/CLI.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

namespace velmar::cli {

namespace {

// The library's marks for the help: "<, ND, U, TRUE, Y or YES".
std::string markList(std::span<const std::string_view> marks)
{
    std::string text;
    for (std::size_t i = 0; i < marks.size(); ++i)
        text += std::string(i == 0 ? "" : i + 1 == marks.size() ? " or " : ", ") +
                std::string(marks[i].empty() ? "empty" : marks[i]);
    return text;
}

// Most simulated samples of a summary's coverage (about a minute per group at n = 50).
constexpr int maxSimulations = 4'000'000;

struct Common {
    std::string format = "text";
    std::string output;
};

void addCommon(CLI::App& sub, Common& c)
{
    sub.add_option("--format", c.format, "text (aligned, for reading), csv (a header line, a row per result) "
                                          "or json (an array of objects)")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"text", "csv", "json"}))
        ->capture_default_str();
    sub.add_option("-o,--output", c.output,
                   "write the results to FILE instead of standard output; a file is replaced only when the "
                   "run completes, keeping its permissions; a device or FIFO is written directly")
        ->type_name("FILE");
}

void addSide(CLI::App& sub, std::string& side)
{
    std::vector<std::string> names;
    for (const Side s : sides()) names.emplace_back(to_string(s));
    sub.add_option("--side", side,
                   names[0] + ", " + names[1] + ", " + names[2] + " (the unbiased pair) or " + names[3] +
                       " (the one-sided limits of level (1 + level)/2)")
        ->type_name("SIDE")
        ->check(CLI::IsMember(names))
        ->capture_default_str();
}

Side sideOf(const std::string& s)
{
    return parse_side(s).value_or(Side::upper); // the option's check admits the names alone
}

// The options of a grid of sample sizes, spreads and levels.
struct GridOptions {
    std::string n, s, levels = "0.95", lambda = "0.5";
};

void addGrid(CLI::App& sub, GridOptions& g, const std::string& spread, bool levelsRequired)
{
    const std::string listHelp = " (comma-separated, or a range start:stop:step)";
    sub.add_option("--n", g.n, "sample sizes, at least 3" + listHelp)->type_name("LIST")->required();
    sub.add_option("--s", g.s, "values of " + spread + ", at least 0" + listHelp)->type_name("LIST")->required();
    CLI::Option* levels = sub.add_option("--level", g.levels, "confidence levels" + listHelp)->type_name("LIST");
    if (levelsRequired)
        levels->required();
    else
        levels->capture_default_str();
    sub.add_option("--lambda", g.lambda, "lambda")->type_name("L")->capture_default_str();
}

Format formatOf(const std::string& s)
{
    if (s == "csv") return Format::csv;
    if (s == "json") return Format::json;
    return Format::text;
}

std::string readAll(std::istream& in)
{
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) throw UsageError("cannot read standard input");
    return s.str();
}

// The whole file; a file that cannot be opened or read (a folder, say) is refused.
std::string readFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw UsageError("cannot open " + path + ": " + std::strerror(errno));
    std::string text;
    char buffer[1 << 16];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            throw UsageError("cannot read " + path + ": " + std::strerror(e));
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

// The names in a comma-separated option, none of them empty.
std::vector<std::string> names(const std::string& option, const std::string& text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        out.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (out.back().empty()) throw UsageError(option + " " + in_quotes(text) + ": a column name is empty");
        if (comma == std::string::npos) return out;
        start = comma + 1;
    }
}

char delimiterOf(const std::string& text)
{
    if (text == "," || text == ";") return text[0];
    if (text == "\\t" || text == "\t" || text == "tab") return '\t'; // as typed in quotes, a tab itself, or its name
    throw UsageError("--delimiter " + in_quotes(text) + ": give ',', ';' or '\\t' (a tab)");
}

bool endsWithTsv(const std::string& file)
{
    if (file.size() < 4) return false;
    std::string end = file.substr(file.size() - 4);
    for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == ".tsv";
}

void warnIfSignificance(std::ostream& err, const std::string& command, double level, Side side)
{
    if (side == Side::upper && level <= 0.5)
        err << "Velmar " << command << ": warning: --level " << shortest(level)
            << " is at or below 0.5 for an upper limit; it is probably a significance level "
               "(for 95% confidence give --level 0.95)\n";
}

// The options given, as a user would type them again (empty ones left out).
std::string typedAgain(const std::vector<std::pair<std::string, std::string>>& options)
{
    std::string text;
    for (const auto& [option, value] : options) {
        if (value.empty()) continue;
        const bool plain = value.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                                   "._-+:/=,@%") == std::string::npos;
        std::string quoted = value;
        if (!plain) {
            quoted = "'";
            for (const char c : value) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
            quoted += "'";
        }
        text += (text.empty() ? "" : " ") + option + " " + quoted;
    }
    return text;
}

// The options that choose the data, shared by the subcommands that read measurements.
struct DataOptions {
    std::string file = "-", column, group, ndColumn, delimiter;
    bool decimalComma = false;
    std::vector<std::string> where;
};

void addDataOptions(CLI::App& sub, DataOptions& d, const std::string& perGroup)
{
    sub.add_option("FILE", d.file,
                   "one value per line, or a delimited file (CSV, TSV, ';') with a header line; '-' or none: "
                   "standard input")
        ->type_name("");
    sub.add_option("--column", d.column, "the column that holds the values")->type_name("NAME");
    sub.add_option("--group", d.group,
                   "columns, comma-separated: " + perGroup +
                       " for each of their values (analyte, site, ...); with several, the group column holds the "
                       "values joined by '/', and a column per name follows it")
        ->type_name("NAMES");
    sub.add_option("--nd-column", d.ndColumn,
                   "a column that marks the row's value as a detection limit: " + markList(nondetect_marks()) +
                       " for a nondetect; " + markList(detect_marks()) + " for a detect (any case)")
        ->type_name("NAME");
    sub.add_option("--where", d.where,
                   "use only the rows where column NAME holds VALUE; repeatable: every named column must "
                   "match, and one column named twice takes either value")
        ->type_name("NAME=VALUE");
    sub.add_option("--delimiter", d.delimiter,
                   "the field separator: ',' (the default), ';' (the default with --decimal-comma) or '\\t' "
                   "(the default for a FILE ending in .tsv)")
        ->type_name("D");
    sub.add_flag("--decimal-comma", d.decimalComma, "numbers are written with a decimal comma (0,5)");
}

// The data the options choose: how to read them, their name, their text.
struct DataSource {
    ReadOptions read;
    std::string source, text;
};

DataSource readData(const DataOptions& d, std::istream& in)
{
    DataSource s;
    if (!d.column.empty()) s.read.column = d.column;
    if (!d.group.empty()) s.read.groups = names("--group", d.group);
    if (!d.ndColumn.empty()) s.read.nd_column = d.ndColumn;
    for (const std::string& w : d.where) {
        const std::size_t equals = w.find('=');
        if (equals == std::string::npos || equals == 0)
            throw UsageError("--where " + in_quotes(w) + ": give NAME=VALUE");
        s.read.where.emplace_back(w.substr(0, equals), w.substr(equals + 1));
    }
    s.read.decimal_comma = d.decimalComma;
    s.read.delimiter = !d.delimiter.empty() ? delimiterOf(d.delimiter)
                       : endsWithTsv(d.file)  ? '\t'
                       : d.decimalComma       ? ';'
                                              : ',';
    if (d.file == "-") {
        s.source = "standard input";
        s.text = readAll(in);
    } else {
        s.source = d.file;
        s.text = readFile(d.file);
    }
    return s;
}

// The data options as a user would type them again.
std::vector<std::pair<std::string, std::string>> typedData(const DataOptions& d)
{
    std::vector<std::pair<std::string, std::string>> typed{
        {"--column", d.column}, {"--group", d.group}, {"--nd-column", d.ndColumn}};
    for (const std::string& w : d.where) typed.emplace_back("--where", w);
    typed.emplace_back("--delimiter", d.delimiter);
    return typed;
}

// The options of the summary's statistics, as typed.
struct SummaryTexts {
    std::string limit, simulations = "4000", seed = "0";
};

void addSummaryOptions(CLI::App& sub, std::string& level, SummaryTexts& t)
{
    sub.add_option("--level", level, "confidence level of every limit (95 is read as 0.95)")
        ->type_name("A")
        ->capture_default_str();
    sub.add_option("--limit", t.limit,
                   "an exposure limit: the fraction above it (exceedance), its exact upper confidence limit, "
                   "and compliance_p, the p-value of 'the mean is below it' from the exact limits")
        ->type_name("L");
    sub.add_option("--simulations", t.simulations,
                   "samples drawn from the fitted lognormal for the simulated coverage of each limit; 0: none")
        ->type_name("N")
        ->capture_default_str();
    sub.add_option("--seed", t.seed,
                   "seed of the bootstrap and the simulations (0 to 2^64 - 1); the same numbers on every "
                   "platform, and with --group each group's from the seed and its name")
        ->type_name("S")
        ->capture_default_str();
}

SummaryRequest summaryRequest(const std::string& level, const SummaryTexts& t, DataSource data)
{
    SummaryRequest q;
    q.level = level_option("--level", level);
    q.read = std::move(data.read);
    q.source = std::move(data.source);
    q.text = std::move(data.text);
    if (!t.limit.empty()) q.limit = positive_option("--limit", t.limit);
    q.simulations = count_option("--simulations", t.simulations, maxSimulations);
    q.seed = seed_option("--seed", t.seed);
    return q;
}

} // namespace

int run(int argc, const char* const* argv, std::istream& in, std::ostream& out, std::ostream& err)
{
    const std::string programVersion = program_name();
    CLI::App app{"Exact confidence limits for theta = mu + lambda sigma^2 of a normal distribution, and for the mean "
                 "of lognormal data.",
                 "Velmar"};
    app.set_version_flag("--version", programVersion, "print the program's name and version and exit");
    app.require_subcommand(1);
    app.footer("Without arguments Velmar starts its question-and-answer dialogue.\n"
               "Run 'Velmar SUBCOMMAND --help' for the options of a subcommand.\n"
               "Exit status: 0 success, 1 bad data or a failed computation, 2 a usage error.");

    std::string side = "upper", level = "0.95";
    Common common;

    CLI::App* lognormal = app.add_subcommand(
        "lognormal", "Limits for the mean of lognormal data: the measurements from a file or standard input");
    DataOptions data;
    addDataOptions(*lognormal, data, "one result");
    lognormal->add_option("--level", level, "confidence level (95 is read as 0.95)")->type_name("A")->capture_default_str();
    addSide(*lognormal, side);
    addCommon(*lognormal, common);
    lognormal->footer("The values must be positive. Blank lines and NA or empty cells are skipped and counted; "
                      "a group needs at least 3 values. A cell \"<DL\" is a nondetect, a value below the "
                      "detection limit DL: such a group gets Kaplan-Meier limits (KM-t, KM-Chebyshev) and the "
                      "exact limit of its values completed by regression on order statistics (ROS + exact "
                      "UMAU), each a row; it needs at least 3 detects, 2 of them distinct. Without --column, "
                      "--group, --where or --nd-column a first line that is a number (or ND, NA, N/A, nan, inf, "
                      "<...) is data, any other text a header.");

    // The summary and the report: the same data, the same statistics.
    SummaryTexts summaryTexts;
    CLI::App* summary = app.add_subcommand(
        "summary", "What surrounds the exact limit: lognormality tests, other upper limits side by side with "
                   "their simulated coverage, geometric statistics, the 95th percentile and an exposure limit's "
                   "exceedance");
    addDataOptions(*summary, data, "one summary");
    addSummaryOptions(*summary, level, summaryTexts);
    addCommon(*summary, common);
    summary->footer(
        "Per group: n, n_nd, level, arithmetic_mean, geometric_mean, geometric_sd, mvue_mean (Finney's\n"
        "minimum-variance unbiased mean); shapiro_wilk {W, p} (3 to 5000 values) and anderson_darling {A2, p}\n"
        "(8 or more) of the logs, or with nondetects ros_ppcc (the correlation of the ROS probability plot);\n"
        "ucl, a list of {method, value, simulated_coverage, coverage_se, status} for exact UMAU (with\n"
        "nondetects KM-t, KM-Chebyshev and ROS + exact UMAU instead), Student-t, Chebyshev, Cox and\n"
        "bootstrap-t (2000 resamples, no simulated coverage); p95, the fitted 95th percentile, and p95_utl,\n"
        "its upper tolerance limit; with --limit: limit, exceedance, exceedance_ucl and compliance_p; warnings.\n"
        "With nondetects the log-scale statistics and the Student-t, Chebyshev, Cox and bootstrap-t limits\n"
        "use the sample completed by ROS.\n"
        "simulated_coverage: the share of samples of the data's size, drawn from the fitted lognormal with the\n"
        "data's detection limits applied, whose limit covers the fitted mean; coverage_se: its standard error.\n"
        "JSON: an array, one object per group, null where a value does not apply. CSV: one row per group,\n"
        "nested fields joined with _ (shapiro_wilk_W, shapiro_wilk_p, anderson_darling_A2, anderson_darling_p;\n"
        "for each method M of exact UMAU, KM-t, KM-Chebyshev, ROS + exact UMAU, Student-t, Chebyshev, Cox and\n"
        "bootstrap-t: ucl_M, ucl_M_coverage, ucl_M_coverage_se), the warnings in one cell.");

    CLI::App* report = app.add_subcommand(
        "report", "The whole answer on one page: an HTML report with, per group, the summary's statistics, its "
                  "warnings, a Q-Q plot of the logs and a strip plot of the values with the limits marked");
    addDataOptions(*report, data, "one section");
    addSummaryOptions(*report, level, summaryTexts);
    report->add_option("-o,--output", common.output,
                       "write the report to FILE instead of standard output; a file is replaced only when the "
                       "report is complete, keeping its permissions")
        ->type_name("FILE");
    report->footer("One self-contained HTML file: inline CSS and SVG, no scripts, nothing loaded from elsewhere; "
                   "it prints on A4 or Letter. Its first lines say what was computed from what, and when: the "
                   "time SOURCE_DATE_EPOCH names (seconds since 1970, UTC) where that is set, else now.");

    CLI::App* limit = app.add_subcommand(
        "limit", "Limits for theta = mu + lambda sigma^2 from summary statistics mu-hat, sigma-hat and nu");
    std::string muHat, sigmaHat, nu, gamma2, lambda = "0.5";
    limit->add_option("--mu-hat", muHat, "the estimate of mu")->type_name("M")->required();
    limit->add_option("--sigma-hat", sigmaHat, "the estimate of sigma (at least 0)")->type_name("S")->required();
    limit->add_option("--nu", nu, "its degrees of freedom (real, at least 2)")->type_name("N")->required();
    limit->add_option("--gamma2", gamma2, "gamma^2, with mu-hat ~ Normal(mu, sigma/gamma) (default nu + 1)")->type_name("G");
    limit->add_option("--lambda", lambda, "lambda")->type_name("L")->capture_default_str();
    limit->add_option("--level", level, "confidence level (95 is read as 0.95)")->type_name("A")->capture_default_str();
    addSide(*limit, side);
    addCommon(*limit, common);

    CLI::App* table = app.add_subcommand(
        "table", "A table of the standardized limit C (for lambda 0.5: Land's H) over sample sizes and spreads");
    const std::string gridFooter = "At most " + std::to_string(max_grid_cells) +
                                   " cells (the product of the lengths of --n, --s and --level). Rows are written "
                                   "as they are computed; text aligns its columns to the first " +
                                   std::to_string(ReportWriter::textWidthRows) + " rows.";
    table->footer(gridFooter);
    GridOptions grid;
    addGrid(*table, grid, "sigma-hat", false);
    addSide(*table, side);
    addCommon(*table, common);

    CLI::App* verify = app.add_subcommand(
        "verify", "The coverage of the limits over a grid, by integration over the distribution of sigma-hat");
    addGrid(*verify, grid, "the true sigma", true);
    verify->footer(gridFooter);
    addSide(*verify, side);
    addCommon(*verify, common);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        const auto chosen = app.get_subcommands();
        const std::string name = chosen.empty() ? "Velmar" : "Velmar " + chosen.front()->get_name();
        if (chosen.empty() && argc > 1 && argv[1][0] != '-')
            err << name << ": no subcommand " << argv[1] << " (choose lognormal, summary, report, limit, table or verify)";
        else
            err << name << ": " << e.what();
        err << "\nRun '" << name << " --help' for its usage.\n";
        return 2;
    }

    CLI::App* chosen = app.get_subcommands().front();
    const std::string name = chosen->get_name();
    const auto message = [&](const std::string& text) { err << "Velmar " << name << ": " << text << '\n'; };
    try {
        // The results go to standard output, or to the -o file, as they come.
        std::unique_ptr<OutputFile> output;
        std::vector<std::string> inputs;
        if ((chosen == lognormal || chosen == summary || chosen == report) && data.file != "-")
            inputs.push_back(data.file);
        if (!common.output.empty()) output = std::make_unique<OutputFile>(common.output, inputs);
        const auto sink = [&](std::string_view bytes) {
            if (output) {
                output->write(bytes);
            } else if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
                throw std::runtime_error("cannot write the results to standard output");
            }
        };
        ReportWriter writer(formatOf(common.format), sink);

        CommandResult result;
        if (chosen == report) {
            ReportRequest q;
            q.summary = summaryRequest(level, summaryTexts, readData(data, in));
            std::vector<std::pair<std::string, std::string>> typed = typedData(data);
            for (const auto& [option, value] : std::vector<std::pair<std::string, std::string>>{
                     {"--level", level},
                     {"--limit", summaryTexts.limit},
                     {"--simulations", summaryTexts.simulations},
                     {"--seed", summaryTexts.seed}})
                typed.emplace_back(option, value);
            q.options_text = typedAgain(typed) + (data.decimalComma ? " --decimal-comma" : "");
            q.date = report_date();
            warnIfSignificance(err, name, q.summary.level, Side::upper);
            const std::string html = report_command(q);
            if (output) {
                output->write(html);
                output->commit();
            } else if (!out.write(html.data(), static_cast<std::streamsize>(html.size())) || !out.flush()) {
                message("cannot write the report to standard output");
                return 1;
            }
            return 0;
        }
        if (chosen == lognormal) {
            LognormalRequest q;
            q.level = level_option("--level", level);
            q.side = sideOf(side);
            DataSource d = readData(data, in);
            q.read = std::move(d.read);
            q.source = std::move(d.source);
            q.text = std::move(d.text);
            warnIfSignificance(err, name, q.level, q.side);
            result = lognormal_command(q, writer);
        } else if (chosen == summary) {
            const SummaryRequest q = summaryRequest(level, summaryTexts, readData(data, in));
            warnIfSignificance(err, name, q.level, Side::upper);
            result = summary_command(q, formatOf(common.format), sink);
        } else if (chosen == limit) {
            LimitRequest q;
            q.estimates.mu_hat = number_option("--mu-hat", muHat);
            q.estimates.sigma_hat = number_option("--sigma-hat", sigmaHat);
            q.estimates.nu = number_option("--nu", nu);
            if (!gamma2.empty()) q.estimates.gamma2 = number_option("--gamma2", gamma2);
            q.lambda = number_option("--lambda", lambda);
            q.level = level_option("--level", level);
            q.side = sideOf(side);
            warnIfSignificance(err, name, q.level, q.side);
            result = limit_command(q, writer);
        } else {
            GridRequest q;
            q.n = list_option("--n", grid.n);
            q.s = list_option("--s", grid.s);
            q.levels = level_list_option("--level", grid.levels);
            q.lambda = number_option("--lambda", grid.lambda);
            q.side = sideOf(side);
            result = chosen == table ? table_command(q, writer) : verify_command(q, writer);
        }
        // The summary writes its own output: nested JSON, a text block per group.
        if (chosen != summary) writer.finish();
        if (output) {
            output->commit();
        } else if (!out.flush()) {
            message("cannot write the results to standard output");
            return 1;
        }
        for (const std::string& problem : result.problems) message(problem);
        if (result.failures > result.problems.size())
            message("and " + std::to_string(result.failures - result.problems.size()) + " more failures");
        return result.failures > 0 ? 1 : 0;
    } catch (const UsageError& e) {
        message(e.what());
        return 2;
    } catch (const std::invalid_argument& e) { // the library's refusal of an argument
        message(e.what());
        return 2;
    } catch (const DataError& e) {
        message(e.what());
        return 1;
    } catch (const std::exception& e) {
        message(e.what());
        return 1;
    }
}

} // namespace velmar::cli

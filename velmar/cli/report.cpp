// The report subcommand: the groups' summaries, as the summary subcommand
// computes them, handed to the library's report.

#include "velmar/cli/report.h"

#include "velmar/cli/data.h"
#include "velmar/cli/output.h"
#include "velmar/cli/parse.h"

#include <charconv>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace velmar::cli {

std::string report_command(const ReportRequest& q)
{
    const SummaryRequest& request = q.summary;
    const Measurements m = read_measurements(request.text, request.source, request.read);
    std::vector<ReportGroup> groups;
    for (GroupSummary& g : summarise(request, m)) {
        ReportGroup r;
        r.name = g.group.value_or("all values");
        r.sample = std::move(g.sample);
        r.skipped = g.skipped;
        r.summary = std::move(g.summary);
        r.problem = std::move(g.problem);
        groups.push_back(std::move(r));
    }
    ReportHeading heading;
    heading.source = request.source;
    heading.column = m.column;
    if (request.read.nd_column) heading.column += ", nondetects marked in column " + in_quotes(*request.read.nd_column);
    if (!m.group_columns.empty()) heading.grouping = one_per_group("section", m.group_columns);
    heading.options = q.options_text;
    heading.date = q.date;
    return html_report(heading, groups);
}

std::string report_date()
{
    std::time_t when = std::time(nullptr);
    if (const char* fixed = std::getenv("SOURCE_DATE_EPOCH")) {
        long long seconds = 0;
        const char* end = fixed + std::char_traits<char>::length(fixed);
        const auto [ptr, ec] = std::from_chars(fixed, end, seconds);
        if (ec == std::errc() && ptr == end && *fixed != '\0') when = static_cast<std::time_t>(seconds);
    }
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[64];
    if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc) == 0) return "unknown";
    return text;
}

} // namespace velmar::cli

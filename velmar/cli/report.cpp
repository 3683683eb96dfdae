// The report subcommand: reads the groups, hands them to the library's report.

#include "velmar/cli/report.h"

#include "velmar/cli/data.h"
#include "velmar/cli/output.h"
#include "velmar/cli/parse.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <ctime>

namespace velmar::cli {

std::string report_command(const ReportRequest& q)
{
    const Measurements m = read_measurements(q.text, q.source, q.read);
    if (m.groups.empty()) throw DataError(q.source + ": no values below the header");
    std::vector<ReportGroup> groups;
    for (const Group& g : m.groups) {
        ReportGroup r;
        r.name = g.name.value_or("all values");
        for (std::size_t j = 0; j < g.values.size(); ++j) r.sample.push_back({g.values[j], g.nondetect[j]});
        r.skipped = g.skipped;
        groups.push_back(std::move(r));
    }
    ReportHeading heading;
    heading.source = q.source;
    heading.column = m.column;
    if (q.read.nd_column) heading.column += ", nondetects marked in column " + in_quotes(*q.read.nd_column);
    if (!m.group_columns.empty()) {
        std::string columns;
        for (const std::string& c : m.group_columns) columns += (columns.empty() ? "" : ", ") + in_quotes(c);
        heading.grouping = "one section per value of " + std::string(m.group_columns.size() == 1 ? "column " : "columns ") +
                           columns;
    }
    heading.options = q.options_text;
    heading.date = q.date;
    return html_report(heading, groups, q.options);
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

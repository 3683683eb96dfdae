#pragma once
// The report subcommand: the data's groups as one self-contained HTML page.

#include "velmar/cli/data.h"
#include "velmar/velmar.h"

#include <optional>
#include <string>

namespace velmar::cli {

struct ReportRequest {
    std::string text;   // the whole input
    std::string source; // its name in messages and in the report's heading
    ReadOptions read;   // columns, groups, conditions, delimiter, nondetect marks
    ReportOptions options;
    std::string options_text; // the options as typed again, for the heading
    std::string date;         // the date line of the heading
};

// The page. Data that cannot be read throw DataError or UsageError.
std::string report_command(const ReportRequest& request);

// When the report is written: the time SOURCE_DATE_EPOCH (seconds since
// 1970, UTC) names where it is set to a whole number, else the clock's;
// "2026-01-31 12:00:00 UTC".
std::string report_date();

} // namespace velmar::cli

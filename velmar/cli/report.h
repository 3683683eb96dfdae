#pragma once
// The report subcommand: the summary of each group of the data, with its
// pictures, as one self-contained HTML page.

#include "velmar/cli/summary.h"

#include <string>

namespace velmar::cli {

struct ReportRequest {
    SummaryRequest summary;   // the data and the statistics, as for summary
    std::string options_text; // the options as typed again, for the heading
    std::string date;         // the date line of the heading
};

// The page. Data that cannot be read throw DataError or UsageError.
std::string report_command(const ReportRequest& request);

// When the report is written: the time SOURCE_DATE_EPOCH names (seconds since
// 1970, UTC) where it is set to a whole number, else the clock's; as
// "2026-01-31 12:00:00 UTC".
std::string report_date();

} // namespace velmar::cli

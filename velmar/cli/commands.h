#pragma once
// The four subcommands: from checked options to a report of records.

#include "velmar/cli/output.h"
#include "velmar/velmar.h"

#include <optional>
#include <string>
#include <vector>

namespace velmar::cli {

// A report, and whether any of its records failed (exit status 1).
struct CommandResult {
    Report report;
    bool failed = false;
    std::vector<std::string> problems; // one line for each record that failed

};

struct LognormalRequest {
    std::string text;   // the whole input
    std::string source; // its name in messages
    std::optional<std::string> column, group;
    std::optional<std::string> nd_column; // the column of nondetect marks
    double level;
    Side side;
};

struct LimitRequest {
    Estimates estimates;
    double lambda, level;
    Side side;
};

struct GridRequest {
    std::vector<double> n, s, levels;
    double lambda;
    Side side;
};

CommandResult lognormal_command(const LognormalRequest& request);
CommandResult limit_command(const LimitRequest& request);
CommandResult table_command(const GridRequest& request);
CommandResult verify_command(const GridRequest& request);

} // namespace velmar::cli

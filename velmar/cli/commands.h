#pragma once
// The four subcommands: from checked options to records, written to a
// ReportWriter as they are computed.

#include "velmar/cli/data.h"
#include "velmar/cli/output.h"
#include "velmar/velmar.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmar::cli {

// Most cells of a table or verify run: the product of the lengths of the
// lists --n, --s and --level.
constexpr std::uint64_t max_grid_cells = 100'000'000;

// Whether any record failed (exit status 1), and the first failures.
struct CommandResult {
    static constexpr std::size_t kept_problems = 10;
    std::vector<std::string> problems; // one line for each of the first failed records
    std::size_t failures = 0;          // failed records in all

    void fail(std::string problem);
};

struct LognormalRequest {
    std::string text;   // the whole input
    std::string source; // its name in messages
    ReadOptions read;   // columns, groups, conditions, delimiter, nondetect marks
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

// Each checks its request (UsageError, DataError) before it writes anything.
CommandResult lognormal_command(const LognormalRequest& request, ReportWriter& out);
CommandResult limit_command(const LimitRequest& request, ReportWriter& out);
CommandResult table_command(const GridRequest& request, ReportWriter& out);
CommandResult verify_command(const GridRequest& request, ReportWriter& out);

} // namespace velmar::cli

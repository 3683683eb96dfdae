#pragma once
// The summary subcommand: the library's summary of each group of the data,
// as text (a block per group), CSV (nested fields flattened with '_') or JSON
// (an array with one object per group).

#include "velmar/cli/commands.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velmar::cli {

struct SummaryRequest {
    std::string text;   // the whole input
    std::string source; // its name in messages
    std::optional<std::string> column, group, nd_column;
    double level = 0.95;
    std::optional<double> limit;
    int simulations = 4000;
    std::uint64_t seed = 0;
};

CommandResult summary_command(const SummaryRequest& request);

} // namespace velmar::cli

#pragma once
// The summary subcommand: the library's summary of each group of the data,
// as text (a block per group), CSV (nested fields flattened with '_') or JSON
// (an array with one object per group).

#include "velmar/cli/commands.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmar::cli {

struct SummaryRequest {
    std::string text;   // the whole input
    std::string source; // its name in messages
    ReadOptions read;   // columns, groups, conditions, delimiter, nondetect marks
    double level = 0.95;
    std::optional<double> limit;
    int simulations = 4000;
    std::uint64_t seed = 0;
};

// One group's observations and its summary, or why there is none.
struct GroupSummary {
    std::optional<std::string> group; // empty when the data are not grouped
    std::vector<Observation> sample;
    long long skipped = 0;            // NA and empty cells
    std::optional<Summary> summary;
    std::string problem;              // the library's refusal, where there is no summary
};

// The summary of every group of `data` (on both cores), each group's random
// numbers from the request's seed and the group's name.
std::vector<GroupSummary> summarise(const SummaryRequest& request, const Measurements& data);

// Checks the request (UsageError, DataError), computes every group, then
// hands the whole output in `format` to `sink`.
CommandResult summary_command(const SummaryRequest& request, Format format,
                              const std::function<void(std::string_view)>& sink);

} // namespace velmar::cli

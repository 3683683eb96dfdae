#pragma once
// The table run: its dialogue, the output file, the run-time estimate, and the
// pages of limits written to the table file.

#include "velmar/dialogue.h"
#include "records/records.h"

#include <span>

namespace interactive {

// One table run. It may change the remembered kind; every other remembered
// value gets back the value it had on entry.
// A run estimated above confirmAbove seconds asks the user first.
void tableRun(records::Console& con, Remembered& r, const engine::Settings& settings,
              double confirmAbove = longestUnaskedTableSeconds);

// What every page of a run shares.
struct TableSetup {
    int kind;          // 1, 2 (one-sided) or 3 (two-sided)
    bool standardized; // critical values C instead of limits
    double muhat;
    double lambda;
    double gamma2; // gammaMarker: nu + 1 with each limit's own nu
    engine::Settings settings;
    double confirmAbove; // seconds of estimate above which the user is asked
};

// gamma-squared while it stands at its default of nu + 1.
inline constexpr double gammaMarker = -10.0;

// The rows of every page: sigma-hat from start, count values up to stop.
struct SigmaRange {
    double start;
    double stop;
    int count;
};

// One page for each nu, columns of alphas.
void writeNuPages(records::Console& con, records::FileWriter& file, const TableSetup& setup,
                  std::span<const double> alphas, int nuStart, int nuStop, int nuDiff, const SigmaRange& sigmas);

// One page for each alpha, columns of nus.
void writeAlphaPages(records::Console& con, records::FileWriter& file, const TableSetup& setup,
                     std::span<const int> nus, std::span<const double> alphas, const SigmaRange& sigmas);

// The number of pages of a run over nu, or 0 when it writes none.
long long nuPageCount(int nuStart, int nuStop, int nuDiff);

// " This will require about ..." for an estimate in seconds.
void writeEstimate(records::Console& con, double seconds);

} // namespace interactive

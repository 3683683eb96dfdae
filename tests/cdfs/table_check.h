#pragma once
// Comparison of a routine with a reference table: the largest relative error
// over the rows, with the row where it occurs, printed so that tolerances can
// be kept near the error actually observed.

#include "support/reference.h"

#include <cstdio>
#include <string>
#include <vector>

namespace cdfstest {

using Table = std::vector<std::vector<double>>;

inline Table table(const std::string& name)
{
    return testsupport::readTable(std::string(TEST_DATA_DIR) + "/" + name);
}

struct Worst {
    double error = 0.0;
    std::vector<double> row;
};

// f maps a row to the computed value; want is the reference column.
template <class F>
Worst worstError(const Table& rows, int want, F f)
{
    Worst worst;
    for (const auto& row : rows) {
        const double e = testsupport::relativeError(f(row), row[want]);
        if (!(e <= worst.error)) worst = {e, row};
    }
    return worst;
}

inline void report(const char* what, const Worst& w)
{
    std::printf("[ worst    ] %-28s %.2e at", what, w.error);
    for (double v : w.row) std::printf(" %.17g", v);
    std::printf("\n");
}

} // namespace cdfstest

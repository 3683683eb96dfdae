#pragma once
// Measurements from a file or standard input: one value per line, or a CSV
// file with a header line, a column of values and optionally a column that
// splits them into groups (analyte, site, ...). A nondetect is a cell "<DL"
// (DL its detection limit), or a value whose row a column of nondetect marks
// flags.

#include <optional>
#include <string>
#include <vector>

namespace velmar::cli {

struct Group {
    std::optional<std::string> name; // empty when the data are not grouped
    std::vector<double> values;
    std::vector<bool> nondetect;     // beside values: true where the value is a detection limit
    long long skipped = 0;           // NA and empty cells (and blank lines when not grouped)
};

struct Measurements {
    std::string column;       // how the values were found: "column 1" or "column \"conc\""
    long long blank_lines = 0;
    std::vector<Group> groups; // in the order of their first appearance
};

// Reads the whole text. `source` names it in messages ("data.csv", "standard
// input"). A value that is not a number, not finite, zero or negative throws
// DataError naming the source, line and column; a --column, --group or
// --nd-column that the header does not have, or a CSV file with several
// columns and no --column, throws UsageError. A cell of the nd_column is a
// nondetect mark (<, ND, U, TRUE, Y, YES), a detect mark (empty, =, D, FALSE,
// N, NO), in any case, or refused; so is "<DL" beside a detect mark.
Measurements read_measurements(const std::string& text, const std::string& source,
                               const std::optional<std::string>& column, const std::optional<std::string>& group,
                               const std::optional<std::string>& nd_column = std::nullopt);

} // namespace velmar::cli

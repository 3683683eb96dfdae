#pragma once
// Measurements from a file or standard input: one value per line, or a
// delimited file (CSV, TSV, ';') with a header line, a column of values,
// optionally columns that split them into groups (analyte, site, ...) and
// conditions that choose the rows. A nondetect is a cell "<DL" (DL its
// detection limit), or a value whose row a column of nondetect marks flags.

#include "velmar/velmar.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmar::cli {

struct Group {
    std::optional<std::string> name; // the keys joined by '/'; empty when the data are not grouped
    std::vector<std::string> keys;   // one per group column
    std::vector<Observation> sample; // the values, nondetects flagged
    long long skipped = 0;           // NA and empty cells (and blank lines when not grouped)
};

struct Measurements {
    std::string column;                    // how the values were found: "column 1" or "column \"conc\""
    std::vector<std::string> group_columns; // as given to --group
    long long blank_lines = 0;
    std::vector<Group> groups; // in the order of their first appearance
};

// How to read the file.
struct ReadOptions {
    std::optional<std::string> column;                        // the column of values
    std::vector<std::string> groups;                          // group columns
    std::vector<std::pair<std::string, std::string>> where;   // column = value conditions
    char delimiter = ',';                                     // ',', ';' or '\t'
    bool decimal_comma = false;                               // "0,5" is one half
    std::optional<std::string> nd_column;                     // the column of nondetect marks
};

// Reads the whole text. `source` names it in messages ("data.csv", "standard
// input"). Lines end in LF, CR LF or a bare CR. An empty or blank text, or a
// value that is not a number, not finite, zero or negative, throws DataError
// naming the source, line and column, and so does a header with no values
// below it; a column named in the options that the
// header does not have, or a header with several columns and no column
// chosen, throws UsageError. A cell of the nd_column is a nondetect mark (<,
// ND, U, TRUE, Y, YES), a detect mark (empty, =, D, FALSE, N, NO), in any
// case, or refused; so is "<DL" beside a detect mark.
//
// Without a column named in the options, the first line that is not blank is
// data when it is a number or looks like one (a sign, a digit or a point
// first), starts with '<', or reads ND, NA, N/A, nan or inf in any case;
// any other text is a header.
Measurements read_measurements(const std::string& text, const std::string& source, const ReadOptions& options);

// A group in a message: group "lead", or "the data" when they are not grouped.
std::string group_text(const std::optional<std::string>& name);

// "one <what> per value of column "site"" or "... of columns "site", "agent"".
std::string one_per_group(const std::string& what, const std::vector<std::string>& group_columns);

} // namespace velmar::cli

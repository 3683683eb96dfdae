#pragma once
// Results as records of named fields, written as an aligned text table, as
// CSV (one header line, one row per record) or as a JSON array of objects.

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velmar::cli {

enum class Format { text, csv, json };

// Empty (not computed) is written as an empty CSV cell, null in JSON and
// "-" in text. A double that is not finite is written the same way.
using Value = std::variant<std::monostate, double, long long, std::string>;

struct Field {
    std::string name;
    Value value;
    bool computed = false; // text shows computed numbers to 6 significant digits, inputs in full
    bool in_text = true;   // false: CSV and JSON only (the text names them in its heading)
};

using Record = std::vector<Field>;

struct Report {
    std::vector<std::string> heading; // text only: what was computed, from what
    std::vector<Record> records;      // all with the same fields in the same order
};

// The whole output as one string, so that nothing is written before it is complete.
std::string render(const Report& report, Format format);

// A double with the fewest digits (at most 17 significant) that read back
// to the same value.
std::string shortest(double value);

} // namespace velmar::cli

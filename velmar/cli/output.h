#pragma once
// Results as records of named fields, written as an aligned text table, as
// CSV (one header line, one row per record) or as a JSON array of objects,
// record by record as they come.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
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

// Writes a report as its records come: the heading first, then each record,
// then finish(). The bytes go to `sink` in pieces of about 64 KB.
//
// Text aligns its columns to the widest entry among the heading's names and
// the first textWidthRows records, which are held until then; a wider entry
// further down widens its own line alone. A column empty in every record is
// left out when the whole report fits in those first records.
class ReportWriter {
public:
    static constexpr std::size_t textWidthRows = 1000;

    ReportWriter(Format format, std::function<void(std::string_view)> sink);
    // Called once the request is checked, before the computing: it hands the
    // sink an empty piece, so that an output that cannot be opened is found
    // before the work is done.
    void heading(std::vector<std::string> lines);
    void add(Record record);
    void finish();

private:
    void flushIfFull();
    void startText();
    std::string textLine(const Record& record) const;

    Format format_;
    std::function<void(std::string_view)> sink_;
    std::string buffer_;
    std::vector<std::string> heading_;
    std::vector<Record> held_;       // text: the records that set the widths
    bool started_ = false;           // the column names are written
    std::size_t count_ = 0;          // records written or held
    std::vector<std::size_t> columns_; // text: the fields shown
    std::vector<std::size_t> width_;
    std::vector<bool> leftAligned_;
};

// A double with the fewest digits (at most 17 significant) that read back
// to the same value.
std::string shortest(double value);

// A computed number as text tables show it: 6 significant digits ("%.6g").
std::string six_digits(double value);

// "Velmar" and its version, as every output names the program.
std::string program_name();

// A text from the user's data for a message or a text table: in double
// quotes (in_quotes) or bare (escaped), with control characters, backslashes
// and (in_quotes) double quotes written as escapes (\r, \t, \x1b, \\, \"), so
// that no byte of the data acts on a terminal.
std::string in_quotes(std::string_view text);
std::string escaped(std::string_view text);

// Texts in quotes, separated by ", ".
std::string quoted_list(const std::vector<std::string>& texts);

// A CSV cell: quoted when it holds a comma, a quote, a line end or blanks
// at an end; a text that a spreadsheet would take for a formula (starting
// with =, +, -, @, a tab or a CR, and not a number) is prefixed with an
// apostrophe and quoted.
std::string csv_cell(const std::string& text);

} // namespace velmar::cli

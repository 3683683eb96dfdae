// Reading measurements: one value per line, or delimited fields with a header.

#include "velmar/cli/data.h"

#include "velmar/cli/output.h"
#include "velmar/cli/parse.h"
#include "velmar/velmar.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace velmar::cli {

namespace {

// Blanks around a field; a tab is a blank only where it does not separate fields.
std::string_view trimmed(std::string_view s, char delimiter = ',')
{
    const auto blank = [&](char c) { return c == ' ' || (c == '\t' && delimiter != '\t'); };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// The lines of the text; a line ends at LF, CR LF or a bare CR.
std::vector<std::string_view> lines(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3); // a spreadsheet's byte-order mark
    std::vector<std::string_view> out;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        out.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        const std::size_t next = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? end + 2 : end + 1;
        text.remove_prefix(next);
    }
    return out;
}

bool isBlank(std::string_view line)
{
    return trimmed(line, '\0').empty();
}

std::string lineText(std::size_t line)
{
    return "line " + std::to_string(line + 1);
}

std::string where(const std::string& source, std::size_t line, const std::string& column)
{
    return source + ", " + lineText(line) + ", " + column;
}

std::string delimiterName(char delimiter)
{
    return delimiter == '\t' ? "a tab" : std::string("'") + delimiter + "'";
}

// The fields of one line; a quoted field may hold the delimiter and doubled quotes.
std::vector<std::string> splitFields(std::string_view line, char delimiter, const std::string& source,
                                     std::size_t lineIndex)
{
    std::vector<std::string> fields;
    std::size_t i = 0;
    const auto blank = [&](char c) { return c == ' ' || (c == '\t' && delimiter != '\t'); };
    while (true) {
        std::string field;
        while (i < line.size() && blank(line[i])) ++i;
        if (i < line.size() && line[i] == '"') {
            ++i;
            while (true) {
                if (i >= line.size()) throw DataError(source + ", " + lineText(lineIndex) + ": a quoted field is not closed");
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            while (i < line.size() && line[i] != delimiter) {
                if (!blank(line[i])) throw DataError(source + ", " + lineText(lineIndex) + ": text after a quoted field");
                ++i;
            }
        } else {
            const std::size_t end = std::min(line.find(delimiter, i), line.size());
            field = std::string(trimmed(line.substr(i, end - i), delimiter));
            i = end;
        }
        fields.push_back(std::move(field));
        if (i >= line.size()) break;
        ++i; // the delimiter
    }
    return fields;
}

bool equalNoCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// Whether the text would be a number if its one comma were a point.
bool hasDecimalComma(std::string_view cell)
{
    const std::size_t comma = cell.find(',');
    if (comma == std::string_view::npos || cell.find(',', comma + 1) != std::string_view::npos) return false;
    std::string pointed(cell);
    pointed[comma] = '.';
    double v;
    return read_number(pointed, v) != NumberText::not_a_number;
}

// One cell: true with the value, false for an NA or empty cell; a cell the
// library refuses stops the run. nondetect: whether the cell was "<DL".
bool cellValue(std::string_view cell, double& value, bool& nondetect, const std::string& place, bool decimalComma)
{
    const Cell read = read_cell(cell, decimalComma);
    nondetect = read.observation && read.observation->nondetect;
    if (read.observation) value = read.observation->value;
    if (!read.refusal) return read.observation.has_value();
    cell = trimmed(cell);
    std::string why = place + ": " + in_quotes(cell) + " ";
    switch (*read.refusal) {
    case CellRefusal::point_with_decimal_comma:
        why += "has a point; with --decimal-comma the comma is the decimal separator (and thousands separators are "
               "not read)";
        break;
    case CellRefusal::not_a_number:
        why += describe(*read.refusal);
        if (!decimalComma && hasDecimalComma(cell.front() == '<' ? trimmed(cell.substr(1)) : cell))
            why += " (for decimal commas give --decimal-comma)";
        else if (cell == "N/A" || equalNoCase(cell, "na"))
            why += " (a missing value is an empty cell or NA)";
        break;
    default: why += describe(*read.refusal);
    }
    throw DataError(why);
}

// Whether a first line is data rather than a header.
bool looksLikeValue(std::string_view line)
{
    line = trimmed(line);
    double v;
    if (read_number(line, v) != NumberText::not_a_number) return true;
    for (const std::string_view word : {"ND", "NA", "N/A", "nan", "inf"})
        if (equalNoCase(line, word)) return true;
    const char c = line.front();
    return c == '<' || c == '-' || c == '+' || c == '.' || (c >= '0' && c <= '9');
}

// A cell of the column of nondetect marks: true for a nondetect, false for a
// detect; anything else stops the run.
bool nondetectMark(std::string_view cell, const std::string& place)
{
    if (const std::optional<bool> mark = read_nondetect_mark(cell)) return *mark;
    throw DataError(place + ": " + in_quotes(trimmed(cell)) + " " + mark_refusal());
}

std::string columnList(const std::vector<std::string>& header)
{
    std::string list;
    for (const std::string& h : header) list += (list.empty() ? "" : ", ") + escaped(h);
    return list;
}

} // namespace

Measurements read_measurements(const std::string& text, const std::string& source, const ReadOptions& options)
{
    const std::vector<std::string_view> all = lines(text);
    Measurements m;
    m.group_columns = options.groups;
    std::size_t first = 0;
    while (first < all.size() && isBlank(all[first])) ++first;
    if (first == all.size())
        throw DataError(source + (all.empty() ? " is empty" : " holds only blank lines") + ": no values to read");
    m.blank_lines = static_cast<long long>(first);

    // One value per line: no options that name columns, and the first line a value.
    const bool namesColumns =
        options.column || !options.groups.empty() || !options.where.empty() || options.nd_column;
    if (!namesColumns && looksLikeValue(all[first])) {
        m.column = "column 1";
        Group g;
        for (std::size_t i = first; i < all.size(); ++i) {
            if (isBlank(all[i])) {
                ++m.blank_lines;
                continue;
            }
            double v;
            bool nondetect;
            if (cellValue(all[i], v, nondetect, where(source, i, m.column), options.decimal_comma)) {
                g.sample.push_back({v, nondetect});
            } else {
                ++g.skipped;
            }
        }
        g.skipped += m.blank_lines;
        m.groups.push_back(std::move(g));
        return m;
    }

    const char delimiter = options.delimiter;
    const std::vector<std::string> header = splitFields(all[first], delimiter, source, first);
    // A header of one field that holds another separator is probably split wrongly.
    const auto hint = [&] {
        if (header.size() != 1 || delimiter != ',') return std::string();
        for (const char other : {';', '\t'})
            if (header[0].find(other) != std::string::npos)
                return "; for fields separated by " + delimiterName(other) + " give --delimiter '" +
                       (other == '\t' ? std::string("\\t") : std::string(1, other)) + "'";
        return std::string();
    };
    const auto find = [&](const std::string& name, const char* option) {
        for (std::size_t i = 0; i < header.size(); ++i)
            if (header[i] == name) return i;
        throw UsageError(std::string(option) + " " + escaped(name) + ": " + source + " has no such column (its columns: " +
                         columnList(header) + hint() + ")");
    };
    std::size_t valueIndex = 0;
    if (options.column)
        valueIndex = find(*options.column, "--column");
    else if (header.size() != 1)
        throw UsageError(source + " has several columns (" + columnList(header) + "): choose one with --column");
    std::vector<std::size_t> groupIndex;
    for (const std::string& g : options.groups) groupIndex.push_back(find(g, "--group"));
    const std::size_t markIndex = options.nd_column ? find(*options.nd_column, "--nd-column") : 0;
    // Conditions on one column are alternatives; conditions on different columns must all hold.
    std::map<std::size_t, std::vector<std::string>> accepted;
    for (const auto& [name, value] : options.where) accepted[find(name, "--where")].push_back(value);
    m.column = "column " + in_quotes(header[valueIndex]);

    std::map<std::vector<std::string>, std::size_t> index; // group keys -> position in m.groups
    if (options.groups.empty()) m.groups.emplace_back();
    bool anyRow = false;
    for (std::size_t i = first + 1; i < all.size(); ++i) {
        if (isBlank(all[i])) {
            ++m.blank_lines;
            continue;
        }
        const std::vector<std::string> fields = splitFields(all[i], delimiter, source, i);
        if (fields.size() != header.size())
            throw DataError(source + ", " + lineText(i) + ": " + std::to_string(fields.size()) +
                            (fields.size() == 1 ? " field" : " fields") + " where the header has " +
                            std::to_string(header.size()) + " (fields separated by " + delimiterName(delimiter) + ")");
        const bool chosen = std::all_of(accepted.begin(), accepted.end(), [&](const auto& condition) {
            const auto& values = condition.second;
            return std::find(values.begin(), values.end(), fields[condition.first]) != values.end();
        });
        if (!chosen) continue;
        anyRow = true;
        Group* g = nullptr;
        if (options.groups.empty()) {
            g = &m.groups.front();
        } else {
            std::vector<std::string> keys;
            for (const std::size_t k : groupIndex) keys.push_back(fields[k]);
            const auto [it, added] = index.emplace(keys, m.groups.size());
            if (added) {
                Group& fresh = m.groups.emplace_back();
                std::string name;
                for (const std::string& key : keys) name += (name.empty() ? "" : "/") + key;
                fresh.name = std::move(name);
                fresh.keys = std::move(keys);
            }
            g = &m.groups[it->second];
        }
        double v;
        bool nondetect;
        if (!cellValue(fields[valueIndex], v, nondetect, where(source, i, m.column), options.decimal_comma)) {
            ++g->skipped;
            continue;
        }
        if (options.nd_column) {
            const std::string markColumn = "column " + in_quotes(header[markIndex]);
            const bool marked = nondetectMark(fields[markIndex], where(source, i, markColumn));
            if (nondetect && !marked)
                throw DataError(where(source, i, m.column) + ": " + in_quotes(trimmed(fields[valueIndex])) +
                                " is a nondetect, but " + markColumn + " marks it detected (" +
                                in_quotes(trimmed(fields[markIndex])) + ")");
            nondetect = marked;
        }
        g->sample.push_back({v, nondetect});
    }
    if (!accepted.empty() && !anyRow) throw DataError(source + ": no rows meet the --where conditions");
    if (m.groups.empty()) throw DataError(source + ": no values below the header");
    if (options.groups.empty()) m.groups.front().skipped += m.blank_lines;
    return m;
}

std::string group_text(const std::optional<std::string>& name)
{
    return name ? "group " + in_quotes(*name) : std::string("the data");
}

std::string one_per_group(const std::string& what, const std::vector<std::string>& group_columns)
{
    return "one " + what + " per value of " + (group_columns.size() == 1 ? "column " : "columns ") +
           quoted_list(group_columns);
}

} // namespace velmar::cli

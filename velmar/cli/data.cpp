// Reading measurements: one value per line or CSV with a header.

#include "velmar/cli/data.h"

#include "velmar/cli/parse.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <map>

namespace velmar::cli {

namespace {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> lines(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3); // a spreadsheet's byte-order mark
    std::vector<std::string_view> out;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        out.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return out;
}

bool isBlank(std::string_view line)
{
    return trimmed(line).empty();
}

std::string where(const std::string& source, std::size_t line, const std::string& column)
{
    return source + ", line " + std::to_string(line + 1) + ", " + column;
}

// The fields of one CSV line; a quoted field may hold commas and doubled quotes.
std::vector<std::string> csvFields(std::string_view line, const std::string& source, std::size_t lineIndex)
{
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (true) {
        std::string field;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i < line.size() && line[i] == '"') {
            ++i;
            while (true) {
                if (i >= line.size())
                    throw DataError(source + ", line " + std::to_string(lineIndex + 1) + ": a quoted field is not closed");
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
            while (i < line.size() && line[i] != ',') {
                if (line[i] != ' ' && line[i] != '\t')
                    throw DataError(source + ", line " + std::to_string(lineIndex + 1) +
                                    ": text after a quoted field");
                ++i;
            }
        } else {
            const std::size_t end = std::min(line.find(',', i), line.size());
            field = std::string(trimmed(line.substr(i, end - i)));
            i = end;
        }
        fields.push_back(std::move(field));
        if (i >= line.size()) break;
        ++i; // the comma
    }
    return fields;
}

// One cell: true with the value, false for an NA or empty cell; anything
// else that is not a positive finite number, or "<" and one, stops the run.
// nondetect: whether the cell was "<DL".
bool cellValue(std::string_view cell, double& value, bool& nondetect, const std::string& place)
{
    cell = trimmed(cell);
    nondetect = false;
    if (cell.empty() || cell == "NA") return false;
    std::string_view digits = cell;
    if (digits.front() == '<') {
        nondetect = true;
        digits = trimmed(digits.substr(1));
    }
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
    std::string quoted(1, '"');
    quoted.append(cell);
    quoted += '"';
    if (ptr != end || digits.empty() || (ec != std::errc() && ec != std::errc::result_out_of_range))
        throw DataError(place + ": " + quoted + " is not a number");
    if (ec == std::errc::result_out_of_range || !std::isfinite(value))
        throw DataError(place + ": " + quoted + " is not a finite number");
    if (!(value > 0.0))
        throw DataError(place + ": " + quoted + " is not positive (lognormal data are greater than 0)");
    return true;
}

bool looksLikeValue(std::string_view line)
{
    line = trimmed(line);
    double v;
    return line == "NA" || parse_number(line, v) || line.front() == '-' || line.front() == '+' ||
           line.front() == '.' || line.front() == '<' || (line.front() >= '0' && line.front() <= '9');
}

// A cell of the column of nondetect marks: true for a nondetect, false for a
// detect; anything else stops the run.
bool nondetectMark(std::string_view cell, const std::string& place)
{
    std::string mark(trimmed(cell));
    for (char& c : mark) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* m : {"<", "ND", "U", "TRUE", "Y", "YES"})
        if (mark == m) return true;
    for (const char* m : {"", "=", "D", "FALSE", "N", "NO"})
        if (mark == m) return false;
    throw DataError(place + ": \"" + std::string(trimmed(cell)) +
                    "\" is not a nondetect mark (<, ND, U, TRUE, Y, YES) or a detect mark (empty, =, D, FALSE, N, NO)");
}

std::string columnList(const std::vector<std::string>& header)
{
    std::string list;
    for (const std::string& h : header) list += (list.empty() ? "" : ", ") + h;
    return list;
}

} // namespace

Measurements read_measurements(const std::string& text, const std::string& source,
                               const std::optional<std::string>& column, const std::optional<std::string>& group,
                               const std::optional<std::string>& nd_column)
{
    const std::vector<std::string_view> all = lines(text);
    Measurements m;
    std::size_t first = 0;
    while (first < all.size() && isBlank(all[first])) ++first;
    m.blank_lines = static_cast<long long>(first);

    // One value per line: no options that name columns, and the first line a value.
    if (!column && !group && !nd_column && (first == all.size() || looksLikeValue(all[first]))) {
        m.column = "column 1";
        Group g;
        for (std::size_t i = first; i < all.size(); ++i) {
            if (isBlank(all[i])) {
                ++m.blank_lines;
                continue;
            }
            double v;
            bool nondetect;
            if (cellValue(all[i], v, nondetect, where(source, i, m.column))) {
                g.values.push_back(v);
                g.nondetect.push_back(nondetect);
            } else {
                ++g.skipped;
            }
        }
        g.skipped += m.blank_lines;
        m.groups.push_back(std::move(g));
        return m;
    }

    const std::vector<std::string> header = csvFields(all[first], source, first);
    const auto find = [&](const std::string& name, const char* option) {
        for (std::size_t i = 0; i < header.size(); ++i)
            if (header[i] == name) return i;
        throw UsageError(std::string(option) + " " + name + ": " + source + " has no such column (its columns: " +
                         columnList(header) + ")");
    };
    std::size_t valueIndex = 0;
    if (column)
        valueIndex = find(*column, "--column");
    else if (header.size() != 1)
        throw UsageError(source + " has several columns (" + columnList(header) + "): choose one with --column");
    const std::size_t groupIndex = group ? find(*group, "--group") : 0;
    const std::size_t markIndex = nd_column ? find(*nd_column, "--nd-column") : 0;
    m.column = "column \"" + header[valueIndex] + "\"";

    std::map<std::string, std::size_t> index; // group name -> position in m.groups
    if (!group) m.groups.emplace_back();
    for (std::size_t i = first + 1; i < all.size(); ++i) {
        if (isBlank(all[i])) {
            ++m.blank_lines;
            continue;
        }
        const std::vector<std::string> fields = csvFields(all[i], source, i);
        if (fields.size() != header.size())
            throw DataError(source + ", line " + std::to_string(i + 1) + ": " + std::to_string(fields.size()) +
                            (fields.size() == 1 ? " field" : " fields") + " where the header has " +
                            std::to_string(header.size()));
        Group* g = nullptr;
        if (!group) {
            g = &m.groups.front();
        } else {
            const std::string& name = fields[groupIndex];
            const auto [it, added] = index.emplace(name, m.groups.size());
            if (added) {
                m.groups.emplace_back();
                m.groups.back().name = name;
            }
            g = &m.groups[it->second];
        }
        double v;
        bool nondetect;
        if (!cellValue(fields[valueIndex], v, nondetect, where(source, i, m.column))) {
            ++g->skipped;
            continue;
        }
        if (nd_column) {
            const std::string markColumn = "column \"" + header[markIndex] + "\"";
            const bool marked = nondetectMark(fields[markIndex], where(source, i, markColumn));
            if (nondetect && !marked)
                throw DataError(where(source, i, m.column) + ": \"" + std::string(trimmed(fields[valueIndex])) +
                                "\" is a nondetect, but " + markColumn + " marks it detected (\"" +
                                std::string(trimmed(fields[markIndex])) + "\")");
            nondetect = marked;
        }
        g->values.push_back(v);
        g->nondetect.push_back(nondetect);
    }
    if (!group) m.groups.front().skipped += m.blank_lines;
    return m;
}

} // namespace velmar::cli

// Writing records as text, CSV or JSON.

#include "velmar/cli/output.h"

#include "velmar/cli/parse.h"
#include "velmar/velmar.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace velmar::cli {

namespace {

// Output is handed to the sink in pieces of about this size.
constexpr std::size_t sinkPiece = 1 << 16;

bool isEmpty(const Value& v)
{
    if (std::holds_alternative<std::monostate>(v)) return true;
    if (const double* d = std::get_if<double>(&v)) return !std::isfinite(*d);
    return false;
}

std::string plain(const Field& f, bool forText)
{
    if (isEmpty(f.value)) return forText ? "-" : "";
    if (const double* d = std::get_if<double>(&f.value)) return forText && f.computed ? six_digits(*d) : shortest(*d);
    if (const long long* i = std::get_if<long long>(&f.value)) return std::to_string(*i);
    return forText ? escaped(std::get<std::string>(f.value)) : std::get<std::string>(f.value);
}

std::string escapedText(std::string_view text, bool escapeQuotes)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || (escapeQuotes && c == '"')) {
            out += '\\';
            out += c;
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (u < 0x20 || u == 0x7f) {
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

nlohmann::ordered_json jsonObject(const Record& r)
{
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const Field& f : r) {
        if (isEmpty(f.value))
            object[f.name] = nullptr;
        else if (const double* d = std::get_if<double>(&f.value))
            object[f.name] = *d;
        else if (const long long* i = std::get_if<long long>(&f.value))
            object[f.name] = *i;
        else
            object[f.name] = std::get<std::string>(f.value);
    }
    return object;
}

} // namespace

std::string in_quotes(std::string_view text)
{
    return '"' + escapedText(text, true) + '"';
}

std::string quoted_list(const std::vector<std::string>& texts)
{
    std::string list;
    for (const std::string& t : texts) list += (list.empty() ? "" : ", ") + in_quotes(t);
    return list;
}

std::string escaped(std::string_view text)
{
    return escapedText(text, false);
}

std::string csv_cell(const std::string& s)
{
    double number;
    const bool formula = !s.empty() && std::string_view("=+-@\t\r").find(s.front()) != std::string_view::npos &&
                         !parse_number(s, number);
    const bool quote = formula || s.find_first_of(",\"\r\n") != std::string::npos ||
                       (!s.empty() && (s.front() == ' ' || s.back() == ' '));
    if (!quote) return s;
    std::string out = formula ? "\"'" : "\"";
    for (const char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

ReportWriter::ReportWriter(Format format, std::function<void(std::string_view)> sink)
    : format_(format), sink_(std::move(sink))
{
}

void ReportWriter::heading(std::vector<std::string> lines)
{
    heading_ = std::move(lines);
    sink_({});
}

void ReportWriter::flushIfFull()
{
    if (buffer_.size() < sinkPiece) return;
    sink_(buffer_);
    buffer_.clear();
}

// Chooses the text columns and their widths from the records held, and
// writes the heading, the names and those records.
void ReportWriter::startText()
{
    started_ = true;
    for (const std::string& line : heading_) buffer_ += line + '\n';
    if (held_.empty()) return;
    if (!heading_.empty()) buffer_ += '\n';
    const bool whole = held_.size() <= textWidthRows;
    const Record& first = held_.front();
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (!first[i].in_text) continue;
        const bool empty =
            std::all_of(held_.begin(), held_.end(), [&](const Record& r) { return isEmpty(r[i].value); });
        if (!(empty && whole)) columns_.push_back(i);
    }
    width_.assign(columns_.size(), 0);
    leftAligned_.assign(columns_.size(), true);
    Record names;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        width_[c] = first[columns_[c]].name.size();
        for (const Record& r : held_) {
            const Field& f = r[columns_[c]];
            width_[c] = std::max(width_[c], plain(f, true).size());
            if (std::holds_alternative<double>(f.value) || std::holds_alternative<long long>(f.value))
                leftAligned_[c] = false;
        }
    }
    for (const Field& f : first) names.push_back({f.name, f.name});
    buffer_ += textLine(names);
    for (const Record& r : held_) {
        buffer_ += textLine(r);
        flushIfFull();
    }
    held_.clear();
    held_.shrink_to_fit();
}

std::string ReportWriter::textLine(const Record& record) const
{
    std::string text;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        const std::string cell = plain(record[columns_[c]], true);
        const std::string pad(width_[c] > cell.size() ? width_[c] - cell.size() : 0, ' ');
        if (c > 0) text += "  ";
        text += leftAligned_[c] ? cell + pad : pad + cell;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + '\n';
}

void ReportWriter::add(Record record)
{
    switch (format_) {
    case Format::text:
        if (started_) {
            buffer_ += textLine(record);
        } else {
            held_.push_back(std::move(record));
            if (held_.size() > textWidthRows) startText();
        }
        break;
    case Format::csv: {
        const auto row = [&](bool header) {
            std::string text;
            for (std::size_t i = 0; i < record.size(); ++i) {
                if (i > 0) text += ',';
                text += csv_cell(header ? record[i].name : plain(record[i], false));
            }
            return text + '\n';
        };
        if (count_ == 0) buffer_ += row(true);
        buffer_ += row(false);
        break;
    }
    case Format::json: {
        // The layout of a JSON array dumped with an indent of 2, one object at a time.
        buffer_ += count_ == 0 ? "[\n  " : ",\n  ";
        // Group names come from the user's file: bytes that are not UTF-8 are replaced, not fatal.
        const std::string object =
            jsonObject(record).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        for (const char c : object) {
            buffer_ += c;
            if (c == '\n') buffer_ += "  ";
        }
        break;
    }
    }
    ++count_;
    flushIfFull();
}

void ReportWriter::finish()
{
    if (format_ == Format::text && !started_) startText();
    if (format_ == Format::json) buffer_ += count_ == 0 ? "[]\n" : "\n]\n";
    if (!buffer_.empty()) sink_(buffer_);
    buffer_.clear();
}

std::string six_digits(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return buffer;
}

std::string program_name()
{
    return "Velmar " + std::string(version());
}

std::string shortest(double value)
{
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, r.ptr);
}

} // namespace velmar::cli

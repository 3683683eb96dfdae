// Writing records as text, CSV or JSON.

#include "velmar/cli/output.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace velmar::cli {

namespace {

bool isEmpty(const Value& v)
{
    if (std::holds_alternative<std::monostate>(v)) return true;
    if (const double* d = std::get_if<double>(&v)) return !std::isfinite(*d);
    return false;
}

std::string sixDigits(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return buffer;
}

std::string plain(const Field& f, bool forText)
{
    if (isEmpty(f.value)) return forText ? "-" : "";
    if (const double* d = std::get_if<double>(&f.value)) return forText && f.computed ? sixDigits(*d) : shortest(*d);
    if (const long long* i = std::get_if<long long>(&f.value)) return std::to_string(*i);
    return std::get<std::string>(f.value);
}

std::string csvCell(const std::string& s)
{
    const bool quote = s.find_first_of(",\"\r\n") != std::string::npos ||
                       (!s.empty() && (s.front() == ' ' || s.back() == ' '));
    if (!quote) return s;
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

std::string renderText(const Report& report)
{
    std::string out;
    for (const std::string& line : report.heading) out += line + '\n';
    if (report.records.empty()) return out;
    if (!report.heading.empty()) out += '\n';

    const Record& first = report.records.front();
    std::vector<std::size_t> columns;
    // A column that is empty in every record (the side not computed) is left out.
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (!first[i].in_text) continue;
        const bool empty = std::all_of(report.records.begin(), report.records.end(),
                                       [&](const Record& r) { return isEmpty(r[i].value); });
        if (!empty) columns.push_back(i);
    }
    std::vector<std::vector<std::string>> cells;
    std::vector<std::size_t> width(columns.size());
    std::vector<bool> leftAligned(columns.size(), true);
    for (std::size_t c = 0; c < columns.size(); ++c) width[c] = first[columns[c]].name.size();
    for (const Record& r : report.records) {
        std::vector<std::string> row;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const Field& f = r[columns[c]];
            row.push_back(plain(f, true));
            width[c] = std::max(width[c], row.back().size());
            if (std::holds_alternative<double>(f.value) || std::holds_alternative<long long>(f.value))
                leftAligned[c] = false;
        }
        cells.push_back(std::move(row));
    }
    const auto line = [&](const std::vector<std::string>& row) {
        std::string text;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string pad(width[c] - row[c].size(), ' ');
            if (c > 0) text += "  ";
            text += leftAligned[c] ? row[c] + pad : pad + row[c];
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return text + '\n';
    };
    std::vector<std::string> names;
    for (const std::size_t i : columns) names.push_back(first[i].name);
    out += line(names);
    for (const auto& row : cells) out += line(row);
    return out;
}

std::string renderCsv(const Report& report)
{
    std::string out;
    if (report.records.empty()) return out;
    const auto row = [&](const Record& r, bool header) {
        std::string text;
        for (std::size_t i = 0; i < r.size(); ++i) {
            if (i > 0) text += ',';
            text += csvCell(header ? r[i].name : plain(r[i], false));
        }
        return text + '\n';
    };
    out += row(report.records.front(), true);
    for (const Record& r : report.records) out += row(r, false);
    return out;
}

std::string renderJson(const Report& report)
{
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const Record& r : report.records) {
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
        array.push_back(std::move(object));
    }
    // Group names come from the user's file: bytes that are not UTF-8 are replaced, not fatal.
    return array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

} // namespace

std::string shortest(double value)
{
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, r.ptr);
}

std::string render(const Report& report, Format format)
{
    switch (format) {
    case Format::text: return renderText(report);
    case Format::csv: return renderCsv(report);
    case Format::json: return renderJson(report);
    }
    return {};
}

} // namespace velmar::cli

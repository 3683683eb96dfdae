// Reading a lab's cells: numbers as users type them, measurement cells
// ("0.5", "<0.5", "NA") and nondetect marks. Every face reads cells here, so
// that a file and a table mean the same thing by the same text.

#include <velmar/velmar.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace velmar {

namespace {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool equal_no_case(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
    });
}

constexpr std::array<std::string_view, 6> nondetectMarks{"<", "ND", "U", "TRUE", "Y", "YES"};
constexpr std::array<std::string_view, 6> detectMarks{"", "=", "D", "FALSE", "N", "NO"};

} // namespace

NumberText read_number(std::string_view text, double& value)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return NumberText::not_a_number;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (ptr != end || (ec != std::errc() && ec != std::errc::result_out_of_range)) return NumberText::not_a_number;
    if (ec == std::errc::result_out_of_range) {
        // The form is a number; strtod (C locale) tells which end of the range it left.
        const std::string copy(text);
        const double rounded = std::strtod(copy.c_str(), nullptr);
        return std::fabs(rounded) < 1.0 ? NumberText::underflow : NumberText::overflow;
    }
    return std::isfinite(value) ? NumberText::finite : NumberText::not_finite;
}

std::string_view number_refusal(NumberText kind)
{
    switch (kind) {
    case NumberText::finite: return "is a number";
    case NumberText::not_a_number: return "is not a number";
    case NumberText::not_finite: return "is not a finite number";
    case NumberText::overflow: return "is beyond the range of doubles";
    case NumberText::underflow: return "underflows: it is too close to 0 for a double";
    }
    return {};
}

Cell read_cell(std::string_view text, bool decimal_comma)
{
    text = trimmed(text);
    if (text.empty() || text == "NA") return {};
    const auto refused = [](CellRefusal why) { return Cell{std::nullopt, why}; };
    if (equal_no_case(text, "ND")) return refused(CellRefusal::nondetect_without_limit);
    Observation o{0.0, text.front() == '<'};
    std::string digits(o.nondetect ? trimmed(text.substr(1)) : text);
    if (decimal_comma) {
        if (digits.find('.') != std::string::npos) return refused(CellRefusal::point_with_decimal_comma);
        std::replace(digits.begin(), digits.end(), ',', '.');
    }
    switch (read_number(digits, o.value)) {
    case NumberText::finite: break;
    case NumberText::not_a_number: return refused(CellRefusal::not_a_number);
    case NumberText::not_finite: return refused(CellRefusal::not_finite);
    case NumberText::overflow: return refused(CellRefusal::overflow);
    case NumberText::underflow: return refused(CellRefusal::underflow);
    }
    if (!(o.value > 0.0)) return refused(CellRefusal::not_positive);
    return {o, std::nullopt};
}

std::string_view describe(CellRefusal refusal)
{
    switch (refusal) {
    case CellRefusal::not_a_number: return number_refusal(NumberText::not_a_number);
    case CellRefusal::not_finite: return number_refusal(NumberText::not_finite);
    case CellRefusal::overflow: return number_refusal(NumberText::overflow);
    case CellRefusal::underflow: return number_refusal(NumberText::underflow);
    case CellRefusal::not_positive: return "is not positive (lognormal data are greater than 0)";
    case CellRefusal::nondetect_without_limit:
        return "marks a nondetect without its detection limit; write it as <DL";
    case CellRefusal::point_with_decimal_comma:
        return "has a point; with decimal commas the comma is the decimal separator (and thousands separators are "
               "not read)";
    }
    return "is not a measurement";
}

std::optional<bool> read_nondetect_mark(std::string_view text)
{
    text = trimmed(text);
    for (const std::string_view m : nondetectMarks)
        if (equal_no_case(text, m)) return true;
    for (const std::string_view m : detectMarks)
        if (equal_no_case(text, m)) return false;
    return std::nullopt;
}

std::span<const std::string_view> nondetect_marks()
{
    return nondetectMarks;
}

std::span<const std::string_view> detect_marks()
{
    return detectMarks;
}

std::string mark_refusal()
{
    const auto list = [](std::span<const std::string_view> marks) {
        std::string text;
        for (const std::string_view m : marks) text += (text.empty() ? "" : ", ") + std::string(m.empty() ? "empty" : m);
        return text;
    };
    return "is not a nondetect mark (" + list(nondetectMarks) + ") or a detect mark (" + list(detectMarks) + ")";
}

} // namespace velmar

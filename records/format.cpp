// Output layout of the record layer: format strings, fields and free-form records.
#include "records/descriptors.h"
#include "records/records.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

namespace records {

namespace {

// ---- Format strings -----------------------------------------------------------

class FormatParser {
public:
    explicit FormatParser(std::string_view text) : text_(text) {}

    std::vector<Descriptor> parse()
    {
        skipBlanks();
        expect('(');
        std::vector<Descriptor> out = list();
        expect(')');
        skipBlanks();
        if (pos_ != text_.size()) fail();
        return out;
    }

private:
    // Nesting deeper than this is a fault of the format.
    static constexpr int maxDepth = 8;

    std::vector<Descriptor> list()
    {
        if (++depth_ > maxDepth) fail();
        std::vector<Descriptor> out;
        for (;;) {
            skipBlanks();
            if (peek() == ')') break;
            item(out);
            skipBlanks();
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            if (peek() == ')') break;
            // kP may run straight into the next descriptor ("1PE12.4"), and a
            // backslash may follow a descriptor ("(a\\)").
            if (peek() == '\\' || (!out.empty() && out.back().kind == Descriptor::Kind::scale)) continue;
            fail();
        }
        --depth_;
        return out;
    }

    void item(std::vector<Descriptor>& out)
    {
        const bool negative = peek() == '-';
        if (negative) ++pos_;
        const int count = number(-1);
        skipBlanks();
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(peek())));
        if (c == 'P') {
            if (count < 0) fail();
            ++pos_;
            out.push_back({Descriptor::Kind::scale, -1, 0, negative ? -count : count});
            return;
        }
        if (negative) fail();
        const int repeat = count < 0 ? 1 : count;
        if (repeat < 1) fail();
        if (c == '(') {
            ++pos_;
            const std::vector<Descriptor> group = list();
            expect(')');
            for (int i = 0; i < repeat; ++i) out.insert(out.end(), group.begin(), group.end());
            return;
        }
        Descriptor d;
        ++pos_;
        switch (c) {
        case 'A':
            d.kind = Descriptor::Kind::text;
            d.width = number(-1);
            if (d.width == 0) fail();
            break;
        case 'I':
            d.kind = Descriptor::Kind::integer;
            d.width = positive();
            break;
        case 'F':
        case 'E':
            d.kind = c == 'F' ? Descriptor::Kind::fixed : Descriptor::Kind::exponent;
            d.width = positive();
            expect('.');
            d.decimals = number(-1);
            if (d.decimals < 0) fail();
            break;
        case '\\':
            if (count >= 0) fail();
            return;
        default:
            fail();
        }
        for (int i = 0; i < repeat; ++i) out.push_back(d);
    }

    int positive()
    {
        const int n = number(-1);
        if (n < 1) fail();
        return n;
    }

    // A decimal number, or fallback when none stands here.
    int number(int fallback)
    {
        skipBlanks();
        if (!std::isdigit(static_cast<unsigned char>(peek()))) return fallback;
        int n = 0;
        while (std::isdigit(static_cast<unsigned char>(peek()))) {
            n = n * 10 + (text_[pos_++] - '0');
            if (n > 10000) fail();
        }
        return n;
    }

    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    void skipBlanks()
    {
        while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    }
    void expect(char c)
    {
        skipBlanks();
        if (peek() != c) fail();
        ++pos_;
    }
    [[noreturn]] void fail() const { throw std::invalid_argument("malformed format " + std::string(text_)); }

    std::string_view text_;
    std::size_t pos_ = 0;
    int depth_ = 0;
};

// ---- Decimal digits -----------------------------------------------------------

// Extra digits printed beyond the rounding position. A double that is not an
// exact half at that position differs from it well within this many digits, so
// rounding up on a following digit of 5 or more rounds halves away from zero.
constexpr int guardDigits = 24;

// Adds one unit in the last place of a string of decimal digits; returns false
// when the carry runs out of the front ("999" becomes "000").
bool incrementDigits(std::string& digits)
{
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] == '.') continue;
        if (digits[i] != '9') {
            ++digits[i];
            return true;
        }
        digits[i] = '0';
    }
    return false;
}

// |v| rounded half away from zero to d decimals: "123.45", "0.95", "10." for d = 0.
std::string fixedDigits(double magnitude, int d)
{
    std::string s(std::numeric_limits<double>::max_exponent10 + 8 + static_cast<std::size_t>(d + guardDigits), '\0');
    const auto end = std::to_chars(s.data(), s.data() + s.size(), magnitude, std::chars_format::fixed,
                                   d + guardDigits).ptr;
    s.resize(static_cast<std::size_t>(end - s.data()));
    const std::size_t point = s.find('.');
    const bool up = s[point + 1 + static_cast<std::size_t>(d)] >= '5';
    s.resize(point + 1 + static_cast<std::size_t>(d));
    if (up && !incrementDigits(s)) s.insert(s.begin(), '1');
    return s;
}

// |v| rounded half away from zero to n significant digits, as the digits of
// 0.d1d2...dn x 10^exponent. Zero gives n zeros and exponent 0.
struct Significant {
    std::string digits;
    int exponent;
};

Significant significantDigits(double magnitude, int n)
{
    if (magnitude == 0.0) return {std::string(static_cast<std::size_t>(n), '0'), 0};
    std::string s(static_cast<std::size_t>(n + guardDigits) + 16, '\0');
    const auto end = std::to_chars(s.data(), s.data() + s.size(), magnitude, std::chars_format::scientific,
                                   n - 1 + guardDigits).ptr;
    s.resize(static_cast<std::size_t>(end - s.data()));
    const std::size_t e = s.find('e');
    std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
    int exponent = std::atoi(s.c_str() + e + 1) + 1;
    const bool up = digits[static_cast<std::size_t>(n)] >= '5';
    digits.resize(static_cast<std::size_t>(n));
    if (up && !incrementDigits(digits)) {
        digits.insert(digits.begin(), '1');
        digits.pop_back();
        ++exponent;
    }
    return {digits, exponent};
}

// "E+05", "E-12"; three-digit exponents drop the letter ("-120").
std::string exponentText(int e)
{
    const std::string digits = std::to_string(std::abs(e));
    const char sign = e < 0 ? '-' : '+';
    if (digits.size() <= 2) return std::string("E") + sign + (digits.size() == 1 ? "0" : "") + digits;
    return sign + digits;
}

// A text wider than its field widens the field: no character of a number is
// ever dropped or replaced by asterisks.
std::string rightJustify(const std::string& s, int width)
{
    if (static_cast<int>(s.size()) >= width) return s;
    return std::string(static_cast<std::size_t>(width) - s.size(), ' ') + s;
}

// NaN and infinities are written as words, right-justified.
std::optional<std::string> nonFinite(double value, int width)
{
    if (std::isnan(value)) return rightJustify("NaN", width);
    if (std::isinf(value)) return rightJustify(value < 0 ? "-Inf" : "Inf", width);
    return std::nullopt;
}

// A number with an optional leading "0" before the point that is dropped when
// the field has no room for it.
std::string fitNumber(bool negative, std::string body, int width)
{
    if (negative) body.insert(body.begin(), '-');
    const std::size_t zero = negative ? 1 : 0;
    if (static_cast<int>(body.size()) > width && body.size() > zero + 1 && body[zero] == '0' &&
        body[zero + 1] == '.')
        body.erase(zero, 1);
    return rightJustify(body, width);
}

// From here on an F field too narrow for its value is written in exponent form.
constexpr double largestPlainFixed = 1e15;

// ---- Free-form numbers --------------------------------------------------------

constexpr int freeIntegerWidth = 11;
constexpr int freeRealWidth = 24;
constexpr int freeRealDigits = 15;
constexpr std::size_t freeRecordLimit = 79;

// Fixed form for 0.1 <= |v| < 1e15, else the exponent form d.dddE+xx.
std::string freeReal(double value)
{
    if (auto word = nonFinite(value, freeRealWidth)) return *word;
    const Significant sig = significantDigits(std::fabs(value), freeRealDigits);
    std::string body;
    if (value == 0.0 || (sig.exponent >= 0 && sig.exponent <= freeRealDigits)) {
        if (sig.exponent == 0)
            body = "0." + sig.digits;
        else
            body = sig.digits.substr(0, static_cast<std::size_t>(sig.exponent)) + "." +
                   sig.digits.substr(static_cast<std::size_t>(sig.exponent));
    } else {
        body = sig.digits.substr(0, 1) + "." + sig.digits.substr(1) + exponentText(sig.exponent - 1);
    }
    if (value < 0) body.insert(body.begin(), '-');
    return rightJustify(body, freeRealWidth);
}

} // namespace

std::vector<Descriptor> parseFormat(std::string_view format)
{
    return FormatParser(format).parse();
}

// ---- Fields -------------------------------------------------------------------

std::string formatInteger(int value, int width)
{
    return rightJustify(std::to_string(value), width);
}

std::string formatFixed(double value, int width, int decimals, int scale)
{
    if (auto word = nonFinite(value, width)) return *word;
    const double scaled = scale == 0 ? value : value * std::pow(10.0, scale);
    const std::string text = fitNumber(scaled < 0, fixedDigits(std::fabs(scaled), decimals), width);
    // A value that overflows its field by more digits than a double holds is
    // clearer in exponent form, with as many decimals (1 to 14) as asked for.
    // Its exponent always keeps the letter E, whatever its number of digits.
    if (static_cast<int>(text.size()) > width && std::fabs(scaled) >= largestPlainFixed) {
        std::string e = formatExponent(scaled, width, std::clamp(decimals, 1, 14), 1);
        if (e.find('E') == std::string::npos) e.insert(e.size() - 4, 1, 'E');
        return e;
    }
    return text;
}

std::string formatExponent(double value, int width, int decimals, int scale)
{
    if (auto word = nonFinite(value, width)) return *word;
    // Under scale k the mantissa has k digits before the point (k > 0) or
    // -k zeros after it (k <= 0); the significant digits follow.
    if (scale <= -decimals || scale > decimals + 1) return std::string(static_cast<std::size_t>(width), '*');
    const int digits = scale > 0 ? decimals + 1 : decimals + scale;
    const Significant sig = significantDigits(std::fabs(value), digits);
    std::string mantissa;
    if (scale > 0) {
        mantissa = sig.digits.substr(0, static_cast<std::size_t>(scale)) + "." +
                   sig.digits.substr(static_cast<std::size_t>(scale));
    } else {
        mantissa = "0." + std::string(static_cast<std::size_t>(-scale), '0') + sig.digits;
    }
    const int e = value == 0.0 ? 0 : sig.exponent - scale;
    if (std::abs(e) > 999) return std::string(static_cast<std::size_t>(width), '*');
    return fitNumber(value < 0, mantissa + exponentText(e), width);
}

std::string fixedText(std::string_view text, std::size_t length)
{
    std::string s(text.substr(0, length));
    s.resize(length, ' ');
    return s;
}

// ---- Records ------------------------------------------------------------------

namespace {

[[noreturn]] void wrongItem(std::string_view format)
{
    throw std::invalid_argument("item does not suit its descriptor in " + std::string(format));
}

std::string field(const Descriptor& d, const Item& item, int scale, std::string_view format)
{
    switch (d.kind) {
    case Descriptor::Kind::text: {
        const auto* text = std::get_if<std::string_view>(&item);
        if (!text) wrongItem(format);
        if (d.width < 0) return std::string(*text);
        const auto w = static_cast<std::size_t>(d.width);
        if (text->size() >= w) return std::string(text->substr(0, w));
        return std::string(w - text->size(), ' ') + std::string(*text);
    }
    case Descriptor::Kind::integer: {
        const int* value = std::get_if<int>(&item);
        if (!value) wrongItem(format);
        return formatInteger(*value, d.width);
    }
    case Descriptor::Kind::fixed:
    case Descriptor::Kind::exponent: {
        const double* value = std::get_if<double>(&item);
        if (!value) wrongItem(format);
        return d.kind == Descriptor::Kind::fixed ? formatFixed(*value, d.width, d.decimals, scale)
                                                 : formatExponent(*value, d.width, d.decimals, scale);
    }
    default:
        return {};
    }
}

} // namespace

namespace {

bool isNumeric(const Descriptor& d)
{
    return d.kind == Descriptor::Kind::integer || d.kind == Descriptor::Kind::fixed ||
           d.kind == Descriptor::Kind::exponent;
}

// A number that fills its field keeps a blank between itself and a word or
// number before it; at the start of a console record it gets a blank in
// front, which serves as the carriage control.
void append(std::string& record, const Descriptor& d, std::string text, bool carriageControl)
{
    if (isNumeric(d) && !text.empty() && text.front() != ' ') {
        const bool runsIn = !record.empty() && (std::isalnum(static_cast<unsigned char>(record.back())) ||
                                                record.back() == '.');
        if (runsIn || (record.empty() && carriageControl)) text.insert(text.begin(), ' ');
    }
    record += text;
}

} // namespace

std::vector<std::string> formatRecords(std::string_view format, std::span<const Item> items, bool carriageControl)
{
    const std::vector<Descriptor> descriptors = parseFormat(format);
    std::vector<std::string> records(1);
    std::size_t next = 0;
    int scale = 0;
    for (;;) {
        const std::size_t before = next;
        for (const Descriptor& d : descriptors) {
            if (d.kind == Descriptor::Kind::scale) {
                scale = d.scale;
                continue;
            }
            if (!d.isData()) continue;
            if (next == items.size()) return records;
            append(records.back(), d, field(d, items[next++], scale, format), carriageControl);
        }
        if (next == items.size()) return records;
        if (next == before) wrongItem(format);
        records.emplace_back();
    }
}

std::vector<std::string> freeFormRecords(std::span<const Item> items)
{
    std::vector<std::string> records(1, " ");
    bool first = true;
    for (const Item& item : items) {
        if (const auto* text = std::get_if<std::string_view>(&item)) {
            records.back() += *text;
        } else {
            std::string number = std::holds_alternative<int>(item)
                                     ? formatInteger(std::get<int>(item), freeIntegerWidth)
                                     : freeReal(std::get<double>(item));
            if (!first) number.insert(number.begin(), ' ');
            if (records.back().size() + number.size() > freeRecordLimit) {
                records.emplace_back(" ");
                if (!first) number.erase(0, 1);
            }
            records.back() += number;
        }
        first = false;
    }
    return records;
}

std::string internalRecord(std::string_view format, std::initializer_list<Item> items, std::size_t length)
{
    return fixedText(formatRecords(format, items).front(), length);
}

} // namespace records

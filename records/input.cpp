// Input side of the record layer: formatted fields and free-form values.
#include "records/descriptors.h"
#include "records/records.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace records {

namespace {

using Value = std::variant<int, double, std::string>;

bool isDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// An integer: optional sign and digits. Empty reads as zero.
std::optional<int> parseInteger(std::string_view s)
{
    std::size_t i = 0;
    const bool negative = !s.empty() && s[0] == '-';
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) ++i;
    if (i == s.size() && i > 0) return std::nullopt;
    long long n = 0;
    for (; i < s.size(); ++i) {
        if (!isDigit(s[i])) return std::nullopt;
        n = n * 10 + (s[i] - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
    }
    if (negative) n = -n;
    if (n > INT_MAX || n < INT_MIN) return std::nullopt;
    return static_cast<int>(n);
}

// A real: optional sign, digits with at most one decimal point, and an
// optional exponent (E or D with an optional sign, or a sign alone). Without a
// decimal point the last impliedDecimals digits are decimals. Empty reads as 0.
std::optional<double> parseReal(std::string_view s, int impliedDecimals)
{
    if (s.empty()) return 0.0;
    std::size_t i = 0;
    std::string text;
    if (s[i] == '-' || s[i] == '+') text += s[i++];
    bool point = false;
    int digits = 0;
    for (; i < s.size(); ++i) {
        if (isDigit(s[i])) {
            ++digits;
        } else if (s[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
        text += s[i];
    }
    if (digits == 0) return std::nullopt;
    long exponent = 0;
    if (i < s.size()) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
        if (c == 'E' || c == 'D') ++i;
        else if (c != '+' && c != '-') return std::nullopt;
        const std::optional<int> e = parseInteger(s.substr(i));
        if (!e || i == s.size() || !isDigit(s.back())) return std::nullopt;
        exponent = *e;
    }
    if (!point) exponent -= impliedDecimals;
    text += 'e' + std::to_string(exponent);
    const double value = std::strtod(text.c_str(), nullptr);
    if (std::isinf(value)) return std::nullopt;
    return value;
}

std::string withoutBlanks(std::string_view s)
{
    std::string out;
    for (char c : s)
        if (c != ' ') out += c;
    return out;
}

[[noreturn]] void wrongTarget()
{
    throw std::invalid_argument("input variable does not suit its descriptor");
}

void assign(const Target& target, Value&& value)
{
    std::visit(
        [&](auto ref) {
            using T = typename decltype(ref)::type;
            ref.get() = std::get<T>(std::move(value));
        },
        target);
}

// Reads a numeric or text value of the target's type from a free-form token.
std::optional<Value> freeValue(const Target& target, std::string_view token)
{
    if (std::holds_alternative<std::reference_wrapper<std::string>>(target)) {
        const std::size_t length = std::get<std::reference_wrapper<std::string>>(target).get().size();
        return Value(fixedText(token, length));
    }
    if (token.empty()) return std::nullopt;
    if (std::holds_alternative<std::reference_wrapper<int>>(target)) {
        if (auto v = parseInteger(token)) return Value(*v);
        return std::nullopt;
    }
    if (auto v = parseReal(token, 0)) return Value(*v);
    return std::nullopt;
}

} // namespace

ReadStatus readFormatted(std::string_view line, std::string_view format, std::span<const Target> targets,
                         bool* tooLong)
{
    if (tooLong) *tooLong = false;
    const std::vector<Descriptor> descriptors = parseFormat(format);
    std::vector<Value> values;
    std::size_t pos = 0;
    for (const Descriptor& d : descriptors) {
        if (!d.isData()) continue;
        if (values.size() == targets.size()) break;
        const Target& target = targets[values.size()];
        const std::size_t start = std::min(pos, line.size());
        if (d.kind == Descriptor::Kind::text) {
            const auto* text = std::get_if<std::reference_wrapper<std::string>>(&target);
            if (!text) wrongTarget();
            const std::size_t length = text->get().size();
            const std::size_t width = d.width < 0 ? length : static_cast<std::size_t>(d.width);
            std::string taken = fixedText(line.substr(start, width), width);
            pos = start + width;
            // A field wider than the variable leaves its rightmost characters.
            if (width > length) taken.erase(0, width - length);
            values.emplace_back(fixedText(taken, length));
            continue;
        }
        // A numeric field ends at a comma, and the next field begins after it.
        const std::size_t end = std::min(start + static_cast<std::size_t>(d.width), line.size());
        std::size_t stop = line.find(',', start);
        if (stop == std::string_view::npos || stop >= end) {
            stop = end;
            pos = end;
        } else {
            pos = stop + 1;
        }
        const std::string field = withoutBlanks(line.substr(start, stop - start));
        if (d.kind == Descriptor::Kind::integer) {
            if (!std::holds_alternative<std::reference_wrapper<int>>(target)) wrongTarget();
            const std::optional<int> v = parseInteger(field);
            if (!v) return ReadStatus::error;
            values.emplace_back(*v);
        } else {
            if (!std::holds_alternative<std::reference_wrapper<double>>(target)) wrongTarget();
            const std::optional<double> v = parseReal(field, d.decimals);
            if (!v) return ReadStatus::error;
            values.emplace_back(*v);
        }
    }
    if (values.size() != targets.size()) wrongTarget();
    // Characters beyond the last field would be lost without a word.
    if (pos < line.size() && line.find_first_not_of(' ', pos) != std::string_view::npos) {
        if (tooLong) *tooLong = true;
        return ReadStatus::error;
    }
    for (std::size_t i = 0; i < targets.size(); ++i) assign(targets[i], std::move(values[i]));
    return ReadStatus::ok;
}

int inputColumns(std::string_view format)
{
    int columns = 0;
    for (const Descriptor& d : parseFormat(format))
        if (d.isData()) columns += d.width < 0 ? 0 : d.width;
    return columns;
}

ReadStatus readFreeForm(const std::function<std::optional<std::string>()>& nextLine,
                        std::span<const Target> targets)
{
    std::vector<std::optional<Value>> values; // nothing: a null value
    std::string line;
    std::size_t pos = 0;
    bool haveLine = false;
    bool afterValue = false; // a value was read and its separator not yet passed
    bool slash = false;
    while (values.size() < targets.size() && !slash) {
        if (!haveLine || pos >= line.size()) {
            std::optional<std::string> next = nextLine();
            if (!next) return ReadStatus::end;
            line = std::move(*next);
            pos = 0;
            haveLine = true; // the end of a record acts as a blank
            continue;
        }
        const char c = line[pos];
        if (c == ' ') {
            ++pos;
            continue;
        }
        if (c == ',') {
            ++pos;
            if (!afterValue) values.emplace_back(); // two separators: a null value
            afterValue = false;
            continue;
        }
        if (c == '/') {
            slash = true;
            break;
        }
        std::string token;
        if (c == '\'' || c == '"') {
            // A quoted text; a doubled quote stands for one quote.
            ++pos;
            for (;;) {
                if (pos >= line.size()) return ReadStatus::error;
                if (line[pos] == c) {
                    if (pos + 1 < line.size() && line[pos + 1] == c) {
                        token += c;
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                token += line[pos++];
            }
            if (!std::holds_alternative<std::reference_wrapper<std::string>>(targets[values.size()]))
                return ReadStatus::error;
        } else {
            const std::size_t end = line.find_first_of(" ,/", pos);
            token = line.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
            pos = end == std::string::npos ? line.size() : end;
        }
        std::optional<Value> v = freeValue(targets[values.size()], token);
        if (!v) return ReadStatus::error;
        values.push_back(std::move(v));
        afterValue = true;
    }
    for (std::size_t i = 0; i < values.size(); ++i)
        if (values[i]) assign(targets[i], std::move(*values[i]));
    return ReadStatus::ok;
}

} // namespace records

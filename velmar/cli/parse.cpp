// Numbers, levels and lists from the command line.

#include "velmar/cli/parse.h"

#include "velmar/cli/output.h"
#include "velmar/velmar.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

namespace velmar::cli {

namespace {

// Longest list a run accepts: a guard against a mistyped step.
constexpr std::size_t maxListLength = 1'000'000;

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

[[noreturn]] void refuse(std::string_view option, std::string_view text, std::string_view why)
{
    throw UsageError(std::string(option) + ": \"" + std::string(text) + "\" " + std::string(why));
}

// A plain decimal "[+-]digits[.digits]" as an integer and its count of
// decimals, when it fits exactly in a double's integer range.
struct Decimal {
    std::int64_t digits;
    int decimals;
};

std::optional<Decimal> plainDecimal(std::string_view s)
{
    s = trimmed(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    std::int64_t value = 0;
    int decimals = 0, count = 0;
    bool point = false;
    for (const char c : s) {
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
        if (++count > 15) return std::nullopt;
        value = value * 10 + (c - '0');
        if (point) ++decimals;
    }
    if (count == 0) return std::nullopt;
    return Decimal{negative ? -value : value, decimals};
}

// The decimal as a count of units of 10^-decimals, when that count stays
// below 2^53 (where a double holds every integer).
std::optional<std::int64_t> scaled(const Decimal& d, int decimals)
{
    constexpr std::int64_t exactLimit = std::int64_t{1} << 53;
    std::int64_t v = d.digits;
    for (int i = d.decimals; i < decimals; ++i) {
        if (v > exactLimit / 10 || v < -exactLimit / 10) return std::nullopt;
        v *= 10;
    }
    return v;
}

} // namespace

bool parse_number(std::string_view text, double& value)
{
    return read_number(text, value) == NumberText::finite;
}

double number_option(std::string_view option, std::string_view text)
{
    double value;
    const NumberText kind = read_number(text, value);
    if (kind == NumberText::not_a_number) refuse(option, text, "is not a finite number");
    if (kind != NumberText::finite) refuse(option, text, number_refusal(kind));
    return value;
}

double level_option(std::string_view option, std::string_view text)
{
    const double value = number_option(option, text);
    try {
        return confidence_level(value);
    } catch (const std::invalid_argument&) {
        refuse(option, text, "is not a confidence level (a value between 0 and 1, or a percentage below 100)");
    }
}

std::vector<double> list_option(std::string_view option, std::string_view text)
{
    std::vector<double> values;
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        std::size_t start = 0;
        while (true) {
            const std::size_t comma = text.find(',', start);
            const std::string_view item = text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
            double v;
            if (!parse_number(item, v)) refuse(option, text, "is not a list of numbers (like 3,5,10 or 3:100:1)");
            values.push_back(v);
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
        return values;
    }

    const std::size_t colon2 = text.find(':', colon + 1);
    if (colon2 == std::string_view::npos || text.find(':', colon2 + 1) != std::string_view::npos)
        refuse(option, text, "is not a range start:stop:step");
    const std::string_view parts[3] = {text.substr(0, colon), text.substr(colon + 1, colon2 - colon - 1),
                                       text.substr(colon2 + 1)};
    double start, stop, step;
    if (!parse_number(parts[0], start) || !parse_number(parts[1], stop) || !parse_number(parts[2], step))
        refuse(option, text, "is not a range start:stop:step of numbers");
    if (!(step > 0.0)) refuse(option, text, "has a step that is not positive");
    if (stop < start) refuse(option, text, "has its stop below its start");
    // A little slack so that a stop reached by the steps is included.
    const double steps = std::floor((stop - start) / step * (1.0 + 1e-12) + 1e-9);
    if (!(steps < static_cast<double>(maxListLength)))
        refuse(option, text, "has more than " + std::to_string(maxListLength) + " values");
    const auto count = static_cast<std::size_t>(steps) + 1;

    const auto first = plainDecimal(parts[0]);
    const auto increment = plainDecimal(parts[2]);
    values.reserve(count);
    // Exact integers over an exact power of ten give the correctly rounded
    // decimals, while every start + i x step stays below 2^53; otherwise
    // the values are computed in doubles.
    std::optional<std::int64_t> s, t;
    double power = 1.0;
    if (first && increment) {
        const int decimals = std::max(first->decimals, increment->decimals);
        for (int i = 0; i < decimals; ++i) power *= 10.0;
        s = scaled(*first, decimals);
        t = scaled(*increment, decimals);
        constexpr std::int64_t exactLimit = std::int64_t{1} << 53;
        // Checked in doubles, where the bound itself cannot overflow.
        if (decimals > 22 || !s || !t ||
            std::fabs(static_cast<double>(*s)) + static_cast<double>(count) * std::fabs(static_cast<double>(*t)) >=
                static_cast<double>(exactLimit))
            s.reset();
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (s)
            values.push_back(static_cast<double>(*s + static_cast<std::int64_t>(i) * *t) / power);
        else
            values.push_back(start + static_cast<double>(i) * step);
    }
    return values;
}

std::vector<double> level_list_option(std::string_view option, std::string_view text)
{
    std::vector<double> levels = list_option(option, text);
    for (double& level : levels) level = level_option(option, shortest(level));
    return levels;
}

double positive_option(std::string_view option, std::string_view text)
{
    const double value = number_option(option, text);
    if (!(value > 0.0)) refuse(option, text, "is not a positive number");
    return value;
}

int count_option(std::string_view option, std::string_view text, int most)
{
    const std::string_view t = trimmed(text);
    int value = 0;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || error != std::errc() || end != t.data() + t.size() || value < 0 || value > most)
        refuse(option, text, "is not a whole number from 0 to " + std::to_string(most));
    return value;
}

std::uint64_t seed_option(std::string_view option, std::string_view text)
{
    const std::string_view t = trimmed(text);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || error != std::errc() || end != t.data() + t.size())
        refuse(option, text, "is not a whole number from 0 to 18446744073709551615");
    return value;
}

} // namespace velmar::cli

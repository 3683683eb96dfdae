// The names of sides and outcomes, and the reading of a confidence level:
// the one spelling and the one rule that every face prints and reads.

#include <velmar/velmar.h>

#include "library/text.h"

#include <array>
#include <cmath>
#include <utility>

namespace velmar {

namespace {

constexpr std::array<std::pair<Side, std::string_view>, 4> sideNames{{
    {Side::upper, "upper"},
    {Side::lower, "lower"},
    {Side::two_sided, "two-sided"},
    {Side::equal_tailed, "equal-tailed"},
}};

} // namespace

std::string_view to_string(Side side)
{
    for (const auto& [s, name] : sideNames)
        if (s == side) return name;
    return "unknown side";
}

std::span<const Side> sides()
{
    static constexpr auto all = [] {
        std::array<Side, sideNames.size()> a{};
        for (std::size_t i = 0; i < a.size(); ++i) a[i] = sideNames[i].first;
        return a;
    }();
    return all;
}

std::optional<Side> parse_side(std::string_view text)
{
    for (const auto& [s, name] : sideNames)
        if (name == text) return s;
    return std::nullopt;
}

std::string_view to_string(Outcome outcome)
{
    switch (outcome) {
    case Outcome::converged: return "converged";
    case Outcome::beyond_precision: return "beyond_precision";
    case Outcome::iteration_limit: return "iteration_limit";
    case Outcome::no_root: return "no_root";
    case Outcome::integral_failed: return "integral_failed";
    case Outcome::out_of_range: return "out_of_range";
    }
    return "unknown_outcome";
}

std::string_view describe(Outcome outcome)
{
    switch (outcome) {
    case Outcome::converged: return "converged";
    case Outcome::beyond_precision: return "beyond double precision";
    case Outcome::iteration_limit: return "iteration limit reached";
    case Outcome::no_root: return "no root found";
    case Outcome::integral_failed: return "integral failed";
    case Outcome::out_of_range: return "beyond the range of doubles";
    }
    return "unknown outcome";
}

double confidence_level(double value)
{
    const double level = value > 1.0 && value < 100.0 ? value / 100.0 : value;
    if (!(level > 0.0 && level < 1.0))
        refuse("level", value, "is not a confidence level (a value between 0 and 1, or a percentage below 100)");
    return level;
}

LimitsStatus status_of(const Limits& limits)
{
    LimitsStatus status{std::string(to_string(Outcome::converged)), false};
    for (const auto* limit : {&limits.lower, &limits.upper}) {
        if (!*limit) continue;
        Outcome outcome = (*limit)->outcome;
        if (usable(outcome) && !(std::isfinite((*limit)->value) && std::isfinite((*limit)->C)))
            outcome = Outcome::out_of_range;
        if (!usable(outcome))
            status = {(limit == &limits.lower ? "lower limit: " : "upper limit: ") + std::string(to_string(outcome)),
                      true};
        else if (!status.failed && outcome != Outcome::converged)
            status.text = std::string(to_string(outcome));
    }
    return status;
}

bool usable(Outcome outcome)
{
    return outcome == Outcome::converged || outcome == Outcome::beyond_precision;
}

} // namespace velmar

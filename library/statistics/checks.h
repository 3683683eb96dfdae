#pragma once
// Argument checks shared by the statistics: a refusal names the argument and
// quotes its value in the shortest text that reads back as the same double.

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmar::statistics::detail {

[[noreturn]] inline void refuse(std::string_view argument, double value, std::string_view requirement)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    throw std::invalid_argument(std::string(argument) + " = " + std::string(text, end) + ": " +
                                std::string(requirement));
}

inline void check_level(double level)
{
    if (!(level > 0.0 && level < 1.0)) refuse("level", level, "must lie strictly between 0 and 1");
}

inline void check_size(std::size_t n, std::size_t least)
{
    if (n < least)
        refuse("n", static_cast<double>(n), "at least " + std::to_string(least) + " values are needed");
}

} // namespace velmar::statistics::detail

#pragma once
// Texts of the library's messages: the shortest text that reads back as the
// same double ("0.1", "nan", "inf"), four significant digits, a count with
// its noun, and the refusal of a bad argument (a confidence level among them).

#include <charconv>
#include <cstddef>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmar {

inline std::string shortest(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// Four significant digits ("%.4g"), for sentences, tooltips and axis titles.
inline std::string brief(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

// "1 value", "3 values".
inline std::string counted(std::size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Throws std::invalid_argument "argument = value: requirement".
[[noreturn]] inline void refuse(std::string_view argument, double value, std::string_view requirement)
{
    throw std::invalid_argument(std::string(argument) + " = " + shortest(value) + ": " + std::string(requirement));
}

// Refuses a level outside (0, 1).
inline void check_level(double level)
{
    if (!(level > 0.0 && level < 1.0)) refuse("level", level, "must lie strictly between 0 and 1");
}

} // namespace velmar

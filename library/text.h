#pragma once
// Texts of the library's messages: the shortest text that reads back as the
// same double ("0.1", "nan", "inf"), and the refusal of a bad argument.

#include <charconv>
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

// Throws std::invalid_argument "argument = value: requirement".
[[noreturn]] inline void refuse(std::string_view argument, double value, std::string_view requirement)
{
    throw std::invalid_argument(std::string(argument) + " = " + shortest(value) + ": " + std::string(requirement));
}

} // namespace velmar

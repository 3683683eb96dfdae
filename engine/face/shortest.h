#pragma once
// The shortest text that reads back as the same double ("0.1", "nan", "inf"),
// for messages that quote a caller's value.

#include <charconv>
#include <string>

namespace velmar {

inline std::string shortest(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

} // namespace velmar

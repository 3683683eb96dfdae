#pragma once
// Argument checks shared by the statistics: a refusal names the argument and
// quotes its value in the shortest text that reads back as the same double.

#include "library/text.h"

#include <cstddef>
#include <string>

namespace velmar::statistics::detail {

using velmar::check_level;
using velmar::refuse;

inline void check_size(std::size_t n, std::size_t least)
{
    if (n < least)
        refuse("n", static_cast<double>(n), "at least " + std::to_string(least) + " values are needed");
}

} // namespace velmar::statistics::detail

#pragma once
// The diagnostic seam of the numerical libraries. The engine and the
// distribution library write a few diagnostic lines from inside their
// computations; they do it through this sink and know nothing of channels or
// carriage control. The program that owns the console installs a writer once;
// with no writer installed the lines are dropped.

#include <initializer_list>
#include <string_view>
#include <variant>

namespace diag {

using Item = std::variant<std::string_view, int, double>;

// format is empty for a free-form record, else a format string such as
// "(A15,I3,1P,3E12.4)".
using Writer = void (*)(std::string_view format, std::initializer_list<Item> items);

// Installs the writer (nullptr: drop the lines) and returns the one it
// replaces. The program installs it before it computes anything; the
// numerics only read it.
Writer install(Writer writer);

// One free-form console record: a leading blank, then the items.
void line(std::initializer_list<Item> items);

// One formatted console record.
void formatted(std::string_view format, std::initializer_list<Item> items);

} // namespace diag

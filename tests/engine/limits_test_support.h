#pragma once
// Helpers of the engine's limit tests: the console lines the engine writes,
// and per-case tolerances on critical values.

#include "diag/sink.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace limitstest {

inline std::vector<std::string> consoleLines;

// Each record as its items written by a stream, separated by '|'.
inline void captureLine(std::string_view, std::initializer_list<diag::Item> items)
{
    std::ostringstream out;
    for (const auto& item : items) {
        if (&item != items.begin()) out << '|';
        std::visit([&](const auto& v) { out << v; }, item);
    }
    consoleLines.push_back(out.str());
}

class ConsoleCapture {
public:
    ConsoleCapture() : saved_(diag::install(captureLine)) { consoleLines.clear(); }
    ~ConsoleCapture() { diag::install(saved_); }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    std::vector<std::string>& lines() { return consoleLines; }
    long count(std::string_view text) const { return std::count(consoleLines.begin(), consoleLines.end(), text); }

private:
    diag::Writer saved_;
};

// A tolerance on C relative to max(1, |C|) for one case of a reference grid.
struct CaseTolerance {
    double nu, S, level, tolerance;
};

template <std::size_t N>
double toleranceFor(const CaseTolerance (&cases)[N], double nu, double S, double level, double otherwise)
{
    for (const auto& c : cases)
        if (c.nu == nu && c.S == S && c.level == level) return c.tolerance;
    return otherwise;
}

} // namespace limitstest

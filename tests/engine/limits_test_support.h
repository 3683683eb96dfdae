#pragma once
// Helpers of the engine's limit tests: the settings block at its defaults for
// the length of a test (and restored after it), and the console lines the
// engine writes, captured.

#include "engine/control.h"
#include "frontend/console_sink.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace limitstest {

class ControlScope {
public:
    ControlScope() : saved_(engine::control) { engine::control = engine::defaultControl; }
    ~ControlScope() { engine::control = saved_; }
    ControlScope(const ControlScope&) = delete;
    ControlScope& operator=(const ControlScope&) = delete;

private:
    engine::Control saved_;
};

// A tolerance on a critical value C, relative to max(1, |C|), that differs
// from the default for one case of a reference grid.
struct CaseTolerance {
    double nu;
    double S;
    double level;
    double tolerance;
};

template <std::size_t N>
double toleranceFor(const CaseTolerance (&cases)[N], double nu, double S, double level, double otherwise)
{
    for (const auto& c : cases)
        if (c.nu == nu && c.S == S && c.level == level) return c.tolerance;
    return otherwise;
}

inline std::vector<std::string> consoleLines;

// The items of one record as C++ streams write them, separated by '|'.
inline void captureLine(std::string_view, std::initializer_list<diag::Item> items)
{
    std::ostringstream out;
    const char* separator = "";
    for (const auto& item : items) {
        out << separator;
        std::visit([&](const auto& v) { out << v; }, item);
        separator = "|";
    }
    consoleLines.push_back(out.str());
}

class ConsoleCapture {
public:
    ConsoleCapture() : saved_(diag::writer)
    {
        consoleLines.clear();
        diag::writer = captureLine;
    }
    ~ConsoleCapture() { diag::writer = saved_; }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    const std::vector<std::string>& lines() const { return consoleLines; }
    int count(std::string_view text) const
    {
        return static_cast<int>(std::count(consoleLines.begin(), consoleLines.end(), text));
    }

private:
    diag::Writer saved_;
};

} // namespace limitstest

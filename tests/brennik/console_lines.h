#pragma once
// Captures the lines that the engine and the quadrature write to the
// diagnostic sink, laid out by the record layer as a file would receive them.

#include "diag/sink.h"
#include "records/records.h"

#include <span>
#include <string>
#include <vector>

namespace verifytest {

inline std::vector<std::string> capturedLines;

inline void captureLine(std::string_view format, std::initializer_list<diag::Item> items)
{
    const std::span<const diag::Item> span(items.begin(), items.size());
    const std::vector<std::string> records =
        format.empty() ? records::freeFormRecords(span) : records::formatRecords(format, span);
    capturedLines.insert(capturedLines.end(), records.begin(), records.end());
}

// Installs the capture for its lifetime and restores the previous writer.
class ConsoleLines {
public:
    ConsoleLines() : previous_(diag::install(&captureLine)) { capturedLines.clear(); }
    ~ConsoleLines() { diag::install(previous_); }
    ConsoleLines(const ConsoleLines&) = delete;
    ConsoleLines& operator=(const ConsoleLines&) = delete;

    const std::vector<std::string>& lines() const { return capturedLines; }

private:
    diag::Writer previous_;
};

} // namespace verifytest

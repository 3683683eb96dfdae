#pragma once
// Captures the lines that the library writes to the diagnostic sink, as text.

#include "diag/sink.h"

#include <sstream>
#include <string>
#include <variant>
#include <vector>

namespace cdfstest {

inline std::vector<std::string>& capturedLines()
{
    static std::vector<std::string> lines;
    return lines;
}

// Installs a writer that records each free-form record with its items
// separated by '|'; restores the previous writer on destruction.
class SinkCapture {
public:
    SinkCapture()
    {
        capturedLines().clear();
        previous_ = diag::install([](std::string_view format, std::initializer_list<diag::Item> items) {
            std::ostringstream text;
            text << format;
            bool first = true;
            for (const diag::Item& item : items) {
                if (!first) text << '|';
                first = false;
                std::visit([&](const auto& v) { text << v; }, item);
            }
            capturedLines().push_back(text.str());
        });
    }
    ~SinkCapture() { diag::install(previous_); }
    SinkCapture(const SinkCapture&) = delete;
    SinkCapture& operator=(const SinkCapture&) = delete;

    const std::vector<std::string>& lines() const { return capturedLines(); }

private:
    diag::Writer previous_;
};

} // namespace cdfstest

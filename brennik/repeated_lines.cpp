// The collapsing diagnostic writer: see repeated_lines.h.

#include "brennik/repeated_lines.h"
#include "records/records.h"

#include <span>
#include <string>
#include <variant>
#include <vector>

namespace verify {

namespace {

struct Run {
    diag::Writer next = nullptr;   // where the lines go
    std::string kind;              // format and texts of the lines held
    int held = 0;                  // lines of that kind in a row, not yet written
    std::vector<std::string> last; // the records of the last of them
};

Run run;

// The format and the texts of a statement, with a mark for each number.
std::string kindOf(std::string_view format, std::initializer_list<diag::Item> items)
{
    std::string kind(format);
    for (const diag::Item& item : items) {
        kind += '\x1f';
        if (const auto* text = std::get_if<std::string_view>(&item)) kind.append("t").append(*text);
        else kind += std::holds_alternative<int>(item) ? 'i' : 'd';
    }
    return kind;
}

std::vector<std::string> recordsOf(std::string_view format, std::initializer_list<diag::Item> items)
{
    const std::span<const diag::Item> span(items.begin(), items.size());
    return format.empty() ? records::freeFormRecords(span) : records::formatRecords(format, span);
}

void writeHeld()
{
    if (!run.next || run.held == 0) return;
    std::vector<std::string> records = std::move(run.last);
    if (run.held > 1 && !records.empty())
        records.back() += "  (" + std::to_string(run.held) + " such lines in a row, the last shown)";
    // Each record keeps its carriage control as its first character.
    for (const std::string& record : records) run.next("(A)", {record});
}

void collapse(std::string_view format, std::initializer_list<diag::Item> items)
{
    std::string kind = kindOf(format, items);
    if (run.held == 0 || kind != run.kind) {
        RepeatedLines::flush();
        run.kind = std::move(kind);
    }
    ++run.held;
    run.last = recordsOf(format, items);
}

} // namespace

RepeatedLines::RepeatedLines() : previous_(diag::install(&collapse))
{
    run = Run{};
    run.next = previous_;
}

RepeatedLines::~RepeatedLines()
{
    flush();
    diag::install(previous_);
    run = Run{};
}

void RepeatedLines::flush()
{
    writeHeld();
    run.held = 0;
    run.last.clear();
    run.kind.clear();
}

} // namespace verify

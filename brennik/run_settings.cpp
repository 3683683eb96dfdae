// Reader of "input.dat": free-form records, one a line, each checked as it
// is read so that the first fault is reported with its record number.

#include "brennik/run_settings.h"
#include "records/records.h"

#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <span>
#include <system_error>
#include <type_traits>
#include <variant>

namespace verify {

namespace {

constexpr std::size_t textLength = 72;

// The records of "input.dat", one line each. A record must hold all its
// values on its own line: a value that is missing there is reported, not
// taken from the next record.
class InputFile {
public:
    InputFile() : in_(inputName, std::ios::binary) {}

    bool isOpen() const { return in_.is_open() && in_.good(); }

    // Reads the next record into the targets. Variables must hold the
    // "unset" values (INT_MIN, NaN) on entry, so that values left out by a
    // slash or an empty field are seen.
    std::optional<InputError> read(std::initializer_list<records::Target> targets, const char* expected)
    {
        ++record_;
        if (!nextLine()) {
            if (in_.bad()) return InputError{record_, "the file cannot be read"};
            return InputError{record_, std::string("missing (") + expected + " expected)"};
        }
        bool given = false;
        const auto once = [&]() -> std::optional<std::string> {
            if (given) return std::nullopt;
            given = true;
            return line_;
        };
        const std::span<const records::Target> span(targets.begin(), targets.size());
        switch (records::readFreeForm(once, span)) {
        case records::ReadStatus::ok:
            break;
        case records::ReadStatus::end:
            return shortRecord(expected);
        case records::ReadStatus::error:
            return InputError{record_, std::string("a value of the wrong type (") + expected + " expected)"};
        }
        for (const records::Target& t : span) {
            const bool unset = std::visit(
                [](auto ref) {
                    using T = typename decltype(ref)::type;
                    if constexpr (std::is_same_v<T, int>) return ref.get() == INT_MIN;
                    else if constexpr (std::is_same_v<T, double>) return std::isnan(ref.get());
                    else return false;
                },
                t);
            if (unset) return shortRecord(expected);
        }
        return std::nullopt;
    }

    int record() const { return record_; }
    // The text of the record read last.
    const std::string& line() const { return line_; }

private:
    // A line ends at LF, CR LF or a bare CR; a last line without an end
    // counts. False at the end of the file.
    bool nextLine()
    {
        line_.clear();
        if (!in_.good()) return false;
        using traits = std::char_traits<char>;
        for (;;) {
            const traits::int_type c = in_.get();
            if (traits::eq_int_type(c, traits::eof())) return !line_.empty() && !in_.bad();
            if (c == '\n') return true;
            if (c == '\r') {
                if (in_.peek() == '\n') in_.get();
                return true;
            }
            line_ += traits::to_char_type(c);
        }
    }

    InputError shortRecord(const char* expected) const
    {
        return {record_, std::string("too few values (") + expected + " expected)"};
    }

    std::ifstream in_;
    std::string line_;
    int record_ = 0;
};

bool indexIn(int index, int size)
{
    return index >= 1 && index <= size;
}

std::string withoutTrailingBlanks(const std::string& s)
{
    const std::size_t end = s.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

// A slash ends a free-form record, so an unquoted name that holds one is
// read only up to it ("sub/r.txt" gives "sub"). Returns such a name as typed.
std::optional<std::string> unquotedNameWithSlash(const std::string& line)
{
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos || line[start] == '\'' || line[start] == '"' || line[start] == ',')
        return std::nullopt;
    const std::size_t end = line.find_first_of(" ,", start);
    std::string token = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (token.find('/') == std::string::npos || token == "/") return std::nullopt;
    return token;
}

// Whether the name denotes one of the program's own files (also through
// another spelling of the same path, or a link to it).
bool namesFile(const std::string& name, const char* own)
{
    namespace fs = std::filesystem;
    const fs::path path = fs::path(name).lexically_normal();
    if (path == fs::path(own)) return true;
    std::error_code ec;
    return fs::exists(own, ec) && fs::equivalent(path, own, ec);
}

} // namespace

std::optional<InputError> readRunSettings(RunSettings& run)
{
    InputFile file;
    if (!file.isOpen()) return InputError{1, "the file is missing or cannot be read"};
    constexpr double unset = std::numeric_limits<double>::quiet_NaN();

    run.WhichLimit = INT_MIN;
    if (auto e = file.read({std::ref(run.WhichLimit)}, "1 whole number")) return e;
    if (run.WhichLimit != oneSided && run.WhichLimit != twoSided)
        return InputError{file.record(), "WhichLimit must be 1 (one-sided) or 2 (two-sided)"};

    run.alphaFirst = run.alphaLast = INT_MIN;
    if (auto e = file.read({std::ref(run.alphaFirst), std::ref(run.alphaLast)}, "2 whole numbers")) return e;
    if (!indexIn(run.alphaFirst, alphaCount) || !indexIn(run.alphaLast, alphaCount))
        return InputError{file.record(), "alpha indices must lie in 1 to 10"};

    run.nuFirst = run.nuLast = INT_MIN;
    if (auto e = file.read({std::ref(run.nuFirst), std::ref(run.nuLast)}, "2 whole numbers")) return e;
    if (!indexIn(run.nuFirst, nuCount) || !indexIn(run.nuLast, nuCount))
        return InputError{file.record(), "nu indices must lie in 1 to 6"};

    run.AdapQuadTol = run.FunctionTol = run.ResultTol = unset;
    if (auto e = file.read({std::ref(run.AdapQuadTol), std::ref(run.FunctionTol), std::ref(run.ResultTol)},
                           "3 numbers"))
        return e;
    if (!(run.AdapQuadTol > 0.0 && run.AdapQuadTol < 0.5))
        return InputError{file.record(), "AdapQuadTol must lie between 0 and 0.5"};

    std::string name(textLength, ' ');
    if (auto e = file.read({std::ref(name)}, "a file name")) return e;
    if (const std::optional<std::string> typed = unquotedNameWithSlash(file.line()))
        return InputError{file.record(),
                          "a results file name with a slash must be enclosed in apostrophes ('" + *typed + "')"};
    run.results = withoutTrailingBlanks(name);
    if (run.results.empty()) return InputError{file.record(), "the results file name is blank"};
    for (const char* own : {inputName, intermediateName})
        if (namesFile(run.results, own))
            return InputError{file.record(), std::string("the results file may not be ") + own};

    run.title.assign(textLength, ' ');
    if (auto e = file.read({std::ref(run.title)}, "a title")) return e;
    return std::nullopt;
}

} // namespace verify

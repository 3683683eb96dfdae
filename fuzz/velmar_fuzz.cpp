// Fuzzes Velmar's option file and dialogue. The input up to its first NUL byte
// is the option file (no NUL: no option file, so the program creates one);
// the rest is what the user types. Each input runs in the folder "work" below
// the current one, which is emptied afterwards.
//
// Bounds, so that no input runs long: the engine gets at most the default
// number of iterations, a table run estimated above a few seconds asks
// "Continue? (Y/N)" and is always answered N, and the answers end after a
// handful of limits or table runs.
#include "fuzz/work_folder.h"
#include "engine/settings.h"
#include "records/records.h"
#include "velmar/answers.h"
#include "velmar/dialogue.h"
#include "velmar/startup.h"

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr double confirmTablesAbove = 3.0; // seconds of the program's estimate
constexpr int mostRuns = 3;                // result blocks and table runs per input
constexpr std::string_view continuePrompt = "Continue? (Y/N)\r\n";

// Keeps the answers inside the work folder: no absolute names, no way up.
std::string confined(std::string line)
{
    if (!line.empty() && line[0] == '/') line[0] = '_';
    for (std::size_t at; (at = line.find("..")) != std::string::npos;) line[at] = '_';
    return line;
}

// Serves the answers line by line as the console asks for them, answering N
// to "Continue?" and ending the input once the run budget is spent.
class Answers : public std::streambuf {
public:
    Answers(std::string_view text, const std::ostringstream& shown) : shown_(shown)
    {
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find('\n', start);
            const std::size_t stop = end == std::string_view::npos ? text.size() : end;
            lines_.push_back(confined(std::string(text.substr(start, stop - start))) + "\n");
            start = stop + 1;
        }
    }

protected:
    int_type underflow() override
    {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        const std::string_view out = shown_.view();
        if (out.ends_with(continuePrompt)) {
            current_ = "N\n";
        } else {
            if (runsIn(out) >= mostRuns || next_ == lines_.size()) return traits_type::eof();
            current_ = lines_[next_++];
        }
        setg(current_.data(), current_.data(), current_.data() + current_.size());
        return traits_type::to_int_type(*gptr());
    }

private:
    // Result blocks and table runs shown so far.
    int runsIn(std::string_view out)
    {
        for (std::string_view mark : {"This took", "Total time was"}) {
            for (std::size_t at = out.find(mark, scanned_); at != std::string_view::npos;
                 at = out.find(mark, at + 1))
                ++runs_;
        }
        // A mark may straddle the point scanned; look back by its length.
        scanned_ = out.size() > 16 ? out.size() - 16 : 0;
        return runs_;
    }

    const std::ostringstream& shown_;
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
    std::string current_;
    std::size_t scanned_ = 0;
    int runs_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t split = bytes.find('\0');
    const std::string_view answers = split == std::string_view::npos ? bytes : bytes.substr(split + 1);

    const WorkFolder folder;
    if (split != std::string_view::npos)
        std::ofstream(interactive::optionFileName, std::ios::binary) << bytes.substr(0, split);

    std::ostringstream out;
    Answers source(answers, out);
    std::istream in(&source);
    {
        records::Console con(in, out);
        con.receiveDiagnostics();
        try {
            interactive::writeTitle(con);
            engine::Settings settings = interactive::loadOptionFile(con);
            settings.NumIt = std::min(settings.NumIt, engine::defaultSettings.NumIt);
            interactive::offerExplanation(con);
            interactive::mainLoop(con, settings, confirmTablesAbove);
        } catch (const interactive::EndOfInput&) {
            con.finish();
        } catch (const interactive::FatalError&) {
        }
    }
    return 0;
}

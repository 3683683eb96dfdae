// Fuzzes Velmar's command line: its arguments and the data file it reads.
// The input up to its first NUL byte holds the arguments, one a line (the
// program name is added); the rest is the file "data.csv" in the folder
// "work" below the current one, and standard input too. The folder is
// emptied after each input.
//
// Bounds, so that no input runs long: verify is left out (each of its cells
// integrates over many limits), and table takes lists of at most four values
// and no ranges, so that a run computes at most 64 cells. Names of files stay
// inside the work folder.
#include "fuzz/work_folder.h"
#include "velmar/cli/cli.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t mostListCommas = 3;

// Keeps an argument inside the work folder: no absolute names, no way up.
std::string confined(std::string arg)
{
    if (!arg.empty() && arg[0] == '/') arg[0] = '_';
    for (std::size_t at; (at = arg.find("..")) != std::string::npos;) arg[at] = '_';
    return arg;
}

// Whether the arguments could ask for a long run.
bool costly(const std::vector<std::string>& args)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "verify") return true;
        if (args[i].find(':') != std::string::npos) return true;
        std::size_t commas = 0;
        for (const char c : args[i]) commas += c == ',';
        if (commas > mostListCommas && i > 0 && args[i - 1].starts_with("--") && args[i - 1] != "--group" &&
            args[i - 1] != "--where")
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t split = bytes.find('\0');
    if (split == std::string_view::npos) return 0;
    std::vector<std::string> args{"Velmar"};
    for (std::size_t start = 0; start < split;) {
        const std::size_t end = std::min(bytes.find('\n', start), split);
        args.push_back(confined(std::string(bytes.substr(start, end - start))));
        start = end + 1;
    }
    if (args.size() < 2 || costly(args)) return 0;
    const std::string_view file = bytes.substr(split + 1);

    const WorkFolder folder;
    std::ofstream("data.csv", std::ios::binary) << file;

    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::istringstream in{std::string(file)};
    std::ostringstream out, err;
    const int status = velmar::cli::run(static_cast<int>(argv.size()), argv.data(), in, out, err);
    // Every run ends with a defined status, and every failure says why.
    if (status != 0 && status != 1 && status != 2) __builtin_trap();
    if (status != 0 && err.str().empty()) __builtin_trap();

    return 0;
}

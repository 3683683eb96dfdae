// Scripted console sessions: each folder below velmar/ and brennik/ is one case.
// The program runs in a fresh temporary working folder with the case's
// answers on standard input; its standard output and the files it leaves are
// compared byte for byte with the case's expectations.
//
// A case folder holds:
//   stdin      the typed answers (may be absent: empty input)
//   stdout     the expected standard output
//   files/     files placed in the working folder before the run (optional)
//   setup      a shell script run in the working folder before the run (optional)
//   expected/  files the working folder must hold afterwards, byte for byte (optional)
//   mask       regular expressions, one a line, each with one group whose text
//              is replaced by '#' in the output and files before comparing
//              (times, which vary from run to run)
//   status     the expected exit status (default 0)
//   filesize   a limit in bytes on the files the program writes (optional)
//   env        NAME=VALUE lines set in the program's environment (optional);
//              without them the program runs in the C locale
//   absent     names of files that must not be in the working folder afterwards,
//              one a line (optional)
// With SESSIONS_UPDATE=1 in the environment the runner writes what it saw as
// the expectations instead of comparing (for making a new case, which must
// then be read and checked by hand).

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Case {
    std::string program; // path of the executable
    fs::path folder;
    std::string name;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.folder.string();
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<Case> discover()
{
    std::vector<Case> cases;
    const std::pair<const char*, const char*> programs[] = {{"velmar", VELMAR}, {"brennik", BRENNIK}};
    for (const auto& [dir, exe] : programs) {
        const fs::path root = fs::path(SESSIONS_DIR) / dir;
        if (!fs::is_directory(root)) continue;
        std::vector<fs::path> folders;
        for (const auto& entry : fs::directory_iterator(root))
            if (entry.is_directory()) folders.push_back(entry.path());
        std::sort(folders.begin(), folders.end());
        for (const auto& f : folders) {
            std::string name = std::string(dir) + "_" + f.filename().string();
            for (char& c : name)
                if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
            cases.push_back({exe, f, name});
        }
    }
    return cases;
}

std::string masked(std::string text, const std::vector<std::regex>& masks)
{
    for (const std::regex& re : masks) {
        std::string out;
        auto begin = std::sregex_iterator(text.begin(), text.end(), re);
        std::size_t last = 0;
        for (auto it = begin; it != std::sregex_iterator(); ++it) {
            const auto& m = *it;
            const auto pos = static_cast<std::size_t>(m.position(1));
            out += text.substr(last, pos - last);
            out += std::string(static_cast<std::size_t>(m.length(1)), '#');
            last = pos + static_cast<std::size_t>(m.length(1));
        }
        out += text.substr(last);
        text = std::move(out);
    }
    return text;
}

struct RunResult {
    std::string output;
    int status = -1;
};

// Runs the program in the working folder with stdin from a file; a run that
// takes more than ten minutes is killed.
RunResult run(const Case& c, const fs::path& work)
{
    constexpr unsigned timeoutSeconds = 600;
    int pipeFd[2];
    if (pipe(pipeFd) != 0) return {};
    const fs::path input = c.folder / "stdin";
    const std::string limit = fs::exists(c.folder / "filesize") ? readFile(c.folder / "filesize") : "";
    std::vector<std::string> env;
    if (fs::exists(c.folder / "env")) {
        std::istringstream lines(readFile(c.folder / "env"));
        for (std::string line; std::getline(lines, line);)
            if (line.find('=') != std::string::npos) env.push_back(line);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFd[0]);
        if (chdir(work.c_str()) != 0) _exit(127);
        const int in = open(fs::exists(input) ? input.c_str() : "/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(pipeFd[1], 1);
        if (!limit.empty()) {
            const rlim_t bytes = std::strtoull(limit.c_str(), nullptr, 10);
            const rlimit r{bytes, bytes};
            setrlimit(RLIMIT_FSIZE, &r);
            signal(SIGXFSZ, SIG_IGN);
        }
        unsetenv("LC_ALL");
        unsetenv("LC_CTYPE");
        setenv("LANG", "C", 1);
        for (const std::string& setting : env) putenv(const_cast<char*>(setting.c_str()));
        alarm(timeoutSeconds);
        execl(c.program.c_str(), c.program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFd[1]);
    RunResult r;
    char buf[4096];
    ssize_t n;
    while ((n = read(pipeFd[0], buf, sizeof buf)) > 0) r.output.append(buf, static_cast<std::size_t>(n));
    close(pipeFd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

class Session : public testing::TestWithParam<Case> {};

TEST_P(Session, OutputAndFilesMatch)
{
    const Case& c = GetParam();
    char pattern[] = "/tmp/session-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path work = pattern;
    if (fs::is_directory(c.folder / "files"))
        fs::copy(c.folder / "files", work, fs::copy_options::recursive);
    if (fs::exists(c.folder / "setup")) {
        const std::string cmd = "cd '" + work.string() + "' && sh '" + (c.folder / "setup").string() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << "setup failed";
    }
    std::vector<std::regex> masks;
    if (fs::exists(c.folder / "mask")) {
        std::istringstream lines(readFile(c.folder / "mask"));
        for (std::string line; std::getline(lines, line);)
            if (!line.empty()) masks.emplace_back(line);
    }

    const RunResult r = run(c, work);
    const std::string output = masked(r.output, masks);
    const bool update = std::getenv("SESSIONS_UPDATE") != nullptr;
    if (update) {
        writeFile(c.folder / "stdout", output);
        if (r.status != 0) writeFile(c.folder / "status", std::to_string(r.status) + "\n");
    } else {
        const int expectedStatus =
            fs::exists(c.folder / "status") ? std::atoi(readFile(c.folder / "status").c_str()) : 0;
        EXPECT_EQ(r.status, expectedStatus);
        EXPECT_EQ(output, readFile(c.folder / "stdout"));
    }

    // Every file the case expects, byte for byte.
    const fs::path expected = c.folder / "expected";
    if (update) {
        for (const auto& entry : fs::directory_iterator(work)) {
            const fs::path before = c.folder / "files" / entry.path().filename();
            const std::string bytes = masked(readFile(entry.path()), masks);
            if (entry.is_regular_file() && (!fs::exists(before) || readFile(before) != bytes))
                writeFile(expected / entry.path().filename(), bytes);
        }
    } else if (fs::is_directory(expected)) {
        for (const auto& entry : fs::directory_iterator(expected)) {
            const fs::path got = work / entry.path().filename();
            ASSERT_TRUE(fs::exists(got)) << got << " was not written";
            EXPECT_EQ(masked(readFile(got), masks), readFile(entry.path())) << entry.path().filename();
        }
    }
    if (!update && fs::exists(c.folder / "absent")) {
        std::istringstream names(readFile(c.folder / "absent"));
        for (std::string name; std::getline(names, name);) {
            if (!name.empty()) {
                EXPECT_FALSE(fs::exists(work / name)) << name << " was left behind";
            }
        }
    }
    fs::remove_all(work);
}

INSTANTIATE_TEST_SUITE_P(Cases, Session, testing::ValuesIn(discover()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

} // namespace

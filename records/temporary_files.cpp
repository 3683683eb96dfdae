// Temporary files that a later run can recognise when their maker has died.

#include "records/temporary_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string_view>

namespace records {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view prefix = ".velmar-";
constexpr std::string_view suffix = ".tmp";
constexpr int attempts = 100; // names tried before giving up on a folder

// The process id in a temporary file's name ".velmar-PID-N.tmp", or nothing.
std::optional<pid_t> makerOf(std::string_view name)
{
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) return std::nullopt;
    name = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const std::size_t dash = name.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == name.size()) return std::nullopt;
    for (const char c : name.substr(dash + 1))
        if (c < '0' || c > '9') return std::nullopt;
    long long pid = 0;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + dash, pid);
    if (ec != std::errc() || end != name.data() + dash || pid <= 0 || pid != static_cast<pid_t>(pid))
        return std::nullopt;
    return static_cast<pid_t>(pid);
}

bool processExists(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

} // namespace

void removeStaleTemporaries(const fs::path& folder)
{
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path path = it->path();
        const std::optional<pid_t> maker = makerOf(path.filename().string());
        if (!maker || *maker == ::getpid() || processExists(*maker)) continue;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        // Only this user's regular files, and only when no live writer holds the lock.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.c_str());
        ::close(fd);
    }
}

fs::path resolvedTarget(const std::string& target)
{
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        const fs::path real = fs::weakly_canonical(target, ec);
        if (!ec) return real;
    }
    return target;
}

std::optional<TemporaryFile> createTemporaryFile(const fs::path& target, mode_t mode)
{
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    removeStaleTemporaries(folder);
    const std::string stem = std::string(prefix) + std::to_string(::getpid()) + "-";
    for (int n = 0; n < attempts; ++n) {
        const std::string path = (folder / (stem + std::to_string(n) + std::string(suffix))).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX); // new and ours: nobody else can hold it
            return TemporaryFile{path, fd};
        }
        if (errno != EEXIST) break; // the folder refuses new files
    }
    return std::nullopt;
}

} // namespace records

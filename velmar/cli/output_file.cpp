// Writing the results to the file that -o names.

#include "velmar/cli/output_file.h"

#include "records/temporary_files.h"
#include "velmar/cli/parse.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace velmar::cli {

namespace {

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Copies the file `from` into the open file `to` from its start, and cuts
// `to` to that length.
bool copyInto(const std::string& from, int to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    bool ok = ::lseek(to, 0, SEEK_SET) == 0;
    char buffer[1 << 16];
    off_t length = 0;
    while (ok) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = writeAll(to, std::string_view(buffer, static_cast<std::size_t>(n)));
        length += n;
    }
    const int e = errno;
    ::close(in);
    ok = ok && ::ftruncate(to, length) == 0;
    errno = ok ? 0 : e;
    return ok;
}

} // namespace

// A link is followed to the file it names (created there when it is missing).
OutputFile::OutputFile(const std::string& path, const std::vector<std::string>& inputs)
    : path_(path), target_(records::resolvedTarget(path).string())
{
    struct stat st {};
    if (::stat(target_.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) throw UsageError("-o " + path + ": is a folder");
    for (const std::string& input : inputs) {
        struct stat in {};
        if (::stat(input.c_str(), &in) == 0 && in.st_dev == st.st_dev && in.st_ino == st.st_ino)
            throw UsageError("-o " + path + " is the input file " + input + ": writing it would replace the data");
    }
    exists_ = true;
    special_ = !S_ISREG(st.st_mode);
    mode_ = st.st_mode & 07777;
    owner_ = st.st_uid;
    group_ = st.st_gid;
    links_ = st.st_nlink;
}

OutputFile::~OutputFile()
{
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

void OutputFile::fail(int error) const
{
    throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(error) +
                             (exists_ && !special_ ? " (the file is unchanged)" : ""));
}

void OutputFile::open()
{
    opened_ = true;
    if (special_) {
        fd_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) throw UsageError("cannot write " + path_ + ": " + std::strerror(errno));
        return;
    }
    // Private while it is written: it may replace a file that others cannot read.
    const std::optional<records::TemporaryFile> file = records::createTemporaryFile(target_, 0600);
    if (!file) throw UsageError("cannot write " + path_ + ": " + std::strerror(errno));
    temporary_ = file->path;
    fd_ = file->fd;
}

void OutputFile::write(std::string_view bytes)
{
    if (!opened_) open();
    if (!writeAll(fd_, bytes)) fail(errno);
}

void OutputFile::commit()
{
    if (!opened_) open();
    if (special_) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) fail(errno);
        committed_ = true;
        return;
    }
    // A replaced file keeps its owner and permissions; where this user cannot
    // give the new file its owner, or other names link to it, the results are
    // copied into it instead of renamed over it.
    bool inPlace = exists_ && links_ > 1;
    if (exists_ && !inPlace && (owner_ != ::geteuid() || group_ != ::getegid()))
        inPlace = ::fchown(fd_, owner_, group_) != 0;
    if (!exists_) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode_ = 0666 & ~mask;
    }
    if (::fchmod(fd_, mode_) != 0 && !inPlace) fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail(errno);
    if (inPlace) {
        const int out = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
        if (out < 0) fail(errno);
        const bool ok = copyInto(temporary_, out);
        const int e = errno;
        if (::close(out) != 0 || !ok) throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(ok ? errno : e));
        ::unlink(temporary_.c_str());
    } else if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        fail(errno);
    }
    committed_ = true;
}

} // namespace velmar::cli

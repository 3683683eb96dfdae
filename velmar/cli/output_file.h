#pragma once
// The file that -o names. A regular file (or a new name) is written through a
// temporary file beside it, which replaces it only when the run completes,
// keeping the replaced file's permissions and owner (and its hard links,
// by copying into it where a rename would break them). A device or a FIFO
// is written directly. A symbolic link is followed.

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace velmar::cli {

class OutputFile {
public:
    // Checks the target: UsageError for a folder, or for a file that is one
    // of `inputs` (it would replace the data). Opens nothing yet.
    OutputFile(const std::string& path, const std::vector<std::string>& inputs);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Without a commit, removes the temporary file: the target stays as it was.
    ~OutputFile();

    // Opens the file on the first call (UsageError when it cannot be
    // created); std::runtime_error when the bytes cannot be written.
    void write(std::string_view bytes);
    // Moves the results into place; std::runtime_error when that fails.
    void commit();

private:
    void open();
    [[noreturn]] void fail(int error) const;

    std::string path_;   // as given, for messages
    std::string target_; // the file written: the link followed
    bool exists_ = false, special_ = false;
    mode_t mode_ = 0;
    uid_t owner_ = 0;
    gid_t group_ = 0;
    nlink_t links_ = 0;
    std::string temporary_;
    int fd_ = -1;
    bool opened_ = false, committed_ = false;
};

} // namespace velmar::cli

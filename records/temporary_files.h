#pragma once
// Temporary files beside the files they will replace, named so that a later
// run can tell one left behind by a run that was killed: ".velmar-PID-N.tmp",
// where PID is the process that made it. The maker holds a lock on the file
// while it lives; a file of this name is stale when its process no longer
// exists and no one holds its lock.

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace records {

struct TemporaryFile {
    std::string path;
    int fd = -1; // open for writing, locked; closing it releases the lock
};

// The file that `target` names: a symbolic link is followed, so that a file
// put in its place replaces the file it points to rather than the link.
std::filesystem::path resolvedTarget(const std::string& target);

// Removes the stale temporary files (those of this user) in the folder of
// `target`, then creates a new temporary file there with the permissions
// `mode` (less the umask). Nothing when the folder does not take new files
// (errno tells why).
std::optional<TemporaryFile> createTemporaryFile(const std::filesystem::path& target, mode_t mode);

// Removes the stale temporary files of this user in `folder`.
void removeStaleTemporaries(const std::filesystem::path& folder);

} // namespace records

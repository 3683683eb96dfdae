#include "records/records.h"
#include "records/temporary_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/file.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;
using records::FileWriter;
using records::StagedFile;

namespace {

std::string contents(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A fresh folder holding old.txt with one line.
fs::path folderWithOldFile()
{
    const fs::path folder = fs::temp_directory_path() /
                            (std::string("staged-") + testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / "old.txt", std::ios::binary) << "old\r\n";
    return folder;
}

std::size_t entries(const fs::path& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

} // namespace

TEST(StagedFile, TargetUntouchedUntilCommitAndWithoutIt)
{
    const fs::path folder = folderWithOldFile();
    const std::string old = (folder / "old.txt").string();
    for (FileWriter::Mode mode : {FileWriter::Mode::overwrite, FileWriter::Mode::append}) {
        StagedFile file(old, mode);
        ASSERT_TRUE(file.isOpen());
        file.writer().line({"new"});
        EXPECT_EQ(contents(old), "old\r\n");
        EXPECT_EQ(fs::path(file.temporaryPath()).parent_path(), folder);
    }
    EXPECT_EQ(contents(old), "old\r\n");
    EXPECT_EQ(entries(folder), 1u) << "an abandoned temporary file is removed";
    fs::remove_all(folder);
}

TEST(StagedFile, CommitReplacesOrAppendsOrCreates)
{
    const fs::path folder = folderWithOldFile();
    const std::string old = (folder / "old.txt").string();
    struct Case { std::string target; FileWriter::Mode mode; std::string after; };
    const Case cases[] = {
        {old, FileWriter::Mode::append, "old\r\n new\r\n"},
        {old, FileWriter::Mode::overwrite, " new\r\n"},
        {(folder / "fresh.txt").string(), FileWriter::Mode::overwrite, " new\r\n"},
    };
    for (const Case& c : cases) {
        StagedFile file(c.target, c.mode);
        ASSERT_TRUE(file.isOpen());
        file.writer().line({"new"});
        ASSERT_TRUE(file.commit());
        EXPECT_EQ(contents(c.target), c.after);
    }
    EXPECT_EQ(entries(folder), 2u) << "no temporary file is left";
    fs::remove_all(folder);
}

TEST(StagedFile, RefusesFoldersAndMissingFolders)
{
    const fs::path folder = folderWithOldFile();
    EXPECT_FALSE(StagedFile(folder.string(), FileWriter::Mode::overwrite).isOpen());
    EXPECT_FALSE(StagedFile((folder / "none" / "t.out").string(), FileWriter::Mode::overwrite).isOpen());
    EXPECT_EQ(entries(folder), 1u);
    fs::remove_all(folder);
}

// A temporary file left by a process that no longer exists is removed when a
// file is next staged in its folder; one whose maker lives, or whose lock is
// held, stays, and so do files of other names.
TEST(StagedFile, RemovesTemporariesOfDeadRunsOnly)
{
    const fs::path folder = folderWithOldFile();
    const pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    const auto name = [&](pid_t pid, int n) {
        return folder / (".velmar-" + std::to_string(pid) + "-" + std::to_string(n) + ".tmp");
    };
    const fs::path dead = name(child, 0), locked = name(child, 1), live = name(getppid(), 0),
                   other = folder / (".velmar-" + std::to_string(child) + "-x.tmp");
    for (const fs::path& p : {dead, locked, live, other}) std::ofstream(p) << "partial";
    const int lock = open(locked.c_str(), O_RDONLY);
    ASSERT_EQ(flock(lock, LOCK_EX), 0);
    {
        StagedFile file((folder / "old.txt").string(), FileWriter::Mode::overwrite);
        ASSERT_TRUE(file.isOpen());
        EXPECT_FALSE(fs::exists(dead));
        EXPECT_TRUE(fs::exists(locked));
        EXPECT_TRUE(fs::exists(live));
        EXPECT_TRUE(fs::exists(other));
        // The staged file's own temporary is locked while it lives.
        const int mine = open(file.temporaryPath().c_str(), O_RDONLY);
        EXPECT_NE(flock(mine, LOCK_EX | LOCK_NB), 0);
        close(mine);
    }
    close(lock);
    records::removeStaleTemporaries(folder);
    EXPECT_FALSE(fs::exists(locked)) << "removed once its lock is released";
    fs::remove_all(folder);
}

// A record that does not reach the file (here the device that is always
// full) makes close() fail too, so that a staged table cut short by a full
// disk is never committed over the old one.
TEST(FileWriter, FailedWriteIsReportedAgainAtClose)
{
    FileWriter full("/dev/full", FileWriter::Mode::overwrite);
    ASSERT_TRUE(full.isOpen());
    EXPECT_FALSE(full.line({"a record"}));
    EXPECT_TRUE(full.failed());
    EXPECT_FALSE(full.close());
}

#pragma once
// The fuzz targets' working folder: "work" below the current one, emptied
// before and after each input so that no file one input writes is read by
// the next.

#include <filesystem>
#include <system_error>

inline void emptyFolder(const std::filesystem::path& folder)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        std::filesystem::remove_all(entry.path(), ec);
}

// For one input: the work folder, empty and current; on leaving, the folder
// that was current is again, and the work folder is emptied.
class WorkFolder {
public:
    WorkFolder() : home_(std::filesystem::current_path()), work_(home_ / "work")
    {
        std::filesystem::create_directories(work_);
        emptyFolder(work_);
        std::filesystem::current_path(work_);
    }
    ~WorkFolder()
    {
        std::error_code ec;
        std::filesystem::current_path(home_, ec);
        emptyFolder(work_);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

private:
    std::filesystem::path home_;
    std::filesystem::path work_;
};

#pragma once
// The fuzz targets' working folder, emptied between inputs so that no file
// one input writes is read by the next.

#include <filesystem>
#include <system_error>

inline void emptyFolder(const std::filesystem::path& folder)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        std::filesystem::remove_all(entry.path(), ec);
}

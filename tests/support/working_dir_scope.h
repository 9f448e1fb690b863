#pragma once
// Makes a folder the process's working directory for the life of the object,
// then returns to the one before. The working directory is process-wide: a
// test holds one scope at a time and runs on one thread while it does.

#include <filesystem>

class CWorkingDirScope {
public:
    // Throws std::filesystem::filesystem_error when `dir` cannot be entered;
    // the working directory is then unchanged.
    explicit CWorkingDirScope(const std::filesystem::path& dir)
        : m_before(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~CWorkingDirScope() {
        std::error_code ec;
        std::filesystem::current_path(m_before, ec);
    }
    CWorkingDirScope(const CWorkingDirScope&) = delete;
    CWorkingDirScope& operator=(const CWorkingDirScope&) = delete;

private:
    std::filesystem::path m_before;
};

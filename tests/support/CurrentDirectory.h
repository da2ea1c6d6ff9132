#pragma once

#include <filesystem>

namespace testsupport {

// Makes `directory` the current one for its lifetime and restores the previous one afterwards: the
// connection string names tovra.mdb relative to it.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::filesystem::path& directory)
        : m_saved(std::filesystem::current_path())
    {
        std::filesystem::current_path(directory);
    }
    ~CurrentDirectory() { std::filesystem::current_path(m_saved); }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    std::filesystem::path m_saved;
};

} // namespace testsupport

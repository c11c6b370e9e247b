// SPDX-License-Identifier: MIT
// Temporary directories on POSIX systems.
#include "tests/support/temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace quvo::test {

TempDir::TempDir(const std::string& name)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp: " + std::string(std::strerror(errno)));
    path_ = pattern;
}

// A test may have taken the write permission away to make the directory read-only.
TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

const std::vector<std::string>& oddDirectoryNames()
{
    static const std::vector<std::string> names{
        "a blank", "中文 目录", "tab\there", "new\nline", "back\\slash", "\\040 as written"};
    return names;
}

} // namespace quvo::test

// SPDX-License-Identifier: MIT
// Temporary directories on Windows.
#include "tests/support/temp_dir.h"

#include <algorithm>
#include <random>
#include <stdexcept>

namespace quvo::test {
namespace {

// Names are UTF-8 inside the program; a plain std::string would be read in the system's
// code page.
std::filesystem::path pathOf(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

} // namespace

TempDir::TempDir(const std::string& name)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate
            = std::filesystem::temp_directory_path() / pathOf(name + "-" + std::to_string(random() % 1'000'000));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("no fresh temporary directory for " + name);
}

// Windows removes no directory that is a process's current directory, which a run's
// directory becomes (designateDirectory): the process steps out first.
TempDir::~TempDir()
{
    std::error_code ignored;
    const auto here = std::filesystem::current_path(ignored);
    const auto [inside, rest] = std::mismatch(path_.begin(), path_.end(), here.begin(), here.end());
    if (inside == path_.end())
        std::filesystem::current_path(path_.parent_path(), ignored);
    std::filesystem::remove_all(path_, ignored);
}

const std::vector<std::string>& oddDirectoryNames()
{
    static const std::vector<std::string> names{"a blank", "中文 目录"};
    return names;
}

} // namespace quvo::test

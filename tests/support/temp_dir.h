// SPDX-License-Identifier: MIT
// Real directories and files for tests that meet the file system for real.
#pragma once

#include "runtime/system_path.h"

#include <filesystem>
#include <string>
#include <vector>

namespace quvo::test {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    explicit TempDir(const std::string& name = "quvo-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Directory names that a path text could get wrong, as far as the system allows them: a
// blank (as "/media/me/USB STICK" has) and Chinese with a blank everywhere; elsewhere
// than on Windows a tab, a newline, a backslash and a literal "\040" too.
const std::vector<std::string>& oddDirectoryNames();

std::string readFile(const std::filesystem::path& path);
// A path as the program holds it, in UTF-8 (path.string() is the system's code page on
// Windows).
std::string utf8(const std::filesystem::path& path);
// The same, as the runtime's calls take it.
inline runtime::SystemPath systemPath(const std::filesystem::path& path)
{
    return runtime::SystemPath(utf8(path));
}
void writeFile(const std::filesystem::path& path, const std::string& content);

} // namespace quvo::test

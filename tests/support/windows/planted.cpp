// SPDX-License-Identifier: MIT
// Things planted at a test file's name on Windows: a directory, a hard link, and
// symbolic links where the system lets this user make them.
#include "tests/support/planted.h"

#include <windows.h>

namespace quvo::test {
namespace {

namespace fs = std::filesystem;
using runtime::Errc;

std::string plantLink(const fs::path& at, const fs::path& target, DWORD flags)
{
    // Unprivileged links need the developer mode of Windows 10 or later.
    if (!::CreateSymbolicLinkW(at.c_str(), target.c_str(), flags | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        return "no symbolic link may be made here (error " + std::to_string(::GetLastError()) + ")";
    const DWORD attributes = ::GetFileAttributesW(at.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return "the system reports a symbolic link made but none is there (Wine)";
    return {};
}

} // namespace

const std::vector<Planted>& plantedThings()
{
    static const std::vector<Planted> things = {
        {"Directory", "directory",
            [](const fs::path& at, const fs::path&) { return fs::create_directory(at) ? "" : "mkdir failed"; },
            Errc::notRegularFile},
        {"HardLinkToAFileOutside", "hard link to a file outside",
            [](const fs::path& at, const fs::path& outside) {
                return ::CreateHardLinkW(at.c_str(), outside.c_str(), nullptr) ? std::string()
                                                                               : "no hard links on this volume";
            },
            Errc::hasOtherLinks},
        {"LinkToAFileOutside", "symbolic link to a file outside",
            [](const fs::path& at, const fs::path& outside) { return plantLink(at, outside, 0); },
            Errc::notRegularFile},
        {"DanglingLink", "dangling symbolic link",
            [](const fs::path& at, const fs::path& outside) {
                return plantLink(at, outside.parent_path() / "nowhere", 0);
            },
            Errc::notRegularFile},
        {"LinkToADirectory", "symbolic link to a directory",
            [](const fs::path& at, const fs::path& outside) {
                fs::create_directory(outside.parent_path() / "elsewhere");
                return plantLink(at, outside.parent_path() / "elsewhere", SYMBOLIC_LINK_FLAG_DIRECTORY);
            },
            Errc::notRegularFile},
    };
    return things;
}

} // namespace quvo::test

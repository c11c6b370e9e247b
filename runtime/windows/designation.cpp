// SPDX-License-Identifier: MIT
// Drive designations on Windows: a drive's letter and colon, naming the drive's
// current directory, with paths resolved as the system resolves them.
#include "runtime/designation.h"

#include "runtime/errors.h"
#include "runtime/windows/handles.h"
#include "runtime/windows/text.h"

#include <array>
#include <windows.h>

namespace quvo::runtime {
namespace {

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool isDriveLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Long paths and device paths name their drive after a prefix: \\?\C:\... and \\.\C:\...
std::string_view withoutDevicePrefix(std::string_view path)
{
    if (path.size() >= 4 && isSeparator(path[0]) && isSeparator(path[1]) && (path[2] == '?' || path[2] == '.')
        && isSeparator(path[3]))
        return path.substr(4);
    return path;
}

// Bytes of path's root, its last separator included: 3 for "C:\x", 15 for
// "\\server\share\x"; 0 where it has none.
std::size_t rootLength(std::string_view path)
{
    if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == ':' && isSeparator(path[2]))
        return 3;
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        // \\server\share\: the root ends at the separator after the share's name.
        std::size_t separators = 2;
        for (std::size_t i = 2; i < path.size(); ++i)
            if (isSeparator(path[i]) && ++separators == 4)
                return i + 1;
        return path.size();
    }
    return 0;
}

// Whether two paths name one directory: the same file on the same volume, whatever
// case, short names or links their texts hold.
bool sameDirectory(const std::string& a, const std::string& b)
{
    const auto identity = [](const std::string& path) {
        BY_HANDLE_FILE_INFORMATION info{};
        const FileHandle handle = owned(::CreateFileW(systemPath(path).c_str(), FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
            nullptr));
        return handle.isOpen() && ::GetFileInformationByHandle(handleOf(handle), &info)
            ? std::array<DWORD, 3>{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow}
            : std::array<DWORD, 3>{};
    };
    const auto first = identity(a);
    return first != std::array<DWORD, 3>{} && first == identity(b);
}

} // namespace

std::string designationFor(std::string_view directory)
{
    const std::string_view path = withoutDevicePrefix(directory);
    if (path.size() < 2 || !isDriveLetter(path[0]) || path[1] != ':')
        return {};
    const char letter = path[0] >= 'A' && path[0] <= 'Z' ? static_cast<char>(path[0] - 'A' + 'a') : path[0];
    return {letter, ':'};
}

std::error_code designateDirectory(const std::string& directory)
{
    // The system keeps one current directory per process; a drive-relative path on
    // its drive ("x:name") resolves into it.
    if (!::SetCurrentDirectoryW(widen(directory).c_str()))
        return lastWindowsError();
    // The current directory as the system keeps it may still not be where the letter
    // leads: a directory in its long form (\\?\C:\dir) is kept so, and "c:name" then
    // resolves into drive C's own directory; a volume without a letter has none.
    if (!sameDirectory(directory, directoryNamedBy(designationFor(directory)).text()))
        return Errc::designationElsewhere;
    return {};
}

std::string plainPath(std::string_view path)
{
    const std::string_view rest = withoutDevicePrefix(path);
    if (rest.size() == path.size())
        return std::string(path);
    if (rest.size() >= 2 && isDriveLetter(rest[0]) && rest[1] == ':')
        return std::string(rest);
    if (rest.size() >= 4 && (rest.substr(0, 3) == "UNC" || rest.substr(0, 3) == "unc") && isSeparator(rest[3]))
        return "\\\\" + std::string(rest.substr(4));
    return std::string(path);
}

SystemPath directoryNamedBy(std::string_view designation)
{
    std::string directory = fullPath(designation.empty() ? std::string_view(".") : designation);
    if (!directory.empty() && !isSeparator(directory.back()))
        directory += '\\';
    return SystemPath(std::move(directory));
}

SystemPath parentDirectory(const SystemPath& file)
{
    const std::string_view path = file.text();
    const auto separator = path.find_last_of("\\/");
    if (separator == std::string_view::npos)
        return SystemPath(".");
    // The root keeps its separator: "C:" alone would name the drive's current directory.
    const std::size_t root = rootLength(withoutDevicePrefix(path)) + (path.size() - withoutDevicePrefix(path).size());
    if (separator < root)
        return SystemPath(std::string(path.substr(0, root)));
    return SystemPath(std::string(path.substr(0, separator)));
}

std::string_view fileNamePart(const SystemPath& path)
{
    const std::string_view text = path.text();
    const auto separator = text.find_last_of("\\/:");
    return separator == std::string_view::npos ? text : text.substr(separator + 1);
}

} // namespace quvo::runtime

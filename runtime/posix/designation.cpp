// SPDX-License-Identifier: MIT
// Drive designations on systems without lettered drives: escaped directories.
#include "runtime/designation.h"

namespace quvo::runtime {
namespace {

bool isOctalDigit(char c)
{
    return c >= '0' && c <= '7';
}

// The byte that an escape at pathText[i] stands for, or -1 if none starts there. Only
// \001 to \377 are escapes: a NUL would cut the path short where the system reads it.
int escapedByteAt(std::string_view pathText, std::size_t i)
{
    if (pathText[i] != '\\' || pathText.size() - i < 4)
        return -1;
    const char high = pathText[i + 1], middle = pathText[i + 2], low = pathText[i + 3];
    if (high > '3' || !isOctalDigit(high) || !isOctalDigit(middle) || !isOctalDigit(low))
        return -1;
    const int byte = (high - '0') * 64 + (middle - '0') * 8 + (low - '0');
    return byte == 0 ? -1 : byte;
}

} // namespace

std::string designationFor(std::string_view directory)
{
    if (directory.empty())
        directory = ".";
    while (directory.size() > 1 && directory.back() == '/')
        directory.remove_suffix(1);
    std::string designation;
    designation.reserve(directory.size() + 1);
    for (const char c : directory) {
        switch (c) {
        case ' ': designation += "\\040"; break;
        case '\t': designation += "\\011"; break;
        case '\n': designation += "\\012"; break;
        case '\\': designation += "\\134"; break;
        default: designation += c;
        }
    }
    if (designation != "/")
        designation += '/';
    return designation;
}

std::string fileSystemPath(std::string_view pathText)
{
    std::string path;
    path.reserve(pathText.size());
    for (std::size_t i = 0; i < pathText.size(); ++i) {
        const int byte = escapedByteAt(pathText, i);
        if (byte < 0) {
            path += pathText[i];
            continue;
        }
        path += static_cast<char>(byte);
        i += 3;
    }
    return path;
}

std::error_code designateDirectory(const std::string&)
{
    return {};
}

std::string plainPath(std::string_view path)
{
    return std::string(path);
}

std::string parentDirectory(std::string_view path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string_view::npos)
        return ".";
    return std::string(path.substr(0, slash == 0 ? 1 : slash));
}

std::string_view fileNamePart(std::string_view pathText)
{
    const auto slash = pathText.find_last_of('/');
    return slash == std::string_view::npos ? pathText : pathText.substr(slash + 1);
}

} // namespace quvo::runtime

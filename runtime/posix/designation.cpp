// SPDX-License-Identifier: MIT
// Drive designations on systems without lettered drives: escaped directories.
#include "runtime/designation.h"

#include <utility>

namespace quvo::runtime {
namespace {

bool isOctalDigit(char c)
{
    return c >= '0' && c <= '7';
}

// The byte that an escape at text[i] stands for, or -1 if none starts there. Only \001
// to \377 are escapes: a NUL would cut the path short where the system reads it.
int escapedByteAt(std::string_view text, std::size_t i)
{
    if (text[i] != '\\' || text.size() - i < 4)
        return -1;
    const char high = text[i + 1], middle = text[i + 2], low = text[i + 3];
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

SystemPath directoryNamedBy(std::string_view designation)
{
    std::string path;
    path.reserve(designation.size());
    for (std::size_t i = 0; i < designation.size(); ++i) {
        const int byte = escapedByteAt(designation, i);
        if (byte < 0) {
            path += designation[i];
            continue;
        }
        path += static_cast<char>(byte);
        i += 3;
    }
    return SystemPath(std::move(path));
}

std::error_code designateDirectory(const std::string&)
{
    return {};
}

std::string plainPath(std::string_view path)
{
    return std::string(path);
}

SystemPath parentDirectory(const SystemPath& path)
{
    const std::string& text = path.text();
    const auto slash = text.find_last_of('/');
    if (slash == std::string::npos)
        return SystemPath(".");
    return SystemPath(text.substr(0, slash == 0 ? 1 : slash));
}

std::string_view fileNamePart(const SystemPath& path)
{
    const std::string_view text = path.text();
    const auto slash = text.find_last_of('/');
    return slash == std::string_view::npos ? text : text.substr(slash + 1);
}

} // namespace quvo::runtime

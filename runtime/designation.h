// SPDX-License-Identifier: MIT
// Drive designations on systems without lettered drives.
//
// A drive text is "<designation> <description>". Its designation is a directory with
// a trailing "/", in which blank, tab, newline and backslash are written with the
// mount table's octal escapes (\040, \011, \012, \134), so the text up to its first
// blank is always the whole designation, and the designation followed directly by a
// file name is a path text naming that file in the directory.
#pragma once

#include <string>
#include <string_view>

namespace quvo::runtime {

// The designation of a directory: escaped, with exactly one trailing "/".
std::string designationFor(std::string_view directory);

// The file-system path that a path text names: each backslash followed by three octal
// digits becomes that byte; every other character stands for itself.
std::string fileSystemPath(std::string_view pathText);

} // namespace quvo::runtime

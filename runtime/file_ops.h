// SPDX-License-Identifier: MIT
// The run's operations on whole files, given path texts (designation.h).
#pragma once

#include "runtime/platform.h"
#include "runtime/result.h"

#include <string_view>
#include <system_error>

namespace quvo::runtime {

// The file name part of pathText if a regular file of that name exists, else the
// empty text. "Not there" is an answer, not an error.
Result<std::string_view> lookUpFile(std::string_view pathText);

// Copies the whole file through the process, block by block, so the data really
// moves (no clone or reflink shortcut), replaces the destination if it is a regular
// file of this user, and forces the copy to the medium.
std::error_code copyFile(std::string_view sourceText, std::string_view destinationText);

// Removes a regular file of this user; fails if nothing is there.
std::error_code deleteFile(std::string_view pathText);

// Succeeds when the name is free or holds a regular file of this user.
std::error_code checkReplaceable(std::string_view pathText);

// Of the volume that holds the file's directory.
Result<Space> spaceFor(std::string_view pathText);

} // namespace quvo::runtime

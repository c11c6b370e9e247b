// SPDX-License-Identifier: MIT
// Drive designations and the path texts built on them. Implemented by each system's
// designation.cpp (posix/, windows/).
//
// A drive text is "<designation> <description>", and the designation names a directory:
// the run's, where its test files are. A designation is text the user reads; the path
// the system takes is made from it once, by directoryNamedBy().
//
// On Windows a designation is a drive's lower-case letter and colon ("c:"), and
// "c:DriveSpeedTest.txt" names the file in drive C's current directory, resolved as
// the system resolves it (not its root, and not by inserting a separator).
//
// Elsewhere it is a directory with a trailing "/", in which blank, tab, newline and
// backslash are written with the mount table's octal escapes (\040, \011, \012, \134),
// so the text up to its first blank is always the whole designation.
#pragma once

#include "runtime/system_path.h"

#include <string>
#include <string_view>
#include <system_error>

namespace quvo::runtime {

// The designation of a directory. Windows: its drive's letter and colon, or the empty
// text for a directory on no lettered drive (a UNC path), which names the process's
// current directory. Elsewhere: escaped, with exactly one trailing "/".
std::string designationFor(std::string_view directory);

// Makes designationFor(directory) name directory itself. A drive letter names its
// drive's current directory, so on Windows this makes directory the process's current
// directory (and with it its drive's), and fails with Errc::designationElsewhere where
// the letter and a name would still name a file elsewhere (a volume without a letter);
// elsewhere a designation already is its directory, and nothing changes.
std::error_code designateDirectory(const std::string& directory);

// A path as a user writes it. Windows: a path in the long or device form (\\?\C:\dir,
// \\?\UNC\server\share\dir, \\.\C:\dir) in its plain form, which a current directory and a
// drive letter are understood in; every other path as it is.
std::string plainPath(std::string_view path);

// The directory a designation names, as the system takes it, ending where a file name
// follows directly. Windows: the full path of the drive's current directory, as
// GetFullPathNameW resolves the letter ("c:" gives "C:\Users\me\"), and of the
// process's for the empty text. Elsewhere: each backslash followed by three octal digits
// becomes that byte and every other character stands for itself ("/a\040b/" gives
// "/a b/"); the empty text stays empty, so that a name alone is in the current directory.
SystemPath directoryNamedBy(std::string_view designation);

// The directory that holds a file: "/a/f" gives "/a", "/f" gives "/", "C:\a\f"
// gives "C:\a" and "C:\f" gives "C:\"; a bare name gives ".".
SystemPath parentDirectory(const SystemPath& path);

// The file name at the end of a path: what follows its last "/" (and on Windows its last
// "\" or ":").
std::string_view fileNamePart(const SystemPath& path);

} // namespace quvo::runtime

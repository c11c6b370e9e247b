// SPDX-License-Identifier: MIT
// The per-system calls NativeFile is built on; private to the runtime. NativeFile
// (native_file.cpp) keeps what is the same everywhere: the look, the check and the
// compare around every open of an existing name, create-or-empty, the alignment rule of
// direct I/O and the bookkeeping of a read started ahead. Each system's platform.cpp
// implements what differs, below.
#pragma once

#include "runtime/platform.h"
#include "runtime/result.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

namespace quvo::runtime::native {

enum class Access { Read, Write };

// Which file a handle is, whatever name it was opened by: the volume, and the file's
// number on it (128 bits where the file system has them; on Linux the inode number and
// the file's birth time, since a freed inode number is given to the next new file).
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct FileFacts {
    FileIdentity identity;
    // A plain file on a disk: no directory, device, FIFO, socket, or link that stands
    // for another name (a symbolic link, a junction).
    bool regular = false;
    std::uint64_t links = 1; // its names (hard links)
    // Windows: a file that a filter serves (a sync client's placeholder, a deduplicated
    // file), which is opened through the filter to reach its data.
    bool filtered = false;
};

// Whatever stands at path, itself, for a look at what it is: a link is opened as
// itself, never followed, and no device's or FIFO's driver is called. forRemoval: the
// handle may also remove the name (Windows removes through a handle).
Result<FileHandle> lookAt(const std::string& path, bool forRemoval = false);
Result<FileFacts> factsOf(const FileHandle& file);
// Whether a looked-at file belongs to this user; true where the file system keeps no
// owners or the owner cannot be read.
Result<bool> ownedByThisUser(const FileHandle& probe);
// Removes path, which probe looked at.
std::error_code removeName(const FileHandle& probe, const std::string& path);

// What stands at path, as looked at, opened without following a link and without
// blocking on a FIFO; the caller compares it with what it looked at.
Result<FileHandle> openExisting(const std::string& path, Access access, const FileFacts& looked);
// A new file, opened for writing, only where nothing has the name; a link there,
// dangling or not, counts as something.
Result<FileHandle> createNew(const std::string& path);
// Whether createNew failed because something has the name (look at it to learn what).
bool nameTaken(const std::error_code& createError);
std::error_code truncate(const FileHandle& file);

// How an open file moves its data.
struct IoStyle {
    Access access = Access::Read;
    WriteMode writeMode = WriteMode::Buffered;
    bool direct = false; // past the system's cache, in whole aligned blocks
    // A transfer may run while the caller goes on: the next read ahead, the last full
    // block written behind.
    bool overlapped = false;
};
// What this system gives a file opened for each mode.
IoStyle styleFor(WriteMode mode);
IoStyle styleFor(ReadMode mode);
// Gives an open file the style (Linux: its flags; Windows: the file opened again from
// its handle). Whether direct I/O holds afterwards: not where the file system or the
// volume's sectors refuse it, and the file then goes through the cache.
Result<bool> restyle(FileHandle& file, const IoStyle& style);

// Up to capacity bytes at offset; 0 at the end of the file.
Result<std::size_t> readAt(const FileHandle& file, char* data, std::size_t capacity, std::uint64_t offset);
// Some of size bytes at offset: the caller goes on with the rest.
Result<std::size_t> writeAt(const FileHandle& file, const char* data, std::size_t size, std::uint64_t offset);
// A transfer that failed this way is tried again as it was.
bool interrupted(const std::error_code& error);
// A direct transfer that the file system would not take: it goes through the cache.
bool refusedDirect(const std::error_code& error);
// Once bytes [from, to) of a file of style are written: what the style asks of them
// beyond the write itself. settledUpTo: where a paced file is known to be on the device.
std::error_code settle(
    const FileHandle& file, const IoStyle& style, std::uint64_t from, std::uint64_t to, std::uint64_t& settledUpTo);
// What was written, forced to the medium.
std::error_code force(const FileHandle& file);
// The file's pages out of the system's cache, where the system can drop one file's.
void dropFromCache(const FileHandle& file);
// Closes, and says whether the system took the file back without a fault.
std::error_code close(FileHandle& file);

Result<std::uint64_t> sizeOf(const FileHandle& file);
Result<Space> volumeSpaceOf(const FileHandle& file);

// The one transfer that runs while the caller goes on: io_uring on Linux, an overlapped
// read on Windows. A transfer still running when it goes is waited for, since a read
// writes into memory its caller frees next and a write reads from it.
class PendingTransfer {
public:
    virtual ~PendingTransfer() = default;
    virtual bool running() const = 0;
    // Not running afterwards when the transfer was not taken: the caller moves the data
    // in the plain way and meets the same answer.
    virtual void submitRead(const FileHandle& file, char* data, std::size_t size, std::uint64_t offset) = 0;
    virtual void submitWrite(const FileHandle& file, const char* data, std::size_t size, std::uint64_t offset) = 0;
    // What the running transfer moved. Still running after a failure to wait for it (it
    // goes on, and is waited for again when this goes).
    virtual Result<std::size_t> wait() = 0;
};
// None where the system cannot run a transfer on its own.
std::unique_ptr<PendingTransfer> newPendingTransfer();
// Whether the file's medium is memory (tmpfs): no device there to keep busy.
bool servedFromMemory(const FileHandle& file);
// Whether dropFromCache can drop one file's pages on this system.
bool dropsOneFile();
// Whether some of the open file's pages are in the cache; nothing where the system
// cannot tell.
std::optional<bool> cached(const FileHandle& file);

} // namespace quvo::runtime::native

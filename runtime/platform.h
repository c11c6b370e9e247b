// SPDX-License-Identifier: MIT
// The platform seam: the few file-system calls the rest of the runtime is built on.
// NativeFile and the checks on a test file's name are shared (native_file.cpp) over
// each system's own calls (native_calls.h); the rest is each system's platform.cpp
// (linux/, windows/). Paths here are the system's own (system_path.h), made from a drive's
// designation once by the run.
//
// Nothing at a test file's name is trusted: a name is never followed as a symbolic
// link, and only a file this process created, or a regular file of this user with no
// other name (hard link), is ever truncated or removed.
#pragma once

#include "runtime/result.h"
#include "runtime/system_path.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

namespace quvo::runtime {

// Direct I/O wants addresses, sizes and offsets in multiples of the device's logical
// block; 4096 covers every common device.
inline constexpr std::size_t kDirectIoAlignment = 4096;

enum class WriteMode {
    // Written blocks may wait in the system's cache; finish() forces them to the medium.
    Buffered,
    // Every aligned block goes to the device as it is written (direct I/O where the
    // file system allows it, else a range synced per block), so that writes counted
    // against a clock count only data the device has taken, or at most one block it
    // is taking: where the system can write on its own, the writer fills the next
    // block while the last is written, so that the device is never left idle.
    Streaming,
    // Each block is handed to the device as it is written, and the writer waits only
    // for what lies more than a few MiB behind it, so that the cache never holds more
    // than that of the file: the device works all the while, and finish() has little
    // left to force.
    Paced,
};

enum class ReadMode {
    // Through the system's cache, from which the writer's finish() dropped the file.
    Buffered,
    // Straight from the device into aligned blocks (direct I/O where the file system
    // allows it, else through the cache), one request at a time, so that what is read
    // against a clock is what the device delivers. startRead() lets the next request
    // run while the caller works through the last one, as a drive streaming a file is
    // never left idle.
    Streaming,
};

// How a file's data met the device, as far as the system lets a program see.
enum class DataPath {
    Direct,           // past the system's cache
    DroppedFromCache, // through the cache: forced to the medium, and dropped from the cache after
    ForcedToMedium,   // through the cache and forced to the medium; the system drops no one file's pages
    DirectRefused,    // through the cache, where direct I/O was asked for and the file system refused it
    Memory,           // the medium is memory (tmpfs): there is no other device
};

struct Space {
    std::uint64_t totalBytes = 0;
    std::uint64_t availableBytes = 0; // to this user
    std::uint64_t blockBytes = 1;     // the unit in which files take space
    bool memory = false;              // the medium is memory (tmpfs): there is no other device
};

// One of the system's handles on an open file or directory (a descriptor, a HANDLE),
// closed when it goes, so that whatever holds one moves and ends by default. On Windows
// it holds the runtime's other kernel objects too (a token, an event, a thread, the
// directory lock's mutex), which CloseHandle closes alike.
class FileHandle {
public:
    static constexpr std::intptr_t kNone = -1;

    FileHandle() = default;
    explicit FileHandle(std::intptr_t value)
        : value_(value)
    {
    }
    FileHandle(FileHandle&& other) noexcept
        : value_(std::exchange(other.value_, kNone))
    {
    }
    FileHandle& operator=(FileHandle&& other) noexcept
    {
        if (this != &other) {
            close();
            value_ = std::exchange(other.value_, kNone);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { close(); }

    bool isOpen() const { return value_ != kNone; }
    std::intptr_t get() const { return value_; }
    std::intptr_t release() { return std::exchange(value_, kNone); }

private:
    void close() noexcept;

    std::intptr_t value_ = kNone;
};

namespace native {
enum class Access;
struct IoStyle;
class PendingTransfer;
} // namespace native

class NativeFile {
public:
    NativeFile();
    NativeFile(NativeFile&& other) noexcept;
    NativeFile& operator=(NativeFile&& other) noexcept;
    NativeFile(const NativeFile&) = delete;
    NativeFile& operator=(const NativeFile&) = delete;
    // Closes without forcing anything to the medium: finish() is the measured way out.
    ~NativeFile();

    // Creates the file, or empties one this process created or emptied before, or an
    // existing regular file of this user that has no other name.
    static Result<NativeFile> createForWriting(const SystemPath& path, WriteMode mode);
    // Opens an existing regular file at its start.
    static Result<NativeFile> openForReading(const SystemPath& path, ReadMode mode = ReadMode::Buffered);

    bool isOpen() const { return handle_.isOpen(); }
    // Whether transfers go past the system's cache: they then move whole aligned blocks,
    // and a read into any other place goes on through the cache from there.
    bool isDirect() const { return direct_; }
    std::error_code write(const char* data, std::size_t size);
    // A whole, aligned block, handed to the system to be written while the caller goes
    // on where it can do that (a streamed file), else written now. data must stay
    // untouched until awaitWrite(); one block at a time.
    std::error_code startWrite(const char* data, std::size_t size);
    // Waits for the block started last, if one is on its way.
    std::error_code awaitWrite();
    // Up to capacity bytes; 0 at the end of the file. A streamed read into an unaligned
    // place goes on through the cache from there.
    Result<std::size_t> read(char* data, std::size_t capacity);
    // The next read, started: it runs on its own where the system can do that, and
    // awaitRead() gives what read() would have given. data must stay untouched until
    // then; nothing else is read meanwhile.
    void startRead(char* data, std::size_t capacity);
    Result<std::size_t> awaitRead();
    // Forces what was written to the medium, drops a written file's pages from the
    // system's cache so that the next reader meets the device, and closes.
    std::error_code finish();
    // How the file's data went to or came from the medium, as far as this handle can
    // tell (a memory medium is told by the volume's Space).
    DataPath path() const;

    // Bytes in the file now.
    Result<std::uint64_t> size() const;
    // A writer that failed: the bytes the system took, in order from the start (a
    // transfer still running is waited for first).
    std::uint64_t written();
    // Of the volume that holds the file.
    Result<Space> volumeSpace() const;

private:
    NativeFile(FileHandle handle, native::IoStyle style);
    native::IoStyle style() const;
    std::error_code takeStyle(const native::IoStyle& style);
    std::error_code stopDirectIo();
    std::error_code recoverFrom(const std::error_code& failure);

    FileHandle handle_;
    native::Access access_{};
    WriteMode mode_ = WriteMode::Buffered;
    bool direct_ = false;
    bool directRefused_ = false;    // asked for, and refused by the file system
    bool wentDirect_ = false;       // opened direct (a last, partial block goes through the cache)
    std::uint64_t offset_ = 0;      // bytes written or read so far
    std::uint64_t settledUpTo_ = 0; // a paced file: bytes known to be on the device
    // A started transfer: what runs it (none, or not running: the data moves in the
    // plain way instead), and its data. Declared after the handle, so that a transfer
    // still running is waited for while its file is open.
    std::unique_ptr<native::PendingTransfer> pending_;
    char* startedData_ = nullptr;
    std::size_t startedCapacity_ = 0;
    const char* writingData_ = nullptr; // a block written behind, at writingOffset_
    std::size_t writingSize_ = 0;
    std::uint64_t writingOffset_ = 0;
};

// Memory for direct I/O: whole pages, aligned for it, and handed back to the system when
// freed rather than kept by the allocator, where blocks this size freed run after run
// pile up. The system's error when it has none to give.
Result<char*> newIoBlock(std::size_t bytes);
void deleteIoBlock(char* block, std::size_t bytes) noexcept;

// Gives the pages of memory the process owns, not yet touched, their frames in one call
// where the system can: a buffer of megabytes faulted in a page at a time costs tens of
// milliseconds on a virtual machine. Nothing where it cannot; the first writes then do it.
void populate(char* memory, std::size_t bytes) noexcept;

// Whether some of the file at path is in the system's cache: false where a drop left
// none of it there, nothing where the system cannot tell (or the file is empty). Looks
// without reading: the pages are mapped, not touched.
std::optional<bool> cachedPagesOf(const SystemPath& path);

// A write the user's disk quota refused, which the volume's free space may not have
// foretold.
bool quotaExceeded(const std::error_code& error);

// A removal refused because another program holds the file without sharing its removal
// (on Windows a virus scanner, a sync client or the search indexer that opened it as it
// appeared), which it may let go of in a moment. Never where a removal does not ask
// other programs (POSIX).
bool heldByAnotherProgram(const std::error_code& error);

// Whether a regular file is at path; a link there is not followed and does not count.
Result<bool> regularFileExists(const SystemPath& path);

// Succeeds when nothing is at path, or a file the run may empty and remove is: one this
// process created, or a regular file of this user with no other name.
std::error_code checkReplaceableFile(const SystemPath& path);

// Removes a file this process created, or a regular file of this user with no other
// name; refuses anything else.
std::error_code removeOwnedFile(const SystemPath& path);

// Removes the file at path if this process created or emptied it, whatever has become
// of it since; anything else at the name, or nothing, stays as it is and is no failure.
std::error_code removeOwnFile(const SystemPath& path);

// Held by one run at a time per directory, and given up by the system when the process
// ends however it ends. Needs no file of its own: the directory itself is locked.
class DirectoryLock {
public:
    // Guards nothing: where the directory can take no lock.
    DirectoryLock() = default;
    explicit DirectoryLock(FileHandle directory)
        : directory_(std::move(directory))
    {
    }

    // False where the file system keeps no locks or the directory could not be opened
    // for one: the run goes on unguarded, and says so.
    bool guards() const { return directory_.isOpen(); }

private:
    FileHandle directory_;
};

// Errc::directoryInUse while another process (or another lock in this one) holds it.
// Where the file system has no locks, or the directory cannot be opened for them, a
// lock that guards nothing: the run goes on unguarded rather than not at all.
Result<DirectoryLock> lockDirectory(const SystemPath& directory);

// Of the volume holding directory.
Result<Space> spaceOf(const SystemPath& directory);

// The largest file this process may make in directory: the lower of its own file-size
// limit and the file system's (FAT's 4 GiB less one byte).
std::uint64_t largestFileIn(const SystemPath& directory);

} // namespace quvo::runtime

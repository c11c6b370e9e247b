// SPDX-License-Identifier: MIT
// The platform seam on Linux: O_PATH, O_DIRECT, sync_file_range and io_uring are its own.
#include "runtime/platform.h"

#include "runtime/errors.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <liburing.h>
#include <linux/magic.h>
#include <new>
#include <optional>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>

namespace quvo::runtime {
namespace {

// How far a paced writer may run ahead of what the device has taken. Waiting for each
// block before the next left the device idle between them: a 3 GB copy on the virtual
// disk here took 8 to 15 s so, and 7 s with 8 MiB on their way.
constexpr std::uint64_t kPacedLagBytes = std::uint64_t{8} << 20;

std::error_code lastError()
{
    return {errno, std::system_category()};
}

int fdOf(const FileHandle& handle)
{
    return static_cast<int>(handle.get());
}

std::error_code checkOurs(const struct stat& st)
{
    if (!S_ISREG(st.st_mode))
        return Errc::notRegularFile;
    if (st.st_uid != ::geteuid())
        return Errc::ownedByOtherUser;
    // Emptying or filling one name of a hard-linked file changes every other name's.
    if (st.st_nlink > 1)
        return Errc::hasOtherLinks;
    return {};
}

Space spaceFrom(const struct statvfs& vfs)
{
    return {.totalBytes = std::uint64_t{vfs.f_blocks} * vfs.f_frsize,
        .availableBytes = std::uint64_t{vfs.f_bavail} * vfs.f_frsize,
        .blockBytes = std::max<std::uint64_t>(vfs.f_frsize, 1)};
}

// Direct I/O moves whole logical blocks between aligned memory and aligned offsets.
bool directIoAligned(const char* data, std::size_t size, std::uint64_t offset)
{
    const auto aligned = [](std::uint64_t n) { return n % kDirectIoAlignment == 0; };
    return aligned(size) && aligned(offset) && aligned(reinterpret_cast<std::uintptr_t>(data));
}

// File systems without direct I/O refuse the flag; the caller goes through the cache.
bool startDirectIo(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_DIRECT) == 0;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens what already stands at path, but only a regular file (of this user and with no
// other name, when owned is set), and only the very file that was checked. The check looks through
// O_PATH, which calls no driver's open, so a device or FIFO at the name is never
// opened; O_NONBLOCK keeps a FIFO swapped in meanwhile from blocking the open, and the
// identity test then refuses it.
Result<FileHandle> openExisting(const std::string& path, int access, bool owned)
{
    const FileHandle probe(::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!probe.isOpen())
        return lastError();
    struct stat checked { };
    if (::fstat(fdOf(probe), &checked) != 0)
        return lastError();
    if (!S_ISREG(checked.st_mode))
        return make_error_code(Errc::notRegularFile);
    if (owned) {
        if (auto error = checkOurs(checked))
            return error;
    }

    FileHandle file(::open(path.c_str(), access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.isOpen())
        return lastError();
    struct stat opened { };
    if (::fstat(fdOf(file), &opened) != 0)
        return lastError();
    if (!sameFile(checked, opened))
        return make_error_code(Errc::replacedWhileOpening);
    const int flags = ::fcntl(fdOf(file), F_GETFL);
    if (flags < 0 || ::fcntl(fdOf(file), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return lastError();
    return file;
}

// A new file or an emptied regular file of this user, opened for writing.
Result<FileHandle> createOrTruncate(const std::string& path)
{
    // Twice at most: a file removed by someone else between our two looks is created anew.
    for (int attempt = 0;; ++attempt) {
        // O_EXCL makes a new name ours by construction and also refuses a dangling link.
        // Mode 0666 lets the user's umask decide the permissions.
        FileHandle created(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (created.isOpen())
            return created;
        if (errno != EEXIST)
            return lastError();
        auto existing = openExisting(path, O_WRONLY, /*owned=*/true);
        if (!existing && existing.error() == std::errc::no_such_file_or_directory && attempt == 0)
            continue;
        if (!existing)
            return existing.error();
        if (::ftruncate(fdOf(*existing), 0) != 0)
            return lastError();
        return existing;
    }
}

} // namespace

// io_uring with one entry: a direct read submitted here runs on its own while the
// caller goes on, and is collected with wait(). (Linux AIO would do the same, but the
// kernel holds up the exit of a process that used it for a grace period, 35 ms here.)
class ReadRing {
public:
    // None where the system has no io_uring or refuses it.
    static std::unique_ptr<ReadRing> open()
    {
        auto ring = std::unique_ptr<ReadRing>(new ReadRing);
        if (::io_uring_queue_init(1, &ring->ring_, 0) != 0)
            return nullptr;
        ring->initialised_ = true;
        return ring;
    }

    // A read still running writes into memory its caller may free next: it is waited
    // for. Should the system fail to wait (it has no reason to), the ring is left as it
    // is rather than torn down under the read.
    ~ReadRing()
    {
        if (initialised_ && !(running_ && !wait()))
            ::io_uring_queue_exit(&ring_);
    }

    ReadRing(const ReadRing&) = delete;
    ReadRing& operator=(const ReadRing&) = delete;

    bool running() const { return running_; }

    // Not running afterwards when the read was not taken.
    void submit(int fd, char* data, std::size_t size, std::uint64_t offset)
    {
        io_uring_sqe* entry = ::io_uring_get_sqe(&ring_);
        if (entry == nullptr)
            return;
        ::io_uring_prep_read(entry, fd, data, static_cast<unsigned>(size), offset);
        running_ = ::io_uring_submit(&ring_) == 1;
    }

    // What the running read gave: bytes, or a negated error number. Nothing when it
    // cannot be waited for, and it counts as running still.
    std::optional<int> wait()
    {
        io_uring_cqe* completion = nullptr;
        int waited = 0;
        do
            waited = ::io_uring_wait_cqe(&ring_, &completion);
        while (waited == -EINTR);
        if (waited != 0)
            return std::nullopt;
        running_ = false;
        const int result = completion->res;
        ::io_uring_cqe_seen(&ring_, completion);
        return result;
    }

private:
    ReadRing() = default;

    io_uring ring_{};
    bool initialised_ = false;
    bool running_ = false;
};

void FileHandle::close() noexcept
{
    if (value_ != kNone)
        ::close(static_cast<int>(std::exchange(value_, kNone)));
}

NativeFile::NativeFile() = default;

NativeFile::NativeFile(FileHandle handle, WriteMode mode, bool writing)
    : handle_(std::move(handle))
    , mode_(mode)
    , writing_(writing)
{
}

NativeFile::NativeFile(NativeFile&& other) noexcept = default;
NativeFile& NativeFile::operator=(NativeFile&& other) noexcept = default;
NativeFile::~NativeFile() = default;

Result<NativeFile> NativeFile::createForWriting(const std::string& path, WriteMode mode)
{
    auto handle = createOrTruncate(path);
    if (!handle)
        return handle.error();
    NativeFile file(std::move(*handle), mode, /*writing=*/true);
    // Where direct I/O is refused, synced ranges stand in.
    if (mode == WriteMode::Streaming)
        file.direct_ = startDirectIo(fdOf(file.handle_));
    return file;
}

Result<NativeFile> NativeFile::openForReading(const std::string& path, ReadMode mode)
{
    auto handle = openExisting(path, O_RDONLY, /*owned=*/false);
    if (!handle)
        return handle.error();
    NativeFile file(std::move(*handle), WriteMode::Buffered, /*writing=*/false);
    const int fd = fdOf(file.handle_);
    if (mode == ReadMode::Streaming)
        file.direct_ = startDirectIo(fd);
    if (file.direct_)
        file.readRing_ = ReadRing::open();
    else
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return file;
}

std::error_code NativeFile::stopDirectIo()
{
    const int fd = fdOf(handle_);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_DIRECT) != 0)
        return lastError();
    direct_ = false;
    return {};
}

// After a failed transfer: nothing when it can be tried again (it was interrupted, or
// some file system accepted the direct-I/O flag and refused the transfer, and the file
// now goes through the cache), else the error to give up with.
std::error_code NativeFile::recoverFrom(int failure)
{
    if (failure == EINTR)
        return {};
    if (failure == EINVAL && direct_)
        return stopDirectIo();
    return {failure, std::system_category()};
}

std::error_code NativeFile::write(const char* data, std::size_t size)
{
    const int fd = fdOf(handle_);
    // The last, partial block of a streamed file cannot go direct.
    if (direct_ && !directIoAligned(data, size, offset_)) {
        if (auto error = stopDirectIo())
            return error;
    }
    const std::uint64_t blockStart = offset_;
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (auto error = recoverFrom(errno))
                return error;
            continue;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
        offset_ += static_cast<std::uint64_t>(written);
    }
    constexpr auto kWriteAndWait = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    if (mode_ == WriteMode::Streaming && !direct_) {
        if (::sync_file_range(
                fd, static_cast<off_t>(blockStart), static_cast<off_t>(offset_ - blockStart), kWriteAndWait)
            != 0)
            return lastError();
    }
    if (mode_ == WriteMode::Paced) {
        // This block on its way, then on the device whatever lies further back than
        // the lag.
        if (::sync_file_range(
                fd, static_cast<off_t>(blockStart), static_cast<off_t>(offset_ - blockStart), SYNC_FILE_RANGE_WRITE)
            != 0)
            return lastError();
        if (offset_ > pacedUpTo_ + kPacedLagBytes) {
            const std::uint64_t upTo = offset_ - kPacedLagBytes;
            if (::sync_file_range(
                    fd, static_cast<off_t>(pacedUpTo_), static_cast<off_t>(upTo - pacedUpTo_), kWriteAndWait)
                != 0)
                return lastError();
            pacedUpTo_ = upTo;
        }
    }
    return {};
}

Result<std::size_t> NativeFile::read(char* data, std::size_t capacity)
{
    if (direct_ && !directIoAligned(data, capacity, offset_)) {
        if (auto error = stopDirectIo())
            return error;
    }
    for (;;) {
        // At the offset kept here: started reads do not move the file's own position.
        const ssize_t got = ::pread(fdOf(handle_), data, capacity, static_cast<off_t>(offset_));
        if (got >= 0) {
            offset_ += static_cast<std::uint64_t>(got);
            return static_cast<std::size_t>(got);
        }
        if (auto error = recoverFrom(errno))
            return error;
    }
}

void NativeFile::startRead(char* data, std::size_t capacity)
{
    startedData_ = data;
    startedCapacity_ = capacity;
    // Not taken: awaitRead reads in the plain way.
    if (readRing_ && direct_ && directIoAligned(data, capacity, offset_))
        readRing_->submit(fdOf(handle_), data, capacity, offset_);
}

Result<std::size_t> NativeFile::awaitRead()
{
    if (startedData_ == nullptr)
        return make_error_code(std::errc::invalid_argument);
    char* const data = std::exchange(startedData_, nullptr);
    if (!readRing_ || !readRing_->running())
        return read(data, startedCapacity_);
    const std::optional<int> got = readRing_->wait();
    if (!got) {
        const auto error = lastError();
        readRing_.reset();
        return error;
    }
    if (*got < 0) {
        // Older systems know no plain read in a ring: read without one from now on.
        // Otherwise the rule of every failed transfer decides.
        if (*got == -EOPNOTSUPP)
            readRing_.reset();
        else if (auto error = recoverFrom(-*got))
            return error;
        return read(data, startedCapacity_);
    }
    offset_ += static_cast<std::uint64_t>(*got);
    return static_cast<std::size_t>(*got);
}

std::error_code NativeFile::finish()
{
    readRing_.reset();
    const int fd = static_cast<int>(handle_.release());
    std::error_code error;
    if (writing_ && ::fdatasync(fd) != 0)
        error = lastError();
    // A hint, not a promise: clean pages go, and tmpfs keeps its pages as its medium.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    if (::close(fd) != 0 && !error)
        error = lastError();
    return error;
}

Result<std::uint64_t> NativeFile::size() const
{
    struct stat st { };
    if (::fstat(fdOf(handle_), &st) != 0)
        return lastError();
    return static_cast<std::uint64_t>(st.st_size);
}

Result<Space> NativeFile::volumeSpace() const
{
    struct statvfs vfs { };
    if (::fstatvfs(fdOf(handle_), &vfs) != 0)
        return lastError();
    return spaceFrom(vfs);
}

Result<char*> newIoBlock(std::size_t bytes)
{
    // Populated at once: faulting the pages in one by one as they are first written
    // costs twice the time.
    void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (block == MAP_FAILED)
        return lastError();
    return static_cast<char*>(block);
}

void deleteIoBlock(char* block, std::size_t bytes) noexcept
{
    if (block != nullptr)
        ::munmap(block, bytes);
}

Result<bool> regularFileExists(const std::string& path)
{
    struct stat st { };
    if (::lstat(path.c_str(), &st) == 0)
        return S_ISREG(st.st_mode);
    if (errno == ENOENT || errno == ENOTDIR)
        return false;
    return lastError();
}

std::error_code checkReplaceableFile(const std::string& path)
{
    struct stat st { };
    if (::lstat(path.c_str(), &st) == 0)
        return checkOurs(st);
    return errno == ENOENT ? std::error_code{} : lastError();
}

std::error_code removeOwnedFile(const std::string& path)
{
    // POSIX cannot remove through a descriptor; the look and the unlink are as close
    // together as the system allows.
    struct stat st { };
    if (::lstat(path.c_str(), &st) != 0)
        return lastError();
    if (auto error = checkOurs(st))
        return error;
    if (::unlink(path.c_str()) != 0)
        return lastError();
    return {};
}

Result<Space> spaceOf(const std::string& directory)
{
    struct statvfs vfs { };
    if (::statvfs(directory.c_str(), &vfs) != 0)
        return lastError();
    return spaceFrom(vfs);
}

std::uint64_t largestFileIn(const std::string& directory)
{
    std::uint64_t largest = UINT64_MAX;
    struct rlimit limit { };
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        largest = limit.rlim_cur;
    // The system's own answer (pathconf's FILESIZEBITS) guesses 32 bits for file systems
    // it does not know, tmpfs among them; FAT is the one common limit.
    struct statfs fs { };
    if (::statfs(directory.c_str(), &fs) == 0 && fs.f_type == MSDOS_SUPER_MAGIC)
        largest = std::min<std::uint64_t>(largest, 0xFFFF'FFFF);
    return largest;
}

Result<DirectoryLock> lockDirectory(const std::string& directory)
{
    // flock needs a real descriptor (not O_PATH); a directory the user may write but
    // not read cannot be opened for one.
    FileHandle handle(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!handle.isOpen())
        return errno == EACCES ? Result<DirectoryLock>(DirectoryLock{}) : Result<DirectoryLock>(lastError());
    if (::flock(fdOf(handle), LOCK_EX | LOCK_NB) == 0)
        return DirectoryLock(std::move(handle));
    if (errno == EWOULDBLOCK)
        return make_error_code(Errc::directoryInUse);
    // No locks on this file system (some network and FUSE file systems).
    if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL || errno == EBADF)
        return DirectoryLock{};
    return lastError();
}

} // namespace quvo::runtime

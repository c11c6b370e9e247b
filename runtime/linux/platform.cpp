// SPDX-License-Identifier: MIT
// The platform seam on Linux: O_PATH, O_DIRECT, sync_file_range and io_uring are its own.
#include "runtime/platform.h"

#include "runtime/errors.h"
#include "runtime/linux/quota.h"
#include "runtime/native_calls.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <liburing.h>
#include <linux/magic.h>
#include <new>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

// The free space as this user may fill it: no more than the quotas of the file system
// of fd leave.
Space spaceFrom(const struct statvfs& vfs, int fd)
{
    Space space{.totalBytes = std::uint64_t{vfs.f_blocks} * vfs.f_frsize,
        .availableBytes = std::uint64_t{vfs.f_bavail} * vfs.f_frsize,
        .blockBytes = std::max<std::uint64_t>(vfs.f_frsize, 1)};
    if (const auto room = linux_quota::quotaRoomOf(fd))
        space.availableBytes = std::min(space.availableBytes, *room);
    return space;
}

bool memoryMedium(const struct statfs& fs)
{
    return fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC;
}

Result<struct stat> statOf(const FileHandle& file)
{
    struct stat st { };
    if (::fstat(fdOf(file), &st) != 0)
        return lastError();
    return st;
}

// io_uring with one entry: a direct read or write submitted here runs on its own while
// the caller goes on, and is collected with wait(). (Linux AIO would do the same, but
// the kernel holds up the exit of a process that used it for a grace period, 35 ms here.)
class RingTransfer final : public native::PendingTransfer {
public:
    // Should the system fail to wait for a running transfer (it has no reason to), the
    // ring is left as it is rather than torn down under it.
    ~RingTransfer() override
    {
        if (initialised_ && !(running_ && !wait()))
            ::io_uring_queue_exit(&ring_);
    }

    bool open() { return initialised_ = ::io_uring_queue_init(1, &ring_, 0) == 0; }

    bool running() const override { return running_; }

    void submitRead(const FileHandle& file, char* data, std::size_t size, std::uint64_t offset) override
    {
        if (io_uring_sqe* entry = ::io_uring_get_sqe(&ring_)) {
            ::io_uring_prep_read(entry, fdOf(file), data, static_cast<unsigned>(size), offset);
            running_ = ::io_uring_submit(&ring_) == 1;
        }
    }

    void submitWrite(const FileHandle& file, const char* data, std::size_t size, std::uint64_t offset) override
    {
        if (io_uring_sqe* entry = ::io_uring_get_sqe(&ring_)) {
            ::io_uring_prep_write(entry, fdOf(file), data, static_cast<unsigned>(size), offset);
            running_ = ::io_uring_submit(&ring_) == 1;
        }
    }

    Result<std::size_t> wait() override
    {
        io_uring_cqe* completion = nullptr;
        int waited = 0;
        do
            waited = ::io_uring_wait_cqe(&ring_, &completion);
        while (waited == -EINTR);
        if (waited != 0)
            return std::error_code{-waited, std::system_category()};
        running_ = false;
        const int result = completion->res;
        ::io_uring_cqe_seen(&ring_, completion);
        if (result < 0)
            return std::error_code{-result, std::system_category()};
        return static_cast<std::size_t>(result);
    }

private:
    io_uring ring_{};
    bool initialised_ = false;
    bool running_ = false;
};

} // namespace

void FileHandle::close() noexcept
{
    if (value_ != kNone)
        ::close(static_cast<int>(std::exchange(value_, kNone)));
}

namespace native {

// O_PATH calls no driver's open, so a device or FIFO at the name is never opened.
Result<FileHandle> lookAt(const std::string& path, bool)
{
    FileHandle probe(::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!probe.isOpen())
        return lastError();
    return probe;
}

// A file is its device and inode number, and its birth time where the file system
// keeps one: an inode number freed by a removal is given to the next new file, which
// must not pass for the one the process remembers creating.
Result<FileFacts> factsOf(const FileHandle& file)
{
    struct statx stx { };
    if (::statx(fdOf(file), "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0)
        return lastError();
    const std::uint64_t born = (stx.stx_mask & STATX_BTIME) != 0
        ? static_cast<std::uint64_t>(stx.stx_btime.tv_sec) * 1'000'000'000 + stx.stx_btime.tv_nsec
        : 0;
    return FileFacts{
        .identity = {.volume = ::makedev(stx.stx_dev_major, stx.stx_dev_minor), .high = born, .low = stx.stx_ino},
        .regular = S_ISREG(stx.stx_mode),
        .links = stx.stx_nlink};
}

Result<bool> ownedByThisUser(const FileHandle& probe)
{
    const auto st = statOf(probe);
    if (!st)
        return st.error();
    return st->st_uid == ::geteuid();
}

// POSIX cannot remove through a descriptor; the look and the unlink are as close
// together as the system allows.
std::error_code removeName(const FileHandle&, const std::string& path)
{
    if (::unlink(path.c_str()) != 0)
        return lastError();
    return {};
}

// O_NONBLOCK keeps a FIFO swapped in since the look from blocking the open, and the
// caller's identity test then refuses it.
Result<FileHandle> openExisting(const std::string& path, Access access, const FileFacts&)
{
    FileHandle file(
        ::open(path.c_str(), (access == Access::Write ? O_WRONLY : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.isOpen())
        return lastError();
    // Of the flags F_SETFL sets, the open gave the file O_NONBLOCK alone.
    if (::fcntl(fdOf(file), F_SETFL, 0) != 0)
        return lastError();
    return file;
}

// O_EXCL refuses a link too. Mode 0666 lets the user's umask decide the permissions.
Result<FileHandle> createNew(const std::string& path)
{
    FileHandle created(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!created.isOpen())
        return lastError();
    return created;
}

bool nameTaken(const std::error_code& createError)
{
    return createError == std::errc::file_exists;
}

std::error_code truncate(const FileHandle& file)
{
    if (::ftruncate(fdOf(file), 0) != 0)
        return lastError();
    return {};
}

// Streamed files go direct; a file system that refuses O_DIRECT has streamed output
// synced range by range instead (settle).
IoStyle styleFor(WriteMode mode)
{
    const bool streaming = mode == WriteMode::Streaming;
    return {.access = Access::Write, .writeMode = mode, .direct = streaming, .overlapped = streaming};
}

// Buffered readers meet the device because the writer's finish() dropped the file from
// the cache; streamed ones read direct, the next block on its way meanwhile.
IoStyle styleFor(ReadMode mode)
{
    const bool streaming = mode == ReadMode::Streaming;
    return {.access = Access::Read, .writeMode = WriteMode::Buffered, .direct = streaming, .overlapped = streaming};
}

Result<bool> restyle(FileHandle& file, const IoStyle& style)
{
    const int flags = ::fcntl(fdOf(file), F_GETFL);
    if (flags < 0)
        return lastError();
    const int wanted = style.direct ? flags | O_DIRECT : flags & ~O_DIRECT;
    if (wanted == flags)
        return style.direct;
    if (::fcntl(fdOf(file), F_SETFL, wanted) == 0)
        return style.direct;
    // File systems without direct I/O refuse the flag.
    if (style.direct)
        return false;
    return lastError();
}

// At the offset kept by the caller: reads started ahead do not move the file's own position.
Result<std::size_t> readAt(const FileHandle& file, char* data, std::size_t capacity, std::uint64_t offset)
{
    const ssize_t got = ::pread(fdOf(file), data, capacity, static_cast<off_t>(offset));
    if (got < 0)
        return lastError();
    return static_cast<std::size_t>(got);
}

Result<std::size_t> writeAt(const FileHandle& file, const char* data, std::size_t size, std::uint64_t offset)
{
    const ssize_t written = ::pwrite(fdOf(file), data, size, static_cast<off_t>(offset));
    if (written < 0)
        return lastError();
    return static_cast<std::size_t>(written);
}

bool interrupted(const std::error_code& error)
{
    return error == std::errc::interrupted;
}

// Some file systems take O_DIRECT and then refuse the transfer.
bool refusedDirect(const std::error_code& error)
{
    return error == std::errc::invalid_argument;
}

std::error_code settle(
    const FileHandle& file, const IoStyle& style, std::uint64_t from, std::uint64_t to, std::uint64_t& settledUpTo)
{
    const int fd = fdOf(file);
    constexpr auto kWriteAndWait = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    const auto sync = [fd](std::uint64_t start, std::uint64_t end, unsigned flags) {
        return ::sync_file_range(fd, static_cast<off_t>(start), static_cast<off_t>(end - start), flags) == 0
            ? std::error_code{}
            : lastError();
    };
    // A streamed file that could not go direct: each block on the device before the next.
    if (style.writeMode == WriteMode::Streaming && !style.direct)
        return sync(from, to, kWriteAndWait);
    if (style.writeMode != WriteMode::Paced)
        return {};
    // This block on its way, then on the device whatever lies further back than the lag.
    if (auto error = sync(from, to, SYNC_FILE_RANGE_WRITE))
        return error;
    if (to > settledUpTo + kPacedLagBytes) {
        const std::uint64_t upTo = to - kPacedLagBytes;
        if (auto error = sync(settledUpTo, upTo, kWriteAndWait))
            return error;
        settledUpTo = upTo;
    }
    return {};
}

std::error_code force(const FileHandle& file)
{
    if (::fdatasync(fdOf(file)) != 0)
        return lastError();
    return {};
}

// A hint, not a promise: clean pages go, and tmpfs keeps its pages as its medium.
void dropFromCache(const FileHandle& file)
{
    ::posix_fadvise(fdOf(file), 0, 0, POSIX_FADV_DONTNEED);
}

std::error_code close(FileHandle& file)
{
    if (::close(static_cast<int>(file.release())) != 0)
        return lastError();
    return {};
}

Result<std::uint64_t> sizeOf(const FileHandle& file)
{
    const auto st = statOf(file);
    if (!st)
        return st.error();
    return static_cast<std::uint64_t>(st->st_size);
}

Result<Space> volumeSpaceOf(const FileHandle& file)
{
    struct statvfs vfs { };
    if (::fstatvfs(fdOf(file), &vfs) != 0)
        return lastError();
    return spaceFrom(vfs, fdOf(file));
}

bool dropsOneFile()
{
    return true;
}

// cachestat (Linux 6.5) counts a file's cached pages in the kernel: microseconds for a
// file of gigabytes. Older kernels: mincore over a mapping of the file, milliseconds
// (a page is resident whether or not the mapping has touched it, and mapping it reads
// nothing). Both are looked at outside the rows' time.
std::optional<bool> cached(const FileHandle& file)
{
    // The kernel's own layouts; glibc 2.36 knows neither the call nor them.
    struct CachestatRange {
        std::uint64_t offset = 0;
        std::uint64_t length = 0; // to the end of the file
    } range;
    struct Cachestat {
        std::uint64_t cached, dirty, writeback, evicted, recentlyEvicted;
    } counts{};
    constexpr long kCachestat = 451; // the same number on every architecture
    if (::syscall(kCachestat, fdOf(file), &range, &counts, 0) == 0)
        return counts.cached > 0;
    const auto st = statOf(file);
    if (!st || st->st_size <= 0)
        return std::nullopt;
    const auto bytes = static_cast<std::size_t>(st->st_size);
    void* const mapped = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED, fdOf(file), 0);
    if (mapped == MAP_FAILED)
        return std::nullopt;
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident((bytes + page - 1) / page);
    const bool asked = ::mincore(mapped, bytes, resident.data()) == 0;
    ::munmap(mapped, bytes);
    if (!asked)
        return std::nullopt;
    return std::any_of(resident.begin(), resident.end(), [](unsigned char r) { return (r & 1) != 0; });
}

bool servedFromMemory(const FileHandle& file)
{
    struct statfs fs { };
    return ::fstatfs(fdOf(file), &fs) == 0 && memoryMedium(fs);
}

std::unique_ptr<PendingTransfer> newPendingTransfer()
{
    auto ring = std::make_unique<RingTransfer>();
    if (!ring->open())
        return nullptr;
    return ring;
}

} // namespace native

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

// MADV_POPULATE_WRITE (Linux 5.14) works on whole pages: the ones memory covers whole.
void populate(char* memory, std::size_t bytes) noexcept
{
    constexpr int kPopulateWrite = 23; // MADV_POPULATE_WRITE, which glibc 2.36 lacks
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = (reinterpret_cast<std::uintptr_t>(memory) + page - 1) / page * page;
    const auto end = (reinterpret_cast<std::uintptr_t>(memory) + bytes) / page * page;
    if (start < end)
        ::madvise(reinterpret_cast<void*>(start), end - start, kPopulateWrite);
}

Result<bool> regularFileExists(const SystemPath& file)
{
    const std::string& path = file.text();
    struct stat st { };
    if (::lstat(path.c_str(), &st) == 0)
        return S_ISREG(st.st_mode);
    if (errno == ENOENT || errno == ENOTDIR)
        return false;
    return lastError();
}

bool heldByAnotherProgram(const std::error_code&)
{
    return false;
}

bool quotaExceeded(const std::error_code& error)
{
    return error.value() == EDQUOT
        && (error.category() == std::system_category() || error.category() == std::generic_category());
}

Result<Space> spaceOf(const SystemPath& path)
{
    const std::string& directory = path.text();
    struct statvfs vfs { };
    if (::statvfs(directory.c_str(), &vfs) != 0)
        return lastError();
    // The quotas are asked by an open directory; one this user cannot open (a mount
    // point of mode 0700) still has its space.
    const FileHandle opened(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    Space space = spaceFrom(vfs, fdOf(opened));
    struct statfs fs { };
    space.memory = ::statfs(directory.c_str(), &fs) == 0 && memoryMedium(fs);
    return space;
}

std::uint64_t largestFileIn(const SystemPath& path)
{
    const std::string& directory = path.text();
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

Result<DirectoryLock> lockDirectory(const SystemPath& path)
{
    const std::string& directory = path.text();
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

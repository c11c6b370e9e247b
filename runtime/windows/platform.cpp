// SPDX-License-Identifier: MIT
// The platform seam on Windows, through the wide-character API.
//
// Figures without administrator rights: the sustained write goes unbuffered and written
// through (FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH) from whole, aligned blocks;
// the copy's destination is written through; every written file is flushed
// (FlushFileBuffers) as it is finished; the read-back reads unbuffered and keeps its
// next read in flight with overlapped I/O. Windows has no unprivileged way to drop one
// file's pages from its cache, so a buffered reader may still meet them there.
//
// Safety: a name is opened with FILE_FLAG_OPEN_REPARSE_POINT, so a link or junction is
// never followed, and is then judged by the handle: only a file on a disk, no directory
// or reparse point, with no other name, and owned by this account where its owner can
// be read. Removal goes through that same handle.
#include "runtime/platform.h"

#include "runtime/errors.h"
#include "runtime/windows/text.h"

#include <aclapi.h>
#include <algorithm>
#include <array>
#include <climits>
#include <new>
#include <utility>
#include <vector>
#include <windows.h>

namespace quvo::runtime {
namespace {

// As on POSIX, where nothing locks a file: others may read, write, rename and remove the
// test files while a run has them open, and the run may open its own file again
// (ReOpenFile) to leave unbuffered I/O.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// One transfer moves at most this much: ReadFile and WriteFile count in 32 bits.
constexpr std::size_t kLargestTransfer = std::size_t{1} << 30;

HANDLE handleOf(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t valueOf(HANDLE handle)
{
    return reinterpret_cast<std::intptr_t>(handle);
}

std::error_code errorOf(DWORD error)
{
    return {static_cast<int>(error), std::system_category()};
}

HANDLE handleOf(const FileHandle& handle)
{
    return handleOf(handle.get());
}

static_assert(FileHandle::kNone == static_cast<std::intptr_t>(-1), "INVALID_HANDLE_VALUE");

// The accounts whose files are this user's: the user, and the owner the system gives
// the user's new files (for an elevated administrator, the Administrators group).
class ThisAccount {
public:
    ThisAccount()
    {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
            return;
        user_ = tokenPart(token, TokenUser);
        owner_ = tokenPart(token, TokenOwner);
        ::CloseHandle(token);
    }

    bool owns(PSID sid) const
    {
        const auto same = [sid](const std::vector<char>& part, auto member) {
            return !part.empty() && ::EqualSid(sid, member(part.data())) != 0;
        };
        return same(user_, [](const char* p) { return reinterpret_cast<const TOKEN_USER*>(p)->User.Sid; })
            || same(owner_, [](const char* p) { return reinterpret_cast<const TOKEN_OWNER*>(p)->Owner; });
    }

    // Nothing is known of this process's account: no file can be judged by its owner.
    bool known() const { return !user_.empty(); }

private:
    static std::vector<char> tokenPart(HANDLE token, TOKEN_INFORMATION_CLASS part)
    {
        DWORD size = 0;
        ::GetTokenInformation(token, part, nullptr, 0, &size);
        std::vector<char> buffer(size);
        if (size == 0 || !::GetTokenInformation(token, part, buffer.data(), size, &size))
            buffer.clear();
        return buffer;
    }

    std::vector<char> user_;
    std::vector<char> owner_;
};

const ThisAccount& thisAccount()
{
    static const ThisAccount account;
    return account;
}

// A plain file on a disk: no directory, device, pipe or reparse point (symbolic link,
// junction, or a file some filter stands in front of).
std::error_code checkRegular(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info)
{
    if (::GetFileType(handle) != FILE_TYPE_DISK)
        return Errc::notRegularFile;
    if (!::GetFileInformationByHandle(handle, &info))
        return lastWindowsError();
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        != 0)
        return Errc::notRegularFile;
    return {};
}

// The handle needs READ_CONTROL for its owner to be read; where the owner cannot be
// read (a file system without owners, FAT), the file is not refused for it.
std::error_code checkOurs(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (thisAccount().known()
        && ::GetSecurityInfo(
               handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &descriptor)
            == ERROR_SUCCESS) {
        const bool ours = owner == nullptr || thisAccount().owns(owner);
        ::LocalFree(descriptor);
        if (!ours)
            return Errc::ownedByOtherUser;
    }
    // Emptying or filling one name of a hard-linked file changes every other name's.
    if (info.nNumberOfLinks > 1)
        return Errc::hasOtherLinks;
    return {};
}

bool sameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b)
{
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh
        && a.nFileIndexLow == b.nFileIndexLow;
}

bool isMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Whatever stands at path, itself, for a look at what it is: a directory or a link is
// opened too (never followed), and nothing is read or changed.
HANDLE openToLookAt(const std::wstring& path, DWORD access = 0)
{
    return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL | access, kShareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Opens what already stands at path, but only a plain file (of this account and with no
// other name, when owned is set), and only the very file that was checked: the look
// goes through a handle of its own, which opens a directory or link as itself, and the
// file then opened must be the one looked at.
Result<FileHandle> openExisting(const std::wstring& path, DWORD access, DWORD flags, bool owned)
{
    const FileHandle probe(valueOf(openToLookAt(path)));
    if (!probe.isOpen())
        return lastWindowsError();
    BY_HANDLE_FILE_INFORMATION checked{};
    if (auto error = checkRegular(handleOf(probe), checked))
        return error;
    if (owned) {
        if (auto error = checkOurs(handleOf(probe), checked))
            return error;
    }

    FileHandle file(valueOf(::CreateFileW(
        path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)));
    if (!file.isOpen())
        return lastWindowsError();
    BY_HANDLE_FILE_INFORMATION opened{};
    if (auto error = checkRegular(handleOf(file), opened))
        return error;
    if (!sameFile(checked, opened))
        return make_error_code(Errc::replacedWhileOpening);
    return file;
}

// A new file or an emptied plain file of this account, opened for writing with flags.
Result<FileHandle> createOrTruncate(const std::wstring& path, DWORD flags)
{
    // Twice at most: a file removed by someone else between our two looks is created anew.
    for (int attempt = 0;; ++attempt) {
        // CREATE_NEW makes a new name ours by construction and also refuses a dangling link.
        FileHandle created(valueOf(::CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_NORMAL | flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)));
        if (created.isOpen())
            return created;
        const DWORD failure = ::GetLastError();
        // A directory at the name is refused with ERROR_ACCESS_DENIED; the look says why.
        if (failure != ERROR_FILE_EXISTS && failure != ERROR_ALREADY_EXISTS && failure != ERROR_ACCESS_DENIED)
            return errorOf(failure);
        auto existing = openExisting(path, GENERIC_WRITE, flags, /*owned=*/true);
        if (!existing && existing.error() == std::errc::no_such_file_or_directory) {
            if (attempt == 0 && failure != ERROR_ACCESS_DENIED)
                continue;
            return errorOf(failure);
        }
        if (!existing)
            return existing.error();
        FILE_END_OF_FILE_INFO empty{};
        if (!::SetFileInformationByHandle(handleOf(*existing), FileEndOfFileInfo, &empty, sizeof empty))
            return lastWindowsError();
        return existing;
    }
}

// The root of the volume that holds path ("C:\", or the folder a volume is mounted on);
// path itself need not exist.
std::wstring volumeRootOf(const std::wstring& path)
{
    std::array<wchar_t, MAX_PATH + 1> root{};
    if (!::GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size())))
        return {};
    return root.data();
}

// Unbuffered I/O wants addresses, sizes and offsets in whole logical sectors; the blocks
// are aligned to kDirectIoAlignment, which covers the 512- and 4096-byte sectors of
// every common disk. A larger sector, or none known, keeps the file buffered.
bool unbufferedFits(const std::wstring& path)
{
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    const std::wstring root = volumeRootOf(path);
    if (root.empty()
        || !::GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        return false;
    return bytesPerSector > 0 && kDirectIoAlignment % bytesPerSector == 0;
}

bool directIoAligned(const char* data, std::size_t size, std::uint64_t offset)
{
    const auto aligned = [](std::uint64_t n) { return n % kDirectIoAlignment == 0; };
    return aligned(size) && aligned(offset) && aligned(reinterpret_cast<std::uintptr_t>(data));
}

OVERLAPPED at(std::uint64_t offset, HANDLE event = nullptr)
{
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(offset);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    overlapped.hEvent = event;
    return overlapped;
}

Result<Space> spaceAt(const std::wstring& directory)
{
    ULARGE_INTEGER available{}, total{};
    if (!::GetDiskFreeSpaceExW(directory.c_str(), &available, &total, nullptr))
        return lastWindowsError();
    Space space{.totalBytes = total.QuadPart, .availableBytes = available.QuadPart};
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    const std::wstring root = volumeRootOf(directory);
    if (!root.empty()
        && ::GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        space.blockBytes = std::max<std::uint64_t>(std::uint64_t{sectorsPerCluster} * bytesPerSector, 1);
    return space;
}

} // namespace

// A read that runs while the caller goes on: overlapped I/O on a handle opened for it,
// with an event of its own. One read at a time.
class ReadRing {
public:
    // None where no event can be had; reads then run one after the other.
    static std::unique_ptr<ReadRing> open()
    {
        const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (event == nullptr)
            return nullptr;
        return std::unique_ptr<ReadRing>(new ReadRing(event));
    }

    // A read still running writes into memory its caller may free next, and into the
    // OVERLAPPED here: it is waited for, on the event, which needs no file handle.
    ~ReadRing()
    {
        if (running_)
            ::WaitForSingleObject(event_, INFINITE);
        ::CloseHandle(event_);
    }
    ReadRing(const ReadRing&) = delete;
    ReadRing& operator=(const ReadRing&) = delete;

    bool running() const { return running_; }

    // Not running afterwards when the read did not start (at the end of the file, among
    // others): the caller reads in the plain way and meets the same answer.
    bool submit(HANDLE file, char* data, std::size_t size, std::uint64_t offset)
    {
        file_ = file;
        overlapped_ = at(offset, event_);
        ::ResetEvent(event_);
        running_ = ::ReadFile(file, data, static_cast<DWORD>(size), nullptr, &overlapped_)
            || ::GetLastError() == ERROR_IO_PENDING;
        return running_;
    }

    // What the running read gave.
    Result<std::size_t> wait()
    {
        DWORD got = 0;
        const bool done = ::GetOverlappedResult(file_, &overlapped_, &got, TRUE);
        running_ = false;
        if (done)
            return static_cast<std::size_t>(got);
        const DWORD failure = ::GetLastError();
        if (failure == ERROR_HANDLE_EOF)
            return std::size_t{0};
        return errorOf(failure);
    }

    // A read of its own at offset, waited for: the way every read of an overlapped
    // handle goes.
    Result<std::size_t> readNow(HANDLE file, char* data, std::size_t size, std::uint64_t offset)
    {
        if (!submit(file, data, size, offset)) {
            const DWORD failure = ::GetLastError();
            if (failure == ERROR_HANDLE_EOF)
                return std::size_t{0};
            return errorOf(failure);
        }
        return wait();
    }

private:
    explicit ReadRing(HANDLE event)
        : event_(event)
    {
    }

    HANDLE event_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped_{};
    bool running_ = false;
};

void FileHandle::close() noexcept
{
    if (value_ != kNone)
        ::CloseHandle(handleOf(std::exchange(value_, kNone)));
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

// Paced output (the copy's destination) is written through: each block is on the
// device when WriteFile returns, so the cache never holds more than the block in
// hand. Unlike Linux, where the next block is handed over while the last one is
// written, the copy waits for each block; it never waits for a flush of many at its end.
Result<NativeFile> NativeFile::createForWriting(const std::string& path, WriteMode mode)
{
    const std::wstring name = widen(path);
    DWORD flags = 0;
    bool direct = false;
    if (mode == WriteMode::Streaming || mode == WriteMode::Paced)
        flags |= FILE_FLAG_WRITE_THROUGH;
    if (mode == WriteMode::Streaming && unbufferedFits(name)) {
        flags |= FILE_FLAG_NO_BUFFERING;
        direct = true;
    }
    auto handle = createOrTruncate(name, flags);
    if (!handle)
        return handle.error();
    NativeFile file(std::move(*handle), mode, /*writing=*/true);
    file.direct_ = direct;
    return file;
}

// A streamed read goes unbuffered and overlapped, so that the next block can be on its
// way while the caller works through the last.
Result<NativeFile> NativeFile::openForReading(const std::string& path, ReadMode mode)
{
    const std::wstring name = widen(path);
    const bool streaming = mode == ReadMode::Streaming;
    const bool direct = streaming && unbufferedFits(name);
    std::unique_ptr<ReadRing> ring = streaming ? ReadRing::open() : nullptr;
    DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN;
    if (direct)
        flags |= FILE_FLAG_NO_BUFFERING;
    if (ring)
        flags |= FILE_FLAG_OVERLAPPED;
    auto handle = openExisting(name, GENERIC_READ, flags, /*owned=*/false);
    if (!handle)
        return handle.error();
    NativeFile file(std::move(*handle), WriteMode::Buffered, /*writing=*/false);
    file.direct_ = direct;
    file.readRing_ = std::move(ring);
    return file;
}

// The same file opened again without FILE_FLAG_NO_BUFFERING, which cannot be taken off
// a handle; everything else about the handle stays.
std::error_code NativeFile::stopDirectIo()
{
    DWORD flags = writing_ ? (mode_ == WriteMode::Buffered ? 0 : FILE_FLAG_WRITE_THROUGH) : FILE_FLAG_SEQUENTIAL_SCAN;
    if (readRing_)
        flags |= FILE_FLAG_OVERLAPPED;
    FileHandle reopened(
        valueOf(::ReOpenFile(handleOf(handle_), writing_ ? GENERIC_WRITE : GENERIC_READ, kShareAll, flags)));
    if (!reopened.isOpen())
        return lastWindowsError();
    handle_ = std::move(reopened);
    direct_ = false;
    return {};
}

// After a failed transfer: nothing when it can be tried again (an unbuffered transfer
// that some file system refused, and the file now goes through the cache), else the
// error to give up with.
std::error_code NativeFile::recoverFrom(int failure)
{
    if (failure == ERROR_INVALID_PARAMETER && direct_)
        return stopDirectIo();
    return errorOf(static_cast<DWORD>(failure));
}

std::error_code NativeFile::write(const char* data, std::size_t size)
{
    // The last, partial block of a streamed file cannot go unbuffered.
    if (direct_ && !directIoAligned(data, size, offset_)) {
        if (auto error = stopDirectIo())
            return error;
    }
    while (size > 0) {
        const auto chunk = static_cast<DWORD>(std::min(size, kLargestTransfer));
        // At the offset kept here: a handle opened again starts at 0.
        OVERLAPPED overlapped = at(offset_);
        DWORD written = 0;
        if (!::WriteFile(handleOf(handle_), data, chunk, &written, &overlapped)) {
            if (auto error = recoverFrom(static_cast<int>(::GetLastError())))
                return error;
            continue;
        }
        data += written;
        size -= written;
        offset_ += written;
    }
    return {};
}

Result<std::size_t> NativeFile::read(char* data, std::size_t capacity)
{
    if (direct_ && !directIoAligned(data, capacity, offset_)) {
        if (auto error = stopDirectIo())
            return error;
    }
    const auto chunk = static_cast<DWORD>(std::min(capacity, kLargestTransfer));
    for (;;) {
        Result<std::size_t> got = std::size_t{0};
        if (readRing_) {
            got = readRing_->readNow(handleOf(handle_), data, chunk, offset_);
        } else {
            OVERLAPPED overlapped = at(offset_);
            DWORD bytes = 0;
            if (::ReadFile(handleOf(handle_), data, chunk, &bytes, &overlapped))
                got = static_cast<std::size_t>(bytes);
            else if (::GetLastError() != ERROR_HANDLE_EOF)
                got = lastWindowsError();
        }
        if (got) {
            offset_ += *got;
            return got;
        }
        if (auto error = recoverFrom(got.error().value()))
            return error;
    }
}

void NativeFile::startRead(char* data, std::size_t capacity)
{
    startedData_ = data;
    startedCapacity_ = capacity;
    // Not started: awaitRead reads in the plain way.
    if (readRing_ && direct_ && directIoAligned(data, capacity, offset_) && capacity <= kLargestTransfer)
        readRing_->submit(handleOf(handle_), data, capacity, offset_);
}

Result<std::size_t> NativeFile::awaitRead()
{
    if (startedData_ == nullptr)
        return make_error_code(std::errc::invalid_argument);
    char* const data = std::exchange(startedData_, nullptr);
    if (!readRing_ || !readRing_->running())
        return read(data, startedCapacity_);
    auto got = readRing_->wait();
    if (!got) {
        if (auto error = recoverFrom(got.error().value()))
            return error;
        return read(data, startedCapacity_);
    }
    offset_ += *got;
    return got;
}

std::error_code NativeFile::finish()
{
    readRing_.reset();
    const HANDLE handle = handleOf(handle_.release());
    std::error_code error;
    // Also what a written-through file's device still holds in its own cache.
    if (writing_ && !::FlushFileBuffers(handle))
        error = lastWindowsError();
    if (!::CloseHandle(handle) && !error)
        error = lastWindowsError();
    return error;
}

Result<std::uint64_t> NativeFile::size() const
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handleOf(handle_), &size))
        return lastWindowsError();
    return static_cast<std::uint64_t>(size.QuadPart);
}

Result<Space> NativeFile::volumeSpace() const
{
    std::array<wchar_t, 32768> path{};
    const DWORD length = ::GetFinalPathNameByHandleW(
        handleOf(handle_), path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= path.size())
        return lastWindowsError();
    const std::wstring root = volumeRootOf(path.data());
    if (root.empty())
        return lastWindowsError();
    return spaceAt(root);
}

// Whole pages straight from the system, which hands them back when freed; aligned to
// its allocation granularity (64 KiB), more than any sector asks.
Result<char*> newIoBlock(std::size_t bytes)
{
    void* block = ::VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (block == nullptr)
        return lastWindowsError();
    return static_cast<char*>(block);
}

void deleteIoBlock(char* block, std::size_t) noexcept
{
    if (block != nullptr)
        ::VirtualFree(block, 0, MEM_RELEASE);
}

// The run's lookup: one question of the file system, asked of the name itself.
Result<bool> regularFileExists(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD failure = ::GetLastError();
        if (isMissing(failure) || failure == ERROR_INVALID_NAME)
            return false;
        return errorOf(failure);
    }
    return (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        == 0;
}

std::error_code checkReplaceableFile(const std::string& path)
{
    const FileHandle probe(valueOf(openToLookAt(widen(path))));
    if (!probe.isOpen()) {
        const DWORD failure = ::GetLastError();
        return isMissing(failure) ? std::error_code{} : errorOf(failure);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (auto error = checkRegular(handleOf(probe), info))
        return error;
    return checkOurs(handleOf(probe), info);
}

// Unlike POSIX, Windows removes through a handle: the file removed is the file checked.
std::error_code removeOwnedFile(const std::string& path)
{
    const FileHandle file(valueOf(openToLookAt(widen(path), DELETE)));
    if (!file.isOpen())
        return lastWindowsError();
    BY_HANDLE_FILE_INFORMATION info{};
    if (auto error = checkRegular(handleOf(file), info))
        return error;
    if (auto error = checkOurs(handleOf(file), info))
        return error;
    FILE_DISPOSITION_INFO remove{};
    remove.DeleteFile = TRUE;
    if (!::SetFileInformationByHandle(handleOf(file), FileDispositionInfo, &remove, sizeof remove))
        return lastWindowsError();
    // The name goes when the last handle to the file closes, which is this one unless
    // someone else has it open.
    return {};
}

Result<Space> spaceOf(const std::string& directory)
{
    return spaceAt(widen(directory));
}

// No per-process file-size limit on Windows; FAT's 4 GiB less one byte is the one
// common file system limit (exFAT has none that matters here).
std::uint64_t largestFileIn(const std::string& directory)
{
    const std::wstring root = volumeRootOf(widen(directory));
    std::array<wchar_t, MAX_PATH + 1> fileSystem{};
    if (!root.empty()
        && ::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem.data(),
            static_cast<DWORD>(fileSystem.size()))
        && std::wstring_view(fileSystem.data()).starts_with(L"FAT"))
        return 0xFFFF'FFFF;
    return UINT64_MAX;
}

// The directory opened for FILE_ADD_FILE, which is of the "write" kind that share modes
// govern, sharing reading and removal but not writing: a second run asking the same
// fails with a sharing violation, while others listing or watching the directory (read
// access) and creating files in it go on. The system closes the handle when the process
// ends, however it ends.
Result<DirectoryLock> lockDirectory(const std::string& directory)
{
    const HANDLE handle = ::CreateFileW(widen(directory).c_str(), FILE_ADD_FILE, FILE_SHARE_READ | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD failure = ::GetLastError();
        if (failure == ERROR_SHARING_VIOLATION)
            return make_error_code(Errc::directoryInUse);
        // A directory this user may not add files to: the run fails at its first file,
        // with the system's reason.
        if (failure == ERROR_ACCESS_DENIED)
            return DirectoryLock{};
        return errorOf(failure);
    }
    return DirectoryLock(FileHandle(valueOf(handle)));
}

} // namespace quvo::runtime

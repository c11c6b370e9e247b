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
#include "runtime/native_calls.h"
#include "runtime/windows/text.h"

#include <aclapi.h>
#include <algorithm>
#include <array>
#include <climits>
#include <new>
#include <utility>
#include <vector>
#include <windows.h>

#include <winternl.h>

namespace quvo::runtime {
namespace {

using native::Access;
using native::FileFacts;
using native::IoStyle;

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

// What a handle's file is, as GetFileInformationByHandle tells it.
Result<BY_HANDLE_FILE_INFORMATION> informationOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info))
        return lastWindowsError();
    return info;
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

// The root of the volume that holds path ("C:\", or the folder a volume is mounted on);
// path itself need not exist.
std::wstring volumeRootOf(const std::wstring& path)
{
    std::array<wchar_t, MAX_PATH + 1> root{};
    if (!::GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size())))
        return {};
    return root.data();
}

OVERLAPPED at(std::uint64_t offset, HANDLE event = nullptr)
{
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(offset);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    overlapped.hEvent = event;
    return overlapped;
}

// The sizes of the volume that holds an open file, asked of the file itself.
Result<FILE_FS_FULL_SIZE_INFORMATION> volumeSizesOf(HANDLE handle)
{
    IO_STATUS_BLOCK io{};
    FILE_FS_FULL_SIZE_INFORMATION sizes{};
    const NTSTATUS status
        = ::NtQueryVolumeInformationFile(handle, &io, &sizes, sizeof sizes, FileFsFullSizeInformation);
    if (status < 0)
        return windowsError(::RtlNtStatusToDosError(status));
    return sizes;
}

// What the system keeps of the flags a handle was opened with.
struct HandleMode {
    bool direct = false;       // FILE_FLAG_NO_BUFFERING
    bool writeThrough = false; // FILE_FLAG_WRITE_THROUGH
    bool overlapped = false;   // FILE_FLAG_OVERLAPPED
};

Result<HandleMode> modeOf(HANDLE handle)
{
    IO_STATUS_BLOCK io{};
    FILE_MODE_INFORMATION mode{};
    const NTSTATUS status = ::NtQueryInformationFile(handle, &io, &mode, sizeof mode, FileModeInformation);
    if (status < 0)
        return windowsError(::RtlNtStatusToDosError(status));
    return HandleMode{.direct = (mode.Mode & FILE_NO_INTERMEDIATE_BUFFERING) != 0,
        .writeThrough = (mode.Mode & FILE_WRITE_THROUGH) != 0,
        .overlapped = (mode.Mode & (FILE_SYNCHRONOUS_IO_ALERT | FILE_SYNCHRONOUS_IO_NONALERT)) == 0};
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

// A read that runs while the caller goes on: overlapped I/O on a handle opened for it,
// with an event of its own. One read at a time.
class OverlappedRead final : public native::PendingRead {
public:
    explicit OverlappedRead(HANDLE event)
        : event_(event)
    {
    }

    // A read still running writes into memory its caller may free next, and into the
    // OVERLAPPED here: it is waited for, on the event, which needs no file handle.
    ~OverlappedRead() override
    {
        if (running_)
            ::WaitForSingleObject(event_, INFINITE);
        ::CloseHandle(event_);
    }
    OverlappedRead(const OverlappedRead&) = delete;
    OverlappedRead& operator=(const OverlappedRead&) = delete;

    bool running() const override { return running_; }

    // Not running afterwards when the read did not start (at the end of the file, among
    // others).
    void submit(const FileHandle& file, char* data, std::size_t size, std::uint64_t offset) override
    {
        if (size > kLargestTransfer)
            return;
        file_ = handleOf(file);
        overlapped_ = at(offset, event_);
        ::ResetEvent(event_);
        running_ = ::ReadFile(file_, data, static_cast<DWORD>(size), nullptr, &overlapped_)
            || ::GetLastError() == ERROR_IO_PENDING;
    }

    Result<std::size_t> wait() override
    {
        DWORD got = 0;
        const bool done = ::GetOverlappedResult(file_, &overlapped_, &got, TRUE);
        running_ = false;
        if (done)
            return static_cast<std::size_t>(got);
        const DWORD failure = ::GetLastError();
        if (failure == ERROR_HANDLE_EOF)
            return std::size_t{0};
        return windowsError(failure);
    }

private:
    HANDLE event_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped_{};
    bool running_ = false;
};

} // namespace

void FileHandle::close() noexcept
{
    if (value_ != kNone)
        ::CloseHandle(handleOf(std::exchange(value_, kNone)));
}

namespace native {

Result<FileHandle> lookAt(const std::string& path, bool forRemoval)
{
    FileHandle probe(valueOf(openToLookAt(widen(path), forRemoval ? DELETE : 0)));
    if (!probe.isOpen())
        return lastWindowsError();
    return probe;
}

// A plain file on a disk: no directory, device, pipe or reparse point (symbolic link,
// junction, or a file some filter stands in front of).
Result<FileFacts> factsOf(const FileHandle& file)
{
    const auto info = informationOf(handleOf(file));
    if (!info)
        return info.error();
    const bool plain
        = (info->dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        == 0;
    return FileFacts{
        .identity = {.volume = info->dwVolumeSerialNumber, .high = info->nFileIndexHigh, .low = info->nFileIndexLow},
        .regular = plain && ::GetFileType(handleOf(file)) == FILE_TYPE_DISK,
        .links = info->nNumberOfLinks};
}

// The probe has READ_CONTROL for its owner to be read; where the owner cannot be read (a
// file system without owners, FAT), the file is not refused for it.
Result<bool> ownedByThisUser(const FileHandle& probe)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!thisAccount().known()
        || ::GetSecurityInfo(handleOf(probe), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
               nullptr, &descriptor)
            != ERROR_SUCCESS)
        return true;
    const bool ours = owner == nullptr || thisAccount().owns(owner);
    ::LocalFree(descriptor);
    return ours;
}

// Unlike POSIX, Windows removes through a handle: the file removed is the file checked.
// The name goes when the last handle to the file closes, which is this one unless
// someone else has it open.
std::error_code removeName(const FileHandle& probe, const std::string&)
{
    FILE_DISPOSITION_INFO remove{};
    remove.DeleteFile = TRUE;
    if (!::SetFileInformationByHandle(handleOf(probe), FileDispositionInfo, &remove, sizeof remove))
        return lastWindowsError();
    return {};
}

Result<FileHandle> openExisting(const std::string& path, Access access)
{
    const bool write = access == Access::Write;
    FileHandle file(valueOf(::CreateFileW(widen(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ, kShareAll, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | (write ? 0 : FILE_FLAG_SEQUENTIAL_SCAN), nullptr)));
    if (!file.isOpen())
        return lastWindowsError();
    return file;
}

Result<FileHandle> createNew(const std::string& path)
{
    FileHandle created(valueOf(::CreateFileW(widen(path).c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)));
    if (!created.isOpen())
        return lastWindowsError();
    return created;
}

// A directory at the name is refused with ERROR_ACCESS_DENIED; the look says why.
bool nameTaken(const std::error_code& createError)
{
    const auto failure = static_cast<DWORD>(createError.value());
    return failure == ERROR_FILE_EXISTS || failure == ERROR_ALREADY_EXISTS || failure == ERROR_ACCESS_DENIED;
}

std::error_code truncate(const FileHandle& file)
{
    FILE_END_OF_FILE_INFO empty{};
    if (!::SetFileInformationByHandle(handleOf(file), FileEndOfFileInfo, &empty, sizeof empty))
        return lastWindowsError();
    return {};
}

// The sustained write goes unbuffered and written through; the copy's destination is
// written through, so that each block is on the device when WriteFile returns and the
// cache never holds more than the block in hand. Unlike Linux, where the next block is
// handed over while the last one is written, the copy waits for each block; it never
// waits for a flush of many at its end.
IoStyle styleFor(WriteMode mode)
{
    return {.access = Access::Write, .writeMode = mode, .direct = mode == WriteMode::Streaming, .readAhead = false};
}

// A streamed read goes unbuffered and overlapped, so that the next block can be on its
// way while the caller works through the last.
IoStyle styleFor(ReadMode mode)
{
    const bool streaming = mode == ReadMode::Streaming;
    return {.access = Access::Read, .writeMode = WriteMode::Buffered, .direct = streaming, .readAhead = streaming};
}

// FILE_FLAG_NO_BUFFERING and FILE_FLAG_OVERLAPPED cannot be put on or taken off a
// handle: the same file is opened again (ReOpenFile) with the flags the style asks for,
// and everything else about it stays. Unbuffered I/O wants addresses, sizes and offsets
// in whole logical sectors; the blocks are aligned to kDirectIoAlignment, which covers
// the 512- and 4096-byte sectors of every common disk. A larger sector, or none known,
// keeps the file buffered.
Result<bool> restyle(FileHandle& file, const IoStyle& style)
{
    bool direct = style.direct;
    if (direct) {
        const auto sizes = volumeSizesOf(handleOf(file));
        direct = sizes && sizes->BytesPerSector > 0 && kDirectIoAlignment % sizes->BytesPerSector == 0;
    }
    const bool write = style.access == Access::Write;
    const bool writeThrough = write && style.writeMode != WriteMode::Buffered;
    const auto mode = modeOf(handleOf(file));
    if (!mode)
        return mode.error();
    if (mode->direct == direct && mode->writeThrough == writeThrough && mode->overlapped == style.readAhead)
        return direct;
    DWORD flags = write ? 0 : FILE_FLAG_SEQUENTIAL_SCAN;
    if (writeThrough)
        flags |= FILE_FLAG_WRITE_THROUGH;
    if (direct)
        flags |= FILE_FLAG_NO_BUFFERING;
    if (style.readAhead)
        flags |= FILE_FLAG_OVERLAPPED;
    FileHandle reopened(valueOf(::ReOpenFile(handleOf(file), write ? GENERIC_WRITE : GENERIC_READ, kShareAll, flags)));
    if (!reopened.isOpen())
        return lastWindowsError();
    file = std::move(reopened);
    return direct;
}

// Every transfer names its offset, which also works on a handle opened for overlapped
// I/O: the read is then waited for at once.
Result<std::size_t> readAt(const FileHandle& file, char* data, std::size_t capacity, std::uint64_t offset)
{
    OVERLAPPED overlapped = at(offset);
    DWORD got = 0;
    if (::ReadFile(handleOf(file), data, static_cast<DWORD>(std::min(capacity, kLargestTransfer)), &got, &overlapped))
        return static_cast<std::size_t>(got);
    DWORD failure = ::GetLastError();
    if (failure == ERROR_IO_PENDING) {
        if (::GetOverlappedResult(handleOf(file), &overlapped, &got, TRUE))
            return static_cast<std::size_t>(got);
        failure = ::GetLastError();
    }
    if (failure == ERROR_HANDLE_EOF)
        return std::size_t{0};
    return windowsError(failure);
}

Result<std::size_t> writeAt(const FileHandle& file, const char* data, std::size_t size, std::uint64_t offset)
{
    OVERLAPPED overlapped = at(offset);
    DWORD written = 0;
    if (!::WriteFile(handleOf(file), data, static_cast<DWORD>(std::min(size, kLargestTransfer)), &written, &overlapped))
        return lastWindowsError();
    return static_cast<std::size_t>(written);
}

bool interrupted(const std::error_code&)
{
    return false;
}

// Some file systems take FILE_FLAG_NO_BUFFERING and then refuse the transfer.
bool refusedDirect(const std::error_code& error)
{
    return error.value() == ERROR_INVALID_PARAMETER;
}

// Written-through blocks are on the device when WriteFile returns.
std::error_code settle(const FileHandle&, const IoStyle&, std::uint64_t, std::uint64_t, std::uint64_t&)
{
    return {};
}

// Also what a written-through file's device still holds in its own cache.
std::error_code force(const FileHandle& file)
{
    if (!::FlushFileBuffers(handleOf(file)))
        return lastWindowsError();
    return {};
}

// Windows has no unprivileged way to drop one file's pages from its cache.
void dropFromCache(const FileHandle&)
{
}

std::error_code close(FileHandle& file)
{
    if (!::CloseHandle(handleOf(file.release())))
        return lastWindowsError();
    return {};
}

Result<std::uint64_t> sizeOf(const FileHandle& file)
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handleOf(file), &size))
        return lastWindowsError();
    return static_cast<std::uint64_t>(size.QuadPart);
}

Result<Space> volumeSpaceOf(const FileHandle& file)
{
    std::array<wchar_t, 32768> path{};
    const DWORD length = ::GetFinalPathNameByHandleW(
        handleOf(file), path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= path.size())
        return lastWindowsError();
    const std::wstring root = volumeRootOf(path.data());
    if (root.empty())
        return lastWindowsError();
    return spaceAt(root);
}

// None where no event can be had; reads then run one after the other.
std::unique_ptr<PendingRead> newPendingRead()
{
    const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr)
        return nullptr;
    return std::make_unique<OverlappedRead>(event);
}

} // namespace native

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
        return windowsError(failure);
    }
    return (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        == 0;
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
        return windowsError(failure);
    }
    return DirectoryLock(FileHandle(valueOf(handle)));
}

} // namespace quvo::runtime

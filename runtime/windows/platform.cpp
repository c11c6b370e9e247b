// SPDX-License-Identifier: MIT
// The platform seam on Windows, through the wide-character API.
//
// Figures: the test files go unbuffered (FILE_FLAG_NO_BUFFERING) wherever the blocks
// allow it. The sustained write does, from whole aligned blocks; every read does,
// buffered or streamed, since Windows has no unprivileged way to drop one file's pages
// from its cache, and only reads past it meet the drive; the read-back keeps its next
// read in flight (overlapped I/O). Nothing is written through: FILE_FLAG_WRITE_THROUGH
// would force the drive's own cache on every write and NTFS's metadata on every
// extension, which Linux's direct writes do not. Every written file is forced
// (FlushFileBuffers, as fdatasync on Linux) as it is finished, the copy's destination
// too, which goes through the cache: the cache manager's lazy writer has it on the
// device meanwhile, as Linux's paced writer does.
//
// Safety: a name is looked at with FILE_FLAG_OPEN_REPARSE_POINT, so a link or junction
// is never followed, and is then judged by the handle: only a file on a disk, no
// directory, and no reparse point that stands for another name (a name surrogate: a
// symbolic link, a junction, a mount point); a file some filter serves (a sync client's
// placeholder) is a file like any other. A file this process created is its own; any
// other must belong to this user and have no other name. Removal goes through the
// handle that was judged.
#include "runtime/platform.h"

#include "runtime/errors.h"
#include "runtime/native_calls.h"
#include "runtime/windows/handles.h"
#include "runtime/windows/text.h"

#include <aclapi.h>
#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <utility>
#include <vector>
#include <windows.h>

#include <winternl.h>

namespace quvo::runtime {
namespace {

using native::Access;
using native::FileFacts;
using native::FileIdentity;
using native::IoStyle;

// As on POSIX, where nothing locks a file: others may read, write, rename and remove the
// test files while a run has them open, and the run may open its own file again
// (ReOpenFile) to change how it moves data.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// One transfer moves at most this much: ReadFile and WriteFile count in 32 bits.
constexpr std::size_t kLargestTransfer = std::size_t{1} << 30;

// FileDispositionInfoEx (Windows 10 1607), which MinGW's headers leave out of the enum
// behind a version test that no _WIN32_WINNT value passes.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

// The user's account, whose files are theirs. Not the owner the system gives the user's
// new files: for an elevated administrator that is the Administrators group, which owns
// every file any administrator made. The run knows its own files by their identity.
class ThisUser {
public:
    ThisUser()
    {
        HANDLE opened = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened))
            return;
        const FileHandle token = owned(opened);
        DWORD size = 0;
        ::GetTokenInformation(handleOf(token), TokenUser, nullptr, 0, &size);
        user_.resize(size);
        if (size == 0 || !::GetTokenInformation(handleOf(token), TokenUser, user_.data(), size, &size))
            user_.clear();
    }

    bool is(PSID sid) const
    {
        return known() && ::EqualSid(sid, reinterpret_cast<const TOKEN_USER*>(user_.data())->User.Sid) != 0;
    }

    // Nothing is known of this process's account: no file can be judged by its owner.
    bool known() const { return !user_.empty(); }

private:
    std::vector<char> user_;
};

const ThisUser& thisUser()
{
    static const ThisUser user;
    return user;
}

OVERLAPPED at(std::uint64_t offset, HANDLE event = nullptr)
{
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(offset);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    overlapped.hEvent = event;
    return overlapped;
}

// The sizes of the volume that holds an open file or directory, asked of the handle, so
// that a directory reached through a junction or a mount point is measured on its own
// volume, not on the one its path starts on.
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

// Space as this user may use it: the caller's units honour disk quotas.
Result<Space> spaceOfHandle(HANDLE handle)
{
    const auto sizes = volumeSizesOf(handle);
    if (!sizes)
        return sizes.error();
    const std::uint64_t unit = std::uint64_t{sizes->SectorsPerAllocationUnit} * sizes->BytesPerSector;
    return Space{.totalBytes = static_cast<std::uint64_t>(sizes->TotalAllocationUnits.QuadPart) * unit,
        .availableBytes = static_cast<std::uint64_t>(sizes->CallerAvailableAllocationUnits.QuadPart) * unit,
        .blockBytes = std::max<std::uint64_t>(unit, 1)};
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

// Which file a handle is: the 128-bit file ID where the file system has one (ReFS's
// 64-bit index need not be unique), else the 64-bit index.
Result<FileIdentity> identityOf(HANDLE handle)
{
    FILE_ID_INFO id{};
    if (::GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
        FileIdentity identity{.volume = id.VolumeSerialNumber};
        static_assert(sizeof id.FileId.Identifier == sizeof identity.low + sizeof identity.high);
        std::memcpy(&identity.low, id.FileId.Identifier, sizeof identity.low);
        std::memcpy(&identity.high, id.FileId.Identifier + sizeof identity.low, sizeof identity.high);
        return identity;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info))
        return lastWindowsError();
    return FileIdentity{.volume = info.dwVolumeSerialNumber, .high = info.nFileIndexHigh, .low = info.nFileIndexLow};
}

// A directory, for questions about it and its volume: opened as a run's files will be
// reached, through junctions and links, and sharing everything.
Result<FileHandle> openDirectory(const std::string& directory)
{
    FileHandle handle = owned(::CreateFileW(systemPath(directory).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.isOpen())
        return lastWindowsError();
    return handle;
}

// The reparse tag says whether a reparse point stands for another name (its name
// surrogate bit: symbolic links, junctions, mount points) or is a file a filter serves.
bool isNameSurrogate(DWORD attributes, DWORD tag)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsReparseTagNameSurrogate(tag);
}

// A read that runs while the caller goes on: overlapped I/O on a handle opened for it,
// with an event of its own. One read at a time.
class OverlappedRead final : public native::PendingTransfer {
public:
    explicit OverlappedRead(FileHandle event)
        : event_(std::move(event))
    {
    }

    // A read still running writes into memory its caller may free next, and into the
    // OVERLAPPED here. It is cancelled, since on a share that no longer answers it would
    // never end, and then waited for: a cancelled read ends as soon as the driver lets
    // it go, and may still have written.
    ~OverlappedRead() override
    {
        if (running_) {
            ::CancelIoEx(file_, &overlapped_);
            DWORD got = 0;
            ::GetOverlappedResult(file_, &overlapped_, &got, TRUE);
        }
    }
    OverlappedRead(const OverlappedRead&) = delete;
    OverlappedRead& operator=(const OverlappedRead&) = delete;

    bool running() const override { return running_; }

    // Not running afterwards when the read did not start (at the end of the file, among
    // others).
    // Not taken: a block is written as the caller hands it over, since writing behind
    // would want the writer's handle opened overlapped, and every write on such a
    // handle to wait on an event of its own.
    void submitWrite(const FileHandle&, const char*, std::size_t, std::uint64_t) override { }

    void submitRead(const FileHandle& file, char* data, std::size_t size, std::uint64_t offset) override
    {
        if (size > kLargestTransfer)
            return;
        file_ = handleOf(file);
        overlapped_ = at(offset, handleOf(event_));
        ::ResetEvent(handleOf(event_));
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
    FileHandle event_;
    HANDLE file_ = INVALID_HANDLE_VALUE; // the reader's, borrowed
    OVERLAPPED overlapped_{};
    bool running_ = false;
};

} // namespace

void FileHandle::close() noexcept
{
    if (value_ != kNone)
        ::CloseHandle(reinterpret_cast<HANDLE>(std::exchange(value_, kNone)));
}

namespace native {

// Whatever stands at the name, itself: a directory or a link is opened too (never
// followed), and nothing is read or changed. READ_CONTROL reads the owner.
Result<FileHandle> lookAt(const std::string& path, bool forRemoval)
{
    FileHandle probe
        = owned(::CreateFileW(systemPath(path).c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL | (forRemoval ? DELETE : 0),
            kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!probe.isOpen())
        return lastWindowsError();
    return probe;
}

Result<FileFacts> factsOf(const FileHandle& file)
{
    const HANDLE handle = handleOf(file);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info))
        return lastWindowsError();
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
        && !::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag))
        return lastWindowsError();
    const auto identity = identityOf(handle);
    if (!identity)
        return identity.error();
    const bool surrogate = isNameSurrogate(info.dwFileAttributes, tag.ReparseTag);
    return FileFacts{.identity = *identity,
        .regular = ::GetFileType(handle) == FILE_TYPE_DISK
            && (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0 && !surrogate,
        .links = info.nNumberOfLinks,
        .filtered = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && !surrogate};
}

// Where the owner cannot be read (a file system without owners, FAT), the file is not
// refused for it.
Result<bool> ownedByThisUser(const FileHandle& probe)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!thisUser().known()
        || ::GetSecurityInfo(handleOf(probe), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
               nullptr, &descriptor)
            != ERROR_SUCCESS)
        return true;
    const bool ours = owner == nullptr || thisUser().is(owner);
    ::LocalFree(descriptor);
    return ours;
}

// With POSIX semantics the name goes at once, even while someone else (an antivirus
// scanner, the search indexer, a sync client) still has the file open; otherwise it
// would stay, "delete pending", until the last handle closes, and the next run would
// fail on it. File systems without them (FAT, exFAT, many shares) refuse the flag, and
// the name then goes when the last handle closes.
std::error_code removeName(const FileHandle& probe, const std::string&)
{
    FILE_DISPOSITION_INFO_EX posix{};
    posix.Flags = FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS;
    if (::SetFileInformationByHandle(handleOf(probe), kFileDispositionInfoEx, &posix, sizeof posix))
        return {};
    const DWORD refused = ::GetLastError();
    if (refused != ERROR_INVALID_PARAMETER && refused != ERROR_NOT_SUPPORTED && refused != ERROR_INVALID_FUNCTION)
        return windowsError(refused);
    FILE_DISPOSITION_INFO remove{};
    remove.DeleteFile = TRUE;
    if (!::SetFileInformationByHandle(handleOf(probe), FileDispositionInfo, &remove, sizeof remove))
        return lastWindowsError();
    return {};
}

// A file a filter serves is opened through the filter, which gives its data; anything
// else as itself.
Result<FileHandle> openExisting(const std::string& path, Access access, const FileFacts& looked)
{
    const bool write = access == Access::Write;
    const DWORD flags = (looked.filtered ? 0 : FILE_FLAG_OPEN_REPARSE_POINT) | (write ? 0 : FILE_FLAG_SEQUENTIAL_SCAN);
    FileHandle file = owned(::CreateFileW(systemPath(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ, kShareAll,
        nullptr, OPEN_EXISTING, flags, nullptr));
    if (!file.isOpen())
        return lastWindowsError();
    return file;
}

// Test files are kept out of the search indexer, which would otherwise open each one
// the run writes. CreateFileW takes no FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, so it is set
// on the new file; a file system without the attribute keeps its own, which costs the
// run nothing but the indexer's attention.
Result<FileHandle> createNew(const std::string& path)
{
    FileHandle created = owned(::CreateFileW(systemPath(path).c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!created.isOpen())
        return lastWindowsError();
    FILE_BASIC_INFO basic{}; // times of 0 stay as they are
    basic.FileAttributes = FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    ::SetFileInformationByHandle(handleOf(created), FileBasicInfo, &basic, sizeof basic);
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

// The sustained write goes unbuffered; the other writes go through the cache, and
// finish() forces them.
IoStyle styleFor(WriteMode mode)
{
    return {.access = Access::Write, .writeMode = mode, .direct = mode == WriteMode::Streaming, .overlapped = false};
}

// Every read goes unbuffered, since only that meets the drive; a streamed one keeps its
// next block on its way while the caller works through the last.
IoStyle styleFor(ReadMode mode)
{
    const bool streaming = mode == ReadMode::Streaming;
    return {.access = Access::Read, .writeMode = WriteMode::Buffered, .direct = true, .overlapped = streaming};
}

// FILE_FLAG_NO_BUFFERING and FILE_FLAG_OVERLAPPED cannot be put on or taken off a
// handle: the same file is opened again (ReOpenFile) with the flags the style asks for,
// where the handle's own differ. Unbuffered I/O wants addresses, sizes and offsets in
// whole logical sectors of the file's volume; the blocks are aligned to
// kDirectIoAlignment, which covers the 512- and 4096-byte sectors of every common disk.
// A larger sector, or none known, keeps the file buffered.
Result<bool> restyle(FileHandle& file, const IoStyle& style)
{
    bool direct = style.direct;
    if (direct) {
        const auto sizes = volumeSizesOf(handleOf(file));
        direct = sizes && sizes->BytesPerSector > 0 && kDirectIoAlignment % sizes->BytesPerSector == 0;
    }
    const auto mode = modeOf(handleOf(file));
    if (!mode)
        return mode.error();
    if (mode->direct == direct && !mode->writeThrough && mode->overlapped == style.overlapped)
        return direct;
    const bool write = style.access == Access::Write;
    DWORD flags = write ? 0 : FILE_FLAG_SEQUENTIAL_SCAN;
    if (direct)
        flags |= FILE_FLAG_NO_BUFFERING;
    if (style.overlapped)
        flags |= FILE_FLAG_OVERLAPPED;
    FileHandle reopened = owned(::ReOpenFile(handleOf(file), write ? GENERIC_WRITE : GENERIC_READ, kShareAll, flags));
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

// Some file systems take FILE_FLAG_NO_BUFFERING and then refuse the transfer; Windows
// refuses a misaligned one so too.
bool refusedDirect(const std::error_code& error)
{
    return error.value() == ERROR_INVALID_PARAMETER;
}

// Nothing to do between blocks: unbuffered blocks are on the device when WriteFile
// returns, and the cache manager writes the others behind the writer.
std::error_code settle(const FileHandle&, const IoStyle&, std::uint64_t, std::uint64_t, std::uint64_t&)
{
    return {};
}

// FlushFileBuffers also has the drive write out its own cache, as fdatasync does.
std::error_code force(const FileHandle& file)
{
    if (!::FlushFileBuffers(handleOf(file)))
        return lastWindowsError();
    return {};
}

// Windows has no unprivileged way to drop one file's pages from its cache; the reads
// go around it instead.
void dropFromCache(const FileHandle&)
{
}

std::error_code close(FileHandle& file)
{
    const HANDLE handle = handleOf(file);
    file.release();
    if (!::CloseHandle(handle))
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
    return spaceOfHandle(handleOf(file));
}

// No unprivileged call drops one file's pages from Windows' cache; the run reads past it
// instead.
bool dropsOneFile()
{
    return false;
}

// No call tells which of a file's pages the cache holds.
std::optional<bool> cached(const FileHandle&)
{
    return std::nullopt;
}

// RAM disks are never offered, and no handle says that its volume is one.
bool servedFromMemory(const FileHandle&)
{
    return false;
}

// None where no event can be had; reads then run one after the other.
std::unique_ptr<PendingTransfer> newPendingTransfer()
{
    FileHandle event = owned(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event.isOpen())
        return nullptr;
    return std::make_unique<OverlappedRead>(std::move(event));
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

// No call gives Windows' committed pages their frames short of touching them: the first
// writes do it.
void populate(char*, std::size_t) noexcept
{
}

// The run's lookup: one question of the file system, asked of the name itself. A reparse
// point's tag takes a second: a file a filter serves is a file.
Result<bool> regularFileExists(const SystemPath& file)
{
    const std::string& path = file.text();
    const std::wstring name = systemPath(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD failure = ::GetLastError();
        if (failure == ERROR_FILE_NOT_FOUND || failure == ERROR_PATH_NOT_FOUND || failure == ERROR_INVALID_NAME)
            return false;
        return windowsError(failure);
    }
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return false;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return true;
    WIN32_FIND_DATAW found{};
    const FileSearch search(
        ::FindFirstFileExW(name.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    if (!search.found())
        return lastWindowsError();
    return !isNameSurrogate(found.dwFileAttributes, found.dwReserved0);
}

bool heldByAnotherProgram(const std::error_code& error)
{
    return error == windowsError(ERROR_SHARING_VIOLATION) || error == windowsError(ERROR_LOCK_VIOLATION);
}

bool quotaExceeded(const std::error_code& error)
{
    // ERROR_DISK_QUOTA_EXCEEDED, which MinGW-w64's headers lack. (The free space
    // GetDiskFreeSpaceExW gives already counts an NTFS quota; this is the rest.)
    constexpr unsigned long kDiskQuotaExceeded = 1295;
    return error == windowsError(kDiskQuotaExceeded);
}

Result<Space> spaceOf(const SystemPath& path)
{
    const std::string& directory = path.text();
    const auto handle = openDirectory(directory);
    if (!handle)
        return handle.error();
    return spaceOfHandle(handleOf(*handle));
}

// No per-process file-size limit on Windows; FAT's 4 GiB less one byte is the one
// common file system limit (exFAT has none that matters here). The file system is asked
// of the directory itself, which a junction may put on another volume than its path's.
std::uint64_t largestFileIn(const SystemPath& path)
{
    const std::string& directory = path.text();
    const auto handle = openDirectory(directory);
    std::array<wchar_t, MAX_PATH + 1> fileSystem{};
    if (handle
        && ::GetVolumeInformationByHandleW(handleOf(*handle), nullptr, 0, nullptr, nullptr, nullptr, fileSystem.data(),
            static_cast<DWORD>(fileSystem.size()))
        && std::wstring_view(fileSystem.data()).starts_with(L"FAT"))
        return 0xFFFF'FFFF;
    return UINT64_MAX;
}

// A run holds its directory with a named mutex keyed on the directory's identity, which
// any run of any account meets whatever path it came by, and which the system removes
// with the last handle, when the process ends however it ends. The directory itself is
// not held: another program's handle on it, shared or not, is no run's.
Result<DirectoryLock> lockDirectory(const SystemPath& path)
{
    const std::string& directory = path.text();
    const auto handle = openDirectory(directory);
    if (!handle) {
        // A directory this user may not even look at: the run fails at its first file,
        // with the system's reason.
        if (handle.error().value() == ERROR_ACCESS_DENIED)
            return DirectoryLock{};
        return handle.error();
    }
    const auto identity = identityOf(handleOf(*handle));
    if (!identity)
        return identity.error();
    std::wstring key;
    if (identity->high != 0 || identity->low != 0) {
        std::array<wchar_t, 64> text{};
        std::swprintf(text.data(), text.size(), L"%llx-%llx-%llx", static_cast<unsigned long long>(identity->volume),
            static_cast<unsigned long long>(identity->high), static_cast<unsigned long long>(identity->low));
        key = text.data();
    } else {
        // Some shares number no files: the directory's final path stands in, hashed to fit
        // a kernel object's name.
        std::array<wchar_t, 32768> path{};
        const DWORD length = ::GetFinalPathNameByHandleW(
            handleOf(*handle), path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
        if (length == 0 || length >= path.size())
            return lastWindowsError();
        // Names differ only in case for the same directory.
        std::wstring upper(length, L'\0');
        ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.data(), static_cast<int>(length), upper.data(),
            static_cast<int>(length), nullptr, nullptr, 0);
        key = L"path-" + std::to_wstring(std::hash<std::wstring>{}(upper));
    }
    // Global\: a run in another session (another user's, a remote desktop's) counts too.
    const std::wstring name = L"Global\\quvo-diskspeed-" + key;
    FileHandle mutex = owned(::CreateMutexW(nullptr, FALSE, name.c_str()));
    const DWORD failure = ::GetLastError();
    if (!mutex.isOpen()) {
        // Another account's run made it, and its access list keeps this one out.
        if (failure == ERROR_ACCESS_DENIED)
            return make_error_code(Errc::directoryInUse);
        return windowsError(failure);
    }
    if (failure == ERROR_ALREADY_EXISTS)
        return make_error_code(Errc::directoryInUse);
    return DirectoryLock(std::move(mutex));
}

} // namespace quvo::runtime

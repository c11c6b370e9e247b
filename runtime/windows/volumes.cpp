// SPDX-License-Identifier: MIT
// Volumes on Windows: the lettered drives. GetLogicalDriveStringsW and GetDriveTypeW
// read the system's own tables; GetVolumeInformationW and GetDiskFreeSpaceExW reach
// the drive (and wait for a network drive's server), so they run on threads of their
// own, as on Linux, and never raise the system's "insert a disk" dialog.
#include "runtime/volumes.h"

#include "runtime/designation.h"
#include "runtime/windows/handles.h"
#include "runtime/windows/text.h"

#include <algorithm>
#include <array>
#include <memory>
#include <windows.h>

namespace quvo::runtime {
namespace {

// The root of directory's drive, "C:\", or nothing for a directory on no lettered drive.
std::wstring driveRootOf(const std::string& directory)
{
    const std::string designation = designationFor(directory);
    return designation.empty() ? std::wstring() : widen(designation) + L'\\';
}

// Failures to reach a drive (an empty card reader, a floppy drive) are reported to the
// caller instead of asking the user for a disk: for the calling thread, while it lives.
class QuietDriveErrors {
public:
    QuietDriveErrors() { ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_); }
    ~QuietDriveErrors() { ::SetThreadErrorMode(previous_, nullptr); }
    QuietDriveErrors(const QuietDriveErrors&) = delete;
    QuietDriveErrors& operator=(const QuietDriveErrors&) = delete;

private:
    DWORD previous_ = 0;
};

struct VolumeInformation {
    std::string label;
    std::string fileSystem;
    bool readOnly = false;
    bool compresses = false; // files or folders may be compressed (NTFS)
};

std::optional<VolumeInformation> informationOf(const std::wstring& root)
{
    std::array<wchar_t, MAX_PATH + 1> label{};
    std::array<wchar_t, MAX_PATH + 1> fileSystem{};
    DWORD flags = 0;
    if (!::GetVolumeInformationW(root.c_str(), label.data(), static_cast<DWORD>(label.size()), nullptr, nullptr, &flags,
            fileSystem.data(), static_cast<DWORD>(fileSystem.size())))
        return std::nullopt;
    return VolumeInformation{narrow(label.data()), narrow(fileSystem.data()), (flags & FILE_READ_ONLY_VOLUME) != 0,
        (flags & FILE_FILE_COMPRESSION) != 0};
}

// Space as this user may use it: GetDiskFreeSpaceExW honours disk quotas.
std::optional<Volume> measured(
    const std::wstring& root, const std::string& directory, const std::optional<VolumeInformation>& information)
{
    ULARGE_INTEGER available{}, total{};
    if (!information || !::GetDiskFreeSpaceExW(systemPath(directory).c_str(), &available, &total, nullptr))
        return std::nullopt;
    // Compression is a folder's attribute on NTFS, which no volume flag tells; the
    // drive type tells a network drive, and the storage stack a RAM disk (whose drivers
    // mostly report a fixed drive).
    const UINT type = ::GetDriveTypeW(root.c_str());
    Storage storage = type == DRIVE_REMOTE ? Storage{} : storageOf(SystemPath(narrow(root)));
    const bool memory = type == DRIVE_RAMDISK || storage.memory;
    return Volume{.mountPoint = narrow(root),
        .fileSystem = information->fileSystem,
        .device = narrow(root),
        .totalBytes = total.QuadPart,
        .availableBytes = available.QuadPart,
        .label = information->label,
        .traits = {.compression = information->compresses ? std::nullopt : std::optional<bool>(false),
            .network = type == DRIVE_REMOTE,
            .memory = memory},
        .storage = std::move(storage)};
}

// Whether this user may create files in directory, as the directory's access list says:
// opening the directory for FILE_ADD_FILE asks exactly that, and writes nothing. Another
// program that holds the directory without sharing it refuses the open, but not the
// files a run creates in it.
bool mayCreateFilesIn(const std::string& directory)
{
    const FileHandle handle = owned(::CreateFileW(systemPath(directory).c_str(), FILE_ADD_FILE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
        nullptr));
    return handle.isOpen() || ::GetLastError() == ERROR_SHARING_VIOLATION;
}

// The user's profile directory (USERPROFILE, which every session sets), as HOME is on
// POSIX systems.
std::string profileDirectory()
{
    const DWORD length = ::GetEnvironmentVariableW(L"USERPROFILE", nullptr, 0);
    std::wstring profile(length, L'\0');
    const DWORD written = ::GetEnvironmentVariableW(L"USERPROFILE", profile.data(), length);
    if (written == 0 || written >= length)
        return {};
    profile.resize(written);
    return narrow(profile);
}

// Where a run on the drive at root works: the current directory if it lies on that
// drive, else the user's profile directory if that does, else the drive's own current
// directory ("x:" resolved, its root unless the process has been elsewhere on it).
std::string directoryFor(
    const std::wstring& root, const std::string& current, const std::string& profile, bool holdsCurrent)
{
    if (holdsCurrent)
        return current;
    const std::string designation = designationFor(narrow(root));
    if (!profile.empty() && designationFor(profile) == designation)
        return profile;
    return fullPath(designation);
}

// Makes the drive's letter name directory, where the system's own current directory of
// the drive (the "=X:" environment entry a command shell keeps) names another: the
// profile directory of a drive that does not hold the current directory. That is the
// directory "x:name" resolves into from elsewhere.
void designateOnItsDrive(const std::string& directory)
{
    const std::string designation = designationFor(directory);
    if (designation.empty() || fullPath(designation) == directory)
        return;
    const std::wstring entry = L"=" + widen(designation);
    ::SetEnvironmentVariableW(entry.c_str(), widen(directory).c_str());
}

std::optional<VolumeProbe> ask(
    const std::wstring& root, const std::string& current, const std::string& profile, bool holdsCurrent)
{
    const QuietDriveErrors quiet;
    const std::string directory = directoryFor(root, current, profile, holdsCurrent);
    const auto information = informationOf(root);
    auto volume = measured(root, directory, information);
    if (!volume || volume->totalBytes == 0)
        return std::nullopt;
    VolumeProbe probe{
        .volume = std::move(*volume), .directory = directory, .holdsCurrentDirectory = holdsCurrent, .answered = true};
    probe.writable = isUserVolume({probe.volume.mountPoint, probe.volume.fileSystem, information->readOnly})
        && mayCreateFilesIn(directory);
    return probe;
}

// One drive's probe, shared by the thread that asks and the caller, who may stop
// waiting for it: a thread held up by a drive past the deadline still has it when it
// returns, long after the caller.
struct Probe {
    std::wstring root;
    std::string current;
    std::string profile;
    bool holdsCurrent = false;
    std::optional<VolumeProbe> answer; // read by the caller once the thread has ended
};

// A thread of the system's own, not a std::thread: one still waiting on a drive when
// the process ends is simply ended with it.
DWORD WINAPI runProbe(void* parameter)
{
    const std::unique_ptr<std::shared_ptr<Probe>> probe(static_cast<std::shared_ptr<Probe>*>(parameter));
    (*probe)->answer = ask((*probe)->root, (*probe)->current, (*probe)->profile, (*probe)->holdsCurrent);
    return 0;
}

std::vector<std::wstring> driveRoots()
{
    std::wstring buffer(128, L'\0');
    for (;;) {
        const DWORD length = ::GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(length + 1);
    }
    // "C:\<NUL>D:\<NUL>...": one root per NUL-ended string.
    std::vector<std::wstring> roots;
    for (std::size_t at = 0; at < buffer.size();) {
        const std::size_t end = buffer.find(L'\0', at);
        const std::size_t stop = end == std::wstring::npos ? buffer.size() : end;
        if (stop > at)
            roots.push_back(buffer.substr(at, stop - at));
        at = stop + 1;
    }
    return roots;
}

} // namespace

// The drive type has already kept CD and DVD drives out; read-only media and the file
// systems of discs are the rest.
bool isUserVolume(const MountEntry& entry)
{
    return !entry.readOnly && entry.fileSystem != "CDFS" && entry.fileSystem != "UDF";
}

// A network drive is known by its drive type, not its file system's name (a share
// reports "NTFS"): no name alone says that a drive may not answer.
bool mayNotAnswer(std::string_view)
{
    return false;
}

// RAM disks are known by their drive type or their storage stack, and never offered.
bool isRamBacked(std::string_view)
{
    return false;
}

std::vector<VolumeProbe> probeVolumes(std::chrono::milliseconds patience)
{
    const std::string current = currentDirectory();
    const std::wstring currentRoot = driveRootOf(current);
    const std::string profile = profileDirectory();

    std::vector<std::shared_ptr<Probe>> probes;
    for (const std::wstring& root : driveRoots()) {
        const bool holdsCurrent = _wcsicmp(root.c_str(), currentRoot.c_str()) == 0;
        // Fixed and removable drives; a network drive only where the user already
        // works; never a disc drive or a RAM disk.
        const UINT type = ::GetDriveTypeW(root.c_str());
        if (holdsCurrent || type == DRIVE_FIXED || type == DRIVE_REMOVABLE)
            probes.push_back(std::make_shared<Probe>(Probe{root, current, profile, holdsCurrent, std::nullopt}));
    }
    // One thread per drive: at most 26, within what one wait can watch.
    std::vector<FileHandle> threads;
    std::vector<HANDLE> running;
    for (const std::shared_ptr<Probe>& probe : probes) {
        auto* shared = new std::shared_ptr<Probe>(probe);
        threads.push_back(owned(::CreateThread(nullptr, 0, runProbe, shared, 0, nullptr)));
        if (!threads.back().isOpen())
            delete shared; // no thread to be had: that drive goes unasked
        else
            running.push_back(handleOf(threads.back()));
    }
    if (!running.empty())
        ::WaitForMultipleObjects(static_cast<DWORD>(running.size()), running.data(), TRUE,
            static_cast<DWORD>(std::clamp<std::chrono::milliseconds::rep>(patience.count(), 0, INFINITE - 1)));

    // In the order of the drive letters, the current directory's drive whether or not
    // it answered.
    std::vector<VolumeProbe> answered;
    for (std::size_t i = 0; i < probes.size(); ++i) {
        const bool ended = threads[i].isOpen() && ::WaitForSingleObject(handleOf(threads[i]), 0) == WAIT_OBJECT_0;
        if (ended && probes[i]->answer) {
            if (!probes[i]->holdsCurrent && probes[i]->answer->writable)
                designateOnItsDrive(probes[i]->answer->directory);
            answered.push_back(std::move(*probes[i]->answer));
        } else if (probes[i]->holdsCurrent) {
            Volume unanswered;
            unanswered.mountPoint = unanswered.device = narrow(probes[i]->root);
            answered.push_back({.volume = std::move(unanswered), .directory = current, .holdsCurrentDirectory = true});
        }
    }
    return answered;
}

std::string currentDirectory()
{
    const DWORD length = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring directory(length, L'\0');
    const DWORD written = ::GetCurrentDirectoryW(length, directory.data());
    if (written == 0 || written >= length)
        return {};
    directory.resize(written);
    return narrow(directory);
}

// The drive's type comes from the system's table; a local drive's file system from the
// drive itself, which answers at once. A network drive is not asked.
std::optional<MountEntry> mountHolding(const std::string& directory)
{
    const std::wstring root = driveRootOf(directory);
    if (root.empty())
        return std::nullopt;
    MountEntry entry{.mountPoint = narrow(root), .fileSystem = {}, .readOnly = false, .device = narrow(root)};
    const UINT type = ::GetDriveTypeW(root.c_str());
    if (type == DRIVE_FIXED || type == DRIVE_REMOVABLE) {
        const QuietDriveErrors quiet;
        if (const auto information = informationOf(root)) {
            entry.fileSystem = information->fileSystem;
            entry.readOnly = information->readOnly;
        }
    }
    return entry;
}

std::optional<Volume> volumeOf(const std::string& directory)
{
    // The volume's own root, which for a volume mounted in a folder is that folder.
    std::array<wchar_t, MAX_PATH + 1> root{};
    const QuietDriveErrors quiet;
    if (!::GetVolumePathNameW(widen(directory).c_str(), root.data(), static_cast<DWORD>(root.size())))
        return std::nullopt;
    return measured(root.data(), directory, informationOf(root.data()));
}

} // namespace quvo::runtime

// SPDX-License-Identifier: MIT
// The drive list and the directory lock on Windows: the profile directory on its drive,
// and another program's hold on a directory, which is no run's. What the storage stack
// says beneath a volume: what Wine offers of it, and tables of what it says elsewhere.
#include "runtime/designation.h"
#include "runtime/errors.h"
#include "runtime/platform.h"
#include "runtime/storage.h"
#include "runtime/volumes.h"
#include "runtime/windows/storage_stack.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <windows.h>
#include <winioctl.h>

namespace quvo::runtime {
namespace {

// An environment entry set for a test's length, and given back its old value afterwards.
class EnvironmentEntry {
public:
    EnvironmentEntry(std::wstring name, const std::optional<std::wstring>& value)
        : name_(std::move(name))
    {
        std::wstring old(32768, L'\0');
        const DWORD length = ::GetEnvironmentVariableW(name_.c_str(), old.data(), static_cast<DWORD>(old.size()));
        if (length > 0 && length < old.size())
            old_ = old.substr(0, length);
        ::SetEnvironmentVariableW(name_.c_str(), value ? value->c_str() : nullptr);
    }
    ~EnvironmentEntry() { ::SetEnvironmentVariableW(name_.c_str(), old_ ? old_->c_str() : nullptr); }
    EnvironmentEntry(const EnvironmentEntry&) = delete;
    EnvironmentEntry& operator=(const EnvironmentEntry&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> old_;
};

// A handle on a directory that shares no writing (which adding a file to it counts as),
// as a backup or sync program may hold one. Reading stays shared: a process's current
// directory is held open for traversal, which counts as reading.
FileHandle holdWithoutSharing(const std::filesystem::path& directory)
{
    return FileHandle(reinterpret_cast<std::intptr_t>(::CreateFileW(directory.c_str(), GENERIC_READ | FILE_ADD_FILE,
        FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
}

// Seen from a current directory on another drive, the profile's drive names the profile
// directory, and its letter resolves into it.
TEST(WindowsDriveList, TheProfilesDriveNamesTheProfileDirectory)
{
    test::TempDir profile("quvo 用户");
    const std::string directory = test::utf8(profile.path());
    const std::string drive = designationFor(directory);
    std::wstring program(MAX_PATH, L'\0');
    program.resize(::GetModuleFileNameW(nullptr, program.data(), MAX_PATH));
    ASSERT_TRUE(::SetCurrentDirectoryW(std::filesystem::path(program).parent_path().c_str()));
    if (designationFor(currentDirectory()) == drive)
        GTEST_SKIP() << "the test program lies on the drive of the temporary directory, " << drive;
    const EnvironmentEntry user(L"USERPROFILE", profile.path().wstring());
    const EnvironmentEntry kept(L"=" + std::filesystem::path(drive).wstring().substr(0, 1) + L":", std::nullopt);

    const auto probes = probeVolumes(std::chrono::seconds(10));
    const auto onDrive = std::find_if(probes.begin(), probes.end(),
        [&](const VolumeProbe& probe) { return designationFor(probe.directory) == drive; });
    ASSERT_NE(onDrive, probes.end()) << drive;
    EXPECT_EQ(onDrive->directory, directory);
    EXPECT_TRUE(onDrive->writable);
    EXPECT_EQ((directoryNamedBy(drive) + "DriveSpeedTest.txt").text(), directory + "\\DriveSpeedTest.txt");
}

TEST(WindowsDriveList, AnotherProgramsHoldOnTheDirectoryLeavesItWritable)
{
    test::TempDir dir;
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.path().c_str()));
    const FileHandle held = holdWithoutSharing(dir.path());
    ASSERT_TRUE(held.isOpen());
    const auto probes = probeVolumes(std::chrono::seconds(10));
    const auto current = std::find_if(
        probes.begin(), probes.end(), [](const VolumeProbe& probe) { return probe.holdsCurrentDirectory; });
    ASSERT_NE(current, probes.end());
    EXPECT_TRUE(current->writable);
}

// The lock is the run's own: another program's handle on the directory, which shares no
// writing, neither takes it nor is taken for it.
TEST(WindowsDirectoryLock, IsNoOtherProgramsHoldOnTheDirectory)
{
    test::TempDir dir;
    const FileHandle held = holdWithoutSharing(dir.path());
    ASSERT_TRUE(held.isOpen());
    auto lock = lockDirectory(test::systemPath(dir.path()));
    ASSERT_TRUE(lock) << lock.error().message();
    EXPECT_TRUE(lock->guards());
    EXPECT_EQ(lockDirectory(test::systemPath(dir.path())).error(), Errc::directoryInUse);
}

// The storage stack numbers its buses as winioctl.h gives them; NVMe over Fabrics (0x14)
// is newer than the headers, and a number this program does not know is no bus.
TEST(WindowsStorage, BusesAreTheStorageStacksNumbers)
{
    const struct {
        unsigned long type;
        Bus bus;
    } cases[] = {
        {BusTypeUnknown, Bus::Unknown},
        {BusTypeScsi, Bus::Scsi},
        {BusTypeAtapi, Bus::Ata},
        {BusTypeAta, Bus::Ata},
        {BusType1394, Bus::Ieee1394},
        {BusTypeSsa, Bus::Scsi},
        {BusTypeFibre, Bus::FibreChannel},
        {BusTypeUsb, Bus::Usb},
        {BusTypeRAID, Bus::Raid},
        {BusTypeiScsi, Bus::Iscsi},
        {BusTypeSas, Bus::Sas},
        {BusTypeSata, Bus::Sata},
        {BusTypeSd, Bus::Sd},
        {BusTypeMmc, Bus::Mmc},
        {BusTypeVirtual, Bus::Virtual},
        {BusTypeFileBackedVirtual, Bus::FileBackedVirtual},
        {BusTypeSpaces, Bus::StorageSpaces},
        {BusTypeNvme, Bus::Nvme},
        {BusTypeSCM, Bus::StorageClassMemory},
        {BusTypeUfs, Bus::Ufs},
        {0x14, Bus::NvmeOverFabrics},
        {0x15, Bus::Unknown},
        {BusTypeMaxReserved, Bus::Unknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(windows_storage::busOfStorageType(c.type), c.bus) << c.type;
}

// RAM disk drivers report a fixed drive; their devices' names say what they are.
TEST(WindowsStorage, RamDisksAreKnownByTheirDevices)
{
    const struct {
        const char* vendor;
        const char* product;
        const wchar_t* ntDevice;
        bool ramDisk;
    } cases[] = {
        {"SoftPerfect", "RAM Disk", L"", true},
        {"AMD", "Radeon RAMDisk", L"", true},
        {"", "Primo Ramdisk", L"", true},
        {"", "", L"\\Device\\Ramdisk{5D4DC2A1-9E1B-4B7E-9B61-1D9F1D6D1A01}", true},
        {"", "", L"\\Device\\RAMDISK0", true},
        {"Samsung", "SSD 980 PRO 1TB", L"\\Device\\HarddiskVolume3", false},
        {"Msft", "Virtual Disk", L"", false},
        {"Paramount", "Disk", L"\\Device\\Ram", false},
        {"", "", L"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(windows_storage::namesRamDisk(c.vendor, c.product, c.ntDevice), c.ramDisk)
            << c.vendor << " " << c.product;
}

// What Wine offers, and Windows more: the volume of a directory, named by its root, and
// beneath it a disk the storage stack describes, with its bus. Neither is memory.
TEST(WindowsStorage, TheVolumeOfADirectoryAndTheDiskBeneath)
{
    test::TempDir dir;
    const Storage storage = storageOf(test::systemPath(dir.path()));
    std::wstring root(MAX_PATH + 1, L'\0');
    ASSERT_TRUE(::GetVolumePathNameW(dir.path().c_str(), root.data(), static_cast<DWORD>(root.size())));
    ASSERT_FALSE(storage.levels.empty());
    EXPECT_EQ(storage.levels.front(), (StorageLevel{test::utf8(root.c_str()), LevelKind::Volume}));
    ASSERT_FALSE(storage.disks.empty());
    for (const Disk& disk : storage.disks) {
        EXPECT_NE(disk.bus, Bus::Unknown) << disk.name;
        EXPECT_FALSE(disk.link) << disk.name << ": Windows tells no link";
    }
    EXPECT_FALSE(storage.memory);
}

} // namespace
} // namespace quvo::runtime

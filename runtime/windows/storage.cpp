// SPDX-License-Identifier: MIT
// The stack beneath a volume on Windows, from the storage stack: the volume's disks (its
// extents), each disk's bus, vendor and product (IOCTL_STORAGE_QUERY_PROPERTY), and for
// a virtual disk backed by a file, that file and the volume it lies on (virtdisk's
// GetStorageDependencyInformation). Every handle is opened with no access, which asks
// nothing of the user's rights and nothing of the drive but its description.
#include "runtime/storage.h"

#include "runtime/windows/handles.h"
#include "runtime/windows/storage_stack.h"
#include "runtime/windows/text.h"

#include <algorithm>
#include <array>
#include <cwctype>
#include <vector>
#include <windows.h>
#include <winioctl.h>
// After windows.h, which it builds on.
#include <virtdisk.h>

namespace quvo::runtime {
namespace windows_storage {

Bus busOfStorageType(unsigned long busType)
{
    // STORAGE_BUS_TYPE's values, some newer than the headers at hand (NVMe over Fabrics).
    constexpr std::array kBuses = {
        Bus::Unknown,            // BusTypeUnknown
        Bus::Scsi,               // BusTypeScsi
        Bus::Ata,                // BusTypeAtapi
        Bus::Ata,                // BusTypeAta
        Bus::Ieee1394,           // BusType1394
        Bus::Scsi,               // BusTypeSsa, serial storage architecture: SCSI's
        Bus::FibreChannel,       // BusTypeFibre
        Bus::Usb,                // BusTypeUsb
        Bus::Raid,               // BusTypeRAID
        Bus::Iscsi,              // BusTypeiScsi
        Bus::Sas,                // BusTypeSas
        Bus::Sata,               // BusTypeSata
        Bus::Sd,                 // BusTypeSd
        Bus::Mmc,                // BusTypeMmc
        Bus::Virtual,            // BusTypeVirtual
        Bus::FileBackedVirtual,  // BusTypeFileBackedVirtual
        Bus::StorageSpaces,      // BusTypeSpaces
        Bus::Nvme,               // BusTypeNvme
        Bus::StorageClassMemory, // BusTypeSCM
        Bus::Ufs,                // BusTypeUfs
        Bus::NvmeOverFabrics,    // BusTypeNVMeoF
    };
    return busType < kBuses.size() ? kBuses[busType] : Bus::Unknown;
}

bool namesRamDisk(std::string_view vendor, std::string_view product, std::wstring_view ntDevice)
{
    std::string names;
    for (const char c : std::string(vendor) + std::string(product))
        if (c != ' ')
            names += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (names.find("ramdisk") != std::string::npos)
        return true;
    constexpr std::wstring_view kWindowsRamDisk = L"\\device\\ramdisk";
    if (ntDevice.size() < kWindowsRamDisk.size())
        return false;
    return std::equal(kWindowsRamDisk.begin(), kWindowsRamDisk.end(), ntDevice.begin(),
        [](wchar_t a, wchar_t b) { return a == static_cast<wchar_t>(std::towlower(b)); });
}

namespace {

// A stack deeper than this loops (a virtual disk whose file lies on itself): it ends there.
constexpr int kDeepest = 16;

FileHandle openForQueries(const std::wstring& device)
{
    return owned(::CreateFileW(
        device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
}

std::string trimmed(std::string text)
{
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// A text of the descriptor at offset; none where the offset is 0 or outside it.
std::string descriptorText(const std::vector<char>& descriptor, DWORD offset)
{
    if (offset == 0 || offset >= descriptor.size())
        return {};
    const char* start = descriptor.data() + offset;
    return trimmed(std::string(start, ::strnlen(start, descriptor.size() - offset)));
}

// GetStorageDependencyInformation, from virtdisk.dll where the system has it; loaded
// only for a virtual disk, so that no other run loads it.
using DependencyQuery = DWORD(WINAPI*)(HANDLE, GET_STORAGE_DEPENDENCY_FLAG, ULONG, PSTORAGE_DEPENDENCY_INFO, PULONG);
DependencyQuery dependencyQuery()
{
    static const DependencyQuery query = [] {
        const HMODULE virtdisk = ::LoadLibraryExW(L"virtdisk.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return virtdisk == nullptr ? nullptr
                                   : reinterpret_cast<DependencyQuery>(reinterpret_cast<void*>(
                                       ::GetProcAddress(virtdisk, "GetStorageDependencyInformation")));
    }();
    return query;
}

// Where a volume (\\?\Volume{...}\) is mounted: its first path ("D:\"), or its own name
// where it has none.
std::wstring mountPathOf(const std::wstring& volume)
{
    std::wstring paths(MAX_PATH + 1, L'\0');
    DWORD length = 0;
    if (!::GetVolumePathNamesForVolumeNameW(volume.c_str(), paths.data(), static_cast<DWORD>(paths.size()), &length)
        || paths[0] == L'\0')
        return volume;
    return paths.c_str();
}

class Walk {
public:
    void fromPath(const std::wstring& path, const std::string& holder, int depth);

    Storage storage;

private:
    bool known(const std::string& name) const
    {
        return std::any_of(storage.levels.begin(), storage.levels.end(),
            [&](const StorageLevel& level) { return level.name == name; });
    }
    void fromDisk(
        HANDLE disk, const std::string& name, const std::string& holder, const std::wstring& ntDevice, int depth);
    void fromBackingFiles(HANDLE disk, const std::string& name, int depth);
};

void Walk::fromPath(const std::wstring& path, const std::string& holder, int depth)
{
    std::array<wchar_t, MAX_PATH + 1> root{};
    std::array<wchar_t, 64> volume{};
    if (depth > kDeepest || !::GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size()))
        || !::GetVolumeNameForVolumeMountPointW(root.data(), volume.data(), static_cast<DWORD>(volume.size())))
        return; // a network share, or a volume the system names no device for
    const std::string name = narrow(root.data());
    if (known(name))
        return;
    storage.levels.push_back({name, LevelKind::Volume, holder});

    // "\\?\Volume{...}\": without its last "\" the volume's device, without its first four
    // characters too the name of that device, whose target is its NT device.
    std::wstring device = volume.data();
    if (device.ends_with(L'\\'))
        device.pop_back();
    std::array<wchar_t, MAX_PATH + 1> target{};
    const std::wstring ntDevice
        = ::QueryDosDeviceW(device.substr(4).c_str(), target.data(), static_cast<DWORD>(target.size())) != 0
        ? std::wstring(target.data())
        : std::wstring();
    const std::wstring own = ntDevice.empty() ? device : ntDevice.substr(ntDevice.rfind(L'\\') + 1);
    if (::GetDriveTypeW(root.data()) == DRIVE_RAMDISK) {
        storage.levels.push_back({narrow(own), LevelKind::RamDisk, name});
        storage.memory = true;
        return;
    }
    const FileHandle opened = openForQueries(device);
    if (!opened.isOpen())
        return;

    // Its disks, one per disk its extents lie on.
    std::vector<char> buffer(sizeof(VOLUME_DISK_EXTENTS) + 31 * sizeof(DISK_EXTENT));
    DWORD returned = 0;
    std::vector<DWORD> numbers;
    if (::DeviceIoControl(handleOf(opened), IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buffer.data(),
            static_cast<DWORD>(buffer.size()), &returned, nullptr)) {
        const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer.data());
        for (DWORD i = 0; i < extents->NumberOfDiskExtents; ++i)
            if (std::find(numbers.begin(), numbers.end(), extents->Extents[i].DiskNumber) == numbers.end())
                numbers.push_back(extents->Extents[i].DiskNumber);
    }
    for (const DWORD number : numbers) {
        const std::wstring disk = L"PhysicalDrive" + std::to_wstring(number);
        if (const FileHandle handle = openForQueries(L"\\\\.\\" + disk); handle.isOpen())
            fromDisk(handleOf(handle), narrow(disk), name, {}, depth);
    }
    // A volume that is its own device (a RAM disk's, a virtual disk driver's, each of
    // Wine's, which tell no extents) describes itself, named by its NT device.
    if (numbers.empty())
        fromDisk(handleOf(opened), narrow(own), name, ntDevice, depth);
}

void Walk::fromDisk(
    HANDLE disk, const std::string& name, const std::string& holder, const std::wstring& ntDevice, int depth)
{
    if (known(name))
        return;
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    std::vector<char> descriptor(1024);
    DWORD returned = 0;
    Disk described{.name = name};
    if (::DeviceIoControl(disk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, descriptor.data(),
            static_cast<DWORD>(descriptor.size()), &returned, nullptr)
        && returned >= offsetof(STORAGE_DEVICE_DESCRIPTOR, RawPropertiesLength)) {
        descriptor.resize(returned);
        const auto* header = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(descriptor.data());
        described.vendor = descriptorText(descriptor, header->VendorIdOffset);
        described.model = descriptorText(descriptor, header->ProductIdOffset);
        described.bus = busOfStorageType(static_cast<unsigned long>(header->BusType));
    }
    if (namesRamDisk(described.vendor, described.model, ntDevice)) {
        storage.levels.push_back({name, LevelKind::RamDisk, holder});
        storage.memory = true;
        return;
    }
    storage.levels.push_back({name, LevelKind::Disk, holder});
    const Bus bus = described.bus;
    storage.disks.push_back(std::move(described));
    if (bus == Bus::FileBackedVirtual)
        fromBackingFiles(disk, name, depth);
}

// The file that holds a virtual disk, named by its path on its host volume, which is
// followed in turn.
void Walk::fromBackingFiles(HANDLE disk, const std::string& name, int depth)
{
    const DependencyQuery query = dependencyQuery();
    if (query == nullptr)
        return;
    std::vector<char> buffer(4096);
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto* info = reinterpret_cast<STORAGE_DEPENDENCY_INFO*>(buffer.data());
        info->Version = STORAGE_DEPENDENCY_INFO_VERSION_2;
        ULONG used = 0;
        const DWORD error = query(disk,
            static_cast<GET_STORAGE_DEPENDENCY_FLAG>(
                GET_STORAGE_DEPENDENCY_FLAG_HOST_VOLUMES | GET_STORAGE_DEPENDENCY_FLAG_DISK_HANDLE),
            static_cast<ULONG>(buffer.size()), info, &used);
        if (error == ERROR_INSUFFICIENT_BUFFER && used > buffer.size()) {
            buffer.resize(used);
            continue;
        }
        if (error != ERROR_SUCCESS)
            return;
        for (ULONG i = 0; i < info->NumberEntries; ++i) {
            const STORAGE_DEPENDENCY_INFO_TYPE_2& entry = info->Version2Entries[i];
            if (entry.HostVolumeName == nullptr || entry.DependentVolumeRelativePath == nullptr)
                continue;
            std::wstring host = mountPathOf(entry.HostVolumeName);
            std::wstring file = host;
            if (file.ends_with(L'\\'))
                file.pop_back();
            const std::wstring_view relative = entry.DependentVolumeRelativePath;
            file += relative.starts_with(L'\\') ? std::wstring(relative) : L"\\" + std::wstring(relative);
            const std::string fileName = narrow(file);
            if (known(fileName))
                continue;
            storage.levels.push_back({fileName, LevelKind::File, name});
            fromPath(host, fileName, depth + 1);
        }
        return;
    }
}

} // namespace
} // namespace windows_storage

Storage storageOf(const SystemPath& directory)
{
    windows_storage::Walk walk;
    walk.fromPath(widen(directory.text()), {}, 0);
    return std::move(walk.storage);
}

} // namespace quvo::runtime

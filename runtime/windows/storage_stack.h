// SPDX-License-Identifier: MIT
// What the storage stack says of a disk on Windows, read apart from the handles it
// comes through so that it can be tested on any answer. Private to runtime/windows/.
#pragma once

#include "runtime/storage.h"

#include <string_view>

namespace quvo::runtime::windows_storage {

// The bus of a STORAGE_BUS_TYPE (BusTypeUsb, 7: Bus::Usb); Bus::Unknown for a value this
// program does not know.
Bus busOfStorageType(unsigned long busType);

// Whether a device's vendor and product, as its STORAGE_DEVICE_DESCRIPTOR gives them, or
// its NT device name (\Device\Ramdisk{...}, Windows's own RAM disk driver's) name a RAM
// disk: those drivers report a fixed drive, which only the storage stack tells apart.
bool namesRamDisk(std::string_view vendor, std::string_view product, std::wstring_view ntDevice);

} // namespace quvo::runtime::windows_storage

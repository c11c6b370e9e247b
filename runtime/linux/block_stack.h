// SPDX-License-Identifier: MIT
// The stack beneath a volume on Linux, read from sysfs, whose root is given so that
// tests can build one of hardware this machine does not have. Private to linux/.
#pragma once

#include "runtime/storage.h"

#include <string>
#include <sys/types.h>

namespace quvo::runtime::linux_storage {

// What lies beneath the block device numbered device, from the sysfs at sysfs ("/sys").
// A loop device's backing file is followed to the volume it lies on.
Storage storageOfDevice(const std::string& sysfs, dev_t device);

// What lies beneath the file or directory at path: the memory of a tmpfs or ramfs, else
// the block device its file system lies on (for btrfs, every device it spans).
Storage storageOfFile(const std::string& sysfs, const std::string& path);

} // namespace quvo::runtime::linux_storage

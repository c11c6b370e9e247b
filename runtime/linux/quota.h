// SPDX-License-Identifier: MIT
// Disk quotas on Linux: the room the caller's user, group and project quotas leave on a
// file system, which its free space does not show. Private to linux/.
#pragma once

#include <cstdint>
#include <optional>

namespace quvo::runtime::linux_quota {

// The least room the caller's quotas leave on the file system of the open file or
// directory fd; nothing where none is set or the file system keeps none (quotas off,
// btrfs, whose qgroups answer no quotactl).
std::optional<std::uint64_t> quotaRoomOf(int fd);

} // namespace quvo::runtime::linux_quota

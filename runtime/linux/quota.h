// SPDX-License-Identifier: MIT
// Disk quotas on Linux: the room the caller's user, group and project quotas leave on a
// file system, which its free space does not show. Private to linux/.
#pragma once

#include <cstdint>
#include <optional>

namespace quvo::runtime::linux_quota {

// One quota as the system reports it, in bytes; a limit of 0 is none.
struct QuotaUse {
    std::uint64_t softLimit = 0; // may be passed for a grace period, with warnings
    std::uint64_t hardLimit = 0;
    std::uint64_t used = 0;
};

// What the quota leaves below its lower limit (the soft one too: a benchmark has no
// business running a user into a grace period); nothing where no limit is set.
std::optional<std::uint64_t> roomUnder(const QuotaUse& use);

// The least room the caller's quotas leave on the file system of the open file or
// directory fd; nothing where none is set or the file system keeps none (quotas off,
// btrfs, whose qgroups answer no quotactl).
std::optional<std::uint64_t> quotaRoomOf(int fd);

} // namespace quvo::runtime::linux_quota

// SPDX-License-Identifier: MIT
#include "runtime/linux/quota.h"

#include <algorithm>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/quota.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quvo::runtime::linux_quota {
namespace {

// One quota as the system reports it, in bytes; a limit of 0 is none.
struct QuotaUse {
    std::uint64_t softLimit = 0; // may be passed for a grace period, with warnings
    std::uint64_t hardLimit = 0;
    std::uint64_t used = 0;
};

// What the quota leaves below its lower limit (the soft one too: a benchmark has no
// business running a user into a grace period); nothing where no limit is set.
std::optional<std::uint64_t> roomUnder(const QuotaUse& use)
{
    const std::uint64_t soft = use.softLimit != 0 ? use.softLimit : UINT64_MAX;
    const std::uint64_t hard = use.hardLimit != 0 ? use.hardLimit : UINT64_MAX;
    const std::uint64_t limit = std::min(soft, hard);
    if (limit == UINT64_MAX)
        return std::nullopt;
    return limit > use.used ? limit - use.used : 0;
}

} // namespace

// quotactl_fd (Linux 5.14) asks by any open file of the file system, where quotactl
// wants its block device, which a mount of a loop file or a network share may not
// have. glibc 2.36 has no wrapper.
std::optional<std::uint64_t> quotaRoomOf(int fd)
{
    std::optional<std::uint64_t> room;
    const auto take = [&](int type, unsigned id) {
        struct dqblk got { };
        if (::syscall(__NR_quotactl_fd, fd, QCMD(Q_GETQUOTA, type), id, &got) != 0
            || (got.dqb_valid & QIF_BLIMITS) == 0)
            return;
        // Limits in 1 KiB blocks, the use in bytes.
        const auto left = roomUnder({.softLimit = got.dqb_bsoftlimit * QIF_DQBLKSIZE,
            .hardLimit = got.dqb_bhardlimit * QIF_DQBLKSIZE,
            .used = got.dqb_curspace});
        if (left)
            room = std::min(room.value_or(UINT64_MAX), *left);
    };
    take(USRQUOTA, ::geteuid());
    take(GRPQUOTA, ::getegid());
    struct fsxattr attributes { };
    if (::ioctl(fd, FS_IOC_FSGETXATTR, &attributes) == 0 && attributes.fsx_projid != 0)
        take(PRJQUOTA, attributes.fsx_projid);
    return room;
}

} // namespace quvo::runtime::linux_quota

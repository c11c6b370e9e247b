// SPDX-License-Identifier: MIT
// Which Linux mounts are volumes a user would measure.
#include "runtime/volumes.h"

#include <gtest/gtest.h>

namespace quvo::runtime {
namespace {

TEST(Volumes, OnlyRealWritableFileSystemsAreUserVolumes)
{
    const struct {
        MountEntry entry;
        bool expected;
    } cases[] = {
        {{"/", "ext4", false}, true},
        {{"/", "overlay", false}, true},
        {{"/home", "btrfs", false}, true},
        {{"/run/media/lin/USB STICK", "vfat", false}, true},
        {{"/media/cdrom", "iso9660", true}, false},
        {{"/mnt/data", "xfs", true}, false},
        {{"/proc", "proc", false}, false},
        {{"/sys/fs/cgroup", "tmpfs", false}, false},
        {{"/sys/fs/cgroup/cpu", "cgroup", false}, false},
        {{"/dev", "devtmpfs", false}, false},
        {{"/dev/shm", "tmpfs", false}, false},
        {{"/run", "tmpfs", false}, false},
        {{"/run/user/1000", "tmpfs", false}, false},
        {{"/tmp", "tmpfs", false}, true},
        {{"/snap/core/1", "squashfs", false}, false},
        {{"/var/lib/docker/overlay2/x/merged", "overlay", false}, false},
        {{"/net", "autofs", false}, false},
        {{"/runner", "ext4", false}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isUserVolume(c.entry), c.expected) << c.entry.mountPoint << " " << c.entry.fileSystem;
}

TEST(Volumes, TheRootDirectoryIsOnTheRootMount)
{
    EXPECT_EQ(volumeOf("/")->mountPoint, "/");
}

} // namespace
} // namespace quvo::runtime

// SPDX-License-Identifier: MIT
// Which Linux mounts are volumes a user would measure.
#include "runtime/volumes.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

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

TEST(Volumes, TheMountTableSaysWhatMayStandBetweenTheRunAndTheDevice)
{
    struct Expected {
        std::optional<bool> compression;
        bool copyOnWrite, fuse, network, memory;
    };
    const struct {
        MountEntry entry;
        Expected traits;
    } cases[] = {
        {{"/", "ext4", false, "/dev/sda1", "rw,relatime"}, {false, false, false, false, false}},
        {{"/home", "btrfs", false, "/dev/sda2", "rw,compress=zstd:3,space_cache=v2"},
            {true, true, false, false, false}},
        {{"/home", "btrfs", false, "/dev/sda2", "rw,compress-force=lzo"}, {true, true, false, false, false}},
        {{"/vm", "btrfs", false, "/dev/sda3", "rw,nodatacow"}, {false, false, false, false, false}},
        {{"/tank", "zfs", false, "tank", "rw,xattr"}, {std::nullopt, true, false, false, false}},
        {{"/tmp", "tmpfs", false, "tmpfs", "rw,size=1g"}, {false, false, false, false, true}},
        {{"/media/usb", "fuseblk", false, "/dev/sdb1", "rw,allow_other"}, {std::nullopt, false, true, false, false}},
        {{"/mnt/host", "fuse.sshfs", false, "lin@host:", "rw"}, {std::nullopt, false, true, true, false}},
        {{"/mnt/share", "cifs", false, "//server/share", "rw"}, {std::nullopt, false, false, true, false}},
        {{"/mnt/compressor", "btrfs", false, "/dev/sdc", "rw,compressed_but_not_an_option"},
            {false, true, false, false, false}},
    };
    for (const auto& c : cases) {
        const VolumeTraits traits = traitsOf(c.entry);
        const Expected& want = c.traits;
        EXPECT_EQ(std::tie(traits.compression, traits.copyOnWrite, traits.fuse, traits.network, traits.memory),
            std::tie(want.compression, want.copyOnWrite, want.fuse, want.network, want.memory))
            << c.entry.fileSystem << " " << c.entry.options;
    }
}

TEST(Volumes, TheRootDirectoryIsOnTheRootMount)
{
    EXPECT_EQ(volumeOf("/")->mountPoint, "/");
}

} // namespace
} // namespace quvo::runtime

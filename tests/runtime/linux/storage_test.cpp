// SPDX-License-Identifier: MIT
// The stack beneath a volume, read from sysfs trees that umockdev builds of hardware
// this machine does not have: the models in tests/support/devices/ (a USB 3 stick
// running at 480 Mb/s, an NVMe drive at PCIe 3.0 ×2 that can do 4.0 ×4, a SATA disk,
// each mounted from a partition whose number the test gives), and stacks written here
// (device mapper, md, zram, brd, loop, a multipath NVMe namespace). The code reads the
// tree where umockdev leaves it, as it reads /sys.
#include "runtime/linux/block_stack.h"

#include "tests/support/fake_sysfs.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <linux/magic.h>
#include <memory>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace quvo::runtime {

// Whole values in a failure's message, not their bytes.
void PrintTo(const Storage& storage, std::ostream* out)
{
    *out << "{memory " << storage.memory << "; levels";
    for (const StorageLevel& level : storage.levels)
        *out << " [" << level.name << " kind " << static_cast<int>(level.kind) << " under '" << level.holder << "']";
    *out << "; disks";
    for (const Disk& disk : storage.disks) {
        *out << " [" << disk.name << " '" << disk.vendor << "' '" << disk.model << "' bus "
             << static_cast<int>(disk.bus);
        if (disk.link)
            *out << " link " << static_cast<int>(disk.link->kind) << " " << disk.link->current.megabits << "x"
                 << disk.link->current.lanes << (disk.link->capable ? " capable " : "")
                 << (disk.link->capable ? std::to_string(disk.link->capable->megabits) + "x"
                                + std::to_string(disk.link->capable->lanes)
                                        : "");
        *out << "]";
    }
    *out << "}";
}

namespace {

// A block device of the record format: its path below /devices, its number, and more
// lines (attributes "A:", links "L:").
std::string blockDevice(const std::string& path, const std::string& number, const std::string& more = {})
{
    const std::string name = path.substr(path.rfind('/') + 1);
    return "P: /devices/" + path + "\nN: " + name + "=00\nE: DEVNAME=/dev/" + name
        + "\nE: SUBSYSTEM=block\nE: DEVTYPE=disk\nA: dev=" + number + "\n" + more + "\n";
}

const Link kUsbAt480{LinkKind::Usb, {480, 1}, LinkRate{5000, 1}};
const Link kPcie3x2{LinkKind::Pcie, {8000, 2}, LinkRate{16000, 4}};
const Link kSata6{LinkKind::Sata, {6000, 1}, LinkRate{6000, 1}};
const Disk kStick{"sdb", "SanDisk", "Ultra Fit", Bus::Usb, kUsbAt480};
const Disk kNvme{"nvme0n1", "", "Samsung SSD 980 PRO 1TB", Bus::Nvme, kPcie3x2};
// Its full model from its IDENTIFY data, not SCSI's 16 characters; no "ATA" for a maker.
const Disk kSata{"sda", "", "Samsung SSD 860 EVO 500GB", Bus::Sata, kSata6};

TEST(Storage, TheDiskBehindAPartitionNamesItsBusAndLink)
{
    const struct {
        const char* model;
        Storage expected;
    } cases[] = {
        {"usb_stick", {{{"sdb1", LevelKind::Partition}, {"sdb", LevelKind::Disk, "sdb1"}}, {kStick}}},
        {"nvme_gen3_x2", {{{"nvme0n1p2", LevelKind::Partition}, {"nvme0n1", LevelKind::Disk, "nvme0n1p2"}}, {kNvme}}},
        {"sata_disk", {{{"sda1", LevelKind::Partition}, {"sda", LevelKind::Disk, "sda1"}}, {kSata}}},
    };
    for (const auto& c : cases) {
        test::FakeSysfs sysfs;
        ASSERT_EQ(sysfs.addModel(c.model, "259:7"), "");
        EXPECT_EQ(linux_storage::storageOfDevice(sysfs.root(), makedev(259, 7)), c.expected) << c.model;
    }
}

TEST(Storage, StacksAreFollowedDownToTheirDisksOrMemory)
{
    const std::string nvmeFunction = "pci0000:00/0000:00:01.2/0000:02:00.0";
    const std::string nvmePartition = nvmeFunction + "/nvme/nvme0/nvme0n1/nvme0n1p2";
    const std::string sataPartition = "pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda/sda1";
    const std::string stickPartition
        = "pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0/block/sdb/sdb1";
    const struct {
        const char* name;
        std::vector<const char*> models; // their partitions numbered 259:1, 259:2, ...
        std::string devices;             // the device mounted is 253:0
        Storage expected;
    } cases[] = {
        {"dm-crypt on an NVMe partition", {"nvme_gen3_x2"},
            blockDevice("virtual/block/dm-0", "253:0",
                "A: dm/name=luks-root\nL: slaves/nvme0n1p2=../../../../" + nvmePartition + "\n"),
            {{{"dm-0", LevelKind::DeviceMapper}, {"nvme0n1p2", LevelKind::Partition, "dm-0"},
                 {"nvme0n1", LevelKind::Disk, "nvme0n1p2"}},
                {kNvme}}},
        {"md RAID 1 on a SATA disk and a USB stick", {"sata_disk", "usb_stick"},
            blockDevice("virtual/block/md0", "253:0",
                "A: md/level=raid1\nL: slaves/sda1=../../../../" + sataPartition + "\nL: slaves/sdb1=../../../../"
                    + stickPartition + "\n"),
            {{{"md0", LevelKind::Md}, {"sda1", LevelKind::Partition, "md0"}, {"sda", LevelKind::Disk, "sda1"},
                 {"sdb1", LevelKind::Partition, "md0"}, {"sdb", LevelKind::Disk, "sdb1"}},
                {kSata, kStick}}},
        {"LVM on dm-crypt on zram", {},
            blockDevice("virtual/block/dm-0", "253:0", "A: dm/name=vg-home\nL: slaves/dm-1=../../dm-1\n")
                + blockDevice("virtual/block/dm-1", "253:1", "A: dm/name=crypt\nL: slaves/zram0=../../zram0\n")
                + blockDevice("virtual/block/zram0", "252:0", "A: comp_algorithm=[lzo-rle] zstd\n"),
            {{{"dm-0", LevelKind::DeviceMapper}, {"dm-1", LevelKind::DeviceMapper, "dm-0"},
                 {"zram0", LevelKind::Zram, "dm-1"}},
                {}, true}},
        {"brd's RAM disk", {}, blockDevice("virtual/block/ram0", "253:0"), {{{"ram0", LevelKind::RamDisk}}, {}, true}},
        {"a multipath NVMe namespace, whose paths hang from controllers", {},
            blockDevice("virtual/nvme-subsystem/nvme-subsys0/nvme0n1", "253:0",
                "L: multipath/nvme0c0n1=../../../../../" + nvmeFunction + "/nvme/nvme0/nvme0c0n1\n")
                + "P: /devices/virtual/nvme-subsystem/nvme-subsys0\nE: SUBSYSTEM=nvme-subsystem\n\n" + "P: /devices/"
                + nvmeFunction + "/nvme/nvme0/nvme0c0n1\nE: SUBSYSTEM=block\nA: hidden=1\n\n" + "P: /devices/"
                + nvmeFunction
                + "/nvme/nvme0\nE: SUBSYSTEM=nvme\nA: model=Samsung SSD 980 PRO 1TB\nA: transport=pcie\n\n"
                + "P: /devices/" + nvmeFunction
                + "\nE: SUBSYSTEM=pci\nA: current_link_speed=8.0 GT/s PCIe\nA: current_link_width=2\n"
                  "A: max_link_speed=16.0 GT/s PCIe\nA: max_link_width=4\n\n",
            {{{"nvme0n1", LevelKind::Disk}}, {kNvme}}},
    };
    for (const auto& c : cases) {
        test::FakeSysfs sysfs;
        for (std::size_t i = 0; i < c.models.size(); ++i)
            ASSERT_EQ(sysfs.addModel(c.models[i], "259:" + std::to_string(i + 1)), "") << c.name;
        ASSERT_EQ(sysfs.add(c.devices), "") << c.name;
        EXPECT_EQ(linux_storage::storageOfDevice(sysfs.root(), makedev(253, 0)), c.expected) << c.name;
    }
}

// A loop device's file on a tmpfs is memory, also once removed while the device holds it.
TEST(Storage, ALoopDeviceIsItsFilesVolume)
{
    struct statfs fs { };
    if (::statfs("/dev/shm", &fs) != 0 || fs.f_type != TMPFS_MAGIC)
        GTEST_SKIP() << "/dev/shm is no tmpfs here";
    std::string made = "/dev/shm/quvo-storage-XXXXXX";
    ASSERT_NE(::mkdtemp(made.data()), nullptr);
    const std::unique_ptr<const std::string, void (*)(const std::string*)> shm(
        &made, [](const std::string* directory) { std::filesystem::remove_all(*directory); });
    const std::string image = made + "/disk.img";
    const std::string removed = made + "/removed.img";
    test::writeFile(image, "");
    const struct {
        const char* name;
        std::string devices;
        Storage expected;
    } cases[] = {
        {"a file on a tmpfs", blockDevice("virtual/block/loop0", "7:0", "A: loop/backing_file=" + image + "\n"),
            {{{"loop0", LevelKind::Loop}, {image, LevelKind::File, "loop0"},
                 {"tmpfs", LevelKind::MemoryFileSystem, image}},
                {}, true}},
        {"a file removed",
            blockDevice("virtual/block/loop0", "7:0", "A: loop/backing_file=" + removed + " (deleted)\n"),
            {{{"loop0", LevelKind::Loop}, {removed, LevelKind::File, "loop0"},
                 {"tmpfs", LevelKind::MemoryFileSystem, removed}},
                {}, true}},
    };
    for (const auto& c : cases) {
        test::FakeSysfs sysfs;
        ASSERT_EQ(sysfs.add(c.devices), "") << c.name;
        EXPECT_EQ(linux_storage::storageOfDevice(sysfs.root(), makedev(7, 0)), c.expected) << c.name;
    }
}

} // namespace
} // namespace quvo::runtime

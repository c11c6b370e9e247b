// SPDX-License-Identifier: MIT
// Devices this machine lacks, as a sysfs tree that umockdev builds (Linux): read where it
// lies by code given its root, or as /sys itself by a program run under umockdev's
// preloaded library (umockdev-wrapper), which diverts /sys there.
#pragma once

#include <memory>
#include <string>

namespace quvo::test {

class FakeSysfs {
public:
    FakeSysfs();
    ~FakeSysfs();
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    // Devices in umockdev's record format; the error, or the empty text.
    std::string add(const std::string& description);
    // A model of tests/support/devices/ ("usb_stick", "nvme_gen3_x2", "sata_disk"), its
    // mounted partition numbered device ("259:1"), and its model renamed where given.
    std::string addModel(const std::string& name, const std::string& device, const std::string& model = {});

    // The tree's /sys.
    std::string root() const;
    // Whether this program sees the tree as /sys: it runs under umockdev-wrapper.
    bool divertsSys() const;

private:
    std::unique_ptr<void, void (*)(void*)> testbed_;
};

} // namespace quvo::test

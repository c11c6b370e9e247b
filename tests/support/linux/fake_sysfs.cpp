// SPDX-License-Identifier: MIT
#include "tests/support/fake_sysfs.h"

#include <umockdev.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quvo::test {
namespace {

UMockdevTestbed* testbedOf(const std::unique_ptr<void, void (*)(void*)>& testbed)
{
    return static_cast<UMockdevTestbed*>(testbed.get());
}

} // namespace

FakeSysfs::FakeSysfs()
    : testbed_(umockdev_testbed_new(), g_object_unref)
{
}

FakeSysfs::~FakeSysfs() = default;

std::string FakeSysfs::add(const std::string& description)
{
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbedOf(testbed_), description.c_str(), &error)) {
        std::string message = error != nullptr ? error->message : "umockdev took no devices";
        g_clear_error(&error);
        return message + ":\n" + description;
    }
    // umockdev numbers a block device whose path has no "block" directory in it (an NVMe
    // namespace's) under /sys/dev/char; the kernel, under /sys/dev/block.
    namespace fs = std::filesystem;
    const fs::path numbers = fs::path(root()) / "dev";
    std::error_code failed;
    if (fs::create_directories(numbers / "block", failed); failed)
        return failed.message();
    if (!fs::exists(numbers / "char"))
        return {};
    for (const auto& number : fs::directory_iterator(numbers / "char"))
        if (fs::read_symlink(fs::canonical(number.path()) / "subsystem").filename() == "block")
            fs::rename(number.path(), numbers / "block" / number.path().filename());
    return {};
}

std::string FakeSysfs::addModel(const std::string& name, const std::string& device, const std::string& model)
{
    std::ostringstream text;
    text << std::ifstream(std::string(QUVO_DEVICE_MODELS) + "/" + name + ".umockdev").rdbuf();
    std::string description = text.str();
    const auto at = description.find("@DEVICE@");
    if (at == std::string::npos)
        return "no model " + name;
    description.replace(at, 8, device);
    if (!model.empty()) {
        const auto line = description.find("A: model=");
        const auto end = description.find('\n', line);
        description.replace(line, end - line, "A: model=" + model);
    }
    return add(description);
}

std::string FakeSysfs::root() const
{
    const std::unique_ptr<gchar, void (*)(gpointer)> directory(
        umockdev_testbed_get_sys_dir(testbedOf(testbed_)), g_free);
    return directory.get();
}

bool FakeSysfs::divertsSys() const
{
    return umockdev_in_mock_environment();
}

} // namespace quvo::test

// SPDX-License-Identifier: MIT
// Drive texts, the same on every system: the designation, then what the volume is.
#include "runtime/volumes.h"

#include "runtime/designation.h"
#include "runtime/number_format.h"

namespace quvo::runtime {
namespace {

std::string labelled(const std::string& label)
{
    return label.empty() ? std::string() : label + ", ";
}

} // namespace

std::string driveText(std::string_view directory, const Volume& volume)
{
    return designationFor(directory) + " [" + labelled(volume.label) + volume.fileSystem + ", "
        + formatSize(volume.availableBytes) + " 可用]";
}

std::string driveText(std::string_view directory, std::string_view fileSystem)
{
    return designationFor(directory) + " [" + std::string(fileSystem) + "]";
}

std::string driveTextOf(const std::string& directory)
{
    const auto volume = volumeOf(directory);
    return volume ? driveText(directory, *volume) : driveText(directory, "未知");
}

} // namespace quvo::runtime

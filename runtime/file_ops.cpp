// SPDX-License-Identifier: MIT
#include "runtime/file_ops.h"

#include "runtime/designation.h"
#include "runtime/errors.h"

#include <algorithm>
#include <memory>
#include <string>

namespace quvo::runtime {
namespace {

constexpr std::size_t kCopyBlockSize = std::size_t{1} << 20;

} // namespace

Result<std::string> lookUpFile(const SystemPath& path)
{
    auto exists = regularFileExists(path);
    if (!exists)
        return exists.error();
    return *exists ? std::string(fileNamePart(path)) : std::string();
}

std::error_code copyFile(const SystemPath& sourcePath, const SystemPath& destinationPath, const CopyWatch& watch)
{
    auto source = NativeFile::openForReading(sourcePath);
    if (!source)
        return source.error();
    auto destination = NativeFile::createForWriting(destinationPath, WriteMode::Paced);
    if (!destination)
        return destination.error();
    const auto sourceBytes = source->size();
    if (!sourceBytes)
        return sourceBytes.error();
    // Aligned for direct I/O, which the source may read by.
    const auto fresh = newIoBlock(kCopyBlockSize);
    if (!fresh)
        return fresh.error();
    const std::unique_ptr<char, void (*)(char*)> block(
        *fresh, [](char* memory) { deleteIoBlock(memory, kCopyBlockSize); });
    const std::uint64_t checkInterval = spaceCheckInterval(watch.keepFree);
    std::uint64_t copied = 0;
    std::uint64_t nextSpaceCheck = 0;
    for (;;) {
        if (watch.stop != nullptr && watch.stop->raised())
            return Errc::stopped;
        // What the copy will have written by the next look must fit above the reserve.
        if (watch.keepFree > 0 && copied >= nextSpaceCheck) {
            const auto space = destination->volumeSpace();
            if (!space)
                return space.error();
            const std::uint64_t coming = std::min(checkInterval, *sourceBytes - std::min(copied, *sourceBytes));
            if (space->availableBytes < watch.keepFree + coming)
                return Errc::reserveReached;
            nextSpaceCheck = copied + checkInterval;
        }
        auto got = source->read(block.get(), kCopyBlockSize);
        if (!got)
            return got.error();
        if (*got == 0)
            break;
        if (auto error = destination->write(block.get(), *got))
            return error;
        copied += *got;
    }
    if (auto error = destination->finish())
        return error;
    if (watch.wentBy != nullptr)
        *watch.wentBy = destination->path();
    return source->finish();
}

Result<Space> spaceFor(const SystemPath& file)
{
    return spaceOf(parentDirectory(file));
}

} // namespace quvo::runtime

// SPDX-License-Identifier: MIT
#include "runtime/file_layer.h"

#include <utility>

namespace quvo::runtime {

std::error_code NativeFileLayer::create(const SystemPath& path, WriteMode mode)
{
    auto file = NativeFile::createForWriting(path, mode);
    if (!file)
        return file.error();
    file_ = std::move(*file);
    return {};
}

std::error_code NativeFileLayer::open(const SystemPath& path, ReadMode mode)
{
    auto file = NativeFile::openForReading(path, mode);
    if (!file)
        return file.error();
    file_ = std::move(*file);
    return {};
}

} // namespace quvo::runtime

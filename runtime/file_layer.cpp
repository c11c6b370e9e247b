// SPDX-License-Identifier: MIT
#include "runtime/file_layer.h"

#include <algorithm>
#include <cstring>
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

std::error_code NullFileLayer::create(const SystemPath&, WriteMode)
{
    writing_ = true;
    offset_ = size_ = 0;
    return {};
}

std::error_code NullFileLayer::open(const SystemPath&, ReadMode)
{
    writing_ = false;
    offset_ = 0;
    return {};
}

std::error_code NullFileLayer::write(const char*, std::size_t size)
{
    if (!writing_)
        return std::make_error_code(std::errc::bad_file_descriptor);
    offset_ += size;
    size_ = offset_;
    return {};
}

Result<std::size_t> NullFileLayer::read(char* data, std::size_t capacity)
{
    if (writing_)
        return std::make_error_code(std::errc::bad_file_descriptor);
    const auto got = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, size_ - offset_));
    offset_ += got;
    const auto known = std::find(filled_.begin(), filled_.end(), data);
    if (known != filled_.end())
        return got;
    for (std::size_t at = 0; at < capacity; at += found_.size())
        std::memcpy(data + at, found_.data(), std::min(found_.size(), capacity - at));
    if (const auto free = std::find(filled_.begin(), filled_.end(), nullptr); free != filled_.end())
        *free = data;
    return got;
}

void NullFileLayer::startRead(char* data, std::size_t capacity)
{
    started_ = data;
    startedCapacity_ = capacity;
}

} // namespace quvo::runtime

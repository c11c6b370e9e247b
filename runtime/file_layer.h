// SPDX-License-Identifier: MIT
// What a test file's blocks go through: the system's files, or the null layer, which
// takes every block and does nothing (as fio's null engine does), so that the tool's own
// work can be timed apart from any medium. A layer is called once per block, never per
// item or line.
#pragma once

#include "runtime/platform.h"
#include "runtime/result.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <system_error>

namespace quvo::runtime {

// One file at a time, opened again for each use. The calls are NativeFile's.
class FileLayer {
public:
    virtual ~FileLayer() = default;

    virtual std::error_code create(const SystemPath& path, WriteMode mode) = 0;
    virtual std::error_code open(const SystemPath& path, ReadMode mode) = 0;
    virtual bool isDirect() const = 0;
    virtual std::error_code write(const char* data, std::size_t size) = 0;
    virtual std::error_code startWrite(const char* data, std::size_t size) = 0;
    virtual std::error_code awaitWrite() = 0;
    virtual Result<std::size_t> read(char* data, std::size_t capacity) = 0;
    virtual void startRead(char* data, std::size_t capacity) = 0;
    virtual Result<std::size_t> awaitRead() = 0;
    // Forces, drops from the cache and closes: the measured way out.
    virtual std::error_code finish() = 0;
    virtual DataPath path() const = 0;
    virtual std::uint64_t written() = 0;
    // Closes without forcing anything: for a run that stops.
    virtual void abandon() = 0;
};

// The system's files, through NativeFile.
class NativeFileLayer final : public FileLayer {
public:
    std::error_code create(const SystemPath& path, WriteMode mode) override;
    std::error_code open(const SystemPath& path, ReadMode mode) override;
    bool isDirect() const override { return file_.isDirect(); }
    std::error_code write(const char* data, std::size_t size) override { return file_.write(data, size); }
    std::error_code startWrite(const char* data, std::size_t size) override { return file_.startWrite(data, size); }
    std::error_code awaitWrite() override { return file_.awaitWrite(); }
    Result<std::size_t> read(char* data, std::size_t capacity) override { return file_.read(data, capacity); }
    void startRead(char* data, std::size_t capacity) override { file_.startRead(data, capacity); }
    Result<std::size_t> awaitRead() override { return file_.awaitRead(); }
    std::error_code finish() override { return file_.finish(); }
    DataPath path() const override { return file_.path(); }
    std::uint64_t written() override { return file_.written(); }
    void abandon() override { file_ = NativeFile{}; }

private:
    NativeFile file_;
};

// No file and no medium: a write takes the block and does nothing; a read gives as many
// bytes as the last file written through the layer took, found in the block. Nothing
// is ever named, created or removed.
//
// A reader scans what a read gives, so a block must hold lines where the file would:
// the first time a block is read into, it gets the first bytes of `found` (repeated to
// fill it), and it is left as it is after that, as fio leaves its buffers, so that no
// copy is timed with the reader's work. A reader that goes on using the same few blocks
// (the test file's two) pays for that copy once.
class NullFileLayer final : public FileLayer {
public:
    // found: what a block holds once read into; not empty, and outliving the layer.
    explicit NullFileLayer(std::string_view found)
        : found_(found)
    {
    }

    std::error_code create(const SystemPath& path, WriteMode mode) override;
    std::error_code open(const SystemPath& path, ReadMode mode) override;
    bool isDirect() const override { return false; }
    std::error_code write(const char* data, std::size_t size) override;
    std::error_code startWrite(const char* data, std::size_t size) override { return write(data, size); }
    std::error_code awaitWrite() override { return {}; }
    Result<std::size_t> read(char* data, std::size_t capacity) override;
    void startRead(char* data, std::size_t capacity) override;
    Result<std::size_t> awaitRead() override { return read(started_, startedCapacity_); }
    std::error_code finish() override { return {}; }
    // There is no device: the medium, if any, is memory.
    DataPath path() const override { return DataPath::Memory; }
    std::uint64_t written() override { return offset_; }
    void abandon() override { offset_ = 0; }

private:
    std::string_view found_;
    std::uint64_t size_ = 0;   // of the last file written
    std::uint64_t offset_ = 0; // bytes written or read since the open
    bool writing_ = false;
    char* started_ = nullptr;
    std::size_t startedCapacity_ = 0;
    // The blocks already filled from found_.
    std::array<const char*, 4> filled_{};
};

} // namespace quvo::runtime

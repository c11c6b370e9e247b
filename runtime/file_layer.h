// SPDX-License-Identifier: MIT
// What a test file's blocks go through: the system's files. A layer is called once per
// block, never per item or line.
#pragma once

#include "runtime/platform.h"
#include "runtime/result.h"

#include <cstddef>
#include <cstdint>
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

} // namespace quvo::runtime

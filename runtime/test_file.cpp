// SPDX-License-Identifier: MIT
#include "runtime/test_file.h"

#include <algorithm>
#include <utility>

namespace quvo::runtime {
namespace {

// Below this much spare capacity a long line goes on through the block instead, and
// the line grows.
constexpr std::size_t kStraightReadMinimum = kDirectIoAlignment;

} // namespace

void TestFile::BlockDelete::operator()(char* block) const
{
    deleteIoBlock(block, kBlockSize);
}

TestFile::TestFile()
    : TestFile(std::make_unique<NativeFileLayer>())
{
}

TestFile::TestFile(std::unique_ptr<FileLayer> layer)
    : layer_(std::move(layer))
{
}

TestFile::~TestFile() = default;

// Fresh memory costs a page fault per page at its first touch: taken here, at once.
std::error_code TestFile::ensureBlock(Block& block)
{
    if (block)
        return {};
    auto fresh = newIoBlock(kBlockSize);
    if (!fresh)
        return fresh.error();
    std::memset(*fresh, 0, kBlockSize);
    block.reset(*fresh);
    return {};
}

std::error_code TestFile::reserve()
{
    if (auto error = ensureBlock(block_))
        return error;
    return ensureBlock(ahead_);
}

// Closes what is open and gives the file its block.
std::error_code TestFile::prepare()
{
    if (direction_ != Direction::Closed)
        abandon();
    return ensureBlock(block_);
}

std::error_code TestFile::openForOutput(const SystemPath& path, WriteMode mode)
{
    if (auto error = prepare())
        return error;
    // A streamed output fills its second block while the first is on its way.
    if (mode == WriteMode::Streaming) {
        if (auto error = ensureBlock(ahead_))
            return error;
    }
    if (auto error = layer_->create(path, mode))
        return error;
    direction_ = Direction::Output;
    streaming_ = mode == WriteMode::Streaming;
    cursor_ = blockStart();
    limit_ = cursor_ + kBlockSize;
    return {};
}

std::error_code TestFile::openForInput(const SystemPath& path, ReadMode mode)
{
    if (auto error = prepare())
        return error;
    if (mode == ReadMode::Streaming) {
        if (auto error = ensureBlock(ahead_))
            return error;
    }
    if (auto error = layer_->open(path, mode))
        return error;
    direction_ = Direction::Input;
    streaming_ = mode == ReadMode::Streaming;
    return {};
}

TestFile::Resumed TestFile::writeItemSlow(char8_t* cursor, std::string_view text)
{
    if (direction_ != Direction::Output)
        return {cursor, cursor, make_error_code(Errc::fileNotOpen)};
    cursor_ = cursor;
    const std::error_code error = writeItemSlow(text);
    return {cursor_, limit_, error};
}

// Fills the block to the brim, hands it to the layer, and goes on with the rest.
// Only whole, aligned blocks leave here, so streamed output can go direct.
std::error_code TestFile::writeItemSlow(std::string_view text)
{
    while (!text.empty()) {
        const std::size_t taken = std::min(static_cast<std::size_t>(limit_ - cursor_), text.size());
        std::memcpy(cursor_, text.data(), taken);
        cursor_ += taken;
        text.remove_prefix(taken);
        if (cursor_ == limit_) {
            if (stopRequested())
                return Errc::stopped;
            if (streaming_) {
                // Handed over, and the second block filled meanwhile: the first is free
                // again once its write is done, which the next full block waits for.
                if (auto error = layer_->startWrite(block_.get(), kBlockSize))
                    return error;
                std::swap(block_, ahead_);
            } else if (auto error = layer_->write(block_.get(), kBlockSize)) {
                return error;
            }
            cursor_ = blockStart();
            limit_ = cursor_ + kBlockSize;
        }
    }
    return {};
}

std::error_code TestFile::writeFrom(const char* data, std::size_t size)
{
    if (direction_ != Direction::Output)
        return Errc::fileNotOpen;
    if (stopRequested())
        return Errc::stopped;
    // The layer waits for the block before, and writes anything but a whole aligned
    // block of a streamed file at once.
    return layer_->startWrite(data, size);
}

// Reads the next block; false at the end of the file. A streamed input has it read
// already, and starts the one after while the caller works through this one.
Result<bool> TestFile::refill()
{
    if (stopRequested())
        return make_error_code(Errc::stopped);
    // Once met, the end of the file is not asked for again.
    if (atEnd_)
        return false;
    Result<std::size_t> got = std::size_t{0};
    if (readingAhead_) {
        readingAhead_ = false;
        got = layer_->awaitRead();
        std::swap(block_, ahead_);
    } else {
        got = layer_->read(block_.get(), kBlockSize);
    }
    if (!got)
        return got.error();
    begin_ = 0;
    end_ = *got;
    atEnd_ = *got == 0;
    // A short block is the file's last.
    if (streaming_ && *got == kBlockSize) {
        layer_->startRead(ahead_.get(), kBlockSize);
        readingAhead_ = true;
    }
    return *got > 0;
}

// A line that does not end in what is left of the block: it starts with that rest and
// goes on in the blocks after it, or it is the file's last.
std::error_code TestFile::readLineSlow(std::string& buffer, std::string_view& line)
{
    if (direction_ != Direction::Input)
        return Errc::fileNotOpen;
    std::size_t length = 0;
    // The line so far in buffer: grown only where a line needs more than its room.
    const auto append = [&](const char* from, std::size_t bytes) {
        if (length + bytes > buffer.size())
            buffer.resize(std::max(length + bytes, 2 * buffer.size()));
        std::memcpy(buffer.data() + length, from, bytes);
        length += bytes;
    };
    bool readAnything = false;
    for (;;) {
        if (begin_ == end_) {
            // Not for a direct file: the buffer's memory is not aligned for its transfers.
            if (!streaming_ && !layer_->isDirect() && length >= kBlockSize
                && buffer.size() - length >= kStraightReadMinimum) {
                auto ended = readStraight(buffer, length);
                if (!ended)
                    return ended.error();
                if (*ended)
                    break;
                continue;
            }
            auto more = refill();
            if (!more)
                return more.error();
            if (!*more) {
                if (!readAnything)
                    return Errc::pastEndOfFile;
                break;
            }
        }
        readAnything = true;
        // Nothing carried over: the line is a view into the block like any other.
        if (length == 0 && nextLineIn(block_.get(), begin_, end_, line))
            return {};
        const char* from = block_.get() + begin_;
        const std::size_t available = end_ - begin_;
        const auto* lineEnd = static_cast<const char*>(std::memchr(from, '\n', available));
        if (lineEnd == nullptr) {
            append(from, available);
            begin_ = end_;
            continue;
        }
        append(from, static_cast<std::size_t>(lineEnd - from));
        begin_ += static_cast<std::size_t>(lineEnd - from) + 1;
        if (length > 0 && buffer[length - 1] == '\r')
            --length;
        break;
    }
    line = {buffer.data(), length};
    return {};
}

// The next part of a long line, read from the file into buffer's room after its first
// length bytes rather than through the block. True when the line ended in it: at a line
// end, whose rest goes to the block, or at the end of the file; length is then the
// line's, without its line end.
Result<bool> TestFile::readStraight(std::string& buffer, std::size_t& length)
{
    if (stopRequested())
        return make_error_code(Errc::stopped);
    const std::size_t room = std::min(kBlockSize, buffer.size() - length);
    auto got = layer_->read(buffer.data() + length, room);
    if (!got || *got == 0)
        return got ? Result<bool>(true) : Result<bool>(got.error());
    const char* from = buffer.data() + length;
    const auto* lineEnd = static_cast<const char*>(std::memchr(from, '\n', *got));
    if (lineEnd == nullptr) {
        length += *got;
        return false;
    }
    const auto kept = static_cast<std::size_t>(lineEnd - buffer.data());
    const std::size_t rest = length + *got - kept - 1;
    std::memcpy(block_.get(), lineEnd + 1, rest);
    begin_ = 0;
    end_ = rest;
    length = kept;
    if (length > 0 && buffer[length - 1] == '\r')
        --length;
    return true;
}

Result<bool> TestFile::atEndSlow()
{
    if (direction_ != Direction::Input)
        return make_error_code(Errc::fileNotOpen);
    auto more = refill();
    if (!more)
        return more.error();
    return !*more;
}

std::error_code TestFile::close()
{
    if (direction_ == Direction::Closed)
        return Errc::fileNotOpen;
    // A file closed after a stop request is abandoned: nothing more is forced out.
    std::error_code error = stopRequested() ? make_error_code(Errc::stopped) : std::error_code{};
    if (!error && direction_ == Direction::Output)
        error = layer_->awaitWrite();
    if (!error && direction_ == Direction::Output && cursor_ != blockStart())
        error = layer_->write(block_.get(), static_cast<std::size_t>(cursor_ - blockStart()));
    if (!error)
        error = layer_->finish();
    lastPath_ = layer_->path();
    abandon();
    return error;
}

Result<std::uint64_t> TestFile::writtenOut()
{
    if (direction_ != Direction::Output)
        return make_error_code(Errc::fileNotOpen);
    cursor_ = blockStart();
    return layer_->written();
}

void TestFile::abandon()
{
    layer_->abandon();
    release();
}

// Forgets the open file; the blocks stay.
void TestFile::release()
{
    direction_ = Direction::Closed;
    streaming_ = readingAhead_ = atEnd_ = false;
    cursor_ = limit_ = nullptr;
    begin_ = end_ = 0;
}

} // namespace quvo::runtime

// SPDX-License-Identifier: MIT
#include "runtime/numbered_files.h"

#include <algorithm>

namespace quvo::runtime {
namespace {

// Below this much spare capacity a long line goes on through the block instead, and
// the line grows.
constexpr std::size_t kStraightReadMinimum = kDirectIoAlignment;

} // namespace

// Where output items go: the block's bytes, written as char8_t.
char8_t* NumberedFiles::blockStart(Slot& slot)
{
    return reinterpret_cast<char8_t*>(slot.block.get());
}

void NumberedFiles::BlockDelete::operator()(char* block) const
{
    deleteIoBlock(block, kBlockSize);
}

NumberedFiles::NumberedFiles() = default;

NumberedFiles::~NumberedFiles() = default;

std::error_code NumberedFiles::slotError(int number) const
{
    return number < kFirstNumber || number > kLastNumber ? Errc::badFileNumber : Errc::fileNotOpen;
}

// Fresh memory costs a page fault per page at its first touch: taken here, at once.
std::error_code NumberedFiles::ensureBlock(std::unique_ptr<char[], BlockDelete>& block)
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

std::error_code NumberedFiles::reserve(int number)
{
    Slot* slot = slotAt(number);
    if (slot == nullptr)
        return Errc::badFileNumber;
    if (auto error = ensureBlock(slot->block))
        return error;
    return ensureBlock(slot->ahead);
}

// Finds a free slot for number and gives it its block.
std::error_code NumberedFiles::prepare(int number, Slot*& slot)
{
    slot = slotAt(number);
    if (slot == nullptr)
        return Errc::badFileNumber;
    if (slot->direction != Direction::Closed)
        return Errc::fileNumberInUse;
    if (auto error = ensureBlock(slot->block))
        return error;
    slot->begin = 0;
    slot->end = 0;
    return {};
}

std::error_code NumberedFiles::openForOutput(int number, const SystemPath& path, WriteMode mode)
{
    Slot* slot = nullptr;
    if (auto error = prepare(number, slot))
        return error;
    // A streamed output fills its second block while the first is on its way.
    if (mode == WriteMode::Streaming) {
        if (auto error = ensureBlock(slot->ahead))
            return error;
    }
    auto file = NativeFile::createForWriting(path, mode);
    if (!file)
        return file.error();
    slot->file = std::move(*file);
    slot->direction = Direction::Output;
    slot->streaming = mode == WriteMode::Streaming;
    slot->cursor = blockStart(*slot);
    slot->limit = slot->cursor + kBlockSize;
    return {};
}

std::error_code NumberedFiles::openForInput(int number, const SystemPath& path, ReadMode mode)
{
    Slot* slot = nullptr;
    if (auto error = prepare(number, slot))
        return error;
    if (mode == ReadMode::Streaming) {
        if (auto error = ensureBlock(slot->ahead))
            return error;
    }
    auto file = NativeFile::openForReading(path, mode);
    if (!file)
        return file.error();
    slot->file = std::move(*file);
    slot->direction = Direction::Input;
    slot->streaming = mode == ReadMode::Streaming;
    return {};
}

NumberedFiles::Resumed NumberedFiles::writeItemSlow(Slot* slot, char8_t* cursor, std::string_view text)
{
    if (slot == nullptr)
        return {cursor, cursor, make_error_code(Errc::badFileNumber)};
    slot->cursor = cursor;
    const std::error_code error = writeItemSlow(*slot, text);
    return {slot->cursor, slot->limit, error};
}

// Fills the block to the brim, hands it to the system, and goes on with the rest.
// Only whole, aligned blocks leave here, so streamed output can go direct.
std::error_code NumberedFiles::writeItemSlow(Slot& slot, std::string_view text)
{
    if (slot.direction != Direction::Output)
        return Errc::fileNotOpen;
    while (!text.empty()) {
        const std::size_t taken = std::min(static_cast<std::size_t>(slot.limit - slot.cursor), text.size());
        std::memcpy(slot.cursor, text.data(), taken);
        slot.cursor += taken;
        text.remove_prefix(taken);
        if (slot.cursor == slot.limit) {
            if (stopRequested())
                return Errc::stopped;
            if (slot.streaming) {
                // Handed over, and the second block filled meanwhile: the first is free
                // again once its write is done, which the next full block waits for.
                if (auto error = slot.file.startWrite(slot.block.get(), kBlockSize))
                    return error;
                std::swap(slot.block, slot.ahead);
            } else if (auto error = slot.file.write(slot.block.get(), kBlockSize)) {
                return error;
            }
            slot.cursor = blockStart(slot);
            slot.limit = slot.cursor + kBlockSize;
        }
    }
    return {};
}

// Reads the next block; false at the end of the file. A streamed input has it read
// already, and starts the one after while the caller works through this one.
Result<bool> NumberedFiles::refill(Slot& slot)
{
    if (stopRequested())
        return make_error_code(Errc::stopped);
    // Once met, the end of the file is not asked for again.
    if (slot.atEnd)
        return false;
    Result<std::size_t> got = std::size_t{0};
    if (slot.readingAhead) {
        slot.readingAhead = false;
        got = slot.file.awaitRead();
        std::swap(slot.block, slot.ahead);
    } else {
        got = slot.file.read(slot.block.get(), kBlockSize);
    }
    if (!got)
        return got.error();
    slot.begin = 0;
    slot.end = *got;
    slot.atEnd = *got == 0;
    // A short block is the file's last.
    if (slot.streaming && *got == kBlockSize) {
        slot.file.startRead(slot.ahead.get(), kBlockSize);
        slot.readingAhead = true;
    }
    return *got > 0;
}

std::error_code NumberedFiles::readLineSlow(int number, std::string& buffer, std::string_view& line)
{
    Slot* slot = slotFor(number, Direction::Input);
    if (slot == nullptr)
        return slotError(number);
    return readLongLine(*slot, buffer, line);
}

// A line that does not end in what is left of the block: it starts with that rest and
// goes on in the blocks after it, or it is the file's last.
std::error_code NumberedFiles::readLongLine(Slot& slot, std::string& buffer, std::string_view& line)
{
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
        if (slot.begin == slot.end) {
            // Not for a direct file: the buffer's memory is not aligned for its transfers.
            if (!slot.streaming && !slot.file.isDirect() && length >= kBlockSize
                && buffer.size() - length >= kStraightReadMinimum) {
                auto ended = readStraight(slot, buffer, length);
                if (!ended)
                    return ended.error();
                if (*ended)
                    break;
                continue;
            }
            auto more = refill(slot);
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
        if (length == 0 && nextLineIn(slot.block.get(), slot.begin, slot.end, line))
            return {};
        const char* from = slot.block.get() + slot.begin;
        const std::size_t available = slot.end - slot.begin;
        const auto* lineEnd = static_cast<const char*>(std::memchr(from, '\n', available));
        if (lineEnd == nullptr) {
            append(from, available);
            slot.begin = slot.end;
            continue;
        }
        append(from, static_cast<std::size_t>(lineEnd - from));
        slot.begin += static_cast<std::size_t>(lineEnd - from) + 1;
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
Result<bool> NumberedFiles::readStraight(Slot& slot, std::string& buffer, std::size_t& length)
{
    if (stopRequested())
        return make_error_code(Errc::stopped);
    const std::size_t room = std::min(kBlockSize, buffer.size() - length);
    auto got = slot.file.read(buffer.data() + length, room);
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
    std::memcpy(slot.block.get(), lineEnd + 1, rest);
    slot.begin = 0;
    slot.end = rest;
    length = kept;
    if (length > 0 && buffer[length - 1] == '\r')
        --length;
    return true;
}

Result<bool> NumberedFiles::atEndSlow(int number)
{
    Slot* slot = slotFor(number, Direction::Input);
    if (slot == nullptr)
        return slotError(number);
    auto more = refill(*slot);
    if (!more)
        return more.error();
    return !*more;
}

std::error_code NumberedFiles::close(int number)
{
    Slot* found = slotAt(number);
    if (found == nullptr)
        return Errc::badFileNumber;
    Slot& slot = *found;
    if (slot.direction == Direction::Closed)
        return Errc::fileNotOpen;
    // A file closed after a stop request is abandoned: nothing more is forced out.
    std::error_code error = stopRequested() ? make_error_code(Errc::stopped) : std::error_code{};
    if (!error && slot.direction == Direction::Output)
        error = slot.file.awaitWrite();
    if (!error && slot.direction == Direction::Output && slot.cursor != blockStart(slot))
        error = slot.file.write(slot.block.get(), static_cast<std::size_t>(slot.cursor - blockStart(slot)));
    if (!error)
        error = slot.file.finish();
    slot.lastPath = slot.file.path();
    release(slot);
    return error;
}

Result<std::uint64_t> NumberedFiles::writtenOut(int number)
{
    Slot* slot = slotFor(number, Direction::Output);
    if (slot == nullptr)
        return slotError(number);
    slot->cursor = blockStart(*slot);
    return slot->file.written();
}

std::optional<DataPath> NumberedFiles::lastPath(int number) const
{
    if (number < kFirstNumber || number > kLastNumber)
        return std::nullopt;
    return slots_[static_cast<std::size_t>(number - kFirstNumber)].lastPath;
}

void NumberedFiles::abandonAll()
{
    for (Slot& slot : slots_)
        release(slot);
}

// Closes without forcing anything and frees the number; the blocks stay.
void NumberedFiles::release(Slot& slot)
{
    slot.file = NativeFile{};
    slot.direction = Direction::Closed;
    slot.streaming = slot.readingAhead = slot.atEnd = false;
    slot.cursor = slot.limit = nullptr;
    slot.begin = slot.end = 0;
}

} // namespace quvo::runtime

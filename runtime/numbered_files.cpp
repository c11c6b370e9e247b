// SPDX-License-Identifier: MIT
#include "runtime/numbered_files.h"

#include "runtime/designation.h"

#include <algorithm>
#include <new>

namespace quvo::runtime {

void NumberedFiles::AlignedDelete::operator()(char* block) const
{
    ::operator delete[](block, std::align_val_t{kDirectIoAlignment});
}

NumberedFiles::NumberedFiles() = default;

NumberedFiles::~NumberedFiles() = default;

std::error_code NumberedFiles::slotError(int number) const
{
    if (number < kFirstNumber || number > kLastNumber)
        return Errc::badFileNumber;
    return Errc::fileNotOpen;
}

// Finds a free slot for number and gives it its block.
std::error_code NumberedFiles::prepare(int number, Slot*& slot)
{
    if (number < kFirstNumber || number > kLastNumber)
        return Errc::badFileNumber;
    slot = &slots_[static_cast<std::size_t>(number - kFirstNumber)];
    if (slot->direction != Direction::Closed)
        return Errc::fileNumberInUse;
    if (!slot->block) {
        auto* block = static_cast<char*>(::operator new[](kBlockSize, std::align_val_t{kDirectIoAlignment}));
        slot->block.reset(block);
    }
    slot->begin = 0;
    slot->end = 0;
    return {};
}

std::error_code NumberedFiles::openForOutput(int number, std::string_view pathText, WriteMode mode)
{
    Slot* slot = nullptr;
    if (auto error = prepare(number, slot))
        return error;
    auto file = NativeFile::createForWriting(fileSystemPath(pathText), mode);
    if (!file)
        return file.error();
    slot->file = std::move(*file);
    slot->direction = Direction::Output;
    return {};
}

std::error_code NumberedFiles::openForInput(int number, std::string_view pathText)
{
    Slot* slot = nullptr;
    if (auto error = prepare(number, slot))
        return error;
    auto file = NativeFile::openForReading(fileSystemPath(pathText));
    if (!file)
        return file.error();
    slot->file = std::move(*file);
    slot->direction = Direction::Input;
    return {};
}

// Fills the block to the brim, hands it to the system, and goes on with the rest.
// Only whole, aligned blocks leave here, so streamed output can go direct.
std::error_code NumberedFiles::appendSlow(Slot& slot, std::string_view text)
{
    while (!text.empty()) {
        const std::size_t room = kBlockSize - slot.end;
        const std::size_t taken = std::min(room, text.size());
        std::memcpy(slot.block.get() + slot.end, text.data(), taken);
        slot.end += taken;
        text.remove_prefix(taken);
        if (slot.end == kBlockSize) {
            if (auto error = slot.file.write(slot.block.get(), kBlockSize))
                return error;
            slot.end = 0;
        }
    }
    return {};
}

// Reads the next block; false at the end of the file.
Result<bool> NumberedFiles::refill(Slot& slot)
{
    auto got = slot.file.read(slot.block.get(), kBlockSize);
    if (!got)
        return got.error();
    slot.begin = 0;
    slot.end = *got;
    return *got > 0;
}

std::error_code NumberedFiles::readLine(int number, std::string& line)
{
    Slot* slot = slotFor(number, Direction::Input);
    if (slot == nullptr)
        return slotError(number);
    line.clear();
    bool readAnything = false;
    for (;;) {
        if (slot->begin == slot->end) {
            auto more = refill(*slot);
            if (!more)
                return more.error();
            if (!*more)
                return readAnything ? std::error_code{} : make_error_code(Errc::pastEndOfFile);
        }
        readAnything = true;
        const char* from = slot->block.get() + slot->begin;
        const std::size_t available = slot->end - slot->begin;
        const auto* lineEnd = static_cast<const char*>(std::memchr(from, '\n', available));
        if (lineEnd == nullptr) {
            line.append(from, available);
            slot->begin = slot->end;
            continue;
        }
        line.append(from, static_cast<std::size_t>(lineEnd - from));
        slot->begin += static_cast<std::size_t>(lineEnd - from) + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return {};
    }
}

Result<bool> NumberedFiles::atEnd(int number)
{
    Slot* slot = slotFor(number, Direction::Input);
    if (slot == nullptr)
        return slotError(number);
    if (slot->begin < slot->end)
        return false;
    auto more = refill(*slot);
    if (!more)
        return more.error();
    return !*more;
}

std::error_code NumberedFiles::close(int number)
{
    if (number < kFirstNumber || number > kLastNumber)
        return Errc::badFileNumber;
    Slot& slot = slots_[static_cast<std::size_t>(number - kFirstNumber)];
    if (slot.direction == Direction::Closed)
        return Errc::fileNotOpen;
    std::error_code error;
    if (slot.direction == Direction::Output && slot.end > 0)
        error = slot.file.write(slot.block.get(), slot.end);
    const std::error_code finished = error ? std::error_code{} : slot.file.finish();
    slot.file = NativeFile{};
    slot.direction = Direction::Closed;
    slot.begin = slot.end = 0;
    return error ? error : finished;
}

void NumberedFiles::abandonAll()
{
    for (Slot& slot : slots_) {
        slot.file = NativeFile{};
        slot.direction = Direction::Closed;
        slot.begin = slot.end = 0;
    }
}

} // namespace quvo::runtime

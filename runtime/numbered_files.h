// SPDX-License-Identifier: MIT
// Files addressed by a small number, the way the measurement run uses them: open for
// output or input, write items and lines, read lines, test for the end, close.
//
// Writing an item is the hot path (ten million one-byte items in a row): it copies
// into an in-process block and only full blocks go to the system, so an item costs no
// system call, virtual call, allocation, locale or stream.
#pragma once

#include "runtime/errors.h"
#include "runtime/platform.h"
#include "runtime/result.h"
#include "runtime/stop.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace quvo::runtime {

class NumberedFiles {
public:
    static constexpr int kFirstNumber = 1;
    static constexpr int kLastNumber = 4;
    // Bytes handed to the system at a time: large enough that the per-call cost
    // vanishes, and a multiple of the direct-I/O alignment.
    static constexpr std::size_t kBlockSize = std::size_t{1} << 20;
    static constexpr std::string_view kLineEnd = "\n";

    NumberedFiles();
    // Abandons open files without forcing them to the medium.
    ~NumberedFiles();
    NumberedFiles(const NumberedFiles&) = delete;
    NumberedFiles& operator=(const NumberedFiles&) = delete;

    // Gives number its blocks (the one it is written and read through, and a streamed
    // input's second) ahead of its first open, every page touched, so that a timed open
    // does not pay for the allocation. Blocks are kept across opens.
    std::error_code reserve(int number);

    // Between blocks, a raised flag fails the next transfer with Errc::stopped. The flag
    // outlives its watch; null watches nothing.
    void watch(const StopFlag* stop) { stop_ = stop; }

    std::error_code openForOutput(int number, const SystemPath& path, WriteMode mode = WriteMode::Buffered);
    std::error_code openForInput(int number, const SystemPath& path, ReadMode mode = ReadMode::Buffered);

    // Appends text unchanged.
    std::error_code writeItem(int number, std::string_view text);

    // Writes items to one number through a cursor of its own, which a loop of
    // writeItem calls keeps in a register: the number learns where the cursor stands
    // only when a block fills and when the writer goes. Nothing else may use the number
    // while it lives.
    class ItemWriter;
    // Appends text and a line end.
    std::error_code writeLine(int number, std::string_view text);

    // The text up to the next line end (LF or CR LF, consumed and not returned) or the
    // end of the file, as line. Fails at the end of the file. A line that ends in the
    // block read is a view into it, valid until the next read of number: nothing is
    // copied. A line that runs on past the block is put together in buffer, whose size
    // is the room for it, and one longer than a block is read on straight into that
    // room (unless streamed or direct): a buffer sized for the longest line is neither
    // grown nor touched beyond the line, and those bytes are copied once.
    std::error_code readLine(int number, std::string& buffer, std::string_view& line);
    // True once everything in the file has been read.
    Result<bool> atEnd(int number);

    // Writes what is pending, forces it to the medium, drops the file from the system's
    // cache and frees the number; the number is free afterwards even on failure.
    std::error_code close(int number);
    // How the data of number's last closed file went to or came from the medium;
    // nothing for a number outside the table or never closed.
    std::optional<DataPath> lastPath(int number) const;
    // For a writer that met a limit (a quota): the bytes of number's output file the
    // system took, whatever is still pending discarded.
    Result<std::uint64_t> writtenOut(int number);
    // Frees every number without forcing anything: for a run that stops.
    void abandonAll();

private:
    enum class Direction { Closed, Output, Input };

    struct BlockDelete {
        void operator()(char* block) const;
    };

    struct Slot {
        std::unique_ptr<char[], BlockDelete> block; // kept across opens
        // A streamed file's second block: input, the one the next read fills while the
        // caller works through the first; output, the one the caller fills while the
        // first is written.
        std::unique_ptr<char[], BlockDelete> ahead;
        // Declared after the blocks, so that it is closed (waiting for a running
        // transfer) before they are freed.
        NativeFile file;
        Direction direction = Direction::Closed;
        bool streaming = false; // the second block is in use
        bool readingAhead = false;
        bool atEnd = false;               // input: a read met the end of the file
        std::optional<DataPath> lastPath; // of the file last closed under the number
        // Output: the next free byte of block and its end. Both are null unless the slot
        // is open for output, so that writeItem's one room test also covers the direction.
        // char8_t, unlike char, aliases nothing else: a byte stored through the cursor
        // cannot change the cursor, so a loop of items keeps it in a register.
        char8_t* cursor = nullptr;
        char8_t* limit = nullptr;
        std::size_t begin = 0; // input: first unread byte of block
        std::size_t end = 0;   // input: bytes in block
    };

    // Where a writer goes on after the slow path: its cursor and limit, or the error.
    struct Resumed {
        char8_t* cursor;
        char8_t* limit;
        std::error_code error;
    };

    // Null for a number outside the table.
    Slot* slotAt(int number);
    Slot* slotFor(int number, Direction direction);
    std::error_code slotError(int number) const;
    static std::error_code ensureBlock(std::unique_ptr<char[], BlockDelete>& block);
    std::error_code prepare(int number, Slot*& slot);
    static void release(Slot& slot);
    static char8_t* blockStart(Slot& slot);
    std::error_code writeItemSlow(Slot& slot, std::string_view text);
    Resumed writeItemSlow(Slot* slot, char8_t* cursor, std::string_view text);
    bool stopRequested() const { return stop_ != nullptr && stop_->raised(); }
    Result<bool> refill(Slot& slot);
    std::error_code readLineSlow(int number, std::string& buffer, std::string_view& line);
    std::error_code readLongLine(Slot& slot, std::string& buffer, std::string_view& line);
    Result<bool> atEndSlow(int number);
    Result<bool> readStraight(Slot& slot, std::string& buffer, std::size_t& length);

    std::array<Slot, kLastNumber - kFirstNumber + 1> slots_;
    const StopFlag* stop_ = nullptr;
};

// The line of block that starts at begin, when it ends before end: a view of it without
// its line end (LF or CR LF), and begin moved past that. False, and nothing moved,
// where the block holds no line end from begin on. The scan of every line the run
// reads back, kept apart so that it can be timed on a block in memory.
inline bool nextLineIn(const char* block, std::size_t& begin, std::size_t end, std::string_view& line)
{
    const char* from = block + begin;
    const auto* lineEnd = static_cast<const char*>(std::memchr(from, '\n', end - begin));
    if (lineEnd == nullptr)
        return false;
    auto length = static_cast<std::size_t>(lineEnd - from);
    begin += length + 1;
    if (length > 0 && from[length - 1] == '\r')
        --length;
    line = {from, length};
    return true;
}

inline NumberedFiles::Slot* NumberedFiles::slotAt(int number)
{
    if (number < kFirstNumber || number > kLastNumber)
        return nullptr;
    return &slots_[static_cast<std::size_t>(number - kFirstNumber)];
}

inline NumberedFiles::Slot* NumberedFiles::slotFor(int number, Direction direction)
{
    Slot* slot = slotAt(number);
    return slot != nullptr && slot->direction == direction ? slot : nullptr;
}

class NumberedFiles::ItemWriter {
public:
    ItemWriter(NumberedFiles& files, int number)
        : files_(files)
        , slot_(files.slotAt(number))
        , cursor_(slot_ != nullptr ? slot_->cursor : nullptr)
        , limit_(slot_ != nullptr ? slot_->limit : nullptr)
    {
    }
    ~ItemWriter()
    {
        if (slot_ != nullptr)
            slot_->cursor = cursor_;
    }
    ItemWriter(const ItemWriter&) = delete;
    ItemWriter& operator=(const ItemWriter&) = delete;

    std::error_code writeItem(std::string_view text)
    {
        // size - 1 wraps for the empty text, which goes the slow way with a full block,
        // a number not open for output and an item larger than the room left.
        if (text.size() - 1 < static_cast<std::size_t>(limit_ - cursor_)) [[likely]] {
            // memcpy would store as char, which may alias the cursor itself.
            if (text.size() == 1)
                *cursor_ = static_cast<char8_t>(text.front());
            else
                std::memcpy(cursor_, text.data(), text.size());
            cursor_ += text.size();
            return {};
        }
        const Resumed resumed = files_.writeItemSlow(slot_, cursor_, text);
        cursor_ = resumed.cursor;
        limit_ = resumed.limit;
        return resumed.error;
    }

private:
    NumberedFiles& files_;
    Slot* slot_; // null for a number outside the table
    char8_t* cursor_;
    char8_t* limit_;
};

inline std::error_code NumberedFiles::writeItem(int number, std::string_view text)
{
    return ItemWriter(*this, number).writeItem(text);
}

// Read back line by line, a line that ends in the block and a block not yet used up
// are answered here, inline; the rest of the work goes the slow way.
inline std::error_code NumberedFiles::readLine(int number, std::string& buffer, std::string_view& line)
{
    Slot* slot = slotFor(number, Direction::Input);
    if (slot != nullptr && nextLineIn(slot->block.get(), slot->begin, slot->end, line)) [[likely]]
        return {};
    return readLineSlow(number, buffer, line);
}

inline Result<bool> NumberedFiles::atEnd(int number)
{
    const Slot* slot = slotFor(number, Direction::Input);
    if (slot != nullptr && slot->begin < slot->end) [[likely]]
        return false;
    return atEndSlow(number);
}

inline std::error_code NumberedFiles::writeLine(int number, std::string_view text)
{
    if (auto error = writeItem(number, text))
        return error;
    return writeItem(number, kLineEnd);
}

} // namespace quvo::runtime

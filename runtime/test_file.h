// SPDX-License-Identifier: MIT
// The run's test file, the one file it opens, one step at a time: open for output or
// input, write items and lines, read lines, test for the end, close.
//
// Writing an item is the hot path (ten million one-byte items in a row): it copies
// into an in-process block and only full blocks go to the layer below, so an item costs
// no system call, virtual call, allocation, locale or stream. Output that is already
// laid out in memory goes to the layer from there, without a copy (writeFrom).
#pragma once

#include "runtime/errors.h"
#include "runtime/file_layer.h"
#include "runtime/platform.h"
#include "runtime/result.h"
#include "runtime/stop.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace quvo::runtime {

class TestFile {
public:
    // Bytes handed to the layer at a time: large enough that the per-call cost
    // vanishes, and a multiple of the direct-I/O alignment.
    static constexpr std::size_t kBlockSize = std::size_t{1} << 20;
    static constexpr std::string_view kLineEnd = "\n";

    // Over the system's files.
    TestFile();
    // Over another layer: the null layer, to time the tool apart from any medium.
    explicit TestFile(std::unique_ptr<FileLayer> layer);
    // Abandons an open file without forcing it to the medium.
    ~TestFile();
    TestFile(const TestFile&) = delete;
    TestFile& operator=(const TestFile&) = delete;

    // Gives the file its blocks (the one it is written and read through, and a streamed
    // input's second) ahead of its first open, every page touched, so that a timed open
    // does not pay for the allocation. Blocks are kept across opens.
    std::error_code reserve();

    // Between blocks, a raised flag fails the next transfer with Errc::stopped. The flag
    // outlives its watch; null watches nothing.
    void watch(const StopFlag* stop) { stop_ = stop; }

    // A file still open is abandoned first.
    std::error_code openForOutput(const SystemPath& path, WriteMode mode = WriteMode::Buffered);
    std::error_code openForInput(const SystemPath& path, ReadMode mode = ReadMode::Buffered);

    // Appends text unchanged.
    std::error_code writeItem(std::string_view text);

    // Writes items through a cursor of its own, which a loop of writeItem calls keeps in
    // a register: the file learns where the cursor stands only when a block fills and
    // when the writer goes. Nothing else may write to the file while it lives.
    class ItemWriter;
    // Appends text and a line end.
    std::error_code writeLine(std::string_view text);
    // Appends size bytes straight from data, with no copy: a whole aligned block of a
    // streamed file is handed to the layer to be written while the caller goes on, and
    // data stays untouched until the next writeFrom or the close; anything else is
    // written before this returns. Not mixed with items still in the file's own block.
    std::error_code writeFrom(const char* data, std::size_t size);

    // The text up to the next line end (LF or CR LF, consumed and not returned) or the
    // end of the file, as line. Fails at the end of the file. A line that ends in the
    // block read is a view into it, valid until the next read: nothing is copied. A line
    // that runs on past the block is put together in buffer, whose size is the room for
    // it, and one longer than a block is read on straight into that room (unless
    // streamed or direct): a buffer sized for the longest line is neither grown nor
    // touched beyond the line, and those bytes are copied once.
    std::error_code readLine(std::string& buffer, std::string_view& line);
    // True once everything in the file has been read.
    Result<bool> atEnd();

    // Writes what is pending, forces it to the medium, drops the file from the system's
    // cache and closes it; closed afterwards even on failure.
    std::error_code close();
    // How the data of the last file closed went to or came from the medium; nothing
    // before the first close.
    std::optional<DataPath> lastPath() const { return lastPath_; }
    // For a writer that met a limit (a quota): the bytes of the output file the system
    // took, whatever is still pending discarded.
    Result<std::uint64_t> writtenOut();
    // Closes without forcing anything: for a run that stops.
    void abandon();

private:
    enum class Direction { Closed, Output, Input };

    struct BlockDelete {
        void operator()(char* block) const;
    };
    using Block = std::unique_ptr<char[], BlockDelete>;

    // Where a writer goes on after the slow path: its cursor and limit, or the error.
    struct Resumed {
        char8_t* cursor;
        char8_t* limit;
        std::error_code error;
    };

    static std::error_code ensureBlock(Block& block);
    std::error_code prepare();
    char8_t* blockStart() { return reinterpret_cast<char8_t*>(block_.get()); }
    std::error_code writeItemSlow(std::string_view text);
    Resumed writeItemSlow(char8_t* cursor, std::string_view text);
    bool stopRequested() const { return stop_ != nullptr && stop_->raised(); }
    Result<bool> refill();
    std::error_code readLineSlow(std::string& buffer, std::string_view& line);
    Result<bool> atEndSlow();
    Result<bool> readStraight(std::string& buffer, std::size_t& length);
    void release();

    Block block_; // kept across opens
    // A streamed file's second block: input, the one the next read fills while the
    // caller works through the first; output, the one the caller fills while the first
    // is written.
    Block ahead_;
    // Declared after the blocks, so that it is closed (waiting for a running transfer)
    // before they are freed.
    std::unique_ptr<FileLayer> layer_;
    const StopFlag* stop_ = nullptr;
    Direction direction_ = Direction::Closed;
    bool streaming_ = false; // the second block is in use
    bool readingAhead_ = false;
    bool atEnd_ = false;               // input: a read met the end of the file
    std::optional<DataPath> lastPath_; // of the file last closed
    // Output: the next free byte of the block and its end. Both are null unless the file
    // is open for output, so that writeItem's one room test also covers the direction.
    // char8_t, unlike char, aliases nothing else: a byte stored through the cursor
    // cannot change the cursor, so a loop of items keeps it in a register.
    char8_t* cursor_ = nullptr;
    char8_t* limit_ = nullptr;
    std::size_t begin_ = 0; // input: first unread byte of the block
    std::size_t end_ = 0;   // input: bytes in the block
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

class TestFile::ItemWriter {
public:
    explicit ItemWriter(TestFile& file)
        : file_(file)
        , cursor_(file.cursor_)
        , limit_(file.limit_)
    {
    }
    ~ItemWriter() { file_.cursor_ = cursor_; }
    ItemWriter(const ItemWriter&) = delete;
    ItemWriter& operator=(const ItemWriter&) = delete;

    std::error_code writeItem(std::string_view text)
    {
        // size - 1 wraps for the empty text, which goes the slow way with a full block,
        // a file not open for output and an item larger than the room left.
        if (text.size() - 1 < static_cast<std::size_t>(limit_ - cursor_)) [[likely]] {
            // memcpy would store as char, which may alias the cursor itself.
            if (text.size() == 1)
                *cursor_ = static_cast<char8_t>(text.front());
            else
                std::memcpy(cursor_, text.data(), text.size());
            cursor_ += text.size();
            return {};
        }
        const Resumed resumed = file_.writeItemSlow(cursor_, text);
        cursor_ = resumed.cursor;
        limit_ = resumed.limit;
        return resumed.error;
    }

private:
    TestFile& file_;
    char8_t* cursor_;
    char8_t* limit_;
};

inline std::error_code TestFile::writeItem(std::string_view text)
{
    return ItemWriter(*this).writeItem(text);
}

inline std::error_code TestFile::writeLine(std::string_view text)
{
    if (auto error = writeItem(text))
        return error;
    return writeItem(kLineEnd);
}

// Read back line by line, a line that ends in the block and a block not yet used up
// are answered here, inline; the rest of the work goes the slow way.
inline std::error_code TestFile::readLine(std::string& buffer, std::string_view& line)
{
    if (direction_ == Direction::Input && nextLineIn(block_.get(), begin_, end_, line)) [[likely]]
        return {};
    return readLineSlow(buffer, line);
}

inline Result<bool> TestFile::atEnd()
{
    if (direction_ == Direction::Input && begin_ < end_) [[likely]]
        return false;
    return atEndSlow();
}

} // namespace quvo::runtime

// SPDX-License-Identifier: MIT
// The test file: what is written is what the file holds, lines come back as written,
// calls out of turn fail rather than touch anything, and over the null layer nothing
// reaches a file while the reader still finds its lines.
#include "runtime/test_file.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quvo::runtime {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

constexpr std::size_t kBlock = TestFile::kBlockSize;

std::error_condition is(Errc e)
{
    return make_error_code(e).default_error_condition();
}

TEST(TestFile, WritesItemsBareAndLinesWithALineEnd)
{
    const std::string payload(1024, 'X');
    // Blocks of the caller's, which a streamed file writes from where they are.
    const auto aligned = newIoBlock(kBlock * 3);
    ASSERT_TRUE(aligned);
    const std::unique_ptr<char, void (*)(char*)> freed(*aligned, [](char* p) { deleteIoBlock(p, kBlock * 3); });
    const std::string_view fromMemory(*aligned, kBlock * 2 + 10);
    for (std::size_t at = 0; at < fromMemory.size(); ++at)
        (*aligned)[at] = static_cast<char>('a' + at / 4099 % 26);
    // The text n times, as items or as lines.
    const auto times = [](std::size_t n, const std::string& text, bool lines) {
        return [=](TestFile& f) {
            for (std::size_t i = 0; i < n; ++i)
                (void)(lines ? f.writeLine(text) : f.writeItem(text));
        };
    };
    std::string straddling;
    for (int i = 0; i < 2100; ++i)
        straddling += payload + "\n";
    struct WriteCase {
        const char* name;
        std::function<void(TestFile&)> write;
        std::string expected;
    };
    const WriteCase cases[] = {
        {"nothing", [](TestFile&) {}, ""},
        {"items run together", times(3, "X", false), "XXX"},
        {"a line", [](TestFile& f) { (void)f.writeLine("ab"); }, "ab\n"},
        {"items filling exactly one block", times(kBlock, "X", false), std::string(kBlock, 'X')},
        {"lines straddling blocks", times(2100, payload, true), straddling},
        {"a reserve while open keeps what is pending",
            [](TestFile& f) {
                (void)f.writeItem("ab");
                (void)f.reserve();
                (void)f.writeItem("c");
            },
            "abc"},
        {"an item that fills the block to the brim, then more",
            [](TestFile& f) {
                (void)f.writeItem(std::string(kBlock - 1, 'a'));
                (void)f.writeItem("b");
                (void)f.writeItem("c");
            },
            std::string(kBlock - 1, 'a') + "bc"},
        {"whole blocks and a part from memory, aligned as direct I/O wants",
            [&](TestFile& f) {
                for (std::size_t at = 0; at < fromMemory.size(); at += kBlock)
                    (void)f.writeFrom(fromMemory.data() + at, std::min(kBlock, fromMemory.size() - at));
            },
            std::string(fromMemory)},
        {"an item larger than a block", [](TestFile& f) { (void)f.writeItem(std::string(kBlock * 2 + 3, 'y')); },
            std::string(kBlock * 2 + 3, 'y')},
    };
    TempDir dir;
    for (const WriteMode mode : {WriteMode::Buffered, WriteMode::Streaming}) {
        for (const WriteCase& c : cases) {
            TestFile file;
            const SystemPath path = test::systemPath(dir / "f.txt");
            ASSERT_FALSE(file.openForOutput(path, mode)) << c.name;
            c.write(file);
            ASSERT_FALSE(file.close()) << c.name;
            EXPECT_EQ(readFile(dir / "f.txt"), c.expected)
                << c.name << (mode == WriteMode::Streaming ? ", streaming" : "");
        }
    }
}

// Lines as a failure shows them: a long line by its length and its ends.
std::string shown(const std::vector<std::string>& lines)
{
    std::string text = "{";
    for (const std::string& line : lines) {
        text += text.size() > 1 ? ", " : "";
        if (line.size() <= 16)
            text += "\"" + line + "\"";
        else
            text += std::to_string(line.size()) + " bytes \"" + line.substr(0, 4) + "…" + line.substr(line.size() - 4)
                + "\"";
    }
    return text + "}";
}

TEST(TestFile, ReadsLinesEndedByLfOrCrLf)
{
    const std::string longLine(kBlock * 2 + 5, 'X');
    // "\r\n" split across the first block boundary.
    const std::string splitCrLf = std::string(kBlock - 1, 'a') + "\r\nb";
    // Short lines over three blocks, as written and as read.
    std::string shortLines;
    std::vector<std::string> shortLinesRead;
    for (int i = 0; shortLines.size() < kBlock * 3; ++i) {
        shortLinesRead.push_back(std::to_string(i));
        shortLines += shortLinesRead.back() + "\n";
    }
    struct ReadCase {
        const char* name;
        std::string content;
        std::vector<std::string> lines;
    };
    const ReadCase cases[] = {
        {"empty file", "", {}},
        {"lf", "a\nb\n", {"a", "b"}},
        {"crlf, last line unended", "a\r\nb", {"a", "b"}},
        {"empty lines", "\n\n", {"", ""}},
        {"a lone cr is text", "a\rb\r", {"a\rb\r"}},
        {"one line longer than two blocks", longLine, {longLine}},
        {"crlf split across blocks", splitCrLf, {std::string(kBlock - 1, 'a'), "b"}},
        {"a long line, then short ones", longLine + "\nnext\r\nlast", {longLine, "next", "last"}},
        {"a long line ending where a block ends", std::string(kBlock * 2, 'X') + "\nz",
            {std::string(kBlock * 2, 'X'), "z"}},
        {"crlf split where a block ends inside a long line", std::string(kBlock * 2 - 1, 'a') + "\r\nb",
            {std::string(kBlock * 2 - 1, 'a'), "b"}},
        {"exactly two blocks", std::string(kBlock * 2, 'X'), {std::string(kBlock * 2, 'X')}},
        {"short lines over three blocks", shortLines, shortLinesRead},
    };
    TempDir dir;
    // Read through the cache and streamed, into a line buffer as it comes and into one with
    // room made, as the run makes room for its longest line: exactly the file's size,
    // or a block more. The lines must be the same every way.
    const struct {
        const char* name;
        std::optional<std::size_t> roomBeyondFile;
    } buffers[] = {{"", std::nullopt}, {", room for the file", 0}, {", room to spare", kBlock}};
    for (const auto& [mode, modeName] : {std::pair{ReadMode::Buffered, ""}, {ReadMode::Streaming, ", streamed"}}) {
        for (const auto& buffer : buffers) {
            const bool reserved = buffer.roomBeyondFile.has_value();
            for (const ReadCase& c : cases) {
                const std::string name = c.name + std::string(buffer.name) + modeName;
                const auto path = dir / "f.txt";
                writeFile(path, c.content);
                TestFile file;
                ASSERT_FALSE(file.openForInput(test::systemPath(path), mode)) << name;
                std::vector<std::string> lines;
                std::string line;
                std::string_view view;
                if (reserved)
                    line.resize(c.content.size() + *buffer.roomBeyondFile);
                const std::string room = line;
                for (auto atEnd = file.atEnd(); atEnd && !*atEnd; atEnd = file.atEnd()) {
                    ASSERT_FALSE(file.readLine(line, view)) << name;
                    lines.emplace_back(view);
                }
                EXPECT_TRUE(lines == c.lines) << name << ": read " << shown(lines) << ", written " << shown(c.lines);
                if (reserved) {
                    EXPECT_EQ(line.size(), room.size()) << name << ": a buffer with room must not be regrown";
                }
                EXPECT_EQ(file.readLine(line, view), Errc::pastEndOfFile) << name;
                EXPECT_FALSE(file.close()) << name;
            }
        }
    }
}

TEST(TestFile, CallsOutOfTurnFailAndTouchNothing)
{
    TempDir dir;
    const SystemPath path = test::systemPath(dir / "f.txt");
    const SystemPath missing = test::systemPath(dir / "missing.txt");
    // Long enough that a streamed read has the next block on its way.
    const SystemPath blocks = test::systemPath(dir / "blocks.txt");
    writeFile(dir / "blocks.txt", std::string(kBlock * 3, 'X') + "\n");
    std::string line;
    std::string_view view;
    // The calls a case makes in turn; what the last one gives is what counts.
    using Call = std::function<std::error_code(TestFile&)>;
    const Call output = [&](TestFile& f) { return f.openForOutput(path); };
    const Call input = [&](TestFile& f) { return f.openForInput(path); };
    const Call inputMissing = [&](TestFile& f) { return f.openForInput(missing); };
    const Call streamBlocks = [&](TestFile& f) { return f.openForInput(blocks, ReadMode::Streaming); };
    const Call write = [](TestFile& f) { return f.writeItem("X"); };
    const Call writeNothing = [](TestFile& f) { return f.writeItem(""); };
    const Call writeFromMemory = [](TestFile& f) { return f.writeFrom("X", 1); };
    const Call writePending = [](TestFile& f) { return f.writeItem("pending"); };
    const Call read = [&](TestFile& f) { return f.readLine(line, view); };
    const Call atEnd = [](TestFile& f) { return f.atEnd().error(); };
    const Call close = [](TestFile& f) { return f.close(); };
    const Call reserve = [](TestFile& f) { return f.reserve(); };
    const Call abandon = [](TestFile& f) {
        f.abandon();
        return std::error_code{};
    };
    // An error unless the condition holds.
    const auto unless = [](bool holds) { return holds ? std::error_code{} : make_error_code(Errc::pastEndOfFile); };
    const Call inputAtItsEnd = [&](TestFile& f) {
        if (auto error = f.openForInput(path))
            return error;
        return unless(f.atEnd().value());
    };
    const Call readAllBlocks = [&](TestFile& f) {
        (void)f.readLine(line, view);
        return unless(view == std::string(kBlock * 3, 'X'));
    };
    const struct {
        const char* name;
        std::vector<Call> calls;
        std::error_condition expected;
    } cases[] = {
        {"write to a closed file", {write}, is(Errc::fileNotOpen)},
        {"write nothing to a closed file", {writeNothing}, is(Errc::fileNotOpen)},
        {"write from memory to a closed file", {writeFromMemory}, is(Errc::fileNotOpen)},
        {"write nothing to an output file", {output, writeNothing}, {}},
        {"write after a close", {output, close, write}, is(Errc::fileNotOpen)},
        {"write after the file was abandoned", {output, abandon, write}, is(Errc::fileNotOpen)},
        {"write nothing to an input file", {input, writeNothing}, is(Errc::fileNotOpen)},
        {"reserve, then open", {reserve, output}, {}},
        {"read from a closed file", {read}, is(Errc::fileNotOpen)},
        {"end test on a closed file", {atEnd}, is(Errc::fileNotOpen)},
        {"close a closed file", {close}, is(Errc::fileNotOpen)},
        {"an open abandons the file open before, unforced", {output, writePending, inputAtItsEnd}, {}},
        {"read from an output file", {output, read}, is(Errc::fileNotOpen)},
        {"write to an input file", {input, write}, is(Errc::fileNotOpen)},
        {"write from memory to an input file", {input, writeFromMemory}, is(Errc::fileNotOpen)},
        {"a failed open leaves the file closed", {inputMissing, close}, is(Errc::fileNotOpen)},
        {"open a missing file for input", {inputMissing}, std::errc::no_such_file_or_directory},
        {"close while the next block is on its way", {streamBlocks, atEnd, close}, {}},
        {"left open while the next block is on its way", {streamBlocks, atEnd}, {}},
        {"abandon while the next block is on its way, then read again",
            {streamBlocks, atEnd, abandon, streamBlocks, readAllBlocks}, {}},
    };
    for (const auto& c : cases) {
        writeFile(dir / "f.txt", "");
        TestFile file;
        std::error_code last;
        for (const Call& call : c.calls)
            last = call(file);
        EXPECT_EQ(last, c.expected) << c.name;
    }
}

// Over the null layer the same calls name no file, and a reader finds as many bytes as
// were written, with the lines the layer's blocks hold: as many as a file of those
// bytes would have.
TEST(TestFile, OverTheNullLayerTouchesNoFileAndReadsBackWhatWasWritten)
{
    TempDir dir;
    const SystemPath path = test::systemPath(dir / "f.txt");
    std::string lines;
    while (lines.size() < 2 * kBlock)
        lines += std::string(1024, 'L') + "\n";
    const struct {
        const char* name;
        std::size_t bytes;
        int lines; // as a reader counts them
    } cases[] = {
        {"nothing", 0, 0},
        {"part of a block", 5 * 1025, 5},
        // The same block is found again, its last line joined to the next block's first.
        {"three blocks and a part", 3 * kBlock + 1025, 3 * (kBlock / 1025) + 1},
    };
    for (const auto& c : cases) {
        for (const auto& [mode, readMode] :
            {std::pair{WriteMode::Buffered, ReadMode::Buffered}, {WriteMode::Streaming, ReadMode::Streaming}}) {
            TestFile file(std::make_unique<NullFileLayer>(lines));
            ASSERT_FALSE(file.openForOutput(path, mode)) << c.name;
            for (std::size_t at = 0; at < c.bytes; at += kBlock)
                ASSERT_FALSE(file.writeFrom(lines.data(), std::min(kBlock, c.bytes - at))) << c.name;
            ASSERT_FALSE(file.close()) << c.name;
            EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << c.name;

            ASSERT_FALSE(file.openForInput(path, readMode)) << c.name;
            int count = 0;
            std::string line;
            std::string_view view;
            for (auto atEnd = file.atEnd(); atEnd && !*atEnd; atEnd = file.atEnd()) {
                ASSERT_FALSE(file.readLine(line, view)) << c.name;
                ++count;
            }
            EXPECT_EQ(count, c.lines) << c.name;
            EXPECT_FALSE(file.close()) << c.name;
        }
    }
}

} // namespace
} // namespace quvo::runtime

// SPDX-License-Identifier: MIT
// Numbered files: what is written is what the file holds, lines come back as written,
// and the numbers behave as a small table of open files.
#include "runtime/numbered_files.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quvo::runtime {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

constexpr std::size_t kBlock = NumberedFiles::kBlockSize;

std::error_condition is(Errc e)
{
    return make_error_code(e).default_error_condition();
}

TEST(NumberedFiles, WritesItemsBareAndLinesWithALineEnd)
{
    const std::string payload(1024, 'X');
    struct WriteCase {
        const char* name;
        std::function<void(NumberedFiles&)> write;
        std::string expected;
    };
    const WriteCase cases[] = {
        {"nothing", [](NumberedFiles&) {}, ""},
        {"items run together",
            [](NumberedFiles& f) {
                for (int i = 0; i < 3; ++i)
                    (void)f.writeItem(1, "X");
            },
            "XXX"},
        {"a line", [](NumberedFiles& f) { (void)f.writeLine(1, "ab"); }, "ab\n"},
        {"items filling exactly one block",
            [](NumberedFiles& f) {
                for (std::size_t i = 0; i < kBlock; ++i)
                    (void)f.writeItem(1, "X");
            },
            std::string(kBlock, 'X')},
        {"lines straddling blocks",
            [&](NumberedFiles& f) {
                for (int i = 0; i < 2100; ++i)
                    (void)f.writeLine(1, payload);
            },
            [&] {
                std::string s;
                for (int i = 0; i < 2100; ++i)
                    s += payload + "\n";
                return s;
            }()},
        {"a reserve while open keeps what is pending",
            [](NumberedFiles& f) {
                (void)f.writeItem(1, "ab");
                (void)f.reserve(1);
                (void)f.writeItem(1, "c");
            },
            "abc"},
        {"an item that fills the block to the brim, then more",
            [](NumberedFiles& f) {
                (void)f.writeItem(1, std::string(kBlock - 1, 'a'));
                (void)f.writeItem(1, "b");
                (void)f.writeItem(1, "c");
            },
            std::string(kBlock - 1, 'a') + "bc"},
        {"an item larger than a block",
            [](NumberedFiles& f) { (void)f.writeItem(1, std::string(kBlock * 2 + 3, 'y')); },
            std::string(kBlock * 2 + 3, 'y')},
    };
    TempDir dir;
    for (const WriteMode mode : {WriteMode::Buffered, WriteMode::Streaming}) {
        for (const WriteCase& c : cases) {
            NumberedFiles files;
            const SystemPath path = test::systemPath(dir / "f.txt");
            ASSERT_FALSE(files.openForOutput(1, path, mode)) << c.name;
            c.write(files);
            ASSERT_FALSE(files.close(1)) << c.name;
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

TEST(NumberedFiles, ReadsLinesEndedByLfOrCrLf)
{
    const std::string longLine(kBlock * 2 + 5, 'X');
    // "\r\n" split across the first block boundary.
    const std::string splitCrLf = std::string(kBlock - 1, 'a') + "\r\nb";
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
        {"short lines over three blocks",
            [] {
                std::string s;
                for (int i = 0; s.size() < kBlock * 3; ++i)
                    s += std::to_string(i) + "\n";
                return s;
            }(),
            [] {
                std::vector<std::string> lines;
                for (std::size_t size = 0; size < kBlock * 3; size += lines.back().size() + 1)
                    lines.push_back(std::to_string(lines.size()));
                return lines;
            }()},
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
                NumberedFiles files;
                ASSERT_FALSE(files.openForInput(1, test::systemPath(path), mode)) << name;
                std::vector<std::string> lines;
                std::string line;
                std::string_view view;
                if (reserved)
                    line.resize(c.content.size() + *buffer.roomBeyondFile);
                const std::string room = line;
                for (auto atEnd = files.atEnd(1); atEnd && !*atEnd; atEnd = files.atEnd(1)) {
                    ASSERT_FALSE(files.readLine(1, line, view)) << name;
                    lines.emplace_back(view);
                }
                EXPECT_TRUE(lines == c.lines) << name << ": read " << shown(lines) << ", written " << shown(c.lines);
                if (reserved) {
                    EXPECT_EQ(line.size(), room.size()) << name << ": a buffer with room must not be regrown";
                }
                EXPECT_EQ(files.readLine(1, line, view), Errc::pastEndOfFile) << name;
                EXPECT_FALSE(files.close(1)) << name;
            }
        }
    }
}

TEST(NumberedFiles, NumbersBehaveAsATableOfOpenFiles)
{
    TempDir dir;
    const SystemPath path = test::systemPath(dir / "f.txt");
    const SystemPath missing = test::systemPath(dir / "missing.txt");
    // Long enough that a streamed read has the next block on its way.
    const SystemPath blocks = test::systemPath(dir / "blocks.txt");
    writeFile(dir / "blocks.txt", std::string(kBlock * 3, 'X') + "\n");
    std::string line;
    std::string_view view;
    struct NumberCase {
        const char* name;
        std::function<std::error_code(NumberedFiles&)> act;
        std::error_condition expected;
    };
    const NumberCase cases[] = {
        {"number 0", [&](NumberedFiles& f) { return f.openForOutput(0, path); }, is(Errc::badFileNumber)},
        {"number past the table",
            [&](NumberedFiles& f) { return f.openForInput(NumberedFiles::kLastNumber + 1, path); },
            is(Errc::badFileNumber)},
        {"write to a closed number", [](NumberedFiles& f) { return f.writeItem(1, "X"); }, is(Errc::fileNotOpen)},
        {"write nothing to a closed number", [](NumberedFiles& f) { return f.writeItem(1, ""); },
            is(Errc::fileNotOpen)},
        {"write nothing to an output file",
            [&](NumberedFiles& f) {
                (void)f.openForOutput(1, path);
                return f.writeItem(1, "");
            },
            {}},
        {"write after a close",
            [&](NumberedFiles& f) {
                (void)f.openForOutput(1, path);
                (void)f.close(1);
                return f.writeItem(1, "X");
            },
            is(Errc::fileNotOpen)},
        {"write after all numbers were abandoned",
            [&](NumberedFiles& f) {
                (void)f.openForOutput(1, path);
                f.abandonAll();
                return f.writeItem(1, "X");
            },
            is(Errc::fileNotOpen)},
        {"write nothing to an input file",
            [&](NumberedFiles& f) {
                (void)f.openForInput(1, path);
                return f.writeItem(1, "");
            },
            is(Errc::fileNotOpen)},
        {"reserve number 0", [](NumberedFiles& f) { return f.reserve(0); }, is(Errc::badFileNumber)},
        {"reserve past the table", [](NumberedFiles& f) { return f.reserve(NumberedFiles::kLastNumber + 1); },
            is(Errc::badFileNumber)},
        {"reserve a closed number, then open it",
            [&](NumberedFiles& f) {
                (void)f.reserve(2);
                return f.openForOutput(2, path);
            },
            {}},
        {"read from a closed number", [&](NumberedFiles& f) { return f.readLine(1, line, view); },
            is(Errc::fileNotOpen)},
        {"end test on a closed number", [](NumberedFiles& f) { return f.atEnd(1).error(); }, is(Errc::fileNotOpen)},
        {"close a closed number", [](NumberedFiles& f) { return f.close(1); }, is(Errc::fileNotOpen)},
        {"open a number in use",
            [&](NumberedFiles& f) {
                (void)f.openForOutput(1, path);
                return f.openForInput(1, path);
            },
            is(Errc::fileNumberInUse)},
        {"read from an output file",
            [&](NumberedFiles& f) {
                (void)f.openForOutput(1, path);
                return f.readLine(1, line, view);
            },
            is(Errc::fileNotOpen)},
        {"write to an input file",
            [&](NumberedFiles& f) {
                (void)f.openForInput(1, path);
                return f.writeItem(1, "X");
            },
            is(Errc::fileNotOpen)},
        {"a failed open leaves the number free",
            [&](NumberedFiles& f) {
                (void)f.openForInput(1, missing);
                return f.openForOutput(1, path);
            },
            {}},
        {"close frees the number",
            [&](NumberedFiles& f) {
                (void)f.openForOutput(1, path);
                (void)f.close(1);
                return f.openForInput(1, path);
            },
            {}},
        {"two numbers at once",
            [&](NumberedFiles& f) {
                (void)f.openForOutput(1, path);
                return f.openForInput(2, path);
            },
            {}},
        {"open a missing file for input", [&](NumberedFiles& f) { return f.openForInput(1, missing); },
            std::errc::no_such_file_or_directory},
        {"close while the next block is on its way",
            [&](NumberedFiles& f) {
                (void)f.openForInput(1, blocks, ReadMode::Streaming);
                (void)f.atEnd(1);
                return f.close(1);
            },
            {}},
        {"left open while the next block is on its way",
            [&](NumberedFiles& f) {
                (void)f.openForInput(1, blocks, ReadMode::Streaming);
                return f.atEnd(1).error();
            },
            {}},
        {"abandon while the next block is on its way, then read again",
            [&](NumberedFiles& f) {
                (void)f.openForInput(1, blocks, ReadMode::Streaming);
                (void)f.atEnd(1);
                f.abandonAll();
                (void)f.openForInput(1, blocks, ReadMode::Streaming);
                (void)f.readLine(1, line, view);
                return view == std::string(kBlock * 3, 'X') ? std::error_code{} : make_error_code(Errc::pastEndOfFile);
            },
            {}},
    };
    for (const NumberCase& c : cases) {
        writeFile(dir / "f.txt", "line\n");
        NumberedFiles files;
        EXPECT_EQ(c.act(files), c.expected) << c.name;
    }
}

} // namespace
} // namespace quvo::runtime

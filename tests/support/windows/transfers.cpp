// SPDX-License-Identifier: MIT
// Every ReadFile and WriteFile the program's own code calls goes through here: a MinGW
// program calls an imported function through its __imp_ pointer, which this file
// defines, so the linker takes it instead of kernel32's (the system's own DLLs, the C
// runtime among them, keep calling kernel32 directly). Each call is counted and checked,
// then handed on to kernel32's function.
#include "tests/support/windows/transfers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <windows.h>

#include <winternl.h>

namespace quvo::test {
namespace {

// Windows asks unbuffered transfers for whole logical sectors; 4096 bytes is the sector
// of the newest drives, and the most any common drive asks.
constexpr std::uint64_t kSector = 4096;

struct Counters {
    std::atomic<std::uint64_t> reads{0};
    std::atomic<std::uint64_t> unbufferedReads{0};
    std::atomic<std::uint64_t> writes{0};
    std::atomic<std::uint64_t> unbufferedWrites{0};
    std::atomic<std::uint64_t> writtenThrough{0};
    std::atomic<std::uint64_t> refused{0};
};

Counters& counters()
{
    static Counters all;
    return all;
}

// How a handle was opened, as the system keeps it; other than a file on a disk (a
// console, a pipe) it is not counted.
struct Opened {
    bool disk = false;
    bool unbuffered = false;
    bool writtenThrough = false;
};

Opened openedAs(HANDLE file)
{
    IO_STATUS_BLOCK io{};
    FILE_MODE_INFORMATION mode{};
    if (::GetFileType(file) != FILE_TYPE_DISK
        || ::NtQueryInformationFile(file, &io, &mode, sizeof mode, FileModeInformation) < 0)
        return {};
    return {.disk = true,
        .unbuffered = (mode.Mode & FILE_NO_INTERMEDIATE_BUFFERING) != 0,
        .writtenThrough = (mode.Mode & FILE_WRITE_THROUGH) != 0};
}

// The offset a transfer names, or the file's own position where it names none.
std::uint64_t offsetOf(HANDLE file, const OVERLAPPED* overlapped)
{
    if (overlapped != nullptr)
        return (std::uint64_t{overlapped->OffsetHigh} << 32) | overlapped->Offset;
    LARGE_INTEGER position{};
    ::SetFilePointerEx(file, LARGE_INTEGER{}, &position, FILE_CURRENT);
    return static_cast<std::uint64_t>(position.QuadPart);
}

// Counts the transfer; false when Windows would refuse it.
bool admit(HANDLE file, const void* data, DWORD size, const OVERLAPPED* overlapped, bool writing)
{
    const Opened opened = openedAs(file);
    if (!opened.disk)
        return true;
    Counters& all = counters();
    ++(writing ? all.writes : all.reads);
    if (writing && opened.writtenThrough)
        ++all.writtenThrough;
    if (!opened.unbuffered)
        return true;
    ++(writing ? all.unbufferedWrites : all.unbufferedReads);
    const bool aligned = reinterpret_cast<std::uintptr_t>(data) % kSector == 0 && size % kSector == 0
        && offsetOf(file, overlapped) % kSector == 0;
    if (aligned)
        return true;
    ++all.refused;
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

template <class Function>
Function kernel32(const char* name)
{
    // Through void (*)(), which function pointers of any type convert to and from.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name)));
}

BOOL WINAPI checkedReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD got, LPOVERLAPPED overlapped)
{
    static const auto read = kernel32<decltype(&::ReadFile)>("ReadFile");
    if (!admit(file, data, size, overlapped, /*writing=*/false))
        return FALSE;
    return read(file, data, size, got, overlapped);
}

BOOL WINAPI checkedWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    static const auto write = kernel32<decltype(&::WriteFile)>("WriteFile");
    if (!admit(file, data, size, overlapped, /*writing=*/true))
        return FALSE;
    return write(file, data, size, written, overlapped);
}

// A refused transfer is a fault of the test that made it, even where the code goes on
// through the cache afterwards: its figures would not be the drive's.
class RefusalsFailTheTest final : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { before_ = counters().refused; }
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        const std::uint64_t refused = counters().refused - before_;
        if (refused > 0)
            ADD_FAILURE() << refused << " unbuffered transfer(s) not in whole " << kSector
                          << "-byte sectors, which Windows refuses";
    }

    std::uint64_t before_ = 0;
};

[[maybe_unused]] const bool listening = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new RefusalsFailTheTest);
    return true;
}();

} // namespace

Transfers transfersSoFar()
{
    const Counters& all = counters();
    return {all.reads, all.unbufferedReads, all.writes, all.unbufferedWrites, all.writtenThrough, all.refused};
}

} // namespace quvo::test

// The import pointers the program's calls go through.
extern "C" {
decltype(&::ReadFile) __imp_ReadFile = quvo::test::checkedReadFile;
decltype(&::WriteFile) __imp_WriteFile = quvo::test::checkedWriteFile;
}

// SPDX-License-Identifier: MIT
// Holds a file open for a while, sharing its reading and writing but not its removal, as
// a virus scanner or a sync client may hold a file it has just seen appear. Says "held"
// on its standard output once it holds it.
//
// Usage: hold_file FILE MILLISECONDS
#include <cstdio>
#include <cwchar>
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fputs("usage: hold_file FILE MILLISECONDS\n", stderr);
        return 2;
    }
    const HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_file: cannot open the file (error %lu)\n", ::GetLastError());
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    ::Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    ::CloseHandle(file);
    return 0;
}

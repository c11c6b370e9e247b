// SPDX-License-Identifier: MIT
// The kernel handles the runtime's Windows files open, each in an owner that closes it
// once: files, devices and directories, and the token, events, threads and mutex beside
// them, in FileHandle (CloseHandle closes any of them); a directory search in FileSearch.
// Private to runtime/windows/.
#pragma once

#include "runtime/platform.h"

#include <cstdint>
#include <windows.h>

namespace quvo::runtime {

static_assert(FileHandle::kNone == static_cast<std::intptr_t>(-1), "INVALID_HANDLE_VALUE");

inline HANDLE handleOf(const FileHandle& handle)
{
    return reinterpret_cast<HANDLE>(handle.get());
}

// What a call that opens something returned: CreateFileW gives INVALID_HANDLE_VALUE when
// it fails, CreateEventW and the like NULL; both are no handle.
inline FileHandle owned(HANDLE handle)
{
    return FileHandle(handle == nullptr ? FileHandle::kNone : reinterpret_cast<std::intptr_t>(handle));
}

// A search FindFirstFileExW began, ended (FindClose) when it goes.
class FileSearch {
public:
    explicit FileSearch(HANDLE search)
        : search_(search)
    {
    }
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;
    ~FileSearch()
    {
        if (found())
            ::FindClose(search_);
    }

    bool found() const { return search_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE search_;
};

} // namespace quvo::runtime

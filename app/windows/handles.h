// SPDX-License-Identifier: MIT
// Owners of the Win32 handles the window holds: each frees its handle once, when it
// goes, so that no window, font, brush, icon or menu is freed by hand.
#pragma once

#include <windows.h>

#include <utility>

namespace quvo::app {

// Owns one handle and frees it with Free, as std::unique_ptr owns a pointer: moves,
// never copies.
template <class Handle, class Free>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) noexcept
        : handle_(handle)
    {
    }
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept
        : handle_(other.release())
    {
    }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    // Gives the handle up without freeing it: it was freed elsewhere, or passed on.
    Handle release() noexcept { return std::exchange(handle_, nullptr); }
    void reset(Handle handle = nullptr) noexcept
    {
        if (handle_ != nullptr)
            Free{}(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

struct DestroyWindowFree {
    void operator()(HWND window) const noexcept { ::DestroyWindow(window); }
};
struct DeleteObjectFree {
    void operator()(HGDIOBJ object) const noexcept { ::DeleteObject(object); }
};
struct DestroyIconFree {
    void operator()(HICON icon) const noexcept { ::DestroyIcon(icon); }
};
struct DestroyMenuFree {
    void operator()(HMENU menu) const noexcept { ::DestroyMenu(menu); }
};
struct DestroyAcceleratorTableFree {
    void operator()(HACCEL table) const noexcept { ::DestroyAcceleratorTable(table); }
};
struct GlobalFreeFree {
    void operator()(HGLOBAL memory) const noexcept { ::GlobalFree(memory); }
};

using UniqueWindow = UniqueHandle<HWND, DestroyWindowFree>;
using UniqueFont = UniqueHandle<HFONT, DeleteObjectFree>;
using UniqueBrush = UniqueHandle<HBRUSH, DeleteObjectFree>;
using UniqueIcon = UniqueHandle<HICON, DestroyIconFree>;
using UniqueMenu = UniqueHandle<HMENU, DestroyMenuFree>;
using UniqueAccelerators = UniqueHandle<HACCEL, DestroyAcceleratorTableFree>;
using UniqueGlobal = UniqueHandle<HGLOBAL, GlobalFreeFree>;

// A window's device context for as long as it lives, with one object selected into it
// and the previous one put back at the end.
class WindowDc {
public:
    explicit WindowDc(HWND window, HGDIOBJ select = nullptr) noexcept
        : window_(window)
        , dc_(::GetDC(window))
        , previous_(select != nullptr && dc_ != nullptr ? ::SelectObject(dc_, select) : nullptr)
    {
    }
    ~WindowDc()
    {
        if (previous_ != nullptr)
            ::SelectObject(dc_, previous_);
        if (dc_ != nullptr)
            ::ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
    HGDIOBJ previous_;
};

} // namespace quvo::app

// SPDX-License-Identifier: MIT
// A window's client area as the screen shows it, read back for tests and screenshots,
// and written as PNG.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace quvo::tools {

struct WindowImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, row by row from the top

    // The pixel at (x, y) as RGB() gives a colour.
    COLORREF at(int x, int y) const
    {
        const std::uint32_t p
            = pixels.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x));
        return RGB((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff);
    }
};

// The client area, children included, copied from the screen: what is on it, so the
// window must be shown, painted and in front. Empty if it cannot be read.
WindowImage captureClient(HWND window);

// 8-bit RGB, not interlaced.
bool writePng(const WindowImage& image, const std::filesystem::path& file);

} // namespace quvo::tools

// SPDX-License-Identifier: MIT
// The window program's resources on Windows, read back from a program linked with
// app/quvo-diskspeed.rc: the icon in 16 and 32 pixels, and the version record 1.0.0.0.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>
#include <windows.h>

namespace {

#pragma pack(push, 2)
// An icon group as the resource compiler stores it: a header and one entry per image.
struct IconGroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct IconGroup {
    WORD reserved, type, count;
    IconGroupEntry entries[1];
};
#pragma pack(pop)

const void* resource(LPCWSTR name, LPCWSTR type, DWORD& size)
{
    const HRSRC found = ::FindResourceW(nullptr, name, type);
    if (found == nullptr)
        return nullptr;
    size = ::SizeofResource(nullptr, found);
    return ::LockResource(::LoadResource(nullptr, found));
}

TEST(ProgramResources, TheIconComesIn16And32PixelsAndTheVersionIs1000)
{
    DWORD size = 0;
    const auto* icons = static_cast<const IconGroup*>(resource(L"IDI_ICON1", MAKEINTRESOURCEW(14), size));
    ASSERT_NE(icons, nullptr) << "no icon group IDI_ICON1";
    std::vector<int> widths;
    for (WORD i = 0; i < icons->count; ++i)
        widths.push_back(icons->entries[i].width);
    std::sort(widths.begin(), widths.end());
    EXPECT_EQ(widths, (std::vector<int>{16, 32}));

    const auto* version = static_cast<const BYTE*>(resource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16), size));
    ASSERT_NE(version, nullptr) << "no version record";
    // VS_VERSIONINFO: its fixed part follows the key L"VS_VERSION_INFO", aligned to 32 bits.
    const BYTE* end = version + size;
    const auto* fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(std::search(version, end,
        reinterpret_cast<const BYTE*>("\xBD\x04\xEF\xFE"), reinterpret_cast<const BYTE*>("\xBD\x04\xEF\xFE") + 4));
    ASSERT_NE(reinterpret_cast<const BYTE*>(fixed), end) << "no fixed file information";
    EXPECT_EQ(fixed->dwFileVersionMS, 0x0001'0000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x0001'0000u);
}

} // namespace

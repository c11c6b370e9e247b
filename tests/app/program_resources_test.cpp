// SPDX-License-Identifier: MIT
// The two Windows programs as the system reads them: each a single .exe that needs no
// DLL beside it, with its version record (1.0.0.0, "1.00") and its manifest; the window
// with its icon in 16 and 32 pixels. The programs are read as built, from the build
// tree beside the tests' folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>
#include <windows.h>

namespace {

namespace fs = std::filesystem;

struct Program {
    const wchar_t* file;
    bool window;
};
const Program kPrograms[] = {{L"quvo-diskspeed.exe", true}, {L"quvo-diskspeed-cli.exe", false}};

fs::path programPath(const wchar_t* file)
{
    wchar_t self[MAX_PATH]{};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path() / QUVO_PROGRAMS_FROM_TESTS / file;
}

// The program mapped as an image for reading, never run.
class Mapped {
public:
    explicit Mapped(const fs::path& path)
        : module_(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE))
    {
    }
    ~Mapped()
    {
        if (module_ != nullptr)
            ::FreeLibrary(module_);
    }
    Mapped(const Mapped&) = delete;
    Mapped& operator=(const Mapped&) = delete;

    HMODULE module() const { return module_; }
    // The image's first byte: the handle of a mapped data file has its low bits set.
    const BYTE* base() const { return reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module_) & ~3ULL); }

    std::string resource(LPCWSTR name, LPCWSTR type) const
    {
        const HRSRC found = ::FindResourceW(module_, name, type);
        if (found == nullptr)
            return {};
        const auto* data = static_cast<const char*>(::LockResource(::LoadResource(module_, found)));
        return data == nullptr ? std::string() : std::string(data, ::SizeofResource(module_, found));
    }

    // The DLLs its import table names.
    std::vector<std::string> imports() const
    {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base());
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base() + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        std::vector<std::string> names;
        for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base() + directory.VirtualAddress);
             directory.VirtualAddress != 0 && entry->Name != 0; ++entry)
            names.emplace_back(reinterpret_cast<const char*>(base() + entry->Name));
        return names;
    }

private:
    HMODULE module_;
};

std::wstring versionString(const std::vector<BYTE>& record, const wchar_t* name)
{
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
    if (!::VerQueryValueW(record.data(), path.c_str(), &value, &length) || length == 0)
        return {};
    return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

TEST(ProgramFiles, EachIsOneExeWithItsVersionAndManifest)
{
    wchar_t system[MAX_PATH]{};
    ::GetSystemDirectoryW(system, MAX_PATH);
    for (const Program& program : kPrograms) {
        const fs::path path = programPath(program.file);
        SCOPED_TRACE(path.string());
        const Mapped mapped(path);
        ASSERT_NE(mapped.module(), nullptr) << "not built, or no program";

        // Statically linked: every DLL it loads is the system's own.
        const std::vector<std::string> imports = mapped.imports();
        EXPECT_FALSE(imports.empty());
        for (const std::string& dll : imports)
            EXPECT_TRUE(fs::exists(fs::path(system) / dll)) << dll << " is not a system DLL";

        std::vector<BYTE> record(::GetFileVersionInfoSizeW(path.c_str(), nullptr));
        ASSERT_FALSE(record.empty()) << "no version record";
        ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(::VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(fixed->dwFileVersionMS, 0x0001'0000u);
        EXPECT_EQ(fixed->dwFileVersionLS, 0u);
        EXPECT_EQ(fixed->dwProductVersionMS, 0x0001'0000u);
        EXPECT_EQ(fixed->dwProductVersionLS, 0u);
        EXPECT_EQ(versionString(record, L"FileVersion"), L"1.00");
        EXPECT_EQ(versionString(record, L"ProductVersion"), L"1.00");
        EXPECT_EQ(versionString(record, L"OriginalFilename"), program.file);
        EXPECT_EQ(versionString(record, L"ProductName"), L"Quvo磁盘速度测试");

        const std::string manifest = mapped.resource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
        ASSERT_FALSE(manifest.empty()) << "no manifest";
        const auto says = [&](const char* text) { return manifest.find(text) != std::string::npos; };
        EXPECT_TRUE(says(R"(level="asInvoker")"));
        EXPECT_TRUE(says("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}")) << "Windows 10 and 11";
        EXPECT_TRUE(says(">true</longPathAware>"));
        EXPECT_EQ(says(">PerMonitorV2, PerMonitor</dpiAwareness>"), program.window);
        EXPECT_EQ(says(R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"), program.window);
    }
}

#pragma pack(push, 2)
// An icon group as the resource compiler stores it: a header and one entry per image.
struct IconGroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct IconGroupHeader {
    WORD reserved, type, count;
};
#pragma pack(pop)

TEST(ProgramFiles, TheWindowsIconComesIn16And32Pixels)
{
    const Mapped mapped(programPath(L"quvo-diskspeed.exe"));
    ASSERT_NE(mapped.module(), nullptr);
    // The first icon group, the one Explorer shows.
    const std::string group = mapped.resource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));
    ASSERT_GE(group.size(), sizeof(IconGroupHeader)) << "no icon group 1";
    IconGroupHeader header{};
    std::memcpy(&header, group.data(), sizeof header);
    ASSERT_EQ(group.size(), sizeof header + header.count * sizeof(IconGroupEntry));
    std::vector<int> widths;
    for (WORD i = 0; i < header.count; ++i) {
        IconGroupEntry entry{};
        std::memcpy(&entry, group.data() + sizeof header + i * sizeof entry, sizeof entry);
        widths.push_back(entry.width);
    }
    std::sort(widths.begin(), widths.end());
    EXPECT_EQ(widths, (std::vector<int>{16, 32}));
}

} // namespace

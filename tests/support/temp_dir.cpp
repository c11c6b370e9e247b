// SPDX-License-Identifier: MIT
// The file helpers of every system; TempDir is each system's own (posix/, windows/).
#include "tests/support/temp_dir.h"

#include <fstream>
#include <sstream>

namespace quvo::test {

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace quvo::test

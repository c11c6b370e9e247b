// SPDX-License-Identifier: MIT
// Designations both ways on any directory name: blank-free, surviving the prefix
// rule, and naming the same directory once decoded; and decoding any text safely.
#include "bench/target.h"
#include "runtime/designation.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    const std::string decoded = quvo::runtime::directoryNamedBy(text).text();
    if (decoded.size() > text.size()
        || (decoded.find('\0') != std::string::npos && text.find('\0') == std::string::npos))
        std::abort();

    // A directory as the system names it: absolute, no NUL.
    if (text.empty() || text.front() != '/' || text.find('\0') != std::string::npos)
        return 0;
    const std::string designation = quvo::runtime::designationFor(text);
    if (designation.find_first_of(" \t\n") != std::string::npos || designation.back() != '/')
        std::abort();
    if (quvo::bench::targetPrefix(designation + " [ext4, 1.0 GB 可用]") != designation)
        std::abort();
    std::string directory = text;
    while (directory.size() > 1 && directory.back() == '/')
        directory.pop_back();
    const std::string expected = directory == "/" ? "/f" : directory + "/f";
    if ((quvo::runtime::directoryNamedBy(designation) + "f").text() != expected)
        std::abort();
    return 0;
}

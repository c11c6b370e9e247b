// SPDX-License-Identifier: MIT
// What a careless or hostile neighbour may leave at a test file's name, each made for
// real as the system makes it, and how the file layer must refuse it: the one table
// the runtime's and the run's tests go through.
#pragma once

#include "runtime/errors.h"

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quvo::test {

struct Planted {
    std::string_view id;   // a test name: letters and digits
    std::string_view name; // for people
    // Makes the thing at `at`; a link or hard link points at `outside`, a file elsewhere
    // that must stay as it is. Gives why it cannot be made here (not root, no such
    // links on this system), or the empty text.
    std::function<std::string(const std::filesystem::path& at, const std::filesystem::path& outside)> plant;
    runtime::Errc refusal; // what every operation on the name must fail with
};

// This system's things (posix/planted.cpp, windows/planted.cpp).
const std::vector<Planted>& plantedThings();

// How GoogleTest shows one in its test names and messages.
inline void PrintTo(const Planted& planted, std::ostream* out)
{
    *out << planted.name;
}

// GoogleTest's name for a parameter drawn from plantedThings().
struct PlantedId {
    template <class Info>
    std::string operator()(const Info& info) const
    {
        return std::string(info.param.id);
    }
};

} // namespace quvo::test

// SPDX-License-Identifier: MIT
// Just enough JSON to write the headless front end's report.
#pragma once

#include <string>
#include <string_view>

namespace quvo::cli {

// A JSON string literal. Bytes that are not valid UTF-8 (a path may hold them)
// become U+FFFD, so that the output always parses.
std::string jsonString(std::string_view text);

// The shortest text that reads back as the same double; null when not finite.
std::string jsonNumber(double value);

} // namespace quvo::cli

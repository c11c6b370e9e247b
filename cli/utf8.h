// SPDX-License-Identifier: MIT
// The one reading of UTF-8 in the program: the text of paths, captions and reasons.
#pragma once

#include <cstddef>
#include <string_view>

namespace quvo::cli {

struct CodePoint {
    char32_t value = 0;
    std::size_t length = 0; // bytes; 0 where no valid sequence starts
};

// The code point whose UTF-8 sequence starts at text[at]. Overlong forms, surrogates,
// values past U+10FFFF and cut-off sequences are no sequence at all.
CodePoint codePointAt(std::string_view text, std::size_t at);

} // namespace quvo::cli

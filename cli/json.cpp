// SPDX-License-Identifier: MIT
#include "cli/json.h"

#include "cli/utf8.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace quvo::cli {

std::string jsonString(std::string_view text)
{
    std::string json = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const std::size_t length = codePointAt(text, i).length;
        if (length == 0) {
            json += "\\ufffd";
            ++i;
        } else if (length > 1) {
            json.append(text.substr(i, length));
            i += length;
        } else {
            switch (c) {
            case '"': json += "\\\""; break;
            case '\\': json += "\\\\"; break;
            case '\n': json += "\\n"; break;
            case '\r': json += "\\r"; break;
            case '\t': json += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    constexpr std::string_view kHex = "0123456789abcdef";
                    json += "\\u00";
                    json += kHex[static_cast<unsigned char>(c) >> 4];
                    json += kHex[static_cast<unsigned char>(c) & 0xF];
                } else {
                    json += c;
                }
            }
            ++i;
        }
    }
    json += '"';
    return json;
}

std::string jsonNumber(double value)
{
    if (!std::isfinite(value))
        return "null";
    std::array<char, 32> buffer{};
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
    return {buffer.data(), end};
}

} // namespace quvo::cli

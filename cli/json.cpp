// SPDX-License-Identifier: MIT
#include "cli/json.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace quvo::cli {
namespace {

// The length of the valid UTF-8 sequence starting at text[i], or 0.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t codePoint = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - i < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    const bool overlong = (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (overlong || surrogate || codePoint > 0x10FFFF)
        return 0;
    return length;
}

} // namespace

std::string jsonString(std::string_view text)
{
    std::string json = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const std::size_t length = utf8SequenceLength(text, i);
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

#include "track/Text.h"

#include <algorithm>
#include <array>
#include <utility>

namespace railgrace {
namespace {

// Bytes 0x80 .. 0x9F, where Windows-1252 differs from Latin-1. The five undefined bytes keep
// their Latin-1 control characters.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

// The character that begins utf8 and its length in bytes; a length of 0 when it is no valid
// UTF-8 (a stray or overlong byte sequence, a surrogate, beyond U+10FFFF).
std::pair<char32_t, std::size_t> FirstChar(std::string_view utf8) {
    const auto lead = static_cast<std::uint8_t>(utf8[0]);
    if (lead < 0x80) return {lead, 1};
    // Length, payload bits of the lead byte, and the smallest value of that length (so that
    // overlong forms are refused).
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    const char32_t minimum = length == 4 ? 0x10000 : length == 3 ? 0x800 : 0x80;
    char32_t c = lead & (0x7Fu >> length);
    bool valid = length > 0 && lead < 0xF5 && length <= utf8.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
        const auto next = static_cast<std::uint8_t>(utf8[k]);
        valid = (next & 0xC0) == 0x80;
        c = (c << 6) | (next & 0x3Fu);
    }
    valid = valid && c >= minimum && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    return {c, valid ? length : 0};
}

}  // namespace

char32_t CharFromByte(std::uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

std::optional<std::uint8_t> ByteFromChar(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<std::uint8_t>(c);
    const auto* found = std::find(kHighControls.begin(), kHighControls.end(), c);
    if (found == kHighControls.end()) return std::nullopt;
    return static_cast<std::uint8_t>(0x80 + (found - kHighControls.begin()));
}

Text DecodeText(std::span<const std::uint8_t> bytes) {
    Text text(bytes.size(), U'\0');
    std::transform(bytes.begin(), bytes.end(), text.begin(), CharFromByte);
    return text;
}

std::string ToUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

Text FromUtf8(std::string_view utf8) {
    Text out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [c, length] = FirstChar(utf8.substr(i));
        out += length > 0 ? c : U'\uFFFD';
        i += std::max<std::size_t>(length, 1);
    }
    return out;
}

std::string EscapeControls(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [c, length] = FirstChar(utf8.substr(i));
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
        if (length > 0 && !control) {
            out.append(utf8.substr(i, length));
        } else if (length > 0 && (c == '\n' || c == '\r' || c == '\t')) {
            out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
        } else {
            // A control character by its code; a byte that is no UTF-8 by its value.
            const unsigned value =
                length > 0 ? static_cast<unsigned>(c) : static_cast<std::uint8_t>(utf8[i]);
            constexpr char kHex[] = "0123456789ABCDEF";
            out += {'\\', 'x', kHex[value >> 4], kHex[value & 0xF]};
        }
        i += std::max<std::size_t>(length, 1);
    }
    return out;
}

}  // namespace railgrace

// UTF-8 validation; the Shift-JIS converter itself is the system's (in its platform folder).
#include "platform/TextEncoding.h"

#include <cstdint>

namespace korvane {

Utf8Kind ClassifyUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    Utf8Kind kind = Utf8Kind::Ascii;
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        std::size_t length;
        std::uint32_t code;
        std::uint32_t minimum;
        if ((c & 0xE0) == 0xC0) {
            length = 2;
            code = c & 0x1F;
            minimum = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            code = c & 0x0F;
            minimum = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            code = c & 0x07;
            minimum = 0x10000;
        } else {
            return Utf8Kind::Invalid;  // a stray continuation byte, or 0xF8..0xFF
        }
        if (static_cast<std::size_t>(end - p) < length) return Utf8Kind::Invalid;
        for (std::size_t i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) return Utf8Kind::Invalid;
            code = (code << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, UTF-16 surrogates and code points past U+10FFFF are not UTF-8.
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return Utf8Kind::Invalid;
        }
        if (length >= 3) {
            kind = Utf8Kind::Wide;
        } else if (kind == Utf8Kind::Ascii) {
            kind = Utf8Kind::Narrow;
        }
        p += length;
    }
    return kind;
}

bool IsValidUtf8(std::string_view text) {
    return ClassifyUtf8(text) != Utf8Kind::Invalid;
}

std::optional<std::string> ShiftJisToUtf8(std::string_view text) {
    return ShiftJisDecoder().ToUtf8(text);
}

}  // namespace korvane

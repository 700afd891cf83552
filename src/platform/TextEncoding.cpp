// UTF-8 validation and Shift-JIS (code page 932) conversion through the C library's iconv.
#include "platform/TextEncoding.h"

#include <iconv.h>

#include <cerrno>
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

ShiftJisDecoder::ShiftJisDecoder() {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-8", "SHIFT_JIS");
    if (cd != reinterpret_cast<iconv_t>(-1)) cd_ = cd;
}

ShiftJisDecoder::~ShiftJisDecoder() {
    if (cd_) iconv_close(static_cast<iconv_t>(cd_));
}

std::optional<std::string> ShiftJisDecoder::ToUtf8(std::string_view text) const {
    if (!cd_) return std::nullopt;
    const auto cd = static_cast<iconv_t>(cd_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a failed text leaves no state behind

    // Every Shift-JIS character is one or two bytes and becomes at most three UTF-8 bytes.
    std::string out(text.size() * 3 / 2 + 4, '\0');
    char* in = const_cast<char*>(text.data());  // iconv's signature lacks the const
    std::size_t inLeft = text.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<std::size_t>(-1)) break;
        if (errno != E2BIG) return std::nullopt;  // EILSEQ or a cut-off character (EINVAL)
        const std::size_t used = out.size() - outLeft;
        out.resize(out.size() * 2);
        dst = out.data() + used;
        outLeft = out.size() - used;
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::optional<std::string> ShiftJisToUtf8(std::string_view text) {
    return ShiftJisDecoder().ToUtf8(text);
}

}  // namespace korvane

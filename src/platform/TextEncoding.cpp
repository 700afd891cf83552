// UTF-8 validation and Shift-JIS (code page 932) conversion through the C library's iconv.
#include "platform/TextEncoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace korvane {

bool IsValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
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
            return false;  // a stray continuation byte, or 0xF8..0xFF
        }
        if (static_cast<std::size_t>(end - p) < length) return false;
        for (std::size_t i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, UTF-16 surrogates and code points past U+10FFFF are not UTF-8.
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        p += length;
    }
    return true;
}

namespace {

class Converter {
  public:
    // A null `to` makes an unopened converter.
    Converter(const char* to, const char* from)
        : cd_(to ? iconv_open(to, from) : reinterpret_cast<iconv_t>(-1)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

}  // namespace

std::optional<std::string> ShiftJisToUtf8(std::string_view text) {
    Converter cp932("UTF-8", "CP932");
    Converter plain(cp932.ok() ? nullptr : "UTF-8", "SHIFT_JIS");
    const Converter& cd = cp932.ok() ? cp932 : plain;
    if (!cd.ok()) return std::nullopt;

    // Every Shift-JIS character is one or two bytes and becomes at most three UTF-8 bytes.
    std::string out(text.size() * 3 / 2 + 4, '\0');
    char* in = const_cast<char*>(text.data());  // iconv's signature lacks the const
    std::size_t inLeft = text.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd.get(), &in, &inLeft, &dst, &outLeft) != static_cast<std::size_t>(-1)) break;
        if (errno != E2BIG) return std::nullopt;  // EILSEQ or a cut-off character (EINVAL)
        const std::size_t used = out.size() - outLeft;
        out.resize(out.size() * 2);
        dst = out.data() + used;
        outLeft = out.size() - used;
    }
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace korvane

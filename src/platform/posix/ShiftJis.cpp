// Shift-JIS (code page 932) to UTF-8 through the C library's iconv.
#include "platform/TextEncoding.h"

#include <iconv.h>

#include <cerrno>

namespace korvane {

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

}  // namespace korvane

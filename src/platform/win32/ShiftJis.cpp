// Shift-JIS (code page 932) to UTF-8 through the system's own converter.
#include "platform/TextEncoding.h"

#include <windows.h>

#include <climits>

#include "platform/win32/Wide.h"

namespace korvane {

ShiftJisDecoder::ShiftJisDecoder() = default;
ShiftJisDecoder::~ShiftJisDecoder() = default;

std::optional<std::string> ShiftJisDecoder::ToUtf8(std::string_view text) const {
    if (text.empty()) return std::string();
    if (text.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), n);
    std::string out = win32::Narrow(wide);
    if (out.empty()) return std::nullopt;
    return out;
}

}  // namespace korvane

// Text encodings: the program holds UTF-8; lists made on Japanese systems come in Shift-JIS.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

enum class Utf8Kind {
    Ascii,    // no byte above 0x7F
    Narrow,   // valid UTF-8 whose characters all take one or two bytes
    Wide,     // valid UTF-8 with a character of three or four bytes (kana, kanji...)
    Invalid,  // not UTF-8
};

// Kana and kanji take three bytes in UTF-8; Shift-JIS text almost never forms such a sequence by
// chance, while two-byte ones arise from half-width katakana pairs.
Utf8Kind ClassifyUtf8(std::string_view text);
bool IsValidUtf8(std::string_view text);

// Converts many texts from code page 932 through one opened converter.
class ShiftJisDecoder {
  public:
    ShiftJisDecoder();
    ~ShiftJisDecoder();
    ShiftJisDecoder(const ShiftJisDecoder&) = delete;
    ShiftJisDecoder& operator=(const ShiftJisDecoder&) = delete;
    // Nothing when the text is not valid Shift-JIS.
    std::optional<std::string> ToUtf8(std::string_view text) const;

  private:
    void* cd_ = nullptr;  // the iconv descriptor; the header stays free of system headers
};

// Code page 932 to UTF-8; nothing when the text is not valid Shift-JIS either.
std::optional<std::string> ShiftJisToUtf8(std::string_view text);

}  // namespace korvane

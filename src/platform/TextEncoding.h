// Text encodings: the program holds UTF-8; lists made on Japanese systems come in Shift-JIS.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

bool IsValidUtf8(std::string_view text);

// Code page 932 to UTF-8; nothing when the text is not valid Shift-JIS either.
std::optional<std::string> ShiftJisToUtf8(std::string_view text);

}  // namespace korvane

// Lines of a list file and the decoding of their names, shared by every list format.
#include "files/ListLines.h"

#include <optional>
#include <utility>

namespace korvane {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

ListLines::ListLines(std::string bytes) {
    if (std::string_view(bytes).starts_with(kUtf8Bom)) bytes.erase(0, kUtf8Bom.size());
    const bool utf8 = IsValidUtf8(bytes);
    lines_.Load(std::move(bytes));
    if (utf8) return;
    shiftJis_ = true;
    for (std::size_t i = 0; i < lines_.LineCount(); ++i) {
        if (ClassifyUtf8(lines_.Line(i)) == Utf8Kind::Wide) {
            shiftJis_ = false;
            break;
        }
    }
}

std::string ListLines::Decode(std::string_view bytes) const {
    if (shiftJis_ && ClassifyUtf8(bytes) != Utf8Kind::Ascii) {
        if (std::optional<std::string> converted = decoder_.ToUtf8(bytes)) {
            return std::move(*converted);
        }
    }
    return std::string(bytes);
}

}  // namespace korvane

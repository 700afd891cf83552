// md5sum's escaping of names.
#include "files/NameEscape.h"

namespace korvane {

bool NeedsEscape(std::string_view text, bool tabs) {
    return text.find_first_of(tabs ? "\n\r\t" : "\n\r") != std::string_view::npos;
}

std::string Escaped(std::string_view text, bool tabs) {
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += tabs ? "\\t" : "\t";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

}  // namespace korvane

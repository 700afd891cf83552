// The escaping of names in line-based outputs, as md5sum writes it, shared by every such output.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// True when `text` holds a line feed or a carriage return (with `tabs`, also a TAB): written as
// it is, it would break its line apart, or its fields.
bool NeedsEscape(std::string_view text, bool tabs = false);

// `text` with "\\" for a backslash, "\n" and "\r" for the line breaks and, with `tabs`, "\t"
// for a TAB. A line that holds such a text starts with a backslash, so that a reader knows to
// undo it.
std::string Escaped(std::string_view text, bool tabs = false);

}  // namespace korvane

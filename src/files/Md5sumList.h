// The digest list in md5sum's format, for tools that read that format rather than the program's.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

class FileTable;

// One line as GNU md5sum writes it: "<digest>  <name>\n". A name holding a backslash, a line
// feed or a carriage return is escaped the way md5sum escapes it ("\\", "\n", "\r") and its
// line starts with a backslash.
// True for a digest text as the digest step writes it: 32 lower-case hex digits.
bool IsDigestText(std::string_view text);

std::string Md5sumLine(std::string_view digest, std::string_view name);

// One line for every row whose result is a digest text, named relative to `root` ("D:\") with
// '/' between folders. Rows without a digest (a read error) and rows of another drive have none.
std::string Md5sumListText(const FileTable& table, std::string_view root);

}  // namespace korvane

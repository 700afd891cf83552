// The source scan: the source drive's files into the table, depth-first, with their sizes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

class Session;

// True for a name that a drive path can carry as one segment: not empty, not "." or "..", and
// without a backslash, slash or NUL.
bool FitsDrivePath(std::string_view name);

// Walks `folder` (a drive path ending in a backslash, on any drive) and its subfolders into the
// table. What it cannot list or name is reported and kept in unlistedFolders.
void ScanFolder(Session& s, const std::string& folder);

// Decimal text with a comma between groups of three digits: 1234567 -> "1,234,567".
std::string FormatThousands(std::int64_t value);

}  // namespace korvane

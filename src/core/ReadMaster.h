// The source scan: the source drive's files into the table, depth-first, with their sizes.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

class Session;

// Walks `folder` (a drive path ending in a backslash) and its subfolders into the table.
void ScanFolder(Session& s, const std::string& folder);

// Decimal text with a comma between groups of three digits: 1234567 -> "1,234,567".
std::string FormatThousands(std::int64_t value);

}  // namespace korvane

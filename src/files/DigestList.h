// Reading a list file of the program's own format: the four-line rows its lines hold.
#pragma once

#include <string>
#include <vector>

#include "core/FileTable.h"
#include "files/ListLines.h"

namespace korvane {

// One row per complete group of four lines; the 1 to 3 lines after the last group are dropped.
// A field holding a NUL throws RunError naming the file and the line.
std::vector<FileRow> ReadFourLineList(const ListLines& lines, const std::string& path);

}  // namespace korvane

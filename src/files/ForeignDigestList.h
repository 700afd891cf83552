// Digest lists written by other programs: md5sum lines and BSD-tag lines, read by MD5読込.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/FileTable.h"

namespace korvane {

// The list's rows when `bytes` is an md5sum or BSD-tag list; nothing when it is in the
// program's own four-line format. Such a list is one whose second line is not a drive-rooted
// folder and whose first line that is neither blank nor a '#' comment is an md5sum line
// ("<32 hex> <space> <space or *><name>", GNU-escaped when it starts with '\') or a BSD-tag line
// ("MD5 (<name>) = <32 hex>"); a list of nothing but comments and blank lines is one without
// entries. Names are paths from the root of the drive `root` ("Q:\"): '/' separates folders,
// and so does '\' in lines that are not escaped (lists made on Windows); a leading "./" is
// dropped. Rows carry the lower-case digest and no size. Any other line, or a name that no
// drive path can carry, throws RunError naming the line.
std::optional<std::vector<FileRow>> ReadForeignDigestList(std::string_view bytes,
                                                          const std::string& root);

// Replaces the table with rows read from such a list; their sizes come from the disc later.
void SetRowsWithoutSizes(FileTable& table, std::vector<FileRow> rows);

}  // namespace korvane

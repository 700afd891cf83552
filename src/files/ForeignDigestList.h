// Digest lists written by other programs: md5sum lines and BSD-tag lines, read by MD5読込.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/FileTable.h"
#include "files/ListLines.h"

namespace korvane {

// The list's rows when the file is an md5sum or BSD-tag list; nothing when it is in the
// program's own four-line format. The format is judged from the whole file: the program's own
// list has a drive-rooted folder as the second line of every group of four; any other file that
// holds an md5sum line ("<32 hex> <space> <space or *><name>", GNU-escaped when it starts with
// '\') or a BSD-tag line ("MD5 (<name>) = <32 hex>") is a digest list, in which blank lines and
// '#' comments are passed over; a list of nothing but comments and blank lines is one without
// entries, and a file with neither format's lines is left to the four-line rule. Names are
// paths from the root of the drive `root` ("Q:\"): '/' separates folders, and so does '\' in
// lines that are not escaped (lists made on Windows); a leading "./" is dropped; they are
// decoded by the file's encoding (ListLines). Rows carry the lower-case digest and no size. Any
// other line of a digest list, or a name that no drive path can carry, throws RunError naming
// the line.
std::optional<std::vector<FileRow>> ReadForeignDigestList(const ListLines& lines,
                                                          const std::string& root);
std::optional<std::vector<FileRow>> ReadForeignDigestList(std::string_view bytes,
                                                          const std::string& root);

// Replaces the table with rows read from such a list; their sizes come from the disc later.
void SetRowsWithoutSizes(FileTable& table, std::vector<FileRow> rows);

}  // namespace korvane

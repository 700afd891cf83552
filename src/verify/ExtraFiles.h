// The copy's files that the table has no row for, appended as rows of their own.
#pragma once

#include <string>

namespace korvane {

class Session;

// Walks the drive `copyRoot` ("R:\") with the source scan's rules and appends one row per file
// that no row of the table names: its name, its folder on that drive, its size and the verdict
// "Extra file", and the alarm. A row names a file by its path, with its drive letter replaced
// by that of `copyRoot` when `rowsOnOtherDrive`. The file at the host path `listOnDrive`, when
// given, is the list the rows came from and no extra file. After a scan of the source, its
// folders, links, FIFOs, sockets and device nodes are compared with the copy's by kind (links
// also by target text): each one that differs gets a row of its own ("Extra folder", "Folder Not
// Found", "Link mismatch -> ...", ...) and the alarm. Rows from a list name no folders, so then
// only the copy's other entries that no row names are reported. Does nothing once an abort was
// asked for.
void AppendExtraFiles(Session& s, const std::string& copyRoot, bool rowsOnOtherDrive,
                      const std::string& listOnDrive = {});

// The verdict of a row whose file is not at `path` on the copy: "Link -> <target>" when a link
// is there (it is never followed), "File Not Found" otherwise.
std::string NoFileVerdict(Session& s, const std::string& path);

}  // namespace korvane

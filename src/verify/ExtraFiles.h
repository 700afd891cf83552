// The copy's files that the table has no row for, appended as rows of their own.
#pragma once

#include <string>

namespace korvane {

class Session;

// Walks the drive `copyRoot` ("R:\") with the source scan's rules and appends one row per file
// that no row of the table names: its name, its folder on that drive, its size and the verdict
// "Extra file", and the alarm. A row names a file by its path, with its drive letter replaced
// by that of `copyRoot` when `rowsOnOtherDrive`. The file at the host path `listOnDrive`, when
// given, is the list the rows came from and no extra file. Does nothing once an abort was asked
// for.
void AppendExtraFiles(Session& s, const std::string& copyRoot, bool rowsOnOtherDrive,
                      const std::string& listOnDrive = {});

}  // namespace korvane

// What the terminal program prints when a run is over: one line per file as md5sum -c writes
// it, one summary line, or the same as JSON objects.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/FileTable.h"
#include "files/NameEscape.h"

namespace korvane::cli {

struct RunReport {
    std::string command;     // the command panel's text
    std::string outcome;     // the outcome panel's text
    bool digestRun = false;  // calc: a row is good when it holds a digest
    std::vector<std::string> readErrors;
};

// A line that names a file holding a line feed or a carriage return would break apart, and its
// second half could read as a verdict line of its own: such a name is escaped (NeedsEscape and
// Escaped of files/NameEscape.h), behind a leading backslash.

// True when the row's result is what a good file leaves: "OK", or a digest after calc.
bool RowGood(const FileRow& row, bool digestRun);
// "D:\DIR\FILE.TXT: OK"; a digest mismatch reads "FAILED (<the table's text>)". A name that
// needs it is escaped, behind a leading backslash.
std::string RowLine(const FileRow& row);

// The report on `out`; `exitCode` goes into the JSON summary.
void PrintReport(std::FILE* out, const FileTable& table, const RunReport& report, bool quiet,
                 bool json, int exitCode);

// 0 when the run ended in success, 1 when a file is not good or anything could not be read.
int ResultCode(const FileTable& table, const RunReport& report, const char* successText);

}  // namespace korvane::cli

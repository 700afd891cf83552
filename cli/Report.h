// What the terminal program prints when a run is over: one line per file as md5sum -c writes
// it, one summary line, or the same as JSON objects.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/FileTable.h"

namespace korvane::cli {

struct RunReport {
    std::string command;     // the command panel's text
    std::string outcome;     // the outcome panel's text
    bool digestRun = false;  // calc: a row is good when it holds a digest
    std::vector<std::string> readErrors;
};

// True when the row's result is what a good file leaves: "OK", or a digest after calc.
bool RowGood(const FileRow& row, bool digestRun);
// "D:\DIR\FILE.TXT: OK"; a digest mismatch reads "FAILED (<the table's text>)".
std::string RowLine(const FileRow& row);

// The report on `out`; `exitCode` goes into the JSON summary.
void PrintReport(std::FILE* out, const FileTable& table, const RunReport& report, bool quiet,
                 bool json, int exitCode);

// 0 when the run ended in success, 1 when a file is not good or anything could not be read.
int ResultCode(const FileTable& table, const RunReport& report, const char* successText);

}  // namespace korvane::cli

// korvane-cli run as a program for the terminal tests: its exit code, its output and the
// per-file lines of that output.
#pragma once

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

#include "support/DiscImage.h"

namespace korvane::test {

struct CliRun {
    int code = -1;
    std::set<std::string> files;  // the per-file lines, drive letter cut off: ":\DIR\B.BIN: OK"
    std::string output;
};

inline std::string Program() {
    const char* program = std::getenv("KORVANE_CLI");
    return ShellQuote(program ? program : "korvane-cli");
}

// `before` goes ahead of the program on the shell's line: "cd DIR && ", "VAR=value ".
inline CliRun Cli(const std::string& args, const std::string& before = {}) {
    CliRun run;
    run.output = RunHost(before + Program() + " " + args + " 2>&1", &run.code);
    std::istringstream lines(run.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.size() > 3 && line.compare(1, 2, ":\\") == 0) run.files.insert(line.substr(1));
    }
    return run;
}

}  // namespace korvane::test

// The command line of the terminal program: subcommands, options and the usage text.
#pragma once

#include <string>
#include <vector>

namespace korvane::cli {

enum class Command { Compare, Calc, Verify, ReadTest, Drives, Help, Version };

struct Options {
    Command command = Command::Help;
    std::vector<std::string> operands;  // SOURCE, COPY, LIST as the command takes them
    std::string output;                 // calc -o LIST
    bool md5sumFormat = false;          // calc --format md5sum
    bool swap = false;                  // compare --swap
    bool sectors = false;               // compare --sectors
    std::string swapCommand;
    bool interactive = false;
    std::string tsv;
    bool quiet = false;
    bool json = false;
};

extern const char kUsage[];

// False with `error` set when the command line is not one the program takes.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

}  // namespace korvane::cli

// What the terminal program asks of the operating system: terminals, Ctrl-C, child commands,
// paths. Its twins are posix/Terminal.cpp and win32/Terminal.cpp.
#pragma once

#include <string>
#include <vector>

namespace korvane::cli {

// The arguments after the program's name, in UTF-8 whatever the system's code page: on Windows
// they are taken from the system as UTF-16, as argv holds them in the ANSI code page there.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

bool IsTerminal(int fd);
// Puts /dev/null behind standard input, output or error where one is closed, so that no file
// the run opens takes its number; standard output is opened for reading only, so that writes to
// it still fail and are reported.
void ReserveStandardStreams();
// Columns of the terminal on fd, 80 when it cannot be told.
int TerminalWidth(int fd);

// From here on SIGINT only sets a flag that the run polls; a second SIGINT ends the process.
void CatchInterrupt();
bool Interrupted();

// Waits for a line on standard input. False at its end, on an error, or when interrupted.
bool WaitForLine();

// Runs the command line through /bin/sh with its output on standard error, so that standard
// output carries only results. The exit status, or -1 when it could not run or was killed.
int RunShellCommand(const std::string& commandLine);

// The path made absolute against the current folder, for messages and result files.
std::string AbsolutePath(const std::string& path);
// The path with links and dots resolved, or empty when it does not exist.
std::string RealPath(const std::string& path);
bool IsFolder(const std::string& path);
// Where a file written to the path lands, links and dots resolved: the file if there is one,
// else the name in its resolved folder; empty when the folder is not there either.
std::string OutputTarget(const std::string& path);
// True when both paths name one existing file (the same device and inode).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace korvane::cli

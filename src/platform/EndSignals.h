// The process's session: the signals that ask a program to end (interrupt, terminate, hang-up)
// as a file to watch, the per-user runtime folder, and whether a display is there at all.
#pragma once

namespace korvane {

// From the first call on, each of those signals writes one byte to a pipe instead of ending the
// process at once; the result is the pipe's end to read from, or -1 where it cannot be made or
// the system ends a window program by its own messages instead (Windows).
// A program that watches it can end in order, removing what it made.
int EndSignalsFd();
// Empties the pipe once its bytes have been seen.
void DrainEndSignals();

// The environment variable that names the per-user runtime folder the window system's
// libraries keep their sockets and locks in, or nullptr where the system has no such folder.
// Without a login session it may be unset, and a program can name a private one of its own.
const char* RuntimeFolderVariable();

// Whether a display to show a window on is named in the environment. Always true where the
// desktop is the system's own.
bool HasDisplay();

}  // namespace korvane

// The signals that ask a program to end (interrupt, terminate, hang-up), as a file to watch.
#pragma once

namespace korvane {

// From the first call on, each of those signals writes one byte to a pipe instead of ending the
// process at once; the result is the pipe's end to read from, or -1 where it cannot be made.
// A program that watches it can end in order, removing what it made.
int EndSignalsFd();
// Empties the pipe once its bytes have been seen.
void DrainEndSignals();

}  // namespace korvane

// The terminal program's commands on disc image files: the sector comparison, and the refusal
// of the disc exchange for an image.
#pragma once

#include "Options.h"

namespace korvane::cli {

// compare --swap with an image as SOURCE: there is no disc to take out.
inline constexpr char kImageNoSwap[] =
    "an image file cannot be exchanged for the copy: compare --swap needs a disc drive as SOURCE";

// compare --sectors SOURCE IMAGE: prints the ranges that differ or could not be read and the
// image's files in them, then a summary; returns the exit status.
int CompareSectorsCommand(const Options& options);

}  // namespace korvane::cli

// The terminal program on disc image files: the refusal of the disc exchange for an image.
#pragma once

namespace korvane::cli {

// compare --swap with an image as SOURCE: there is no disc to take out.
inline constexpr char kImageNoSwap[] =
    "an image file cannot be exchanged for the copy: compare --swap needs a disc drive as SOURCE";

}  // namespace korvane::cli

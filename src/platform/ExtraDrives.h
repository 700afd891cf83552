// Folders listed as drives: the "D=/path;E=/other" list both the window and the terminal read.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace korvane {

// The environment variable that holds the list.
inline constexpr char kExtraDrivesVariable[] = "KORVANE_EXTRA_DRIVES";

// Each "L=/folder" part as an upper-case letter (C to Z) and its folder; malformed parts are
// skipped.
std::vector<std::pair<char, std::string>> ParseExtraDrives(const std::string& list);

}  // namespace korvane

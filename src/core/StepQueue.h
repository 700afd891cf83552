// The ordered step keywords a command builds, each with its done mark.
#pragma once

#include <string>
#include <vector>

namespace korvane {

struct StepEntry {
    std::string keyword;
    bool done = false;
};

using StepQueue = std::vector<StepEntry>;

namespace keyword {
inline constexpr char kMasterRead[] = "master read";
inline constexpr char kCalcMd5[] = "calc MD5";
inline constexpr char kReadTest[] = "rd test";
inline constexpr char kCompareMd5[] = "compare MD5";
inline constexpr char kCompareBin[] = "compare bin.";
inline constexpr char kExchangeDisc[] = "exchange disc";
inline constexpr char kSaveData[] = "save data";
inline constexpr char kSaveMd5sum[] = "save md5sum";
inline constexpr char kLoadData[] = "load data";
inline constexpr char kSummary[] = "kekka";
inline constexpr char kCsv[] = "csv";
}  // namespace keyword

}  // namespace korvane

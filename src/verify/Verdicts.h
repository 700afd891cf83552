// Verdict texts the comparison steps write into ResultText, byte for byte.
#pragma once

namespace korvane::verdict {

inline constexpr char kSizeMismatch[] = "Size mismatch";
// No comparison writes it any more; rows of tables saved by older versions may still hold it.
inline constexpr char kZeroSizeSkip[] = "0 size skip";
inline constexpr char kCheckingBinary[] = "checking binary...";
inline constexpr char kBinaryMismatch[] = "binary mismatch";
inline constexpr char kSourceReadError[] = " M rd err";
inline constexpr char kCopyReadError[] = " C rd err";
// A file of the copy that no row of the table names.
inline constexpr char kExtraFile[] = "Extra file";

}  // namespace korvane::verdict

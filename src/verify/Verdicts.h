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

// Entries that are no files, compared by what they are. A link is never followed; its verdict
// carries its target text after kLinkArrow.
inline constexpr char kLinkArrow[] = " -> ";
inline constexpr char kLink[] = "Link";  // a link on the copy where the source has a file
inline constexpr char kExtraFolder[] = "Extra folder";
inline constexpr char kFolderNotFound[] = "Folder Not Found";
inline constexpr char kExtraLink[] = "Extra link";
inline constexpr char kLinkNotFound[] = "Link Not Found";
inline constexpr char kLinkMismatch[] = "Link mismatch";  // with the copy's target
inline constexpr char kExtraFifo[] = "Extra FIFO";
inline constexpr char kFifoNotFound[] = "FIFO Not Found";
inline constexpr char kExtraSocket[] = "Extra socket";
inline constexpr char kSocketNotFound[] = "Socket Not Found";
inline constexpr char kExtraDevice[] = "Extra device";
inline constexpr char kDeviceNotFound[] = "Device Not Found";

}  // namespace korvane::verdict

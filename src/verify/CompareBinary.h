// Byte-for-byte comparison of a source file with its copy.
#pragma once

#include <cstddef>
#include <string>

namespace korvane {

class Session;

// Size of the blocks read from each side in turn.
inline constexpr std::size_t kCompareBlock = 1000000;

// True only when both files were read to the end of the source's size without a failed read
// and every byte was equal. The caller clears ReadFailed and CopyReadFailed first; afterwards
// they tell which side failed. Both files are opened exclusively; an open failure throws
// RunError "ファイル %s は開けません" with the path that would not open.
bool FilesEqual(Session& s, const std::string& sourcePath, const std::string& copyPath);

}  // namespace korvane

// Byte-for-byte comparison of a source file with its copy.
#pragma once

#include <cstddef>
#include <string>

namespace korvane {

class RowsAhead;
class Session;
struct CompareJob;

// Size of the blocks read from each side in turn.
inline constexpr std::size_t kCompareBlock = 1000000;

enum class Compared {
    Equal,
    Different,  // or a read failed: ReadFailed / CopyReadFailed say which side
    Aborted,    // an abort was asked for while the files were read
};

// Compares the two files block by block. Equal only when both files were read to the end of the
// source's size without a failed read and every byte was equal. The caller clears ReadFailed and
// CopyReadFailed first; afterwards they tell which side failed. Both files are opened exclusively;
// an open failure throws RunError "ファイル %s は開けません" with the path that would not open.
// Every read runs on the session's workers while the window keeps handling its messages; an abort
// stops the comparison at once, leaving a read that stalls to its worker.
// With a job of `jobs` for the row, the blocks its worker compared are taken as if read here, and
// the files are read here from where the job stopped, if it stopped short.
Compared CompareFiles(Session& s, const std::string& sourcePath, const std::string& copyPath,
                      CompareJob* job = nullptr, RowsAhead* jobs = nullptr);

// CompareFiles(...) == Compared::Equal.
bool FilesEqual(Session& s, const std::string& sourcePath, const std::string& copyPath);

}  // namespace korvane

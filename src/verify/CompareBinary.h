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
    Different,  // or a read failed
    Aborted,    // an abort was asked for while the files were read
};

struct Comparison {
    Compared outcome = Compared::Aborted;
    bool sourceFailed = false;  // a read of the source failed
    bool copyFailed = false;    // a read of the copy failed
};

// Compares the two files block by block. Equal only when both files were read to the end of the
// source's size without a failed read and every byte was equal. Both files are opened exclusively;
// an open failure throws RunError "ファイル %s は開けません" with the path that would not open.
// Every read runs on the session's workers while the window keeps handling its messages; an abort
// stops the comparison at once, leaving a read that stalls to its worker.
// With a job of `jobs` for the row, the blocks its worker compared are taken as if read here, and
// the files are read here from where the job stopped, if it stopped short.
Comparison CompareFiles(Session& s, const std::string& sourcePath, const std::string& copyPath,
                        CompareJob* job = nullptr, RowsAhead* jobs = nullptr);

// CompareFiles(...) is Compared::Equal; a side whose read failed sets ReadFailed or
// CopyReadFailed.
bool FilesEqual(Session& s, const std::string& sourcePath, const std::string& copyPath);

}  // namespace korvane

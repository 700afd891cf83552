// A row's byte comparison made ahead by a worker, from memory only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/FileSystem.h"
#include "reading/RowsAhead.h"

namespace korvane {

// One row's source and copy, both of the listed size, opened (ShareMode::Exclusive) by the
// window thread and compared by a worker in the comparison's own blocks. When it stops short,
// the comparison takes both files, what was found so far and the bytes of the block read in
// part, and goes on from there.
struct CompareJob : AheadJob {
    Ran Run(unsigned char* buffer, const std::atomic<bool>& quit) override;

    std::uint64_t size = 0;
    std::unique_ptr<File> source;  // the worker's while it runs; both closed by it once done
    std::unique_ptr<File> copy;
    bool equal = true;  // every byte compared so far was equal
    std::string sourcePartial;
    std::string copyPartial;
};

// What a worker reads into: a block of each side.
inline constexpr std::size_t kCompareJobBuffer = 2 * 1000000;
// Comparison jobs wait for a worker 64 at most, each holding two files open; files below 1,000
// bytes are compared by the row loop itself, as for digests. The opens are exclusive, so the
// rows are opened strictly in their order, large files included: a later row opened first could
// hold a hard link of an earlier row's file.
inline constexpr RowsAhead::Plan kComparePlan{kCompareJobBuffer, 64, 1000, false};

// Opens a row's source and copy for a comparison job. A row whose files do not both have the
// listed size, or are empty, gets no job: the row loop gives its verdict without comparing.
OpenedAhead OpenCompareJob(FileSystem& fs, const std::string& sourcePath,
                           const std::string& copyPath, const std::string& listedSize);

}  // namespace korvane

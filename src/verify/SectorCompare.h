// A burnt disc against the image it was burnt from, sector by sector: which sectors differ,
// which could not be read, and which files of the image they belong to.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/SectorReader.h"

namespace korvane {

// A file of the image and the sectors its data lies in.
struct SectorFile {
    std::string path;  // "\DATA\A.BIN"
    struct Span {
        std::uint64_t first = 0;
        std::uint64_t count = 0;
    };
    std::vector<Span> spans;
};

struct SectorRange {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
    std::string error;               // an unreadable range: the system's words for it
    std::vector<std::string> files;  // the image's files with data in the range
};

struct SectorOutcome {
    std::uint64_t compared = 0;        // sectors of the image looked at
    std::vector<SectorRange> differ;   // both sides read, the bytes are not the same
    std::vector<SectorRange> pastEnd;  // the image goes on where the source has ended
    std::vector<SectorRange> unreadableSource;
    std::vector<SectorRange> unreadableImage;
    bool interrupted = false;
    bool Same() const {
        return !interrupted && differ.empty() && pastEnd.empty() && unreadableSource.empty() &&
               unreadableImage.empty();
    }
};

struct SectorCompareHooks {
    std::size_t chunkSectors = 1024;  // 2 MiB a read: large sequential reads
    // Called after every chunk with the sectors done and the sectors to do.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    // Asked after every chunk: true ends the comparison there.
    std::function<bool()> stop;
};

// Reads as much of `source` as `image` is long and compares the two. A chunk that fails to
// read is read again sector by sector, once, before its sectors are reported.
SectorOutcome CompareSectors(SectorReader& source, SectorReader& image,
                             const SectorCompareHooks& hooks = {});

// Puts into each range of `outcome` the files whose data touches it.
void NameFiles(SectorOutcome& outcome, const std::vector<SectorFile>& files);

}  // namespace korvane

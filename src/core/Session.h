// The state of one window's verification work: table, counters, flags, queue, digest state.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/Clock.h"
#include "core/FileTable.h"
#include "core/StepQueue.h"
#include "core/Window.h"
#include "digest/ListAhead.h"
#include "digest/Md5.h"
#include "digest/ReadAhead.h"
#include "platform/DriveMap.h"
#include "platform/FileSystem.h"

namespace korvane {

// A read buffer kept for the session's whole life and reused for every file. It is never
// zero-filled: first touch of fresh memory is what costs, so it is paid once.
class ReusableBuffer {
  public:
    unsigned char* Get(std::size_t n) {
        if (n > size_) {
            data_.reset(new unsigned char[n]);  // default-initialised: no zero fill
            size_ = n;
        }
        return data_.get();
    }
    // Hands the memory over, to a read that is left to finish on its own; the next Get
    // allocates afresh.
    std::unique_ptr<unsigned char[]> Release() {
        size_ = 0;
        return std::move(data_);
    }

  private:
    std::unique_ptr<unsigned char[]> data_;
    std::size_t size_ = 0;
};

// Past these a scan gives up: no disc holds so deep a tree or so many entries, and a drive whose
// folders never end must not take the machine's memory. A file with data takes at least one
// 2,048-byte sector, so a full dual-layer DVD holds about 4.2 million files at most; the table
// of 5 million rows takes about a gigabyte.
struct ScanLimits {
    int depth = 1000;                           // folders below the drive's root
    std::uint64_t entries = kMaxListedEntries;  // files and folders of one drive
};

// An entry of a drive that is no file: a folder, a link, a FIFO, a socket or a device node.
struct FoundEntry {
    std::string folder;  // drive path of the folder holding it, ending in a backslash
    DirEntry entry;
};

class Session {
  public:
    // `driveMap`, when given, is the map `files` resolves drive paths through: the run then looks
    // its mount points up again when it starts and when the copy disc goes in.
    Session(Window& w, FileSystem& files, DriveMap* driveMap = nullptr)
        : window(w), fs(files), drives(driveMap) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Window& window;
    FileSystem& fs;
    DriveMap* drives;

    // How long the run waits for the copy disc to be mounted after the exchange prompt.
    std::chrono::milliseconds discWait{30000};

    FileTable table;
    StepQueue queue;
    Md5Context md5;

    // Run counters. Sizes and totals are 64-bit so that DVD-sized sources add up right.
    std::uint64_t TotalBytes = 0;
    std::uint64_t DoneBytes = 0;
    std::uint32_t ElapsedSeconds = 0;

    bool AbortRequested = false;
    bool ReadFailed = false;
    bool CopyReadFailed = false;

    // True from the start of RunSteps until it returns, whichever way.
    bool runActive = false;

    // Folders this run's scan could not list to their end (drive paths ending in a backslash),
    // and names it could not take in (folder + name). A run that missed any never reports success.
    std::vector<std::string> unlistedFolders;

    // The host path of the digest list "load data" last read: a list kept on the disc it
    // describes is not one of that disc's extra files.
    std::string loadedList;
    // What this run's scan of the source found besides files, in walk order, for the comparison
    // with the copy; sourceScanned is false while the rows come from a list instead.
    std::vector<FoundEntry> sourceEntries;
    bool sourceScanned = false;

    // Buffers reused across files: the digest chunk and the two comparison blocks.
    ReusableBuffer chunkBuffer;
    ReusableBuffer sourceBuffer;
    ReusableBuffer copyBuffer;

    // The readers' reads run on these workers while this thread digests, compares and lets the
    // window handle its messages: the source (or the only) file on the first, the copy on the
    // second. Started on first use and stopped with the session.
    ReadAhead readAhead;
    ReadAhead copyAhead;
    // The scans' folder listings run on this worker, so that a stalled one can be given up.
    ListAhead listAhead;
    ScanLimits scanLimits;

    // Reads that had to wait for the drive (not served from memory): the digest workers read
    // ahead only where rows come from memory.
    std::uint64_t readsNotInMemory = 0;

    // When the readers pump besides their gauge steps.
    PumpPacer pacer{&SteadyClock()};
};

}  // namespace korvane

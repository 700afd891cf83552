// The state of one window's verification work: table, counters, flags, queue, reading engine.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/FileTable.h"
#include "core/StepQueue.h"
#include "core/Window.h"
#include "platform/DriveMap.h"
#include "platform/FileSystem.h"
#include "reading/ReadHost.h"

namespace korvane {

class ReadingEngine;

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

class Session : public ReadHost {
  public:
    // `driveMap`, when given, is the map `files` resolves drive paths through: the run then looks
    // its mount points up again when it starts and when the copy disc goes in.
    Session(Window& w, FileSystem& files, DriveMap* driveMap = nullptr);
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The workers, buffers and pump pacing the steps read files and list folders with.
    ReadingEngine& reading() { return *reading_; }

    void ProcessMessages() override { window.ProcessMessages(); }
    bool AbortAsked() const override { return AbortRequested; }
    void Log(const std::string& line) override { window.AppendLog(line); }

    Window& window;
    FileSystem& fs;
    DriveMap* drives;

    // How long the run waits for the copy disc to be mounted after the exchange prompt.
    std::chrono::milliseconds discWait{30000};

    FileTable table;
    StepQueue queue;

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

    ScanLimits scanLimits;

  private:
    // Last, so that its workers are done before anything above goes.
    std::unique_ptr<ReadingEngine> reading_;
};

}  // namespace korvane

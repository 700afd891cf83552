// A listing thread kept for a session's life, so that a drive that stalls on a directory never
// holds up the window.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "reading/Handover.h"

namespace korvane {

class ReadingEngine;

// One folder listing at a time is handed over; its entries come back when it is collected.
class ListAhead {
  public:
    ListAhead() = default;
    ~ListAhead();
    ListAhead(const ListAhead&) = delete;
    ListAhead& operator=(const ListAhead&) = delete;

    // Starts fs.ListFolder(folder) on the worker, starting the worker the first time. False
    // when no thread could be started: the caller then lists for itself.
    bool Begin(FileSystem& fs, const std::string& folder);
    // Waits at most `wait` for the listing handed over last. True, with its entries in `out`
    // and its outcome in `ok`, when it has returned; false when it is still out.
    bool FinishWithin(std::chrono::nanoseconds wait, std::vector<DirEntry>& out, bool& ok);
    // Gives up the listing still out, if any: the worker finishes it on its own, drops what it
    // brings back and ends, and the next Begin starts another worker. The file system must
    // outlive it; a posix listing touches nothing of it once the directory is open.
    void Abandon();

    // Listings given up and still running.
    int StalledListings() const { return worker_.Stalled(); }

  private:
    struct Listing {
        FileSystem* fs = nullptr;
        std::string folder;
        std::vector<DirEntry> entries;
        bool ok = false;

        void Run() { ok = fs->ListFolder(folder, entries); }
    };

    Handover<Listing> worker_;
};

// Lists `folder` on the engine's listing worker while the window handles its messages every
// pacing interval, as the readers do. The listing's outcome, or nothing when an abort was asked
// for meanwhile: the listing is then given up.
std::optional<bool> ListPaced(ReadingEngine& e, FileSystem& fs, const std::string& folder,
                              std::vector<DirEntry>& out);

}  // namespace korvane

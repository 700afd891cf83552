// When the rows ahead are read on the workers, and when that stops and starts again.
#pragma once

#include <atomic>
#include <cstddef>

namespace korvane {

// Reading ahead is only worth it, and only harmless, where the files are already in memory: a
// drive that has to seek would be sent to and fro between files. So two jobs in a row that find
// their files not in memory stop the reading ahead; it starts again only after rows read the
// usual way were served from memory, and after each stop it waits twice as many rows.
class AheadBackoff {
  public:
    // From any worker: a job ran to its end from memory (true) or found its files not in
    // memory (false).
    void JobRan(bool fromMemory);
    // From any thread: two jobs in a row found their files not in memory, and rows read the
    // usual way have not yet brought reading ahead back. Jobs not yet started are left to the
    // rows' own readers.
    bool Stopping() const { return stop_.load(); }

    // The window thread's side. Whether rows are read ahead now, taking a stop the workers asked
    // for since the last call.
    bool Ahead();
    // Whether more rows may be opened ahead: reading ahead is on and no stop is asked for.
    bool Opening() const { return ahead_ && !Stopping(); }
    // A row was read the usual way, every read of it from memory (true) or not.
    void RowReadHere(bool fromMemory);
    // No worker could be started: every row is read the usual way from now on.
    void Never();

  private:
    static constexpr std::size_t kFirstWait = 8;
    static constexpr std::size_t kLongestWait = 1024;

    bool ahead_ = true;
    std::size_t rowsWanted_ = 0;  // rows from memory still wanted before reading ahead again
    std::size_t wait_ = kFirstWait;
    std::atomic<bool> stop_{false};
    std::atomic<int> notInMemoryRun_{0};  // jobs in a row that found their files not in memory
};

}  // namespace korvane

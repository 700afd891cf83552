// Work on the rows after the current one, done on threads of their own from memory only.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "reading/AheadBackoff.h"
#include "reading/Clock.h"

namespace korvane {

class ReadingEngine;

// The patience of the workers: a drive that has to be read answers empty every time, and the
// workers stop after two such jobs in a row.
inline constexpr int kWorkerPatience = 1000;

// One row's work, set up by the window thread (its files opened) and done by a worker. A worker
// reads only what the page cache already holds: work it cannot finish from memory it leaves
// where it stopped, and the row's own reader goes on from there with the usual reads, gauge and
// errors.
struct AheadJob {
    enum State : int { kQueued, kRunning, kDone, kStopped };
    enum class Ran { Done, NotInMemory, Quit };

    virtual ~AheadJob() = default;
    // The worker's part: from memory only, chunk by chunk, storing `done` as it goes and leaving
    // off when `quit` is set. Everything the job hands over is written before it returns.
    virtual Ran Run(unsigned char* buffer, const std::atomic<bool>& quit) = 0;

    std::size_t row = 0;
    std::atomic<int> state{kQueued};
    // Bytes worked through so far, whole chunks until the end; the full size is stored only
    // once the job's result is written.
    std::atomic<std::uint64_t> done{0};

    bool Settled() const {
        const int now = state.load(std::memory_order_acquire);
        return now == kDone || now == kStopped;
    }
};

// What the window thread makes of a row ahead: a job, nothing to do ahead (`job` empty), or a
// failed open, after which nothing more is opened until the row loop has passed that row.
struct OpenedAhead {
    std::shared_ptr<AheadJob> job;
    bool failed = false;
};

// Keeps the workers fed with the rows ahead of the window thread's current row and hands each
// row its job. Rows are still filled one by one in their order by the row loop. When rows are
// read ahead is AheadBackoff's to say; the rows read the usual way that it goes by are the rows
// handed no job whose reader opened their file through the engine (OpenAfterStalledReads).
class RowsAhead {
  public:
    using Opener = std::function<OpenedAhead(std::size_t row)>;
    // The rows there are now: rows past them are never opened, should the table be emptied.
    using RowCount = std::function<std::size_t()>;

    // How the rows ahead are taken on.
    struct Plan {
        std::size_t bufferBytes = 0;  // what each worker reads into
        std::size_t queued = 0;       // jobs waiting at most, their files open
        // Rows listed below this size are left to the row loop: handing a small file over costs
        // more than reading it there.
        std::uint64_t smallest = 0;
        // The largest files are started early, so that no worker is left with one of them
        // alone at the end.
        bool largeFirst = false;
    };

    // `open` sets up a row's job on the window thread; rows from `rows()` as it is now on are
    // never opened. `listedSizes` are the rows' sizes as the table lists them, or nothing when
    // the table lists none: every row is then opened ahead, and none early.
    RowsAhead(ReadingEngine& e, Opener open, RowCount rows, Plan plan,
              std::vector<std::uint64_t> listedSizes);
    ~RowsAhead();
    RowsAhead(const RowsAhead&) = delete;
    RowsAhead& operator=(const RowsAhead&) = delete;

    // Called by the row loop as it reaches `row`: opens and queues rows ahead, and returns the
    // job that holds this row's file, if one does (the caller then owns it).
    std::shared_ptr<AheadJob> At(std::size_t row);

    // Waits, with the window handling its messages as the pacing asks, until `job` has worked
    // through `through` bytes or stopped (past its size: until its result or what it leaves is
    // the caller's). False when an abort was asked for meanwhile.
    bool Await(const AheadJob& job, std::uint64_t through);

    // How a row's job stands for the reader that takes its work over, chunk by chunk: it has
    // worked through `through` bytes, or it stopped short of them (its files, state and the bytes
    // of the chunk it read in part are then the reader's), or an abort was asked for meanwhile.
    enum class Followed { Worked, Stopped, Aborted };
    Followed Follow(const AheadJob& job, std::uint64_t through);

  private:
    // Tells the back-off how the row before, if it had no job, was read.
    void NoteRowReadHere();
    void TopUp();
    OpenedAhead OpenJob(std::size_t row);
    // Sleeps until the current row's job has moved on, the queue runs low (it is then topped
    // up), or `wait` has passed.
    void WaitForProgress(const AheadJob& job, Clock::duration wait);
    void Work();

    ReadingEngine& e_;
    Opener open_;
    RowCount rows_;
    std::size_t count_;
    Plan plan_;
    std::vector<std::uint64_t> sizes_;
    std::size_t workerCount_;
    std::size_t head_ = 0;
    std::size_t nextToOpen_ = 0;
    std::size_t failedRow_ = static_cast<std::size_t>(-1);  // the last row that did not open
    // The engine's counts when the last row handed no job was reached; no such row is pending
    // when `usualRow_` is false.
    bool usualRow_ = false;
    std::uint64_t opensBefore_ = 0;
    std::uint64_t waitsBefore_ = 0;
    // Jobs of rows from the current one on (the window thread's side).
    std::map<std::size_t, std::shared_ptr<AheadJob>> jobs_;
    // Rows of large files, in row order, and the next of them to start early.
    std::vector<std::size_t> largeRows_;
    std::size_t nextLarge_ = 0;

    // Shared with the workers, under mutex_.
    std::mutex mutex_;
    std::condition_variable work_;      // the workers wait here for a job
    std::condition_variable progress_;  // the window thread waits here
    std::deque<std::shared_ptr<AheadJob>> queue_;
    std::atomic<std::size_t> headRow_{0};
    AheadBackoff backoff_;  // its worker side is used without mutex_
    std::atomic<bool> quit_{false};
    std::vector<std::thread> workers_;
};

}  // namespace korvane

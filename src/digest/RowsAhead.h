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

#include "core/Clock.h"

namespace korvane {

class File;
class FileTable;
class Session;

// Reads up to n bytes of what the page cache holds (File::ReadCached), asking again where the
// kernel stopped short: with everything in memory, a read that may not wait still comes back
// short now and then, or empty, for a few dozen tries in a row. What is left unread after
// `patience` empty answers in a row is taken as not in memory.
std::size_t ReadFromMemory(File& file, unsigned char* buffer, std::size_t n, int patience);
// The patience of the workers: a drive that has to be read answers empty every time, and the
// workers stop after two such jobs in a row.
inline constexpr int kWorkerPatience = 1000;

// The rows' sizes as the table lists them, as hints for RowsAhead: a text that is no number
// (reported when its row is reached) gives 0, a list without sizes nothing at all.
std::vector<std::uint64_t> ListedSizes(const FileTable& table);

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
// row its job. Rows are still filled one by one in their order by the row loop.
//
// Reading ahead is only worth it, and only harmless, where the files are already in memory: a
// drive that has to seek would be sent to and fro between files. So two jobs in a row that find
// their files not in memory stop the reading ahead; it starts again only after rows read the
// usual way were served from memory, and after each stop it waits twice as many rows.
class RowsAhead {
  public:
    using Opener = std::function<OpenedAhead(std::size_t row)>;

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

    // `open` sets up a row's job on the window thread; rows from `count` on are never opened.
    // `listedSizes` are the rows' sizes as the table lists them (ListedSizes), or nothing when
    // the table lists none: every row is then opened ahead, and none early.
    RowsAhead(Session& s, Opener open, std::size_t count, Plan plan,
              std::vector<std::uint64_t> listedSizes);
    ~RowsAhead();
    RowsAhead(const RowsAhead&) = delete;
    RowsAhead& operator=(const RowsAhead&) = delete;

    // Called by the row loop as it reaches `row`: opens and queues rows ahead, and returns the
    // job that holds this row's file, if one does (the caller then owns it).
    std::shared_ptr<AheadJob> At(std::size_t row);
    // Called once `row` is finished without a job: whether every read it made came from memory.
    void RowReadTheUsualWay(bool fromMemory);

    // Waits, with the window handling its messages as the pacing asks, until `job` has worked
    // through `through` bytes or stopped (past its size: until its result or what it leaves is
    // the caller's). False when an abort was asked for meanwhile.
    bool Await(const AheadJob& job, std::uint64_t through);

  private:
    void TopUp();
    OpenedAhead OpenJob(std::size_t row);
    // Sleeps until the current row's job has moved on, the queue runs low (it is then topped
    // up), or `wait` has passed.
    void WaitForProgress(const AheadJob& job, Clock::duration wait);
    void Work();

    Session& s_;
    Opener open_;
    std::size_t count_;
    Plan plan_;
    std::vector<std::uint64_t> sizes_;
    std::size_t workerCount_;
    std::size_t head_ = 0;
    std::size_t nextToOpen_ = 0;
    std::size_t failedRow_ = static_cast<std::size_t>(-1);  // the last row that did not open
    bool ahead_ = true;
    std::size_t usualRowsWanted_ = 0;  // rows from memory still wanted before reading ahead again
    std::size_t backOff_ = 8;
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
    std::atomic<bool> stopAhead_{false};  // jobs found their files not in memory
    std::atomic<int> notInMemoryRun_{0};  // jobs in a row that did
    std::atomic<bool> quit_{false};
    std::vector<std::thread> workers_;
};

}  // namespace korvane

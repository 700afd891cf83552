// Digests of the rows after the current one, made on threads of their own from memory only.
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
#include <string>
#include <thread>
#include <vector>

#include "core/Clock.h"
#include "digest/Md5.h"
#include "platform/FileSystem.h"

namespace korvane {

class FileTable;
class Session;

// The rows' sizes as the table lists them, as hints for DigestAhead: a text that is no number
// (reported when its row is reached) and a list without sizes give 0.
std::vector<std::uint64_t> ListedSizes(const FileTable& table);

// One row's file, opened by the window thread and digested by a worker. The worker reads only
// what the page cache already holds: a file it cannot read whole from memory it leaves where it
// stopped, and the row's reader goes on from there with the usual reads, gauge and errors.
struct DigestJob {
    enum State : int { kQueued, kRunning, kDone, kStopped };

    std::size_t row = 0;
    std::uint64_t size = 0;
    std::unique_ptr<File> file;  // the worker's while kRunning; closed by it once kDone

    std::atomic<int> state{kQueued};
    // Bytes digested so far, always a whole number of chunks until the last one.
    std::atomic<std::uint64_t> digested{0};
    // Valid once the state is kDone or kStopped: the digest state after `digested` bytes, the
    // bytes of the chunk the worker read only in part, and, when kDone, the digest text.
    Md5Context ctx;
    std::string partial;
    std::string digest;

    bool Settled() const {
        const int now = state.load(std::memory_order_acquire);
        return now == kDone || now == kStopped;
    }
};

// Keeps the workers fed with the files of the rows ahead of the window thread's current row and
// hands each row its job. Rows are still published one by one in their order by the row loop.
//
// Reading ahead is only worth it, and only harmless, where the files are already in memory: a
// drive that has to seek would be sent to and fro between files. So the first job that finds
// its file not in memory stops the reading ahead; it starts again only after rows read the
// usual way were served from memory, and after each stop it waits twice as many rows.
class DigestAhead {
  public:
    // The chunk every digest is fed in, the reader's own.
    static constexpr std::size_t kChunk = 64000;

    // `pathOf` gives a row's drive path; rows from `count` on are never opened. `listedSizes`,
    // when given, are the rows' sizes as the table lists them: the largest files are then
    // started early, so that no worker is left with one of them alone at the end.
    DigestAhead(Session& s, std::function<std::string(std::size_t)> pathOf, std::size_t count,
                const std::vector<std::uint64_t>& listedSizes = {});
    ~DigestAhead();
    DigestAhead(const DigestAhead&) = delete;
    DigestAhead& operator=(const DigestAhead&) = delete;

    // Called by the row loop as it reaches `row`: opens and queues rows ahead, and returns the
    // job that holds this row's file, if one does (the caller then owns it).
    std::shared_ptr<DigestJob> At(std::size_t row);
    // Called once `row` is finished without a job: whether every read it made came from memory.
    void RowReadTheUsualWay(bool fromMemory);

    // Sleeps until the current row's job has moved on, the queue runs low (it is then topped
    // up), or `wait` has passed.
    void WaitForProgress(const DigestJob& job, Clock::duration wait);

  private:
    void TopUp();
    std::shared_ptr<DigestJob> OpenJob(std::size_t row);
    void StopAhead();  // after a job found its file not in memory
    void Work();
    void RunJob(DigestJob& job, unsigned char* buffer);

    Session& s_;
    std::function<std::string(std::size_t)> pathOf_;
    std::size_t count_;
    std::size_t head_ = 0;
    std::size_t nextToOpen_ = 0;
    std::size_t failedRow_ = static_cast<std::size_t>(-1);  // the last row that did not open
    bool ahead_ = true;
    std::size_t usualRowsWanted_ = 0;  // rows from memory still wanted before reading ahead again
    std::size_t backOff_ = 8;
    // Jobs of rows from the current one on (the window thread's side).
    std::map<std::size_t, std::shared_ptr<DigestJob>> jobs_;
    // Rows of large files, in row order, and the next of them to start early.
    std::vector<std::size_t> largeRows_;
    std::size_t nextLarge_ = 0;

    // Shared with the workers, under mutex_.
    std::mutex mutex_;
    std::condition_variable work_;      // the workers wait here for a job
    std::condition_variable progress_;  // the window thread waits here
    std::deque<std::shared_ptr<DigestJob>> queue_;
    std::atomic<std::size_t> headRow_{0};
    std::atomic<bool> stopAhead_{false};  // a job found its file not in memory
    std::atomic<bool> quit_{false};
    std::vector<std::thread> workers_;
};

}  // namespace korvane

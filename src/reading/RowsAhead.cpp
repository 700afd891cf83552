// The workers on the rows ahead, their queue of opened jobs, and when reading ahead is on.
#include "reading/RowsAhead.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "reading/Engine.h"

namespace korvane {

namespace {

// Opening is the window thread's (drive paths resolve there); the queue is topped up when it
// falls below half. How far the jobs may run ahead of the current row: a job done holds no
// file, only its result.
constexpr std::size_t kRowsAhead = 16384;
constexpr std::size_t kMostWorkers = 4;
// A file that takes a worker this long is started as soon as it is within reach.
constexpr std::uint64_t kLargeFile = 32 * 1000 * 1000;

std::size_t WorkerCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp<std::size_t>(cores, 1, kMostWorkers);
}

}  // namespace

RowsAhead::RowsAhead(ReadingEngine& e, Opener open, RowCount rows, Plan plan,
                     std::vector<std::uint64_t> listedSizes)
    : e_(e),
      open_(std::move(open)),
      rows_(std::move(rows)),
      count_(rows_()),
      plan_(plan),
      sizes_(std::move(listedSizes)),
      workerCount_(WorkerCount()) {
    if (!plan_.largeFirst) return;
    for (std::size_t row = 0; row < sizes_.size() && row < count_; ++row) {
        if (sizes_[row] >= kLargeFile) largeRows_.push_back(row);
    }
}

RowsAhead::~RowsAhead() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        quit_.store(true);
    }
    work_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

std::shared_ptr<AheadJob> RowsAhead::At(std::size_t row) {
    head_ = row;
    headRow_.store(row);
    // Jobs of rows the loop passed by without reading them are dropped; a worker still on one
    // keeps it alive until it is done.
    jobs_.erase(jobs_.begin(), jobs_.lower_bound(row));
    NoteRowReadHere();
    backoff_.Ahead();
    nextToOpen_ = std::max(nextToOpen_, row);
    TopUp();
    const auto found = jobs_.find(row);
    usualRow_ = found == jobs_.end();
    opensBefore_ = e_.opens;
    waitsBefore_ = e_.readsNotInMemory;
    if (found == jobs_.end()) return nullptr;
    std::shared_ptr<AheadJob> job = std::move(found->second);
    jobs_.erase(found);
    return job;
}

void RowsAhead::NoteRowReadHere() {
    // A row that opened nothing (no copy, another size, two empty files) says nothing about
    // the page cache.
    if (usualRow_ && e_.opens != opensBefore_) {
        backoff_.RowReadHere(e_.readsNotInMemory == waitsBefore_);
    }
    usualRow_ = false;
}

void RowsAhead::TopUp() {
    if (!backoff_.Opening()) return;
    const std::size_t reach = std::min({count_, head_ + kRowsAhead, rows_()});
    const auto inReach = [reach](std::size_t row) { return row < reach; };
    // Rows left to the row loop are passed over at once; on a disc of small files nothing
    // else is ever to be done here.
    while (inReach(nextToOpen_) && nextToOpen_ < sizes_.size() &&
           sizes_[nextToOpen_] < plan_.smallest) {
        ++nextToOpen_;
    }
    while (nextLarge_ < largeRows_.size() && largeRows_[nextLarge_] < nextToOpen_) ++nextLarge_;
    if (!inReach(nextToOpen_) &&
        !(nextLarge_ < largeRows_.size() && inReach(largeRows_[nextLarge_]))) {
        return;
    }
    std::size_t room = 0;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        room = plan_.queued - std::min(plan_.queued, queue_.size());
    }
    std::vector<std::shared_ptr<AheadJob>> batch;
    // Large files within reach first, while fewer of them are under way than there are
    // workers besides the one that keeps to the row order.
    std::size_t largeUnderWay = 0;
    for (auto it = jobs_.lower_bound(nextToOpen_); it != jobs_.end(); ++it) {
        if (!it->second->Settled()) ++largeUnderWay;
    }
    while (nextLarge_ < largeRows_.size() && largeUnderWay + 1 < workerCount_ &&
           batch.size() < room && inReach(largeRows_[nextLarge_])) {
        // One that does not open is left to its turn in the row order.
        OpenedAhead opened = OpenJob(largeRows_[nextLarge_++]);
        if (!opened.job) continue;
        ++largeUnderWay;
        batch.push_back(std::move(opened.job));
    }
    const std::size_t large = batch.size();
    while (batch.size() < room && inReach(nextToOpen_)) {
        if (jobs_.count(nextToOpen_) != 0 ||
            std::any_of(batch.begin(), batch.begin() + static_cast<std::ptrdiff_t>(large),
                        [this](const auto& job) { return job->row == nextToOpen_; })) {
            ++nextToOpen_;  // a large file started early
            continue;
        }
        if (nextToOpen_ < sizes_.size() && sizes_[nextToOpen_] < plan_.smallest) {
            ++nextToOpen_;  // left to the row loop
            continue;
        }
        OpenedAhead opened = OpenJob(nextToOpen_);
        if (opened.failed) break;
        ++nextToOpen_;
        if (opened.job) batch.push_back(std::move(opened.job));
    }
    if (batch.empty()) return;
    if (workers_.empty()) {
        try {
            for (std::size_t i = workerCount_; i > 0; --i)
                workers_.emplace_back(&RowsAhead::Work, this);
        } catch (const std::system_error&) {
            if (workers_.empty()) {
                // No thread to read on: every row is read the usual way, and the files close.
                backoff_.Never();
                nextToOpen_ = head_;
                nextLarge_ = 0;
                return;
            }
        }
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        // The large files go before the rows waiting in order.
        queue_.insert(queue_.begin(), batch.begin(),
                      batch.begin() + static_cast<std::ptrdiff_t>(large));
        queue_.insert(queue_.end(), batch.begin() + static_cast<std::ptrdiff_t>(large),
                      batch.end());
    }
    for (const auto& job : batch) jobs_.emplace(job->row, job);
    work_.notify_all();
}

OpenedAhead RowsAhead::OpenJob(std::size_t row) {
    OpenedAhead opened = open_(row);
    // The row's own reader opens it again and reports what is wrong.
    if (opened.failed) failedRow_ = row;
    if (opened.job) opened.job->row = row;
    return opened;
}

void RowsAhead::WaitForProgress(const AheadJob& job, Clock::duration wait) {
    const bool canOpen = backoff_.Opening() && nextToOpen_ < count_ &&
                         nextToOpen_ - head_ < kRowsAhead && nextToOpen_ != failedRow_;
    bool low = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        progress_.wait_for(lock, wait, [&] {
            low = canOpen && queue_.size() < plan_.queued / 2;
            return job.Settled() || low;
        });
    }
    if (low) TopUp();
}

void RowsAhead::Work() {
    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[plan_.bufferBytes]);
    for (;;) {
        std::shared_ptr<AheadJob> job;
        bool low = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            work_.wait(lock, [this] { return quit_.load() || !queue_.empty(); });
            if (quit_.load()) return;
            job = std::move(queue_.front());
            queue_.pop_front();
            low = queue_.size() < plan_.queued / 2;
        }
        if (low) progress_.notify_one();
        if (backoff_.Stopping()) {
            // Not started: the row's reader does it all itself.
            job->state.store(AheadJob::kStopped);
        } else {
            job->state.store(AheadJob::kRunning);
            const AheadJob::Ran ran = job->Run(buffer.get(), quit_);
            // Not in memory (or an error, or a file that shrank): after two such jobs in a row
            // reading ahead stops.
            if (ran != AheadJob::Ran::Quit) backoff_.JobRan(ran == AheadJob::Ran::Done);
            job->state.store(ran == AheadJob::Ran::Done ? AheadJob::kDone : AheadJob::kStopped);
        }
        if (job->row == headRow_.load()) {
            // Taken and released so that the window thread cannot miss the news between
            // testing the job and going to sleep.
            { const std::lock_guard<std::mutex> lock(mutex_); }
            progress_.notify_one();
        }
    }
}

bool RowsAhead::Await(const AheadJob& job, std::uint64_t through) {
    while (job.done.load(std::memory_order_acquire) < through && !job.Settled()) {
        if (e_.pacer.Due()) {
            e_.Pump();
            if (e_.Aborted()) return false;
        }
        WaitForProgress(job, e_.pacer.Left());
    }
    return true;
}

RowsAhead::Followed RowsAhead::Follow(const AheadJob& job, std::uint64_t through) {
    if (!Await(job, through)) return Followed::Aborted;
    return job.done.load(std::memory_order_acquire) >= through ? Followed::Worked
                                                               : Followed::Stopped;
}

}  // namespace korvane

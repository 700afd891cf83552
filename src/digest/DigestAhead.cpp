// The digest workers, their queue of opened files, and when reading ahead is on.
#include "digest/DigestAhead.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <system_error>
#include <utility>

#include "core/Session.h"

namespace korvane {

namespace {

// Files opened and waiting for a worker. Opening is the window thread's (drive paths resolve
// there); the queue is topped up when it falls below half.
constexpr std::size_t kQueued = 128;
constexpr std::size_t kLowMark = kQueued / 2;
// How far the jobs may run ahead of the current row. A job done holds no file, only its digest.
constexpr std::size_t kRowsAhead = 16384;
constexpr std::size_t kMostWorkers = 4;
constexpr std::size_t kMostBackOff = 1024;
// A file that takes a worker this long is started as soon as it is within reach.
constexpr std::uint64_t kLargeFile = 32 * 1000 * 1000;

std::size_t WorkerCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp<std::size_t>(cores, 1, kMostWorkers);
}

}  // namespace

std::vector<std::uint64_t> ListedSizes(const FileTable& table) {
    std::vector<std::uint64_t> sizes(table.Count());
    if (!table.SizesListed()) return sizes;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::string& text = table.Row(i).SizeText;
        std::from_chars(text.data(), text.data() + text.size(), sizes[i]);
    }
    return sizes;
}

DigestAhead::DigestAhead(Session& s, std::function<std::string(std::size_t)> pathOf,
                         std::size_t count, const std::vector<std::uint64_t>& listedSizes)
    : s_(s), pathOf_(std::move(pathOf)), count_(count) {
    for (std::size_t row = 0; row < listedSizes.size() && row < count; ++row) {
        if (listedSizes[row] >= kLargeFile) largeRows_.push_back(row);
    }
}

DigestAhead::~DigestAhead() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        quit_.store(true);
    }
    work_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

std::shared_ptr<DigestJob> DigestAhead::At(std::size_t row) {
    head_ = row;
    headRow_.store(row);
    // Jobs of rows the loop passed by without reading them are dropped; a worker still on one
    // keeps it alive until it is done.
    jobs_.erase(jobs_.begin(), jobs_.lower_bound(row));
    if (ahead_ && stopAhead_.load()) {
        ahead_ = false;
        usualRowsWanted_ = backOff_;
        backOff_ = std::min(backOff_ * 2, kMostBackOff);
    }
    nextToOpen_ = std::max(nextToOpen_, row);
    TopUp();
    const auto found = jobs_.find(row);
    if (found == jobs_.end()) return nullptr;
    std::shared_ptr<DigestJob> job = std::move(found->second);
    jobs_.erase(found);
    return job;
}

void DigestAhead::RowReadTheUsualWay(bool fromMemory) {
    if (ahead_) return;
    if (!fromMemory) {
        usualRowsWanted_ = backOff_;
        return;
    }
    if (usualRowsWanted_ > 0) --usualRowsWanted_;
    if (usualRowsWanted_ == 0) {
        ahead_ = true;
        stopAhead_.store(false);
    }
}

void DigestAhead::TopUp() {
    if (!ahead_ || stopAhead_.load()) return;
    std::size_t room = 0;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        room = kQueued - std::min(kQueued, queue_.size());
    }
    std::vector<std::shared_ptr<DigestJob>> batch;
    // Large files within reach first, while fewer of them are under way than there are
    // workers besides the one that keeps to the row order.
    const auto inReach = [this](std::size_t row) {
        return row < count_ && row - head_ < kRowsAhead && row < s_.table.Count();
    };
    std::size_t largeUnderWay = 0;
    for (auto it = jobs_.lower_bound(nextToOpen_); it != jobs_.end(); ++it) {
        if (!it->second->Settled()) ++largeUnderWay;
    }
    while (nextLarge_ < largeRows_.size() && largeRows_[nextLarge_] < nextToOpen_) ++nextLarge_;
    while (nextLarge_ < largeRows_.size() && largeUnderWay + 1 < WorkerCount() &&
           batch.size() < room && inReach(largeRows_[nextLarge_])) {
        // One that does not open is left to its turn in the row order.
        std::shared_ptr<DigestJob> job = OpenJob(largeRows_[nextLarge_++]);
        if (!job) continue;
        ++largeUnderWay;
        batch.push_back(std::move(job));
    }
    const std::size_t large = batch.size();
    while (batch.size() < room && inReach(nextToOpen_)) {
        if (jobs_.count(nextToOpen_) != 0 ||
            std::any_of(batch.begin(), batch.begin() + static_cast<std::ptrdiff_t>(large),
                        [this](const auto& job) { return job->row == nextToOpen_; })) {
            ++nextToOpen_;  // a large file started early
            continue;
        }
        std::shared_ptr<DigestJob> job = OpenJob(nextToOpen_);
        if (!job) break;
        ++nextToOpen_;
        batch.push_back(std::move(job));
    }
    if (batch.empty()) return;
    if (workers_.empty()) {
        try {
            for (std::size_t i = WorkerCount(); i > 0; --i)
                workers_.emplace_back(&DigestAhead::Work, this);
        } catch (const std::system_error&) {
            if (workers_.empty()) {
                // No thread to read on: every row is read the usual way, and the files close.
                ahead_ = false;
                backOff_ = usualRowsWanted_ = static_cast<std::size_t>(-1);
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

std::shared_ptr<DigestJob> DigestAhead::OpenJob(std::size_t row) {
    std::unique_ptr<File> file = s_.fs.Open(pathOf_(row), ShareMode::Read);
    // The row's own reader opens it again and reports what is wrong.
    if (!file) {
        failedRow_ = row;
        return nullptr;
    }
    auto job = std::make_shared<DigestJob>();
    job->row = row;
    job->size = file->Size();
    job->file = std::move(file);
    job->ctx.MessageLength = job->size;
    Md5Init(job->ctx);
    return job;
}

void DigestAhead::WaitForProgress(const DigestJob& job, Clock::duration wait) {
    const bool canOpen = ahead_ && nextToOpen_ < count_ && nextToOpen_ - head_ < kRowsAhead &&
                         nextToOpen_ != failedRow_ && !stopAhead_.load();
    bool low = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        progress_.wait_for(lock, wait, [&] {
            low = canOpen && queue_.size() < kLowMark;
            return job.Settled() || low;
        });
    }
    if (low) TopUp();
}

void DigestAhead::Work() {
    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunk]);
    for (;;) {
        std::shared_ptr<DigestJob> job;
        bool low = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            work_.wait(lock, [this] { return quit_.load() || !queue_.empty(); });
            if (quit_.load()) return;
            job = std::move(queue_.front());
            queue_.pop_front();
            low = queue_.size() < kLowMark;
        }
        if (low) progress_.notify_one();
        if (stopAhead_.load()) {
            // Not started: the row's reader reads the whole file itself.
            job->state.store(DigestJob::kStopped);
        } else {
            job->state.store(DigestJob::kRunning);
            RunJob(*job, buffer.get());
        }
        if (job->row == headRow_.load()) {
            // Taken and released so that the window thread cannot miss the news between
            // testing the job and going to sleep.
            { const std::lock_guard<std::mutex> lock(mutex_); }
            progress_.notify_one();
        }
    }
}

void DigestAhead::RunJob(DigestJob& job, unsigned char* buffer) {
    Md5Context& ctx = job.ctx;
    const std::uint64_t size = job.size;
    const unsigned tail = static_cast<unsigned>(size % 64);
    std::uint64_t position = 0;
    while (position < size) {
        if (quit_.load(std::memory_order_relaxed)) {
            job.state.store(DigestJob::kStopped);
            return;
        }
        // The size taken at opening bounds every chunk, as it does for the row's own reader.
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, size - position));
        const std::size_t got = job.file->ReadCached(buffer, want);
        if (got < want) {
            // Not in memory (or an error, or the file shrank): the row's reader takes the file
            // from here, with these bytes, and reading ahead stops.
            job.partial.assign(reinterpret_cast<const char*>(buffer), got);
            stopAhead_.store(true);
            job.state.store(DigestJob::kStopped);
            return;
        }
        ctx.BlockFromPending = false;
        if (got == kChunk) {
            Md5FeedBlocks(ctx, buffer, kChunk / 64);
        } else {
            Md5FeedBlocks(ctx, buffer, got / 64);
            std::memcpy(ctx.PendingBlock, buffer + got / 64 * 64, tail);
        }
        position += got;
        if (position == size) break;  // the last count is stored with the digest
        job.digested.store(position, std::memory_order_release);
    }
    Md5Final(ctx, tail);
    job.digest = Md5DigestText(ctx);
    job.file.reset();
    job.digested.store(size, std::memory_order_release);
    job.state.store(DigestJob::kDone);
}

}  // namespace korvane

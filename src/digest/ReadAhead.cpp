// The session's reading thread, the hand-over of one read at a time, and the giving up of a read
// that stalls.
#include "digest/ReadAhead.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <utility>

namespace korvane {

namespace {

enum State : std::uint32_t { kIdle, kAsked, kDone, kQuit };

// Long enough to cover the digest of one chunk, so that in a steady run neither side sleeps.
constexpr auto kSpinFor = std::chrono::microseconds(200);

}  // namespace

struct ReadAhead::Channel {
    std::atomic<std::uint32_t> state{kIdle};
    // The request, written before state turns kAsked, and its result, before it turns kDone.
    File* file = nullptr;
    void* buffer = nullptr;
    std::size_t want = 0;
    std::size_t got = 0;

    // The caller sleeps here once spinning has not brought the result.
    std::mutex mutex;
    std::condition_variable done;
    // Under `mutex`: the caller gave the read up and left what it reads with the worker.
    bool orphaned = false;
    std::unique_ptr<File> keptFile;
    std::unique_ptr<unsigned char[]> keptBuffer;
    std::shared_ptr<std::atomic<int>> stalled;  // counts this read until its file is closed

    // The worker's wait for its next request: returns once state is no longer `from`.
    std::uint32_t AwaitChange(std::uint32_t from) {
        const auto until = std::chrono::steady_clock::now() + kSpinFor;
        std::uint32_t now = state.load(std::memory_order_acquire);
        while (now == from && std::chrono::steady_clock::now() < until) {
            std::this_thread::yield();
            now = state.load(std::memory_order_acquire);
        }
        while (now == from) {
            state.wait(from, std::memory_order_acquire);
            now = state.load(std::memory_order_acquire);
        }
        return now;
    }
};

ReadAhead::~ReadAhead() {
    if (!worker_.joinable()) return;
    Settle();
    channel_->state.store(kQuit, std::memory_order_release);
    channel_->state.notify_one();
    worker_.join();
}

bool ReadAhead::Begin(File& file, void* buffer, std::size_t n) {
    Settle();
    if (!worker_.joinable()) {
        try {
            channel_ = std::make_shared<Channel>();
            worker_ = std::thread(&ReadAhead::Run, channel_);
        } catch (const std::system_error&) {
            channel_.reset();
            return false;
        }
    }
    Channel& c = *channel_;
    c.file = &file;
    c.buffer = buffer;
    c.want = n;
    out_ = true;
    c.state.store(kAsked, std::memory_order_release);
    c.state.notify_one();
    return true;
}

bool ReadAhead::FinishWithin(std::chrono::nanoseconds wait, std::size_t& got) {
    got = 0;
    if (!out_) return true;
    Channel& c = *channel_;
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + wait;
    const auto spinUntil = start + std::min<std::chrono::nanoseconds>(kSpinFor, wait);
    while (c.state.load(std::memory_order_acquire) == kAsked &&
           std::chrono::steady_clock::now() < spinUntil) {
        std::this_thread::yield();
    }
    if (c.state.load(std::memory_order_acquire) == kAsked) {
        std::unique_lock<std::mutex> lock(c.mutex);
        const bool returned = c.done.wait_until(
            lock, deadline, [&c] { return c.state.load(std::memory_order_acquire) != kAsked; });
        if (!returned) return false;
    }
    out_ = false;
    c.file = nullptr;
    c.buffer = nullptr;
    got = c.got;
    return true;
}

std::size_t ReadAhead::Finish() {
    std::size_t got = 0;
    while (!FinishWithin(std::chrono::hours(1), got)) {
    }
    return got;
}

void ReadAhead::Settle() {
    if (out_) Finish();
}

void ReadAhead::Abandon(std::unique_ptr<File>& file, std::unique_ptr<unsigned char[]> buffer,
                        std::chrono::nanoseconds grace) {
    std::size_t got = 0;
    if (FinishWithin(grace, got)) return;
    Channel& c = *channel_;
    {
        const std::lock_guard<std::mutex> lock(c.mutex);
        if (c.state.load(std::memory_order_acquire) == kAsked) {
            c.orphaned = true;
            c.keptFile = std::move(file);
            c.keptBuffer = std::move(buffer);
            c.stalled = stalled_;
            stalled_->fetch_add(1);
        }
    }
    if (!c.orphaned) {
        // It came back after all, between the wait and the lock.
        Finish();
        return;
    }
    // The worker keeps its own share of the channel and ends after the read.
    worker_.detach();
    channel_.reset();
    out_ = false;
}

void ReadAhead::Run(std::shared_ptr<Channel> channel) {
    Channel& c = *channel;
    std::uint32_t state = c.state.load(std::memory_order_acquire);
    for (;;) {
        if (state == kQuit) return;
        if (state == kAsked) {
            c.got = c.file->Read(c.buffer, c.want);
            bool orphaned = false;
            {
                // Under the lock, so that a caller going to sleep cannot miss the wake-up, and
                // a caller giving up sees either the result or a read still out.
                const std::lock_guard<std::mutex> lock(c.mutex);
                c.state.store(kDone, std::memory_order_release);
                orphaned = c.orphaned;
            }
            c.done.notify_all();
            if (orphaned) {
                c.keptFile.reset();
                c.keptBuffer.reset();
                c.stalled->fetch_sub(1);
                return;
            }
            state = kDone;
        }
        state = c.AwaitChange(state);
    }
}

}  // namespace korvane

// A worker thread kept for its owner's life that takes one task at a time, and the giving up of a
// task that stalls.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace korvane {

// `Task` has a `void Run()` that works on what the caller wrote into it and leaves its results
// there. While a task is out it belongs to the worker: the caller touches nothing of it until it
// is collected (FinishWithin) or given up (GiveUp).
//
// Every change of state is made under the mutex and announced on the condition variable, so no
// wake-up is ever lost. Either side may first spin on the state for `spin` before sleeping:
// waking a sleeping thread costs more on a virtual machine than the page-cache read it would
// save.
template <typename Task>
class Handover {
  public:
    explicit Handover(std::chrono::nanoseconds spin = std::chrono::nanoseconds::zero())
        : spin_(spin) {}
    ~Handover() {
        if (!worker_.joinable()) return;
        channel_->Set(kQuit);
        worker_.join();
    }
    Handover(const Handover&) = delete;
    Handover& operator=(const Handover&) = delete;

    // Whether a task was handed over and not yet collected or given up.
    bool Out() const { return out_; }

    // Has `fill(task)` write the next task and hands it to the worker, starting the worker the
    // first time. Only while none is out. False when no thread could be started: the caller
    // then does the work itself.
    template <typename Fill>
    bool Begin(Fill&& fill) {
        if (!Started() && !Start()) return false;
        fill(channel_->task);
        out_ = true;
        channel_->Set(kAsked);
        return true;
    }

    // Waits at most `wait` for the task out. Its results, when it has returned; nothing when it
    // is still out.
    Task* FinishWithin(std::chrono::nanoseconds wait) {
        if (!out_) return nullptr;
        Channel& c = *channel_;
        if (!c.AwaitCaller(spin_, wait)) return nullptr;
        out_ = false;
        return &c.task;
    }

    // Gives up the task out. When it has returned meanwhile its results are dropped, the worker
    // stays and the answer is false. Otherwise `keep(task)` is called, for what the task is to
    // hold until it returns; the worker destroys the task once it has returned and ends, and
    // the next Begin starts another worker, so nothing the stalled task brings back reaches the
    // caller.
    template <typename Keep>
    bool GiveUp(Keep&& keep) {
        if (!out_) return false;
        Channel& c = *channel_;
        {
            const std::lock_guard<std::mutex> lock(c.mutex);
            out_ = false;
            if (c.state.load(std::memory_order_relaxed) != kAsked) return false;
            c.orphaned = true;
            c.stalled = stalled_;
            stalled_->fetch_add(1);
            keep(c.task);
        }
        // The worker keeps its own share of the channel and ends after the task.
        worker_.detach();
        channel_.reset();
        return true;
    }

    // Tasks given up and still running, each on a worker of its own.
    int Stalled() const { return stalled_->load(); }

  private:
    enum State : std::uint32_t { kIdle, kAsked, kDone, kQuit };

    struct Channel {
        std::mutex mutex;
        std::condition_variable changed;
        // Written only under `mutex`; read without it while spinning.
        std::atomic<std::uint32_t> state{kIdle};
        Task task;
        // Under `mutex`: the caller gave the task up.
        bool orphaned = false;
        std::shared_ptr<std::atomic<int>> stalled;  // counts this task until it is destroyed

        void Set(std::uint32_t to) {
            {
                const std::lock_guard<std::mutex> lock(mutex);
                state.store(to, std::memory_order_release);
            }
            changed.notify_all();
        }
        // The caller's wait for the task out: true once it has returned.
        bool AwaitCaller(std::chrono::nanoseconds spin, std::chrono::nanoseconds wait) {
            const auto start = std::chrono::steady_clock::now();
            const auto spinUntil = start + std::min(spin, wait);
            while (state.load(std::memory_order_acquire) == kAsked &&
                   std::chrono::steady_clock::now() < spinUntil) {
                std::this_thread::yield();
            }
            if (state.load(std::memory_order_acquire) != kAsked) return true;
            std::unique_lock<std::mutex> lock(mutex);
            return changed.wait_until(lock, start + wait, [this] {
                return state.load(std::memory_order_relaxed) != kAsked;
            });
        }
        // The worker's wait for its next task or the end.
        std::uint32_t AwaitWorker(std::chrono::nanoseconds spin) {
            const auto ready = [this] {
                const std::uint32_t now = state.load(std::memory_order_acquire);
                return now == kAsked || now == kQuit;
            };
            const auto spinUntil = std::chrono::steady_clock::now() + spin;
            while (!ready() && std::chrono::steady_clock::now() < spinUntil) {
                std::this_thread::yield();
            }
            if (!ready()) {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, ready);
            }
            return state.load(std::memory_order_acquire);
        }
    };

    bool Started() const { return worker_.joinable(); }
    bool Start() {
        try {
            channel_ = std::make_shared<Channel>();
            worker_ = std::thread(&Handover::Run, channel_, spin_);
        } catch (const std::system_error&) {
            channel_.reset();
            return false;
        }
        return true;
    }

    static void Run(std::shared_ptr<Channel> channel, std::chrono::nanoseconds spin) {
        Channel& c = *channel;
        while (c.AwaitWorker(spin) == kAsked) {
            c.task.Run();
            bool orphaned = false;
            {
                // Under the lock, so that a caller giving up sees either the result or a task
                // still out.
                const std::lock_guard<std::mutex> lock(c.mutex);
                c.state.store(kDone, std::memory_order_release);
                orphaned = c.orphaned;
            }
            c.changed.notify_all();
            if (orphaned) {
                { const Task gone = std::move(c.task); }
                c.stalled->fetch_sub(1);
                return;
            }
        }
    }

    std::chrono::nanoseconds spin_;
    std::shared_ptr<std::atomic<int>> stalled_ = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<Channel> channel_;  // shared with the worker, which may outlive this object
    bool out_ = false;                  // the caller's side only
    std::thread worker_;
};

}  // namespace korvane

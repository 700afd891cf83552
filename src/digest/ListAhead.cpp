// The session's listing thread, the hand-over of one folder at a time, and the giving up of a
// listing that stalls.
#include "digest/ListAhead.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <utility>

#include "core/Session.h"
#include "digest/PacedRead.h"

namespace korvane {

struct ListAhead::Channel {
    enum State { kIdle, kAsked, kDone, kQuit };

    std::mutex mutex;
    std::condition_variable changed;
    // Under `mutex`: the request, its result, and whether the caller has given it up.
    State state = kIdle;
    FileSystem* fs = nullptr;
    std::string folder;
    std::vector<DirEntry> entries;
    bool ok = false;
    bool orphaned = false;
    std::shared_ptr<std::atomic<int>> stalled;  // counts this listing until it returns
};

ListAhead::~ListAhead() {
    if (!worker_.joinable()) return;
    // A listing still out belongs to a run that ended by an error: it is given up, not waited for.
    Abandon();
    if (!worker_.joinable()) return;
    {
        const std::lock_guard<std::mutex> lock(channel_->mutex);
        channel_->state = Channel::kQuit;
    }
    channel_->changed.notify_all();
    worker_.join();
}

bool ListAhead::Begin(FileSystem& fs, const std::string& folder) {
    if (out_) Abandon();
    if (!worker_.joinable()) {
        try {
            channel_ = std::make_shared<Channel>();
            worker_ = std::thread(&ListAhead::Run, channel_);
        } catch (const std::system_error&) {
            channel_.reset();
            return false;
        }
    }
    {
        const std::lock_guard<std::mutex> lock(channel_->mutex);
        channel_->fs = &fs;
        channel_->folder = folder;
        channel_->entries.clear();
        channel_->state = Channel::kAsked;
    }
    channel_->changed.notify_all();
    out_ = true;
    return true;
}

bool ListAhead::FinishWithin(std::chrono::nanoseconds wait, std::vector<DirEntry>& out, bool& ok) {
    if (!out_) return false;
    Channel& c = *channel_;
    std::unique_lock<std::mutex> lock(c.mutex);
    if (!c.changed.wait_for(lock, wait, [&c] { return c.state == Channel::kDone; })) return false;
    out = std::move(c.entries);
    ok = c.ok;
    c.state = Channel::kIdle;
    out_ = false;
    return true;
}

void ListAhead::Abandon() {
    if (!out_) return;
    {
        const std::lock_guard<std::mutex> lock(channel_->mutex);
        if (channel_->state == Channel::kDone) {
            // It came back after all: the worker stays for the next listing.
            channel_->state = Channel::kIdle;
            out_ = false;
            return;
        }
        channel_->orphaned = true;
        channel_->stalled = stalled_;
        stalled_->fetch_add(1);
    }
    worker_.detach();
    channel_.reset();
    out_ = false;
}

void ListAhead::Run(std::shared_ptr<Channel> channel) {
    Channel& c = *channel;
    std::unique_lock<std::mutex> lock(c.mutex);
    for (;;) {
        c.changed.wait(lock,
                       [&c] { return c.state == Channel::kAsked || c.state == Channel::kQuit; });
        if (c.state == Channel::kQuit) return;
        FileSystem& fs = *c.fs;
        const std::string folder = c.folder;
        std::vector<DirEntry> entries;
        lock.unlock();
        const bool ok = fs.ListFolder(folder, entries);
        lock.lock();
        if (c.orphaned) {
            c.stalled->fetch_sub(1);
            return;
        }
        c.entries = std::move(entries);
        c.ok = ok;
        c.state = Channel::kDone;
        c.changed.notify_all();
    }
}

std::optional<bool> ListPaced(Session& s, const std::string& folder, std::vector<DirEntry>& out) {
    if (!s.listAhead.Begin(s.fs, folder)) return s.fs.ListFolder(folder, out);
    for (;;) {
        bool ok = false;
        if (s.listAhead.FinishWithin(s.pacer.Left(), out, ok)) return ok;
        if (s.pacer.Due()) {
            PumpMessages(s);
            if (s.AbortRequested) {
                s.listAhead.Abandon();
                return std::nullopt;
            }
        }
    }
}

}  // namespace korvane

// Waiting for a read without leaving the window silent.
#include "reading/PacedRead.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/FileSystem.h"
#include "reading/Engine.h"
#include "reading/ReadAhead.h"

namespace korvane {

std::size_t ReadFromMemory(File& file, unsigned char* buffer, std::size_t n, int patience) {
    std::size_t got = 0;
    int empty = 0;
    while (got < n) {
        const std::size_t part = file.ReadCached(buffer + got, n - got);
        if (part == 0) {
            if (++empty >= patience) break;
            continue;
        }
        empty = 0;
        got += part;
    }
    return got;
}

std::optional<std::size_t> AwaitRead(ReadingEngine& e, ReadAhead& worker) {
    for (;;) {
        std::size_t got = 0;
        if (worker.FinishWithin(e.pacer.Left(), got)) return got;
        if (e.pacer.Due()) {
            e.Pump();
            if (e.Aborted()) return std::nullopt;
        }
    }
}

void GiveUpRead(ReadingEngine& e, ReadAhead& worker, std::unique_ptr<File>& file,
                ReusableBuffer& buffer) {
    constexpr auto kGrace = std::chrono::milliseconds(100);
    const auto until = std::chrono::steady_clock::now() + kGrace;
    for (;;) {
        const auto left = until - std::chrono::steady_clock::now();
        std::size_t got = 0;
        if (left <= left.zero()) break;
        if (worker.FinishWithin(std::min<std::chrono::nanoseconds>(left, e.pacer.Left()), got)) {
            return;
        }
        e.PumpWhenDue();
    }
    worker.Abandon(file, buffer.Release());
}

std::unique_ptr<File> OpenAfterStalledReads(ReadingEngine& e, FileSystem& fs,
                                            const std::string& path, ShareMode share,
                                            bool& aborted) {
    aborted = false;
    ++e.opens;
    std::unique_ptr<File> file = fs.Open(path, share);
    if (file || e.StalledReads() == 0) return file;
    e.Log(kWaitingForStalledRead);
    while (e.StalledReads() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        e.PumpWhenDue();
        if (e.Aborted()) {
            aborted = true;
            return nullptr;
        }
    }
    return fs.Open(path, share);
}

std::optional<std::size_t> ReadPaced(ReadingEngine& e, ReadAhead& worker, File& file,
                                     unsigned char* buffer, std::size_t n) {
    // From the page cache a hand-over to the worker would cost more than the read itself.
    const std::size_t cached = ReadFromMemory(file, buffer, n, 2);
    // At the end of the file the rest would read nothing.
    if (cached == n || file.Position() >= file.Size()) return cached;
    ++e.readsNotInMemory;
    if (!worker.Begin(file, buffer + cached, n - cached)) {
        return cached + file.Read(buffer + cached, n - cached);  // no worker could be started
    }
    const std::optional<std::size_t> rest = AwaitRead(e, worker);
    if (!rest) return std::nullopt;
    return cached + *rest;
}

}  // namespace korvane

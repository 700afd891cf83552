// Waiting for a read without leaving the window silent, and the pacing of the readers' pumps.
#include "digest/PacedRead.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/Session.h"
#include "digest/ReadAhead.h"
#include "digest/RowsAhead.h"
#include "platform/FileSystem.h"

namespace korvane {

void PumpMessages(Session& s) {
    s.window.ProcessMessages();
    s.pacer.Mark();
}

void PumpWhenDue(Session& s) {
    if (s.pacer.Due()) PumpMessages(s);
}

std::optional<std::size_t> AwaitRead(Session& s, ReadAhead& worker) {
    for (;;) {
        std::size_t got = 0;
        if (worker.FinishWithin(s.pacer.Left(), got)) return got;
        if (s.pacer.Due()) {
            PumpMessages(s);
            if (s.AbortRequested) return std::nullopt;
        }
    }
}

void GiveUpRead(Session& s, ReadAhead& worker, std::unique_ptr<File>& file,
                ReusableBuffer& buffer) {
    constexpr auto kGrace = std::chrono::milliseconds(100);
    const auto until = std::chrono::steady_clock::now() + kGrace;
    for (;;) {
        const auto left = until - std::chrono::steady_clock::now();
        std::size_t got = 0;
        if (left <= left.zero()) break;
        if (worker.FinishWithin(std::min<std::chrono::nanoseconds>(left, s.pacer.Left()), got)) {
            return;
        }
        PumpWhenDue(s);
    }
    worker.Abandon(file, buffer.Release());
}

std::unique_ptr<File> OpenAfterStalledReads(Session& s, const std::string& path, ShareMode share,
                                            bool& aborted) {
    aborted = false;
    std::unique_ptr<File> file = s.fs.Open(path, share);
    const auto stalled = [&s] { return s.readAhead.StalledReads() + s.copyAhead.StalledReads(); };
    if (file || stalled() == 0) return file;
    s.window.AppendLog(kWaitingForStalledRead);
    while (stalled() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        PumpWhenDue(s);
        if (s.AbortRequested) {
            aborted = true;
            return nullptr;
        }
    }
    return s.fs.Open(path, share);
}

std::optional<std::size_t> ReadPaced(Session& s, ReadAhead& worker, File& file,
                                     unsigned char* buffer, std::size_t n) {
    // From the page cache a hand-over to the worker would cost more than the read itself.
    const std::size_t cached = ReadFromMemory(file, buffer, n, 2);
    // At the end of the file the rest would read nothing.
    if (cached == n || file.Position() >= file.Size()) return cached;
    ++s.readsNotInMemory;
    if (!worker.Begin(file, buffer + cached, n - cached)) {
        return cached + file.Read(buffer + cached, n - cached);  // no worker could be started
    }
    const std::optional<std::size_t> rest = AwaitRead(s, worker);
    if (!rest) return std::nullopt;
    return cached + *rest;
}

}  // namespace korvane

// A reading thread kept for a session's life: it reads a file's next piece while the caller works.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>

#include "platform/FileSystem.h"
#include "reading/Handover.h"

namespace korvane {

// One read at a time is handed over. While it is out the File belongs to the worker: the caller
// must not read it, ask its position or close it until the read is collected (Finish,
// FinishWithin, Settle) or given up (Abandon).
class ReadAhead {
  public:
    ReadAhead();
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Starts file.Read(buffer, n) on the worker, starting the worker the first time. False when
    // no thread could be started: the caller then reads for itself.
    bool Begin(File& file, void* buffer, std::size_t n);
    // Waits for the read handed over last and returns what it delivered.
    std::size_t Finish();
    // Waits at most `wait` for the read handed over last. True, with what it delivered in
    // `got`, when it has returned; false when it is still out.
    bool FinishWithin(std::chrono::nanoseconds wait, std::size_t& got);
    // Waits for a read still out, if any, and drops its bytes.
    void Settle();
    // Gives up the read still out, if any. A read that returns within `grace` is dropped and
    // the caller keeps its file. One that does not (a drive retrying a damaged sector) is left
    // to the worker with the file and the buffer it reads into: the worker closes the file and
    // frees the buffer when the read returns, and ends. The next Begin starts another worker,
    // so nothing the stalled read brings back ever reaches the caller.
    void Abandon(std::unique_ptr<File>& file, std::unique_ptr<unsigned char[]> buffer,
                 std::chrono::nanoseconds grace = std::chrono::nanoseconds::zero());

    // Reads given up and still running, each on a worker of its own and holding its file open
    // until the read returns.
    int StalledReads() const { return worker_.Stalled(); }

  private:
    struct Read {
        File* file = nullptr;
        void* buffer = nullptr;
        std::size_t want = 0;
        std::size_t got = 0;
        // What a read given up holds until it returns.
        std::unique_ptr<File> keptFile;
        std::unique_ptr<unsigned char[]> keptBuffer;

        void Run() { got = file->Read(buffer, want); }
    };

    Handover<Read> worker_;
};

// Collects a read still out on `worker` on every way out of a reader. Declared after the file
// the worker reads, so that the read is done before the file closes.
struct SettleOnExit {
    ReadAhead& worker;
    ~SettleOnExit() { worker.Settle(); }
};

}  // namespace korvane

// The reading engine of one session: its workers, its reusable buffers and the pacing of pumps.
#pragma once

#include <cstdint>
#include <string>

#include "reading/Clock.h"
#include "reading/ListAhead.h"
#include "reading/ReadAhead.h"
#include "reading/ReadHost.h"
#include "reading/ReusableBuffer.h"

namespace korvane {

class ReadingEngine {
  public:
    explicit ReadingEngine(ReadHost& host) : host_(host) {}
    ReadingEngine(const ReadingEngine&) = delete;
    ReadingEngine& operator=(const ReadingEngine&) = delete;

    // Lets the window handle its messages and notes the time, for the pacing of the next pump.
    void Pump() {
        host_.ProcessMessages();
        pacer.Mark();
    }
    // Pumps when the pacing interval has passed since the last pump: a slow read, a slow
    // digest or a large block never leaves the window silent for long, whatever the gauge does.
    void PumpWhenDue() {
        if (pacer.Due()) Pump();
    }
    bool Aborted() const { return host_.AbortAsked(); }
    void Log(const std::string& line) { host_.Log(line); }

    // Reads given up and still running, on either reading worker.
    int StalledReads() const { return readAhead.StalledReads() + copyAhead.StalledReads(); }

    // Buffers reused across files: the digest chunk and the two comparison blocks. Declared
    // before the workers, so that a read still out is collected before its buffer goes.
    ReusableBuffer chunkBuffer;
    ReusableBuffer sourceBuffer;
    ReusableBuffer copyBuffer;

    // The readers' reads run on these workers while this thread digests, compares and lets the
    // window handle its messages: the source (or the only) file on the first, the copy on the
    // second. Started on first use and stopped with the engine.
    ReadAhead readAhead;
    ReadAhead copyAhead;
    // The scans' folder listings run on this worker, so that a stalled one can be given up.
    ListAhead listAhead;

    // Reads that had to wait for the drive (not served from memory), and files opened by the
    // readers themselves: the workers read ahead only where rows come from memory.
    std::uint64_t readsNotInMemory = 0;
    std::uint64_t opens = 0;

    // When the readers pump besides their gauge steps.
    PumpPacer pacer{&SteadyClock()};

  private:
    ReadHost& host_;
};

}  // namespace korvane

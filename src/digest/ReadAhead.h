// A reading thread kept for a session's life: it reads a file's next piece while the caller works.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "platform/FileSystem.h"

namespace korvane {

// One read at a time is handed over. While it is out the File belongs to the worker: the caller
// must not read it, ask its position or close it until Finish (or Settle) has returned.
//
// Handing over and collecting spin on an atomic for a while before sleeping: waking a sleeping
// thread costs more on a virtual machine than the page-cache read it would save.
class ReadAhead {
  public:
    ReadAhead() = default;
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Starts file.Read(buffer, n) on the worker, starting the worker the first time. False when
    // no thread could be started: the caller then reads for itself.
    bool Begin(File& file, void* buffer, std::size_t n);
    // Waits for the read handed over last and returns what it delivered.
    std::size_t Finish();
    // Waits for a read still out, if any, and drops its bytes.
    void Settle();

  private:
    enum State : std::uint32_t { kIdle, kAsked, kDone, kQuit };

    void Run();
    // Returns once state_ is no longer `from`.
    std::uint32_t AwaitChange(std::uint32_t from);

    std::atomic<std::uint32_t> state_{kIdle};
    // The request, written before state_ turns kAsked, and its result, before it turns kDone.
    File* file_ = nullptr;
    void* buffer_ = nullptr;
    std::size_t want_ = 0;
    std::size_t got_ = 0;
    bool out_ = false;  // a read was handed over and not yet collected (caller's side only)
    std::thread worker_;
};

}  // namespace korvane

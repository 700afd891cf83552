// The time a run paces its message pumps by, behind a seam so that tests can set it.
#pragma once

#include <chrono>

namespace korvane {

class Clock {
  public:
    using time_point = std::chrono::steady_clock::time_point;
    using duration = std::chrono::steady_clock::duration;

    virtual ~Clock() = default;
    virtual time_point Now() const = 0;
};

// The monotonic clock of the machine; one instance for the whole program.
Clock& SteadyClock();

// When a reader lets the window handle its messages besides the gauge steps: a long file,
// a slow drive or a stalled read must never leave the window silent for long.
class PumpPacer {
  public:
    static constexpr std::chrono::milliseconds kInterval{50};

    explicit PumpPacer(const Clock* clock) : clock_(clock) {}
    void SetClock(const Clock* clock) {
        clock_ = clock;
        last_ = clock_->Now();
    }

    // True once the interval has passed since the last pump that was marked.
    bool Due() const { return clock_->Now() - last_ >= kInterval; }
    // How long until Due(); zero when it already is.
    Clock::duration Left() const {
        const Clock::duration left = kInterval - (clock_->Now() - last_);
        return left > Clock::duration::zero() ? left : Clock::duration::zero();
    }
    void Mark() { last_ = clock_->Now(); }

  private:
    const Clock* clock_;
    Clock::time_point last_{};
};

}  // namespace korvane

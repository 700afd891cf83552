// A clock that stands still until a test moves it.
#pragma once

#include <chrono>

#include "reading/Clock.h"

namespace korvane::test {

class FakeClock : public Clock {
  public:
    // Each look at the clock finds `perLook` more passed: work that looks often takes long.
    std::chrono::milliseconds perLook{0};

    time_point Now() const override { return now_ += perLook; }
    void Advance(std::chrono::milliseconds by) { now_ += by; }

  private:
    mutable time_point now_{};
};

}  // namespace korvane::test

// The machine's monotonic clock behind the Clock seam.
#include "reading/Clock.h"

namespace korvane {

namespace {

class Steady final : public Clock {
  public:
    time_point Now() const override { return std::chrono::steady_clock::now(); }
};

}  // namespace

Clock& SteadyClock() {
    static Steady clock;
    return clock;
}

}  // namespace korvane

// The progress timer's tick: the disc percentage from DoneBytes and TotalBytes, and the time
// label stretched from the elapsed seconds in proportion to the share still to do.
#include "core/ProgressTimer.h"

#include <cmath>
#include <cstdio>

#include "core/Session.h"
#include "core/Texts.h"

namespace korvane {

void Timer1Timer(Session& s) {
    Window& w = s.window;
    // Without a total there is no percentage to form; the gauge keeps what it shows.
    if (s.TotalBytes == 0) return;
    const double exact =
        static_cast<double>(s.DoneBytes) / (static_cast<double>(s.TotalBytes) / 100.0);
    const long long p = static_cast<long long>(std::trunc(std::fmin(exact, 1e9)));
    w.SetGauge(GaugeId::Disc, static_cast<int>(p > 100 ? 100 : p));
    if (p == 0 || w.PanelText(StatusPanel::Command) == text::kCmdCalcMd5) return;

    ++s.ElapsedSeconds;
    // More bytes done than listed (a copy larger than its source) leaves nothing remaining.
    const unsigned long long remaining =
        p >= 100 ? 0
                 : static_cast<unsigned long long>(
                       std::trunc(static_cast<double>(s.ElapsedSeconds) / static_cast<double>(p) *
                                  static_cast<double>(100 - p)));
    const unsigned long elapsed = s.ElapsedSeconds;
    char label[96];
    std::snprintf(label, sizeof label, text::kTimeLabelFormat, elapsed / 60, elapsed % 60,
                  remaining / 60, remaining % 60);
    w.SetTimeLabel(label);
}

}  // namespace korvane

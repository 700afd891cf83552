// Waiting for a read without leaving the window silent, and the pacing of the readers' pumps.
#include "digest/PacedRead.h"

#include "core/Session.h"
#include "digest/ReadAhead.h"

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

}  // namespace korvane

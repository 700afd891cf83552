// Reads on the session's workers while the window keeps handling its messages.
#pragma once

#include <cstddef>
#include <optional>

namespace korvane {

class ReadAhead;
class Session;

// Lets the window handle its messages and notes the time, for the pacing of the next pump.
void PumpMessages(Session& s);

// Pumps when the pacing interval has passed since the last pump: a slow read, a slow digest or
// a large block never leaves the window silent for long, whatever the gauge does.
void PumpWhenDue(Session& s);

// Collects the read out on `worker`. While it lasts the window handles its messages every pacing
// interval. Nothing when an abort was asked for meanwhile: the read is then still out and the
// caller gives it up (ReadAhead::Abandon) instead of waiting for it.
std::optional<std::size_t> AwaitRead(Session& s, ReadAhead& worker);

}  // namespace korvane

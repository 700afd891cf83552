// Reads on the session's workers while the window keeps handling its messages.
#pragma once

#include <cstddef>
#include <optional>

namespace korvane {

class File;
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

// Reads up to n bytes of `file` without ever holding up the window: what is already in memory
// is taken here, the rest is read on `worker` (AwaitRead). Nothing on abort, with the read still
// out on the worker.
std::optional<std::size_t> ReadPaced(Session& s, ReadAhead& worker, File& file,
                                     unsigned char* buffer, std::size_t n);

}  // namespace korvane

// Reads on the session's workers while the window keeps handling its messages.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>

namespace korvane {

class File;
class ReadAhead;
class ReusableBuffer;
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

// Gives up the read out on `worker` after an abort. A read that comes back within a moment (any
// read of the page cache or of a working drive does) is dropped and the file stays with the
// caller; the window goes on meanwhile. A stalled one is left to the worker with `file` and the
// memory of `buffer`, which the next read allocates afresh.
void GiveUpRead(Session& s, ReadAhead& worker, std::unique_ptr<File>& file, ReusableBuffer& buffer);

// Reads up to n bytes of `file` without ever holding up the window: what is already in memory
// is taken here, the rest is read on `worker` (AwaitRead). Nothing on abort, with the read still
// out on the worker.
std::optional<std::size_t> ReadPaced(Session& s, ReadAhead& worker, File& file,
                                     unsigned char* buffer, std::size_t n);

}  // namespace korvane

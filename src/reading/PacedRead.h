// Reads on the engine's workers while the window keeps handling its messages.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace korvane {

class File;
class FileSystem;
enum class ShareMode;
class ReadAhead;
class ReadingEngine;
class ReusableBuffer;

// Reads up to n bytes of what the page cache holds (File::ReadCached), asking again where the
// kernel stopped short: with everything in memory, a read that may not wait still comes back
// short now and then, or empty, for a few dozen tries in a row. What is left unread after
// `patience` empty answers in a row is taken as not in memory.
std::size_t ReadFromMemory(File& file, unsigned char* buffer, std::size_t n, int patience);

// Collects the read out on `worker`. While it lasts the window handles its messages every pacing
// interval. Nothing when an abort was asked for meanwhile: the read is then still out and the
// caller gives it up (ReadAhead::Abandon) instead of waiting for it.
std::optional<std::size_t> AwaitRead(ReadingEngine& e, ReadAhead& worker);

// Gives up the read out on `worker` after an abort. A read that comes back within a moment (any
// read of the page cache or of a working drive does) is dropped and the file stays with the
// caller; the window goes on meanwhile. A stalled one is left to the worker with `file` and the
// memory of `buffer`, which the next read allocates afresh.
void GiveUpRead(ReadingEngine& e, ReadAhead& worker, std::unique_ptr<File>& file,
                ReusableBuffer& buffer);

// The log line of a command that waits for a read given up earlier.
inline constexpr char kWaitingForStalledRead[] = "前回中断した読み取りの終了を待っています";

// Opens `path`. When that fails while a read given up earlier still holds a file open (an
// exclusive open is refused then), logs that it waits, waits for those reads to end with the
// window going on, and tries once more. Sets `aborted` when an abort ended the wait.
std::unique_ptr<File> OpenAfterStalledReads(ReadingEngine& e, FileSystem& fs,
                                            const std::string& path, ShareMode share,
                                            bool& aborted);

// Reads up to n bytes of `file` without ever holding up the window: what is already in memory
// is taken here, the rest is read on `worker` (AwaitRead). Nothing on abort, with the read still
// out on the worker.
std::optional<std::size_t> ReadPaced(ReadingEngine& e, ReadAhead& worker, File& file,
                                     unsigned char* buffer, std::size_t n);

}  // namespace korvane

// The file layer the core works through: drive-letter paths in, files and listings out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// What an open grants to other openers of the same file.
enum class ShareMode {
    Read,       // others may read; an exclusive holder makes the open fail
    Exclusive,  // nobody else may have the file open
};

// What a directory entry is when it is no folder. Nothing but a file is ever opened for reading.
enum class EntryKind {
    File,
    Link,  // a symbolic link, whatever it points at (a file, a folder, nothing)
    Fifo,
    Socket,
    Device,
    Unreadable,  // the directory names it, but it could not be looked up
};

struct DirEntry {
    std::string name;  // the bytes the directory holds, unconverted
    bool isFolder = false;
    std::uint64_t size = 0;            // full 64-bit size (0 for everything but files)
    EntryKind kind = EntryKind::File;  // only read when isFolder is false
    std::string linkTarget{};          // a link's target text, as stored
};

// A listing stops, and fails, past this many entries: a folder that never ends must not take
// the machine's memory. No disc holds so many in all (see ScanLimits).
inline constexpr std::uint64_t kMaxListedEntries = 5'000'000;

// An open file, read from start to end.
class File {
  public:
    virtual ~File() = default;
    // Delivers min(n, remaining) bytes unless the end of the file or an error stops it.
    // A failing read delivers what it got; every read after a failure delivers 0.
    virtual std::size_t Read(void* buffer, std::size_t n) = 0;
    // Delivers, without waiting for the device, what of the next n bytes is already in memory:
    // possibly nothing. Never blocks on a slow or stalled drive, so it may run where waiting is
    // not allowed; the rest is then asked of Read.
    virtual std::size_t ReadCached(void* /*buffer*/, std::size_t /*n*/) { return 0; }
    virtual std::uint64_t Position() const = 0;
    virtual std::uint64_t Size() const = 0;
};

// Outcome of writing a whole file; message is the system's reason when ok is false.
struct WriteResult {
    bool ok = true;
    std::string message;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Lists a folder given as a drive path ending in a backslash ("Q:\DATA\"), in the order the
    // directory returns its entries, without "." and "..". Every entry is listed for what it is:
    // a link is never followed, and a name that cannot be looked up comes as Unreadable.
    // Returns false when the folder could not be opened or not read to its end (also past
    // kMaxListedEntries entries); the entries read before the failure are still in `out`.
    //
    // No call of this layer follows a symbolic link inside a drive, on the way or at the end of a
    // path: a link could lead anywhere on the host.
    virtual bool ListFolder(const std::string& folder, std::vector<DirEntry>& out) = 0;

    // Opens an existing regular file for reading; nullptr when it cannot be opened (missing,
    // a folder, no permission, or a share conflict with another open).
    virtual std::unique_ptr<File> Open(const std::string& path, ShareMode share) = 0;

    // True only for an existing regular file; a folder or a link counts as not found.
    virtual bool FileExists(const std::string& path) = 0;

    // The full size of the file the path names, without opening it; nothing when there is none.
    virtual std::optional<std::uint64_t> SizeOf(const std::string& path) = 0;

    // The target text of the symbolic link the path names; nothing when it names no link.
    virtual std::optional<std::string> LinkTarget(const std::string& /*path*/) { return {}; }

    // Whole-file access for the result files. These take the host paths the file dialogs
    // return, not drive paths.
    virtual bool ReadWhole(const std::string& hostPath, std::string& out) = 0;
    // Replaces the file atomically: a temporary file in the same folder is written with checked
    // calls, synced and renamed over the target, so a failure leaves the old file whole. A target
    // that is no regular file (a device, a FIFO, a link to one) is never replaced: it is written
    // to as it stands, and its errors are reported.
    virtual WriteResult WriteWholeAtomically(const std::string& hostPath,
                                             std::string_view data) = 0;

    // True when the drive path names the very file at the host path (a list file kept on the
    // drive it lists). A link on the drive is not the file it points to.
    virtual bool IsHostFile(const std::string& /*path*/, const std::string& /*hostPath*/) {
        return false;
    }
};

}  // namespace korvane

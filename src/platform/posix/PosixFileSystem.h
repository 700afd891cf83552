// The file layer on POSIX systems: drive paths resolved through a DriveMap, read with plain system
// calls.
#pragma once

#include "platform/DriveMap.h"
#include "platform/FileSystem.h"

namespace korvane {

class PosixFileSystem : public FileSystem {
  public:
    // The map is read at every call, so letters added or removed later apply at once.
    explicit PosixFileSystem(const DriveMap& drives) : drives_(drives) {}

    bool ListFolder(const std::string& folder, std::vector<DirEntry>& out) override;
    std::unique_ptr<File> Open(const std::string& path, ShareMode share) override;
    bool FileExists(const std::string& path) override;
    std::optional<std::uint64_t> SizeOf(const std::string& path) override;
    std::optional<std::string> LinkTarget(const std::string& path) override;
    bool ReadWhole(const std::string& hostPath, std::string& out) override;
    WriteResult WriteWholeAtomically(const std::string& hostPath, std::string_view data) override;
    bool IsHostFile(const std::string& path, const std::string& hostPath) override;

    // The host-path halves of the calls above, for callers that already hold a host path.
    // With trustEntryKinds false every entry is looked at as on filesystems that report no kinds
    // in their directories (ISO 9660 among them).
    static bool ListHostFolder(const std::string& hostFolder, std::vector<DirEntry>& out,
                               bool trustEntryKinds = true);
    // A link as the last name of the path is not followed.
    static std::unique_ptr<File> OpenHost(const std::string& hostPath, ShareMode share);

  protected:
    // fsync(2): flushes an open file or folder through to the device. The atomic save calls it
    // for the new file before the rename and for its folder after it, so a crash leaves either
    // the old list or the whole new one; a test overrides it to watch that order.
    virtual int Sync(int fd);

  private:
    // Opens the file `name` of the open folder `folder` (or of the working folder for AT_FDCWD).
    static std::unique_ptr<File> OpenAt(int folder, const char* name, ShareMode share);

    const DriveMap& drives_;
};

}  // namespace korvane

// A FileSystem decorator that makes chosen reads, opens and listings fail, like a damaged disc.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "platform/FileSystem.h"

namespace korvane::test {

class FaultyFileSystem : public FileSystem {
  public:
    explicit FaultyFileSystem(FileSystem& inner) : inner_(inner) {}

    // Reads of the file at this drive path deliver its first `bytes` bytes, then fail: the read
    // that reaches the limit delivers what lies before it, every later read delivers 0.
    void FailReadAfter(const std::string& path, std::uint64_t bytes) { readLimits_[path] = bytes; }
    // Opens of this drive path fail.
    void FailOpen(const std::string& path) { failOpens_.insert(path); }
    // Listing this folder (drive path ending in a backslash) reports failure; with keepEntries
    // the entries are still delivered (a folder whose reading broke off at its end).
    void FailListing(const std::string& folder, bool keepEntries = false) {
        failListings_[folder] = keepEntries;
    }
    // From now on every call fails, as when the disc is gone.
    void Vanish() { vanished_ = true; }

    bool ListFolder(const std::string& folder, std::vector<DirEntry>& out) override;
    std::unique_ptr<File> Open(const std::string& path, ShareMode share) override;
    bool FileExists(const std::string& path) override;
    std::optional<std::uint64_t> SizeOf(const std::string& path) override;
    std::optional<std::string> LinkTarget(const std::string& path) override;
    bool ReadWhole(const std::string& hostPath, std::string& out) override;
    WriteResult WriteWholeAtomically(const std::string& hostPath, std::string_view data) override;
    bool IsHostFile(const std::string& path, const std::string& hostPath) override;

  private:
    FileSystem& inner_;
    std::map<std::string, std::uint64_t> readLimits_;
    std::set<std::string> failOpens_;
    std::map<std::string, bool> failListings_;
    std::atomic<bool> vanished_{false};  // read by the digest workers too
};

}  // namespace korvane::test

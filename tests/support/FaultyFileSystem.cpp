// A FileSystem decorator that makes chosen reads, opens and listings fail, like a damaged disc.
#include "support/FaultyFileSystem.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <utility>

namespace korvane::test {

namespace {

// Passes reads through until the limit or until the disc vanishes, then delivers 0 for good.
// It watches the owner's vanished flag, so it must not outlive the FaultyFileSystem.
class FaultyFile : public File {
  public:
    FaultyFile(std::unique_ptr<File> inner, std::uint64_t limit, const std::atomic<bool>& vanished)
        : inner_(std::move(inner)), limit_(limit), vanished_(vanished) {}

    std::size_t Read(void* buffer, std::size_t n) override {
        if (failed_ || vanished_) return 0;
        const std::uint64_t position = inner_->Position();
        const std::uint64_t allowed = limit_ > position ? limit_ - position : 0;
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(n, allowed));
        const std::size_t got = take > 0 ? inner_->Read(buffer, take) : 0;
        if (take < n) failed_ = true;
        return got;
    }
    // What is in memory up to the limit; the read that reaches the limit is left to Read.
    std::size_t ReadCached(void* buffer, std::size_t n) override {
        if (failed_ || vanished_) return 0;
        const std::uint64_t position = inner_->Position();
        const std::uint64_t allowed = limit_ > position ? limit_ - position : 0;
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(n, allowed));
        return take > 0 ? inner_->ReadCached(buffer, take) : 0;
    }
    std::uint64_t Position() const override { return inner_->Position(); }
    std::uint64_t Size() const override { return inner_->Size(); }

  private:
    std::unique_ptr<File> inner_;
    std::uint64_t limit_;
    const std::atomic<bool>& vanished_;
    bool failed_ = false;
};

}  // namespace

bool FaultyFileSystem::ListFolder(const std::string& folder, std::vector<DirEntry>& out) {
    auto it = failListings_.find(folder);
    if (vanished_ || (it != failListings_.end() && !it->second)) {
        out.clear();
        return false;
    }
    const bool ok = inner_.ListFolder(folder, out);
    return ok && it == failListings_.end();
}

std::unique_ptr<File> FaultyFileSystem::Open(const std::string& path, ShareMode share) {
    if (vanished_ || failOpens_.count(path) != 0) return nullptr;
    auto file = inner_.Open(path, share);
    if (!file) return nullptr;
    auto limit = readLimits_.find(path);
    return std::make_unique<FaultyFile>(
        std::move(file),
        limit == readLimits_.end() ? std::numeric_limits<std::uint64_t>::max() : limit->second,
        vanished_);
}

bool FaultyFileSystem::FileExists(const std::string& path) {
    return !vanished_ && inner_.FileExists(path);
}

std::optional<std::uint64_t> FaultyFileSystem::SizeOf(const std::string& path) {
    if (vanished_) return std::nullopt;
    return inner_.SizeOf(path);
}

std::optional<std::string> FaultyFileSystem::LinkTarget(const std::string& path) {
    if (vanished_) return std::nullopt;
    return inner_.LinkTarget(path);
}

// The result files live on the host, not on the disc, so they keep working after Vanish.
bool FaultyFileSystem::ReadWhole(const std::string& hostPath, std::string& out) {
    return inner_.ReadWhole(hostPath, out);
}

WriteResult FaultyFileSystem::WriteWholeAtomically(const std::string& hostPath,
                                                   std::string_view data) {
    return inner_.WriteWholeAtomically(hostPath, data);
}

bool FaultyFileSystem::IsHostFile(const std::string& path, const std::string& hostPath) {
    return !vanished_ && inner_.IsHostFile(path, hostPath);
}

}  // namespace korvane::test

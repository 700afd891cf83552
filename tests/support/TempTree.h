// A real temporary folder tree for tests, removed when the fixture ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvane::test {

class TempTree {
  public:
    // In the system's temporary folder, or in `parent` (a memory filesystem reads holes fast).
    explicit TempTree(const std::string& parent = {});
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return root_; }
    // Host path of a path relative to the root ("DATA/A.BIN").
    std::string Host(std::string_view relative) const;

    // Creates the folders on the way. Returns the host path.
    std::string MakeFolder(std::string_view relative);
    std::string WriteFile(std::string_view relative, std::string_view content);
    // `size` bytes of a fixed pseudo-random pattern drawn from `seed`.
    std::string WritePattern(std::string_view relative, std::uint64_t size, std::uint32_t seed = 1);
    // A sparse file of `size` bytes (holes read as zero bytes).
    std::string WriteSparse(std::string_view relative, std::uint64_t size);
    std::string ReadFile(std::string_view relative) const;

  private:
    std::string root_;
};

// Bytes of the pattern WritePattern writes.
std::string PatternBytes(std::uint64_t size, std::uint32_t seed = 1);

}  // namespace korvane::test

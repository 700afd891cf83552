// Temporary trees on the real file system, made at test time.
#include "support/TempTree.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include <cstdlib>

namespace fs = std::filesystem;

namespace korvane::test {

std::string PatternBytes(std::uint64_t size, std::uint32_t seed) {
    std::string out(size, '\0');
    std::mt19937 gen(seed);
    for (auto& c : out) c = static_cast<char>(gen() & 0xFF);
    return out;
}

TempTree::TempTree(const std::string& parent) {
    const fs::path base = parent.empty() ? fs::temp_directory_path() : fs::path(parent);
    std::string pattern = (base / "korvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
}

TempTree::~TempTree() {
    std::error_code ec;
    // Folders made unreadable by a test must not keep the tree alive.
    for (auto it = fs::recursive_directory_iterator(root_, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(root_, ec);
}

std::string TempTree::Host(std::string_view relative) const {
    return root_ + "/" + std::string(relative);
}

std::string TempTree::MakeFolder(std::string_view relative) {
    std::string host = Host(relative);
    fs::create_directories(host);
    return host;
}

std::string TempTree::WriteFile(std::string_view relative, std::string_view content) {
    std::string host = Host(relative);
    fs::create_directories(fs::path(host).parent_path());
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + host);
    return host;
}

std::string TempTree::WritePattern(std::string_view relative, std::uint64_t size,
                                   std::uint32_t seed) {
    return WriteFile(relative, PatternBytes(size, seed));
}

std::string TempTree::WriteSparse(std::string_view relative, std::uint64_t size) {
    std::string host = Host(relative);
    fs::create_directories(fs::path(host).parent_path());
    { std::ofstream out(host, std::ios::binary | std::ios::trunc); }
    fs::resize_file(host, size);
    return host;
}

std::string TempTree::ReadFile(std::string_view relative) const {
    std::ifstream in(Host(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace korvane::test

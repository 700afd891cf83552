// Temporary trees on the real file system, made at test time.
#include "support/TempTree.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace korvane::test {

namespace {

// Paths are UTF-8 in the program; a std::string would be read in the ANSI code page on Windows.
fs::path PathOf(std::string_view utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const fs::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

std::string PatternBytes(std::uint64_t size, std::uint32_t seed) {
    std::string out(size, '\0');
    std::mt19937 gen(seed);
    for (auto& c : out) c = static_cast<char>(gen() & 0xFF);
    return out;
}

TempTree::TempTree(const std::string& parent) {
    const fs::path base = parent.empty() ? fs::temp_directory_path() : PathOf(parent);
    // A fresh name of our own, made by create_directory alone, which fails where one exists.
    std::random_device seed;
    std::mt19937_64 gen((static_cast<std::uint64_t>(seed()) << 32) ^ seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / ("korvane-test-" + std::to_string(gen() % 1000000000));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, ec);
            root_ = Utf8Of(candidate);
            return;
        }
        if (ec) throw std::runtime_error("cannot make a folder in " + Utf8Of(base));
    }
    throw std::runtime_error("no free folder name in " + Utf8Of(base));
}

TempTree::~TempTree() {
    std::error_code ec;
    // Folders made unreadable by a test must not keep the tree alive.
    for (auto it = fs::recursive_directory_iterator(PathOf(root_), ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(PathOf(root_), ec);
}

std::string TempTree::Host(std::string_view relative) const {
    return root_ + "/" + std::string(relative);
}

std::string TempTree::MakeFolder(std::string_view relative) {
    std::string host = Host(relative);
    fs::create_directories(PathOf(host));
    return host;
}

std::string TempTree::WriteFile(std::string_view relative, std::string_view content) {
    std::string host = Host(relative);
    fs::create_directories(PathOf(host).parent_path());
    std::ofstream out(PathOf(host), std::ios::binary | std::ios::trunc);
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
    fs::create_directories(PathOf(host).parent_path());
    { std::ofstream out(PathOf(host), std::ios::binary | std::ios::trunc); }
    fs::resize_file(PathOf(host), size);
    return host;
}

std::string TempTree::ReadFile(std::string_view relative) const {
    std::ifstream in(PathOf(Host(relative)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace korvane::test

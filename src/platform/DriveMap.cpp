// Drive-letter paths to host paths.
#include "platform/DriveMap.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace korvane {

namespace {
char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// What follows "Q:\" may only go down into the drive: a "." or ".." segment would climb out of
// it, an empty one is no name, and a NUL would cut the host path short. Both slashes count as
// separators, since the host turns '/' into one too. Only a final separator (a folder) may end
// the path.
bool StaysOnDrive(std::string_view rest) {
    if (rest.find('\0') != std::string_view::npos) return false;
    std::size_t start = 0;
    while (start < rest.size()) {
        const std::size_t end = std::min(rest.find_first_of("\\/", start), rest.size());
        const std::string_view segment = rest.substr(start, end - start);
        if (segment.empty() || segment == "." || segment == "..") return false;
        start = end + 1;
    }
    return true;
}
}  // namespace

void DriveMap::Set(char letter, std::string hostRoot) {
    while (hostRoot.size() > 1 && hostRoot.back() == '/') hostRoot.pop_back();
    if (hostRoot == "/") hostRoot.clear();  // "/" + "/DATA" must not become "//DATA"
    roots_[Upper(letter)] = std::move(hostRoot);
}

void DriveMap::Remove(char letter) { roots_.erase(Upper(letter)); }

std::optional<std::string> DriveMap::RootOf(char letter) const {
    auto it = roots_.find(Upper(letter));
    if (it == roots_.end()) return std::nullopt;
    return it->second.empty() ? std::string("/") : it->second;
}

std::optional<std::string> DriveMap::ToHost(std::string_view drivePath) const {
    if (drivePath.size() < 3 || drivePath[1] != ':' || drivePath[2] != '\\') return std::nullopt;
    if (!StaysOnDrive(drivePath.substr(3))) return std::nullopt;
    auto it = roots_.find(Upper(drivePath[0]));
    if (it == roots_.end()) return std::nullopt;
    std::string host = it->second;
    host.reserve(host.size() + drivePath.size());
    for (std::size_t i = 2; i < drivePath.size(); ++i) {
        host.push_back(drivePath[i] == '\\' ? '/' : drivePath[i]);
    }
    return host;
}

}  // namespace korvane

// Drive-letter paths to host paths.
#include "platform/DriveMap.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "platform/Names.h"

namespace korvane {

namespace {
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

std::string WithoutTrailingSlash(std::string root) {
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (root == "/") root.clear();  // "/" + "/DATA" must not become "//DATA"
    return root;
}
}  // namespace

void DriveMap::Set(char letter, std::string hostRoot) {
    bound_.erase(Upper(letter));
    roots_[Upper(letter)] = WithoutTrailingSlash(std::move(hostRoot));
}

void DriveMap::BindDevice(char letter, std::string device, unsigned major, unsigned minor,
                          const std::optional<MountEntry>& now) {
    Binding& b = bound_[Upper(letter)] = Binding{};
    b.device = std::move(device);
    b.devMajor = major;
    b.devMinor = minor;
    Lead(Upper(letter), b, now ? &*now : nullptr);
}

void DriveMap::BindMount(char letter, const MountEntry& mount) {
    Binding& b = bound_[Upper(letter)] = Binding{};
    b.mount = mount;
    Lead(Upper(letter), b, &mount);
}

void DriveMap::BindMountPoint(char letter, const MountEntry& now) {
    Binding& b = bound_[Upper(letter)] = Binding{};
    b.mount = now;
    b.anyAtMountPoint = true;
    Lead(Upper(letter), b, &now);
}

void DriveMap::Remove(char letter) {
    roots_.erase(Upper(letter));
    bound_.erase(Upper(letter));
}

void DriveMap::Clear() {
    roots_.clear();
    bound_.clear();
}

std::optional<std::string> DriveMap::RootOf(char letter) const {
    auto it = roots_.find(Upper(letter));
    if (it == roots_.end()) return std::nullopt;
    return it->second.empty() ? std::string("/") : it->second;
}

const std::map<char, std::string>& DriveMap::Roots() const {
    return roots_;
}

void DriveMap::UseMountTable(std::shared_ptr<MountTable> table) {
    table_ = std::move(table);
    Refresh();
}

void DriveMap::Refresh(bool always) {
    if (table_ && (always || table_->Changed())) Resolve(table_->Read());
}

void DriveMap::Resolve(const std::vector<MountEntry>& mounts) {
    for (auto& [letter, b] : bound_) {
        const MountEntry* found = nullptr;
        for (const MountEntry& m : mounts) {
            bool match = false;
            if (b.anyAtMountPoint) {
                match = m.mountPoint == b.mount.mountPoint;
            } else if (b.device.empty()) {
                match = m.mountId == b.mount.mountId && m.mountPoint == b.mount.mountPoint &&
                        m.device == b.mount.device && m.uniqueId == b.mount.uniqueId;
            } else {
                match = m.device == b.device ||
                        (b.devMajor != 0 && m.devMajor == b.devMajor && m.devMinor == b.devMinor);
            }
            if (match) {
                found = &m;
                break;  // a disc mounted twice: the first mount, as the drive list shows it
            }
        }
        Lead(letter, b, found);
    }
}

void DriveMap::Lead(char letter, Binding& b, const MountEntry* mount) {
    std::optional<MountIdentity> next;
    if (mount != nullptr) next = MountIdentity{mount->mountId, mount->uniqueId, mount->mountPoint};
    const bool same = b.current && next ? b.current->mountId == next->mountId &&
                                              b.current->uniqueId == next->uniqueId &&
                                              b.current->mountPoint == next->mountPoint
                                        : !b.current && !next;
    if (!same) ++b.changes;
    b.current = next;
    if (b.current) b.current->changes = b.changes;
    if (mount != nullptr) {
        roots_[letter] = WithoutTrailingSlash(mount->mountPoint);
    } else {
        roots_.erase(letter);
    }
}

bool DriveMap::Follows(char letter) const {
    return bound_.count(Upper(letter)) != 0;
}

std::optional<MountIdentity> DriveMap::MountOf(char letter) const {
    auto it = bound_.find(Upper(letter));
    if (it == bound_.end()) return std::nullopt;
    return it->second.current;
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

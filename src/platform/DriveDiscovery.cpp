// The letters of the machine's drives kept steady while drives come and go, and the drive list
// built from them; the system's own probes live in its platform folder.
#include "platform/Drives.h"

#include <algorithm>
#include <utility>

#include "platform/Names.h"

namespace korvane {

namespace {

// What a letter was given to: a drive by its device, a lone mount by the mount itself.
std::string KeyOf(const DriveInfo& drive) {
    if (drive.optical) return "drive " + drive.device;
    return "mount " + std::to_string(drive.mountId) + " " + std::to_string(drive.uniqueId) + " " +
           drive.device + " " + drive.mountPoint;
}

bool SameListing(const std::vector<DriveInfo>& a, const std::vector<DriveInfo>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const DriveInfo& x, const DriveInfo& y) {
                          return x.letter == y.letter && x.device == y.device &&
                                 x.mountPoint == y.mountPoint && x.label == y.label;
                      });
}

}  // namespace

void DriveDiscovery::Install(std::vector<DriveInfo> drives, DriveMap& map) {
    given_.clear();
    nextLetter_ = kFirstDriveLetter;
    for (DriveInfo& drive : drives) {
        drive.letter = Upper(drive.letter);
        given_[KeyOf(drive)] = drive.letter;
        if (drive.letter >= nextLetter_) nextLetter_ = static_cast<char>(drive.letter + 1);
    }
    Bind(std::move(drives), map);
}

bool DriveDiscovery::Merge(std::vector<DriveInfo> found, DriveMap& map) {
    // Letters someone else put into the map (folders standing in for discs) are not given out.
    auto takenByOthers = [&](char letter) {
        return managedLetters_.find(letter) == std::string::npos &&
               (map.Follows(letter) || map.Roots().count(letter) != 0);
    };
    std::vector<DriveInfo> next;
    for (DriveInfo& drive : found) {
        const std::string key = KeyOf(drive);
        auto it = given_.find(key);
        if (it == given_.end()) {
            while (nextLetter_ <= kLastDriveLetter && takenByOthers(nextLetter_)) ++nextLetter_;
            if (nextLetter_ > kLastDriveLetter) continue;
            it = given_.emplace(key, nextLetter_++).first;
        }
        drive.letter = it->second;
        next.push_back(std::move(drive));
    }
    std::sort(next.begin(), next.end(),
              [](const DriveInfo& a, const DriveInfo& b) { return a.letter < b.letter; });
    const bool changed = !SameListing(next, drives_);
    Bind(std::move(next), map);
    return changed;
}

void DriveDiscovery::Bind(std::vector<DriveInfo> drives, DriveMap& map) {
    for (char letter : managedLetters_) map.Remove(letter);
    managedLetters_.clear();
    drives_ = std::move(drives);
    for (const DriveInfo& drive : drives_) {
        std::optional<MountEntry> mount;
        if (!drive.mountPoint.empty()) {
            mount = MountEntry{drive.device,  drive.mountPoint, drive.fsType, 0, 0,
                               drive.mountId, drive.uniqueId};
        }
        if (drive.optical || !mount) {
            map.BindDevice(drive.letter, drive.device, drive.devMajor, drive.devMinor, mount);
        } else {
            map.BindMount(drive.letter, *mount);
        }
        managedLetters_.push_back(drive.letter);
    }
}

const DriveInfo* DriveDiscovery::Find(char letter) const {
    letter = Upper(letter);
    for (const DriveInfo& drive : drives_) {
        if (drive.letter == letter) return &drive;
    }
    return nullptr;
}

int DriveDiscovery::DriveTypeOf(const std::string& root) const {
    if (root.size() < 2 || root[1] != ':') return kDriveNoRootDir;
    if (root.size() > 2 && (root[2] != '\\' || root.size() > 3)) return kDriveNoRootDir;
    return Find(root[0]) != nullptr ? kDriveCdRom : kDriveNoRootDir;
}

std::string DriveDiscovery::VolumeLabel(char letter) const {
    const DriveInfo* drive = Find(letter);
    return drive != nullptr ? drive->label : std::string();
}

std::string DriveDiscovery::Describe(char letter) const {
    const DriveInfo* drive = Find(letter);
    if (drive == nullptr) return {};
    return drive->device + " — " +
           (drive->mountPoint.empty() ? std::string("(ディスクなし)") : drive->mountPoint);
}

std::vector<ListedDrive> ListDrives(const DriveDiscovery& discovery,
                                    const std::vector<std::pair<char, std::string>>& folders) {
    std::vector<ListedDrive> out;
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        const std::string* folder = nullptr;
        for (const auto& [folderLetter, path] : folders) {
            if (folderLetter == letter) folder = &path;
        }
        if (folder != nullptr) {
            out.push_back({letter, "", *folder, LastName(*folder), *folder});
            continue;
        }
        for (const DriveInfo& drive : discovery.Drives()) {
            if (drive.letter == letter) {
                out.push_back({letter, drive.device, drive.mountPoint, drive.label,
                               discovery.Describe(letter)});
            }
        }
    }
    return out;
}

}  // namespace korvane

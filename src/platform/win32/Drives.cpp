// Drive discovery on Windows: the system's own letters, the optical drives among them, their
// labels. There is no mount table: a letter is its drive, whatever disc it holds.
#include "platform/Drives.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace korvane {

namespace {

std::vector<DriveInfo> FindDrives() {
    std::vector<DriveInfo> drives;
    const DWORD present = GetLogicalDrives();
    for (char letter = kFirstDriveLetter; letter <= kLastDriveLetter; ++letter) {
        if ((present & (1UL << static_cast<unsigned>(letter - 'A'))) == 0) continue;
        const std::string root{letter, ':', '\\'};
        const std::wstring wideRoot = win32::Widen(root);
        if (GetDriveTypeW(wideRoot.c_str()) != DRIVE_CDROM) continue;
        DriveInfo drive;
        drive.letter = letter;
        drive.device = root;
        drive.optical = true;
        wchar_t label[MAX_PATH + 1] = {};
        wchar_t fsName[MAX_PATH + 1] = {};
        // A drive without a disc has no volume to tell of.
        if (GetVolumeInformationW(wideRoot.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr,
                                  fsName, MAX_PATH + 1)) {
            drive.mountPoint = std::string{letter, ':', '/'};
            drive.label = win32::Narrow(label);
            drive.fsType = win32::Narrow(fsName);
        }
        drives.push_back(std::move(drive));
    }
    return drives;
}

}  // namespace

std::shared_ptr<MountTable> OpenMountTable() {
    return nullptr;
}

MountWatch::MountWatch() = default;
MountWatch::~MountWatch() = default;

void DriveDiscovery::Refresh(DriveMap& map) {
    Install(FindDrives(), map);
}

bool DriveDiscovery::Update(DriveMap& map) {
    // The letters are the system's: nothing to keep steady, only a change to tell of.
    const std::vector<DriveInfo> before = drives_;
    Install(FindDrives(), map);
    return !std::equal(before.begin(), before.end(), drives_.begin(), drives_.end(),
                       [](const DriveInfo& a, const DriveInfo& b) {
                           return a.letter == b.letter && a.mountPoint == b.mountPoint &&
                                  a.label == b.label;
                       });
}

}  // namespace korvane

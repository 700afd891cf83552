// Optical drives and mounted disc images, each given a drive letter from D: upward.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/DriveMap.h"

namespace korvane {

// Drive types as the drive list asks for them.
inline constexpr int kDriveUnknown = 0;
inline constexpr int kDriveNoRootDir = 1;
inline constexpr int kDriveCdRom = 5;

// One disc mount found in a mount table.
struct MountEntry {
    std::string device;      // /dev/sr0, /dev/loop3, or the FUSE source (an image path)
    std::string mountPoint;  // octal escapes (\040) decoded
    std::string fsType;      // iso9660, udf, fuse.fuseiso, ...
    unsigned devMajor = 0;   // device number of the mounted filesystem (0 for FUSE)
    unsigned devMinor = 0;
};

// The disc mounts in /proc/self/mountinfo text: iso9660 and udf filesystems and FUSE image
// mounts (fuse.fuseiso and the like); every other filesystem is left out, and so are mounts of
// a folder inside a disc (a bind mount's root other than "/"), which do not show the whole disc.
std::vector<MountEntry> ParseMountInfo(std::string_view mountinfo);

struct DriveInfo {
    char letter = 0;
    std::string device;      // /dev/sr0 or the image; empty for none
    std::string mountPoint;  // empty when the drive holds no mounted disc
    std::string label;       // volume label; empty when it cannot be read
    std::string fsType;      // of the mounted disc; empty when none
};

// An optical drive's device node.
struct OpticalDrive {
    std::string device;  // /dev/sr0
    unsigned devMajor = 0;
    unsigned devMinor = 0;
};

// Gives letters from D: upward: first to the optical drives in drive-number order (sr2 before
// sr10), each with the first mount of its disc, then to the other disc mounts in mount-point
// order. A device mounted twice is listed once. Drives beyond Z: are left out; labels stay empty.
std::vector<DriveInfo> LayOutDrives(std::vector<OpticalDrive> opticals,
                                    const std::vector<MountEntry>& mounts);

// The drives of this machine. Refresh() reads the optical drives (/dev/sr*) and the disc mounts
// and gives them letters from D: upward in a stable order; it also puts each mounted disc's
// mount point behind its letter in the drive map.
class DriveDiscovery {
  public:
    void Refresh(DriveMap& map);
    // Takes these drives as the machine's drives, as Refresh does with the ones it finds: the
    // letters this object put into the map before are removed, then every drive with a mount
    // point is put behind its letter. Letters it never set are left alone.
    void Install(std::vector<DriveInfo> drives, DriveMap& map);
    const std::vector<DriveInfo>& Drives() const { return drives_; }

    // kDriveCdRom for a root ("Q:\") that names one of the drives, kDriveNoRootDir otherwise.
    int GetDriveType(const std::string& root) const;
    // The volume label of the drive with that letter, or empty text.
    std::string VolumeLabel(char letter) const;
    // "device — mount point" for a tooltip.
    std::string Describe(char letter) const;

  private:
    const DriveInfo* Find(char letter) const;

    std::vector<DriveInfo> drives_;
    std::string managedLetters_;  // letters this object has put into a drive map
};

}  // namespace korvane

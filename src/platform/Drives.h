// Optical drives and mounted disc images, each given a drive letter from D: upward.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/DriveMap.h"

namespace korvane {

// Drive types as the drive list asks for them.
inline constexpr int kDriveUnknown = 0;
inline constexpr int kDriveNoRootDir = 1;
inline constexpr int kDriveCdRom = 5;

// The letters drives are given, in order.
inline constexpr char kFirstDriveLetter = 'D';
inline constexpr char kLastDriveLetter = 'Z';

// The disc mounts in /proc/self/mountinfo text: iso9660 and udf filesystems and FUSE image
// mounts (fuse.fuseiso and the like); every other filesystem is left out, and so are mounts of
// a folder inside a disc (a bind mount's root other than "/"), which do not show the whole disc.
std::vector<MountEntry> ParseMountInfo(std::string_view mountinfo);

// The live mount table of this process (/proc/self/mountinfo), disc mounts only, with device
// links resolved and each mount's never-reused number where the system gives it.
std::shared_ptr<MountTable> OpenMountTable();

// Tells of mounts and unmounts: Handle() turns ready for priority data (poll's POLLPRI) after
// every change of the mount table; -1 where the system gives no such signal.
class MountWatch {
  public:
    MountWatch();
    ~MountWatch();
    MountWatch(const MountWatch&) = delete;
    MountWatch& operator=(const MountWatch&) = delete;
    int Handle() const { return fd_; }

  private:
    int fd_ = -1;
};

struct DriveInfo {
    char letter = 0;
    std::string device;      // /dev/sr0 or the image; empty for none
    std::string mountPoint;  // empty when the drive holds no mounted disc
    std::string label;       // volume label; empty when it cannot be read
    std::string fsType;      // of the mounted disc; empty when none
    bool optical = false;    // an optical drive (its letter follows the drive) or a lone mount
    unsigned devMajor = 0;   // the optical drive's device number
    unsigned devMinor = 0;
    int mountId = 0;  // of the mounted disc, as MountEntry has them
    std::uint64_t uniqueId = 0;
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

// When this environment variable holds a text, the drives of the machine are only the disc
// mounts whose mount point begins with it, and optical drives are not looked for: a test sees
// the discs it mounted itself, never the machine's nor another test's.
inline constexpr char kMountPrefixVariable[] = "KORVANE_MOUNT_PREFIX";

// The drives of this machine. Refresh() reads the optical drives (/dev/sr*) and the disc mounts
// and gives them letters from D: upward in a stable order; in the drive map it binds each
// optical drive's letter to the drive and each other disc mount's letter to that mount, and
// gives the map the mount table to look their mount points up in.
class DriveDiscovery {
  public:
    void Refresh(DriveMap& map);
    // Takes these drives as the machine's drives, as Refresh does with the ones it finds: the
    // letters this object put into the map before are removed, then every drive is bound to its
    // letter. Letters it never set are left alone.
    void Install(std::vector<DriveInfo> drives, DriveMap& map);
    // Follows drives that come and go without moving a letter under the user: a drive still
    // there keeps its letter, a new one gets a letter not given since the last Refresh (a drive
    // that comes back gets its old one), and the letter of one that is gone stays unused.
    // Returns true when the drives or their labels changed.
    bool Update(DriveMap& map);
    // Update with these drives found; their letters are not looked at.
    bool Merge(std::vector<DriveInfo> found, DriveMap& map);
    const std::vector<DriveInfo>& Drives() const { return drives_; }

    // kDriveCdRom for a root ("Q:\") that names one of the drives, kDriveNoRootDir otherwise.
    int DriveTypeOf(const std::string& root) const;
    // The volume label of the drive with that letter, or empty text.
    std::string VolumeLabel(char letter) const;
    // "device — mount point" for a tooltip.
    std::string Describe(char letter) const;

  private:
    const DriveInfo* Find(char letter) const;
    void Bind(std::vector<DriveInfo> drives, DriveMap& map);

    std::vector<DriveInfo> drives_;
    std::string managedLetters_;         // letters this object has put into a drive map
    std::map<std::string, char> given_;  // every drive given a letter since the last Install
    char nextLetter_ = 'D';
};

// One line of the drive lists, the window's and the terminal program's alike.
struct ListedDrive {
    char letter = 0;
    std::string device;       // /dev/sr0, the image, or empty for a folder
    std::string mountPoint;   // empty when the drive holds no mounted disc
    std::string label;        // the volume label, or a folder's own name
    std::string description;  // where the letter leads, for a tooltip
};

// The drives in letter order, with `folders` (letter and folder, as KORVANE_EXTRA_DRIVES gives
// them) in place of any drive of the same letter.
std::vector<ListedDrive> ListDrives(const DriveDiscovery& discovery,
                                    const std::vector<std::pair<char, std::string>>& folders);

}  // namespace korvane

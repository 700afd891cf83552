// Drive letters and the host folders behind them: how a path like Q:\DATA\A.BIN finds its file.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// One disc mount found in a mount table.
struct MountEntry {
    std::string device;      // /dev/sr0, /dev/loop3, or the FUSE source (an image path)
    std::string mountPoint;  // octal escapes (\040) decoded
    std::string fsType;      // iso9660, udf, fuse.fuseiso, ...
    unsigned devMajor = 0;   // device number of the mounted filesystem (0 for FUSE)
    unsigned devMinor = 0;
    int mountId = 0;             // the table's own number for this mount; reused once it is gone
    std::uint64_t uniqueId = 0;  // a number never reused while the system runs; 0 when unknown
};

// The system's table of mounts, as the drive map looks the discs of its drives up in it.
class MountTable {
  public:
    virtual ~MountTable() = default;
    // False only when the table surely has not changed since the last call of Read.
    virtual bool Changed() = 0;
    virtual std::vector<MountEntry> Read() = 0;
};

// Which mount a letter leads to. Two equal values mean the same mount, never unmounted between:
// a copy burnt from the source's image has the same label and contents, so only the mount
// itself tells the discs apart.
struct MountIdentity {
    int mountId = 0;
    std::uint64_t uniqueId = 0;
    std::string mountPoint;
    unsigned changes = 0;  // how often the letter was seen to lead elsewhere or nowhere
    bool operator==(const MountIdentity&) const = default;
};

// A letter stands for one of three things. A folder (Set) stays put. An optical drive
// (BindDevice) is a drive, not a folder: desktop automounters mount each disc at a folder named
// after its label, so the mount point is looked up in the mount table whenever it may have
// changed. A disc image without a drive of its own (BindMount) is that one mount, for as long as
// it lasts. Lookups never change the map: the run refreshes it where discs may have moved (at its
// start, after the exchange prompt, when the mount table signals a change).
class DriveMap {
  public:
    // Puts hostRoot (a host folder, with or without a trailing slash) behind the letter.
    void Set(char letter, std::string hostRoot);
    // The letter follows the disc in the drive `device` (device number major:minor, 0:0 when not
    // known); `now` is the mount of the disc it holds now, if any.
    void BindDevice(char letter, std::string device, unsigned major, unsigned minor,
                    const std::optional<MountEntry>& now = std::nullopt);
    // The letter leads to this mount while it is mounted, and nowhere afterwards.
    void BindMount(char letter, const MountEntry& mount);
    // The letter leads to whatever disc is mounted at the mount point of `now` (the disc mounted
    // there now): a disc exchanged in a drive without a device of its own, such as an image
    // mounted again at the same folder, is a new mount there.
    void BindMountPoint(char letter, const MountEntry& now);
    void Remove(char letter);
    void Clear();
    std::optional<std::string> RootOf(char letter) const;
    const std::map<char, std::string>& Roots() const;

    // Where the letters bound to drives and mounts look their mount points up. Without a table
    // they keep the mount points they were bound with.
    void UseMountTable(std::shared_ptr<MountTable> table);
    bool HasMountTable() const { return table_ != nullptr; }
    // Looks the mount points up again; unless `always`, only when the table has changed.
    void Refresh(bool always = true);
    // Puts the mounts of this table behind the letters bound to drives and mounts.
    void Resolve(const std::vector<MountEntry>& mounts);
    // True when the letter follows a drive or a mount rather than naming a fixed folder.
    bool Follows(char letter) const;
    // The mount the letter leads to now; nothing when it leads to no mount.
    std::optional<MountIdentity> MountOf(char letter) const;

    // Maps "Q:\DATA\A.BIN" to "<root of Q>/DATA/A.BIN" and "Q:\" to "<root of Q>/". Nothing when
    // the path is not drive-rooted or its letter has no root. Letters are case-insensitive.
    std::optional<std::string> ToHost(std::string_view drivePath) const;

  private:
    struct Binding {
        std::string device;            // a drive: "/dev/sr0"; empty for a single mount
        bool anyAtMountPoint = false;  // any disc mounted where `mount` is, not that one only
        unsigned devMajor = 0;
        unsigned devMinor = 0;
        MountEntry mount;                      // a single mount: the one the letter was bound to
        std::optional<MountIdentity> current;  // the mount the letter leads to now
        unsigned changes = 0;
    };

    // Makes `mount` (or none) the one the letter leads to.
    void Lead(char letter, Binding& binding, const MountEntry* mount);

    std::shared_ptr<MountTable> table_;
    std::map<char, Binding> bound_;
    std::map<char, std::string> roots_;  // upper-case letter -> root without trailing slash
};

}  // namespace korvane

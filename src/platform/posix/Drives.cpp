// Drive discovery on Linux: /dev/sr* drives and disc mounts from the mount table, with their
// labels.
#include "platform/Drives.h"

#include <blkid/blkid.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

#include "platform/Names.h"
#include "platform/posix/Retry.h"

// A mount number never given twice while the system runs (Linux 6.8 and later).
#ifndef STATX_MNT_ID_UNIQUE
#define STATX_MNT_ID_UNIQUE 0x00004000U
#endif

namespace korvane {

namespace {

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

// The kernel writes space, tab, newline and backslash in mount table fields as \ooo.
std::string DecodeOctal(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
            IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value <= UCHAR_MAX) {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && line[pos] == ' ') ++pos;
        if (pos >= line.size()) break;
        std::size_t end = line.find(' ', pos);
        if (end == std::string_view::npos) end = line.size();
        fields.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return fields;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool IsDiscFileSystem(std::string_view fsType, std::string_view source) {
    if (fsType == "iso9660" || fsType == "udf") return true;
    if (StartsWith(fsType, "fuse.fuseiso") || StartsWith(fsType, "fuse.iso")) return true;
    // FUSE without subtype support names the filesystem only "fuse".
    return fsType == "fuse" && StartsWith(source, "fuseiso");
}

bool ParseDeviceNumber(std::string_view text, unsigned& major, unsigned& minor) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return false;
    auto parse = [](std::string_view digits, unsigned& value) {
        if (digits.empty() || digits.size() > 9) return false;
        value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        return true;
    };
    return parse(text.substr(0, colon), major) && parse(text.substr(colon + 1), minor);
}

// "sr12" -> 12; nothing for names that are not sr followed by digits.
bool OpticalNumber(std::string_view name, unsigned long& number) {
    if (name.size() < 3 || name.size() > 12 || !StartsWith(name, "sr")) return false;
    number = 0;
    for (char c : name.substr(2)) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<unsigned long>(c - '0');
    }
    return true;
}

unsigned long OpticalOrder(const std::string& device) {
    const std::size_t slash = device.rfind('/');
    unsigned long number = 0;
    if (OpticalNumber(std::string_view(device).substr(slash == std::string::npos ? 0 : slash + 1),
                      number)) {
        return number;
    }
    return ULONG_MAX;
}

bool IsBlockDevicePath(const std::string& device) {
    return StartsWith(device, "/dev/");
}

std::vector<OpticalDrive> ScanOpticalDrives() {
    std::vector<OpticalDrive> drives;
    DIR* dir = ::opendir("/dev");
    if (dir == nullptr) return drives;
    while (const dirent* entry = ::readdir(dir)) {
        unsigned long number = 0;
        if (!OpticalNumber(entry->d_name, number)) continue;
        OpticalDrive drive;
        drive.device = std::string("/dev/") + entry->d_name;
        struct stat st {};
        if (::stat(drive.device.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) continue;
        drive.devMajor = ::major(st.st_rdev);
        drive.devMinor = ::minor(st.st_rdev);
        drives.push_back(std::move(drive));
    }
    ::closedir(dir);
    return drives;
}

std::string ReadAll(int fd) {
    std::string text;
    if (::lseek(fd, 0, SEEK_SET) != 0) return text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = RetryInterrupted([&] { return ::read(fd, buffer, sizeof buffer); });
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

int OpenMountInfo() {
    return ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
}

// /dev/cdrom and the like point at the drive's own node.
std::string ResolveDevice(const std::string& device) {
    if (!IsBlockDevicePath(device)) return device;
    char resolved[PATH_MAX];
    if (::realpath(device.c_str(), resolved) == nullptr) return device;
    return resolved;
}

// The never-reused number of the mount at `mountPoint`. Cached attributes only: a FUSE disc
// whose process hangs must not hang the lookup.
std::uint64_t UniqueMountId(const std::string& mountPoint) {
    struct statx st {};
    if (::statx(AT_FDCWD, mountPoint.c_str(), AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC,
                STATX_MNT_ID_UNIQUE, &st) != 0 ||
        (st.stx_mask & STATX_MNT_ID_UNIQUE) == 0) {
        return 0;
    }
    return st.stx_mnt_id;
}

std::vector<MountEntry> DiscMounts(std::string_view mountinfo) {
    std::vector<MountEntry> mounts = ParseMountInfo(mountinfo);
    for (MountEntry& mount : mounts) {
        mount.device = ResolveDevice(mount.device);
        mount.uniqueId = UniqueMountId(mount.mountPoint);
    }
    return mounts;
}

// Reading the table from its start also makes the kernel forget the changes seen so far.
class ProcMountTable : public MountTable {
  public:
    ProcMountTable() : fd_(OpenMountInfo()) {}
    ~ProcMountTable() override {
        if (fd_ >= 0) ::close(fd_);
    }
    ProcMountTable(const ProcMountTable&) = delete;
    ProcMountTable& operator=(const ProcMountTable&) = delete;

    bool Changed() override { return fd_ >= 0 && (Signalled() || !read_); }
    std::vector<MountEntry> Read() override {
        if (fd_ < 0) return {};
        Signalled();
        read_ = true;
        return DiscMounts(ReadAll(fd_));
    }

  private:
    // A change is signalled once per open file: asking again says no until the next change.
    bool Signalled() {
        pollfd p{fd_, POLLPRI, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLPRI | POLLERR)) != 0;
    }

    int fd_;
    bool read_ = false;
};

std::string ProbeLabel(const std::string& path) {
    blkid_probe probe = ::blkid_new_probe_from_filename(path.c_str());
    if (probe == nullptr) return {};  // unreadable (no permission, no medium)
    std::string label;
    ::blkid_probe_enable_superblocks(probe, 1);
    ::blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_TYPE);
    if (::blkid_do_safeprobe(probe) == 0) {
        const char* value = nullptr;
        std::size_t length = 0;
        if (::blkid_probe_lookup_value(probe, "LABEL", &value, &length) == 0 && value != nullptr) {
            label.assign(value, ::strnlen(value, length));
        }
    }
    ::blkid_free_probe(probe);
    return label;
}

// udev writes labels into link names with \xHH for unsafe bytes.
std::string DecodeUdevName(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            out.push_back(
                static_cast<char>(std::stoi(std::string(name.substr(i + 2, 2)), nullptr, 16)));
            i += 3;
            continue;
        }
        out.push_back(name[i]);
    }
    return out;
}

// A device the user may not read still shows its label through the links udev keeps readable.
std::string UdevLabel(const std::string& device) {
    const std::string folder = "/dev/disk/by-label";
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return {};
    std::string label;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        char resolved[PATH_MAX];
        const std::string link = folder + "/" + entry->d_name;
        if (::realpath(link.c_str(), resolved) != nullptr && device == resolved) {
            label = DecodeUdevName(name);
            break;
        }
    }
    ::closedir(dir);
    return label;
}

bool IsReadableRegularFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && path.front() == '/' && ::stat(path.c_str(), &st) == 0 &&
           S_ISREG(st.st_mode) && ::access(path.c_str(), R_OK) == 0;
}

std::string LabelOf(const DriveInfo& drive) {
    if (drive.mountPoint.empty()) return {};
    if (StartsWith(drive.fsType, "fuse")) {
        // Most FUSE image mounters name only themselves as the source; when the image is named
        // and readable, its own volume label is the truer name.
        std::string label;
        if (IsReadableRegularFile(drive.device)) label = ProbeLabel(drive.device);
        return label.empty() ? LastName(drive.mountPoint) : label;
    }
    std::string label = ProbeLabel(drive.device);
    return label.empty() ? UdevLabel(drive.device) : label;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view mountinfo) {
    std::vector<MountEntry> mounts;
    std::size_t pos = 0;
    while (pos < mountinfo.size()) {
        std::size_t end = mountinfo.find('\n', pos);
        if (end == std::string_view::npos) end = mountinfo.size();
        const std::vector<std::string_view> fields = SplitFields(mountinfo.substr(pos, end - pos));
        pos = end + 1;

        // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
        if (fields.size() < 9) continue;
        std::size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-") ++dash;
        if (dash + 2 >= fields.size()) continue;
        const std::string_view fsType = fields[dash + 1];
        const std::string_view source = fields[dash + 2];
        if (!IsDiscFileSystem(fsType, source)) continue;
        if (DecodeOctal(fields[3]) != "/") continue;

        MountEntry entry;
        if (!ParseDeviceNumber(fields[2], entry.devMajor, entry.devMinor)) continue;
        entry.mountId = std::atoi(std::string(fields[0]).c_str());
        entry.device = DecodeOctal(source);
        entry.mountPoint = DecodeOctal(fields[4]);
        entry.fsType = std::string(fsType);
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

std::vector<DriveInfo> LayOutDrives(std::vector<OpticalDrive> opticals,
                                    const std::vector<MountEntry>& mounts) {
    std::stable_sort(opticals.begin(), opticals.end(),
                     [](const OpticalDrive& a, const OpticalDrive& b) {
                         return OpticalOrder(a.device) < OpticalOrder(b.device);
                     });

    std::vector<bool> used(mounts.size(), false);
    std::vector<DriveInfo> drives;
    for (const OpticalDrive& optical : opticals) {
        DriveInfo drive;
        drive.device = optical.device;
        drive.optical = true;
        drive.devMajor = optical.devMajor;
        drive.devMinor = optical.devMinor;
        for (std::size_t i = 0; i < mounts.size(); ++i) {
            const MountEntry& mount = mounts[i];
            const bool sameNumber = optical.devMajor != 0 && mount.devMajor == optical.devMajor &&
                                    mount.devMinor == optical.devMinor;
            if (mount.device != optical.device && !sameNumber) continue;
            used[i] = true;  // later mounts of the same disc are not drives of their own
            if (drive.mountPoint.empty()) {
                drive.mountPoint = mount.mountPoint;
                drive.fsType = mount.fsType;
                drive.mountId = mount.mountId;
                drive.uniqueId = mount.uniqueId;
            }
        }
        drives.push_back(std::move(drive));
    }

    std::vector<const MountEntry*> others;
    std::set<std::string> seenDevices;
    std::set<std::string> seenMountPoints;
    for (std::size_t i = 0; i < mounts.size(); ++i) {
        const MountEntry& mount = mounts[i];
        if (used[i]) continue;
        if (IsBlockDevicePath(mount.device) && !seenDevices.insert(mount.device).second) continue;
        if (!seenMountPoints.insert(mount.mountPoint).second) continue;
        others.push_back(&mount);
    }
    std::stable_sort(others.begin(), others.end(), [](const MountEntry* a, const MountEntry* b) {
        return a->mountPoint < b->mountPoint;
    });
    for (const MountEntry* mount : others) {
        DriveInfo drive;
        drive.device = mount->device;
        drive.mountPoint = mount->mountPoint;
        drive.fsType = mount->fsType;
        drive.mountId = mount->mountId;
        drive.uniqueId = mount->uniqueId;
        drives.push_back(std::move(drive));
    }

    const std::size_t letters = static_cast<std::size_t>(kLastDriveLetter - kFirstDriveLetter + 1);
    if (drives.size() > letters) drives.resize(letters);
    for (std::size_t i = 0; i < drives.size(); ++i) {
        drives[i].letter = static_cast<char>(kFirstDriveLetter + static_cast<int>(i));
    }
    return drives;
}

namespace {

std::vector<DriveInfo> FindDrives() {
    const int fd = OpenMountInfo();
    std::vector<MountEntry> mounts;
    if (fd >= 0) {
        mounts = DiscMounts(ReadAll(fd));
        ::close(fd);
    }
    std::vector<OpticalDrive> opticals;
    const char* prefix = std::getenv(kMountPrefixVariable);
    if (prefix != nullptr && *prefix != '\0') {
        std::erase_if(mounts,
                      [prefix](const MountEntry& m) { return !StartsWith(m.mountPoint, prefix); });
    } else {
        opticals = ScanOpticalDrives();
    }
    std::vector<DriveInfo> drives = LayOutDrives(std::move(opticals), mounts);
    for (DriveInfo& drive : drives) drive.label = LabelOf(drive);
    return drives;
}

}  // namespace

std::shared_ptr<MountTable> OpenMountTable() {
    return std::make_shared<ProcMountTable>();
}

MountWatch::MountWatch() : fd_(OpenMountInfo()) {}

MountWatch::~MountWatch() {
    if (fd_ >= 0) ::close(fd_);
}

void DriveDiscovery::Refresh(DriveMap& map) {
    if (!map.HasMountTable()) map.UseMountTable(OpenMountTable());
    Install(FindDrives(), map);
}

bool DriveDiscovery::Update(DriveMap& map) {
    if (!map.HasMountTable()) map.UseMountTable(OpenMountTable());
    return Merge(FindDrives(), map);
}

}  // namespace korvane

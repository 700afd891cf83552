// POSIX file layer: listings via readdir, reads via read(2), share modes emulated with flock, and
// no symbolic link inside a drive ever followed.
#include "platform/posix/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/openat2.h>
#endif

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <system_error>
#include <utility>

#include "platform/HostFileSystem.h"
#include "platform/posix/Retry.h"

namespace korvane {

namespace {

// One read(2) asks for at most this much, well below SSIZE_MAX on every platform.
constexpr std::size_t kMaxReadChunk = std::size_t{1} << 30;

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

class FdGuard {
  public:
    explicit FdGuard(int fd) : fd_(fd) {}
    ~FdGuard() {
        if (fd_ >= 0) ::close(fd_);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

// Opens a regular file for reading without ever blocking: a FIFO opened without O_NONBLOCK
// would wait for a writer forever, and a device node must not be read as a file.
int OpenRegularForReading(int at, const char* path, struct stat& st, int extraFlags = 0) {
    int fd = ::openat(at, path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | extraFlags);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
#ifndef __linux__
    // Linux ignores O_NONBLOCK for regular files, so two calls per file are saved there.
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
#endif
    return fd;
}

#ifdef O_PATH
constexpr int kLookupOnly = O_PATH;
#else
constexpr int kLookupOnly = O_RDONLY;
#endif

// Opens the folder `rel` ("DATA/SUB", relative to the folder `root`) for looking into, following
// no symbolic link on the way: a link inside a drive could lead anywhere on the host.
int OpenFolderBeneath(int root, const std::string& rel) {
#if defined(__linux__) && defined(SYS_openat2)
    open_how how{};
    how.flags = static_cast<std::uint64_t>(kLookupOnly | O_DIRECTORY | O_CLOEXEC);
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, root, rel.c_str(), &how, sizeof how);
    if (fd >= 0 || (errno != ENOSYS && errno != E2BIG && errno != EPERM)) {
        return static_cast<int>(fd);
    }
#endif
    // One folder at a time, each refused if it is a link.
    int at = root;
    std::size_t from = 0;
    for (;;) {
        const std::size_t slash = rel.find('/', from);
        const std::string part = rel.substr(from, slash - from);
        const int next =
            part == ".."
                ? (errno = EACCES, -1)
                : ::openat(at, part.c_str(), kLookupOnly | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (at != root) ::close(at);
        if (next < 0 || slash == std::string::npos) return next;
        at = next;
        from = slash + 1;
    }
}

// A drive path taken apart for the calls that look at its last name without following it: the
// folder that holds it, opened without following a link, and that name. The drive's root itself
// is wherever the letter leads, however the host reaches it.
class Beneath {
  public:
    Beneath(const DriveMap& drives, const std::string& drivePath) {
        if (drivePath.size() < 3) return;
        const std::optional<std::string> host = drives.ToHost(drivePath);
        // "<root>/" followed by the path after "Q:\", one character for each.
        if (!host || host->size() < drivePath.size() - 2) return;
        const std::size_t rootEnd = host->size() - (drivePath.size() - 3);
        const std::string root = host->substr(0, rootEnd);
        const std::string rel = host->substr(rootEnd);
        const std::size_t slash = rel.rfind('/');
        leaf_ = slash == std::string::npos ? rel : rel.substr(slash + 1);
        const int rootFd = ::open(root.c_str(), kLookupOnly | O_DIRECTORY | O_CLOEXEC);
        if (rootFd < 0 || slash == std::string::npos) {
            folder_ = rootFd;  // a name in the root: the root is the folder
            return;
        }
        folder_ = OpenFolderBeneath(rootFd, rel.substr(0, slash));
        ::close(rootFd);
    }
    ~Beneath() {
        if (folder_ >= 0) ::close(folder_);
    }
    Beneath(const Beneath&) = delete;
    Beneath& operator=(const Beneath&) = delete;

    // False when the path leads nowhere: no drive, a folder on the way missing or a link.
    bool ok() const { return folder_ >= 0; }
    int folder() const { return folder_; }
    // Empty for a path ending in a backslash: then the folder is the one named.
    const std::string& leaf() const { return leaf_; }

    // lstat of the last name; false for a path ending in a backslash.
    bool Stat(struct stat& st) const {
        return ok() && !leaf_.empty() &&
               ::fstatat(folder_, leaf_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    }

  private:
    int folder_ = -1;
    std::string leaf_;
};

std::optional<std::string> ReadLinkAt(int folder, const char* name) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t n = ::readlinkat(folder, name, target.data(), target.size());
        if (n < 0) return std::nullopt;
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// Filesystems that know no locks (some network and FUSE mounts) must not make every open fail.
bool LockUnsupported(int error) {
    return error == ENOLCK || error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP ||
           error == ENOSYS;
}

// The files this process holds open, by inode, and how. flock alone cannot tell a shared lock of
// this process from one of another program that only reads the file: a reader elsewhere must
// not keep the read test out, yet the same file opened twice here (a drive compared with itself,
// a hard link listed twice) must still be refused.
class OpenFiles {
  public:
    using Key = std::pair<dev_t, ino_t>;

    bool Enter(Key key, ShareMode share) {
        std::lock_guard<std::mutex> lock(mutex_);
        Holders& h = files_[key];
        if (h.exclusive > 0 || (share == ShareMode::Exclusive && h.readers > 0)) {
            if (h.exclusive == 0 && h.readers == 0) files_.erase(key);
            return false;
        }
        ++(share == ShareMode::Exclusive ? h.exclusive : h.readers);
        return true;
    }

    void Leave(Key key, ShareMode share) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = files_.find(key);
        if (it == files_.end()) return;
        --(share == ShareMode::Exclusive ? it->second.exclusive : it->second.readers);
        if (it->second.exclusive == 0 && it->second.readers == 0) files_.erase(it);
    }

  private:
    struct Holders {
        int readers = 0;
        int exclusive = 0;
    };
    std::mutex mutex_;
    std::map<Key, Holders> files_;
};

OpenFiles& OpenHere() {
    static OpenFiles files;
    return files;
}

// Takes the lock that keeps writers of other programs out while the file is read. An exclusive
// open settles for a shared lock when only other readers hold one: they change nothing.
bool LockAgainstOthers(int fd, ShareMode share) {
    int op = (share == ShareMode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    while (RetryInterrupted([&] { return ::flock(fd, op); }) != 0) {
        if (LockUnsupported(errno)) return true;
        if (errno == EWOULDBLOCK && (op & LOCK_EX) != 0) {
            op = LOCK_SH | LOCK_NB;
            continue;
        }
        return false;  // another program holds the file exclusively
    }
    return true;
}

class PosixFile : public File {
  public:
    PosixFile(int fd, std::uint64_t size, OpenFiles::Key key, ShareMode share)
        : fd_(fd), size_(size), key_(key), share_(share) {}
    ~PosixFile() override {
        ::close(fd_);  // closing also drops the flock
        OpenHere().Leave(key_, share_);
    }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    std::size_t Read(void* buffer, std::size_t n) override {
        if (failed_) return 0;
        auto* bytes = static_cast<char*>(buffer);
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = RetryInterrupted(
                [&] { return ::read(fd_, bytes + got, std::min(n - got, kMaxReadChunk)); });
            if (r > 0) {
                got += static_cast<std::size_t>(r);
            } else if (r == 0) {
                break;
            } else {
                // A damaged sector or a vanished mount: what came before it is still good, but
                // reading on past the hole would hand out bytes from the wrong offset.
                failed_ = true;
                break;
            }
        }
        position_ += got;
        return got;
    }

    std::size_t ReadCached(void* buffer, std::size_t n) override {
        if (failed_ || !noWait_ || n == 0) return 0;
        iovec part{buffer, std::min(n, kMaxReadChunk)};
        const ssize_t r = ::preadv2(fd_, &part, 1, -1, RWF_NOWAIT);
        if (r > 0) {
            position_ += static_cast<std::uint64_t>(r);
            return static_cast<std::size_t>(r);
        }
        // A file system that cannot tell is not asked again; anything else (nothing cached,
        // an error) is left to the blocking read, which reports it.
        if (r < 0 && (errno == EOPNOTSUPP || errno == EINVAL || errno == ENOSYS)) noWait_ = false;
        return 0;
    }

    std::uint64_t Position() const override { return position_; }
    std::uint64_t Size() const override { return size_; }

  private:
    int fd_;
    std::uint64_t size_;
    OpenFiles::Key key_;
    ShareMode share_;
    std::uint64_t position_ = 0;
    bool failed_ = false;
    bool noWait_ = true;
};

// The mask new files get, read without the set-and-restore dance of umask(2) where possible,
// since that briefly changes the mask for every thread of the process.
mode_t CurrentUmask() {
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            if (std::strncmp(line, "Umask:", 6) == 0) {
                std::fclose(f);
                return static_cast<mode_t>(std::strtoul(line + 6, nullptr, 8) & 0777);
            }
        }
        std::fclose(f);
    }
    mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

bool WriteAll(int fd, std::string_view data, int& error) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t w =
            RetryInterrupted([&] { return ::write(fd, p, std::min(left, kMaxReadChunk)); });
        if (w < 0) {
            error = errno;
            return false;
        }
        if (w == 0) {  // a full device may report no progress instead of ENOSPC
            error = ENOSPC;
            return false;
        }
        p += w;
        left -= static_cast<std::size_t>(w);
    }
    return true;
}

// A device, a FIFO or a socket is written to as it stands: a file renamed over it would put a
// regular file in place of /dev/null or of the pipe a reader waits on. Without O_NONBLOCK a FIFO
// nobody reads would hold the open (and the window) forever; it fails with ENXIO instead.
WriteResult WriteInPlace(const std::string& hostPath, std::string_view data) {
    FdGuard fd(::open(hostPath.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return WriteResult{false, ErrorText(errno)};
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    int error = 0;
    if (!WriteAll(fd.get(), data, error)) return WriteResult{false, ErrorText(error)};
    if (::close(fd.release()) != 0) return WriteResult{false, ErrorText(errno)};
    return WriteResult{};
}

}  // namespace

namespace {

// Fills `e` for the entry `name` of the folder `dfd` from what lstat says of it.
void Describe(int dfd, const char* name, const struct stat& st, DirEntry& e) {
    if (S_ISDIR(st.st_mode)) {
        e.isFolder = true;
    } else if (S_ISREG(st.st_mode)) {
        e.size = static_cast<std::uint64_t>(st.st_size);
    } else if (S_ISLNK(st.st_mode)) {
        e.kind = EntryKind::Link;
        if (std::optional<std::string> target = ReadLinkAt(dfd, name)) {
            e.linkTarget = std::move(*target);
        } else {
            e.kind = EntryKind::Unreadable;
        }
    } else if (S_ISFIFO(st.st_mode)) {
        e.kind = EntryKind::Fifo;
    } else if (S_ISSOCK(st.st_mode)) {
        e.kind = EntryKind::Socket;
    } else {
        e.kind = EntryKind::Device;
    }
}

// Lists the open folder `dir` (closed here); see FileSystem::ListFolder.
bool ListOpenFolder(DIR* dir, std::vector<DirEntry>& out, bool trustEntryKinds) {
    const int dfd = ::dirfd(dir);
    bool ok = true;
    struct stat st;
    for (;;) {
        if (out.size() > kMaxListedEntries) {
            ok = false;
            break;
        }
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (!e) {
            ok = errno == 0;
            break;
        }
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;

        DirEntry entry{std::string(name), false, 0};
        const int kind =
            trustEntryKinds ? static_cast<int>(e->d_type) : static_cast<int>(DT_UNKNOWN);
        if (kind == DT_DIR) {
            // The kind is already known and folders carry no size: no stat needed.
            entry.isFolder = true;
        } else if (::fstatat(dfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            Describe(dfd, name, st, entry);
        } else {
            // Listed, yet not there when looked at (or not to be looked at): the caller reports
            // it, for a file of the disc must never drop out of the run unseen.
            entry.kind = EntryKind::Unreadable;
        }
        out.push_back(std::move(entry));
    }
    ::closedir(dir);
    return ok;
}

}  // namespace

bool PosixFileSystem::ListHostFolder(const std::string& hostFolder, std::vector<DirEntry>& out,
                                     bool trustEntryKinds) {
    out.clear();
    DIR* dir = ::opendir(hostFolder.c_str());
    if (!dir) return false;
    return ListOpenFolder(dir, out, trustEntryKinds);
}

std::unique_ptr<File> PosixFileSystem::OpenHost(const std::string& hostPath, ShareMode share) {
    return OpenAt(AT_FDCWD, hostPath.c_str(), share);
}

std::unique_ptr<File> PosixFileSystem::OpenAt(int folder, const char* name, ShareMode share) {
    struct stat st;
    FdGuard fd(OpenRegularForReading(folder, name, st, O_NOFOLLOW));
    if (fd.get() < 0) return nullptr;
    const OpenFiles::Key key{st.st_dev, st.st_ino};
    if (!OpenHere().Enter(key, share)) return nullptr;  // a conflicting open of this process
    if (!LockAgainstOthers(fd.get(), share)) {
        OpenHere().Leave(key, share);
        return nullptr;
    }
    // The kernel's own read-ahead window already covers a small file: the hint would only
    // cost a system call per file on discs of many small ones.
    constexpr off_t kAdviseFrom = 256 * 1024;
    if (st.st_size > kAdviseFrom) ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::make_unique<PosixFile>(fd.release(), static_cast<std::uint64_t>(st.st_size), key,
                                       share);
}

bool PosixFileSystem::ListFolder(const std::string& folder, std::vector<DirEntry>& out) {
    out.clear();
    const Beneath at(drives_, folder);
    if (!at.ok()) return false;
    const int fd = at.leaf().empty()
                       ? ::openat(at.folder(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                       : ::openat(at.folder(), at.leaf().c_str(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    return ListOpenFolder(dir, out, true);
}

std::unique_ptr<File> PosixFileSystem::Open(const std::string& path, ShareMode share) {
    const Beneath at(drives_, path);
    if (!at.ok() || at.leaf().empty()) return nullptr;
    return OpenAt(at.folder(), at.leaf().c_str(), share);
}

bool PosixFileSystem::FileExists(const std::string& path) {
    struct stat st;
    return Beneath(drives_, path).Stat(st) && S_ISREG(st.st_mode);
}

std::optional<std::uint64_t> PosixFileSystem::SizeOf(const std::string& path) {
    struct stat st;
    if (!Beneath(drives_, path).Stat(st) || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool PosixFileSystem::IsHostFile(const std::string& path, const std::string& hostPath) {
    auto host = drives_.ToHost(path);
    struct stat onDrive;
    struct stat named;
    return host && ::lstat(host->c_str(), &onDrive) == 0 && ::stat(hostPath.c_str(), &named) == 0 &&
           onDrive.st_dev == named.st_dev && onDrive.st_ino == named.st_ino;
}

std::optional<std::string> PosixFileSystem::LinkTarget(const std::string& path) {
    const Beneath at(drives_, path);
    if (!at.ok() || at.leaf().empty()) return std::nullopt;
    return ReadLinkAt(at.folder(), at.leaf().c_str());
}

bool PosixFileSystem::ReadWhole(const std::string& hostPath, std::string& out) {
    out.clear();
    struct stat st;
    FdGuard fd(OpenRegularForReading(AT_FDCWD, hostPath.c_str(), st));
    if (fd.get() < 0) return false;
    // The size is a hint only: the file may change while it is read.
    std::size_t capacity = static_cast<std::size_t>(st.st_size) + 1;
    out.resize(std::max<std::size_t>(capacity, 4096));
    std::size_t got = 0;
    for (;;) {
        if (got == out.size()) out.resize(out.size() * 2);
        const ssize_t r = RetryInterrupted([&] {
            return ::read(fd.get(), out.data() + got, std::min(out.size() - got, kMaxReadChunk));
        });
        if (r > 0) {
            got += static_cast<std::size_t>(r);
        } else if (r == 0) {
            break;
        } else {
            out.clear();
            return false;
        }
    }
    out.resize(got);
    return true;
}

WriteResult PosixFileSystem::WriteWholeAtomically(const std::string& hostPath,
                                                  std::string_view data) {
    auto fail = [](int error) { return WriteResult{false, ErrorText(error)}; };

    // Replacing a link would cut it; replace the file it points at instead.
    std::string target = hostPath;
    struct stat st;
    if (::lstat(hostPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(hostPath.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return fail(EISDIR);
    if (exists && !S_ISREG(st.st_mode)) return WriteInPlace(hostPath, data);

    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos
                                   ? std::string(".")
                                   : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty()) return fail(EISDIR);

    // In the same folder, so the rename stays on one filesystem and is atomic.
    std::string temp = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) +
                       "." + base + ".XXXXXX";
    int raw = ::mkostemp(temp.data(), O_CLOEXEC);
    if (raw < 0) return fail(errno);
    int fd = raw;
    auto discard = [&](int error) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return fail(error);
    };

    int error = 0;
    if (!WriteAll(fd, data, error)) return discard(error);
    if (Sync(fd) != 0) return discard(errno);
    const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    if (::fchmod(fd, mode) != 0) return discard(errno);
    if (exists) {
        // Keep the owner when allowed to; an ordinary user simply cannot, which is fine.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
        }
    }
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0) return discard(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) return discard(errno);

    // Make the rename itself durable; a failure here no longer endangers either version.
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        Sync(dfd);
        ::close(dfd);
    }
    return WriteResult{};
}

int PosixFileSystem::Sync(int fd) {
    return ::fsync(fd);
}

std::unique_ptr<FileSystem> MakeHostFileSystem(const DriveMap& drives) {
    return std::make_unique<PosixFileSystem>(drives);
}

}  // namespace korvane

// korvane-faultfs: a read-only FUSE view of a folder that behaves like a slow or damaged drive.
//
//   korvane-faultfs <folder> <mount point> [--rate=BYTES[K|M]] [--stall=FILE:OFFSET:SECONDS]
//                   [--eio=FILE:OFFSET] [--stall-dir=DIR:SECONDS] [--endless=DIR]
//                   [--vanish=FILE] [fuse options...]
//
// --rate   every read takes as long as the drive would at that many bytes a second
// --stall  a read that reaches OFFSET of FILE (a path under the folder, "DATA/A.BIN") first waits
//          SECONDS, as a drive retrying a bad sector does
// --eio    reads of FILE from OFFSET on fail with EIO; a read that starts before it delivers the
//          bytes up to it. Checked after the stall, so both together make a sector that is
//          retried and then given up.
// --stall-dir  every listing of the folder DIR first waits SECONDS
// --endless    the folder DIR holds, besides its own entries, the folders 0 to 9, and each of
//              those holds the folders 0 to 9 again, without end: a tree no walk ever finishes
// --vanish FILE is listed by its folder, but looking it up or opening it gives ENOENT, as on a
//          drive whose directory names a file that is no longer there.
//
// Files are opened with direct I/O, so every read of the program reaches this process with its
// own offset and size and nothing is served from the page cache.
#define FUSE_USE_VERSION 31

#include <dirent.h>
#include <fcntl.h>
#include <fuse.h>
#include <fuse_lowlevel.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options {
    std::string root;
    double rate = 0;  // bytes a second; 0 = as fast as the folder
    std::string stallFile;
    long long stallOffset = -1;
    double stallSeconds = 0;
    std::string eioFile;
    long long eioOffset = -1;
    std::string stallDir;
    double stallDirSeconds = 0;
    std::string endlessDir;
    std::string vanishFile;
};

constexpr int kEndlessFanOut = 10;

Options options;

std::string Backing(const char* path) {
    return options.root + path;
}

// "/DATA/A.BIN" names the file given as "DATA/A.BIN".
bool Names(const char* path, const std::string& file) {
    return !file.empty() && path[0] == '/' && file == path + 1;
}

// Sleeps in short steps, so that an unmount does not wait for a long stall to end.
void Wait(double seconds) {
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                           std::chrono::duration<double>(seconds));
    fuse_context* context = fuse_get_context();
    fuse_session* session = context && context->fuse ? fuse_get_session(context->fuse) : nullptr;
    for (auto now = std::chrono::steady_clock::now(); now < until;
         now = std::chrono::steady_clock::now()) {
        if (session && fuse_session_exited(session)) return;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            until - now, std::chrono::milliseconds(10)));
    }
}

// A folder below the endless one, which exists only in this view.
bool InsideEndless(const char* path) {
    const std::string& dir = options.endlessDir;
    return !dir.empty() && path[0] == '/' && std::strncmp(path + 1, dir.c_str(), dir.size()) == 0 &&
           path[1 + dir.size()] == '/';
}

int GetAttr(const char* path, struct stat* st, fuse_file_info*) {
    if (Names(path, options.vanishFile)) return -ENOENT;
    if (InsideEndless(path)) {
        *st = {};
        st->st_mode = S_IFDIR | 0555;
        st->st_nlink = 2;
        return 0;
    }
    return lstat(Backing(path).c_str(), st) == 0 ? 0 : -errno;
}

int ReadDir(const char* path, void* out, fuse_fill_dir_t fill, off_t, fuse_file_info*,
            fuse_readdir_flags) {
    if (Names(path, options.stallDir)) Wait(options.stallDirSeconds);
    const bool endless = Names(path, options.endlessDir) || InsideEndless(path);
    if (endless) {
        struct stat st {};
        st.st_mode = S_IFDIR;
        for (int i = 0; i < kEndlessFanOut; ++i) {
            if (fill(out, std::to_string(i).c_str(), &st, 0, static_cast<fuse_fill_dir_flags>(0))) {
                return 0;
            }
        }
        if (InsideEndless(path)) return 0;
    }
    DIR* dir = opendir(Backing(path).c_str());
    if (!dir) return -errno;
    while (dirent* e = readdir(dir)) {
        struct stat st {};
        st.st_ino = e->d_ino;
        st.st_mode = static_cast<mode_t>(DTTOIF(e->d_type));
        if (fill(out, e->d_name, &st, 0, static_cast<fuse_fill_dir_flags>(0)) != 0) break;
    }
    closedir(dir);
    return 0;
}

int Open(const char* path, fuse_file_info* fi) {
    if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
    if (Names(path, options.vanishFile)) return -ENOENT;
    const int fd = open(Backing(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -errno;
    fi->fh = static_cast<std::uint64_t>(fd);
    fi->direct_io = 1;
    return 0;
}

int Read(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
    const long long start = offset;
    const long long end = start + static_cast<long long>(size);
    if (Names(path, options.stallFile) && start <= options.stallOffset &&
        options.stallOffset < end) {
        Wait(options.stallSeconds);
    }
    if (Names(path, options.eioFile) && options.eioOffset < end) {
        if (start >= options.eioOffset) return -EIO;
        size = static_cast<size_t>(options.eioOffset - start);
    }
    const ssize_t got = pread(static_cast<int>(fi->fh), buffer, size, offset);
    if (got < 0) return -errno;
    if (options.rate > 0) Wait(static_cast<double>(got) / options.rate);
    return static_cast<int>(got);
}

int Release(const char*, fuse_file_info* fi) {
    close(static_cast<int>(fi->fh));
    return 0;
}

double Bytes(const std::string& text) {
    char* rest = nullptr;
    double value = std::strtod(text.c_str(), &rest);
    if (*rest == 'K' || *rest == 'k') value *= 1e3;
    if (*rest == 'M' || *rest == 'm') value *= 1e6;
    return value;
}

bool Option(const std::string& arg) {
    if (arg.rfind("--rate=", 0) == 0) {
        options.rate = Bytes(arg.substr(7));
        return true;
    }
    if (arg.rfind("--stall=", 0) == 0) {
        const std::string value = arg.substr(8);
        const std::size_t a = value.rfind(':');
        const std::size_t b = a == std::string::npos ? a : value.rfind(':', a - 1);
        if (b == std::string::npos) return false;
        options.stallFile = value.substr(0, b);
        options.stallOffset = std::atoll(value.substr(b + 1, a - b - 1).c_str());
        options.stallSeconds = std::atof(value.substr(a + 1).c_str());
        return true;
    }
    if (arg.rfind("--eio=", 0) == 0) {
        const std::string value = arg.substr(6);
        const std::size_t a = value.rfind(':');
        if (a == std::string::npos) return false;
        options.eioFile = value.substr(0, a);
        options.eioOffset = std::atoll(value.substr(a + 1).c_str());
        return true;
    }
    if (arg.rfind("--stall-dir=", 0) == 0) {
        const std::string value = arg.substr(12);
        const std::size_t a = value.rfind(':');
        if (a == std::string::npos) return false;
        options.stallDir = value.substr(0, a);
        options.stallDirSeconds = std::atof(value.substr(a + 1).c_str());
        return true;
    }
    if (arg.rfind("--endless=", 0) == 0) {
        options.endlessDir = arg.substr(10);
        return !options.endlessDir.empty();
    }
    if (arg.rfind("--vanish=", 0) == 0) {
        options.vanishFile = arg.substr(9);
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<char*> fuseArgs{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            if (!Option(arg)) {
                std::fprintf(stderr, "korvane-faultfs: bad option %s\n", argv[i]);
                return 2;
            }
        } else if (options.root.empty() && arg[0] != '-') {
            char* real = realpath(argv[i], nullptr);
            if (!real) {
                std::perror(argv[i]);
                return 2;
            }
            options.root = real;
            std::free(real);
        } else {
            fuseArgs.push_back(argv[i]);
        }
    }
    if (options.root.empty()) {
        std::fprintf(stderr,
                     "usage: korvane-faultfs <folder> <mount point> [--rate=B[K|M]] "
                     "[--stall=FILE:OFFSET:SECONDS] [--eio=FILE:OFFSET] "
                     "[--stall-dir=DIR:SECONDS] [--endless=DIR] [--vanish=FILE] [fuse options]\n");
        return 2;
    }
    fuse_operations ops{};
    ops.getattr = GetAttr;
    ops.readdir = ReadDir;
    ops.open = Open;
    ops.read = Read;
    ops.release = Release;
    return fuse_main(static_cast<int>(fuseArgs.size()), fuseArgs.data(), &ops, nullptr);
}

// Disc images for the end-to-end tests: xorriso builds them, fuseiso mounts them.
#include "support/DiscImage.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace korvane::test {

namespace {

constexpr char kMountPrefix[] = "korvane-disc-";
constexpr std::uint64_t kBlock = 2048;

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

std::string FusermountProgram() {
    static const std::string program = OnPath("fusermount") ? "fusermount" : "fusermount3";
    return program;
}

std::uint32_t Le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    });
    return text;
}

// The directory records of one folder of an image, as raw bytes.
std::string ReadExtent(std::ifstream& in, const ImageExtent& e) {
    std::string bytes(e.bytes, '\0');
    in.seekg(static_cast<std::streamoff>(e.Start()));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!in) throw std::runtime_error("image ends inside a folder's records");
    return bytes;
}

// A mount point counts as mounted while it sits on another device than its parent folder, or
// while it cannot be looked at at all (a dead FUSE mount answers ENOTCONN).
bool IsMounted(const std::string& mountPoint) {
    struct stat self {};
    struct stat parent {};
    if (stat(mountPoint.c_str(), &self) != 0) return errno == ENOTCONN || errno == EIO;
    if (stat(fs::path(mountPoint).parent_path().c_str(), &parent) != 0) return false;
    return self.st_dev != parent.st_dev;
}

void DetachMount(const std::string& mountPoint) {
    int status = 0;
    RunHost(FusermountProgram() + " -u " + ShellQuote(mountPoint) + " >/dev/null 2>&1", &status);
    if (status == 0 && !IsMounted(mountPoint)) return;
    // Busy or half-dead: detach it now, the kernel finishes when the last user lets go.
    RunHost(FusermountProgram() + " -u -z " + ShellQuote(mountPoint) + " >/dev/null 2>&1", &status);
    if (IsMounted(mountPoint) && geteuid() == 0) umount2(mountPoint.c_str(), MNT_DETACH);
}

// The pid a mount point of ours was made by, or 0 when the name is not one of ours.
pid_t OwnerOf(const std::string& name) {
    if (name.rfind(kMountPrefix, 0) != 0) return 0;
    return static_cast<pid_t>(std::strtol(name.c_str() + std::strlen(kMountPrefix), nullptr, 10));
}

bool Alive(pid_t pid) {
    return kill(pid, 0) == 0 || errno != ESRCH;
}

std::string DecodeMountInfoPath(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            out.push_back(static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8)));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

// Waits for a child to end, up to `timeout`; true when it did.
bool Reap(pid_t pid, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (true) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD)) return true;
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Starts a FUSE daemon in the foreground with no terminal output: -1 when fork failed. A test
// process that dies outright takes its mounts with it: the daemons unmount on SIGTERM.
pid_t SpawnQuiet(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child != 0) return child;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
    }
    execvp(argv[0], argv.data());
    _exit(127);
}

}  // namespace

std::string MountPointPrefix() {
    return (fs::temp_directory_path() / (kMountPrefix + std::to_string(getpid()) + "-")).string();
}

std::string DiscToolsProblem() {
    static const std::string problem = [] {
        std::string missing;
        if (access("/dev/fuse", R_OK | W_OK) != 0) missing += " /dev/fuse (not usable)";
        if (!OnPath("fuseiso")) missing += " fuseiso";
        if (!OnPath("xorriso")) missing += " xorriso";
        if (!OnPath("fusermount") && !OnPath("fusermount3")) missing += " fusermount";
        return missing.empty() ? std::string() : "missing" + missing;
    }();
    return problem;
}

std::string DriveNodeProblem() {
    return DiscToolsProblem() + (geteuid() == 0 ? "" : " (and not root)");
}

bool UnderCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out.push_back(c);
        }
    }
    return out + "'";
}

std::string RunHost(const std::string& commandLine, int* status) {
    std::string output;
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (!pipe) {
        if (status) *status = -1;
        return output;
    }
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int raw = pclose(pipe);
    if (status) *status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    return output;
}

std::string UdfToolsProblem() {
    return OnPath("genisoimage") ? std::string() : "missing genisoimage";
}

namespace {

// A disc of UDF alone: a UDF bridge image whose ISO 9660 descriptors give way to the UDF ones,
// so that the ISO 9660 directory, still in the image, is found by no reader.
void BuildUdfImage(const std::string& tree, const std::string& image, const std::string& label) {
    int status = 0;
    const std::string output =
        RunHost("genisoimage -quiet -udf -input-charset utf-8 -V " + ShellQuote(label) + " -o " +
                    ShellQuote(image) + " " + ShellQuote(tree) + " 2>&1",
                &status);
    if (status != 0) {
        throw std::runtime_error("genisoimage could not build " + image + ":\n" + output);
    }
    std::fstream f(image, std::ios::in | std::ios::out | std::ios::binary);
    // From sector 16: the ISO 9660 descriptors, then the UDF recognition sequence of 3 sectors.
    std::string sectors(8 * kBlock, '\0');
    f.seekg(16 * kBlock);
    f.read(sectors.data(), static_cast<std::streamsize>(sectors.size()));
    const std::size_t udf = sectors.find("BEA01");
    if (!f || udf == std::string::npos || udf % kBlock != 1) {
        throw std::runtime_error(image + " has no UDF recognition sequence");
    }
    // The sectors from 16 to the old sequence's end, and no further, are written.
    std::string moved = sectors.substr(udf - 1, 3 * kBlock);
    moved.resize(udf - 1 + 3 * kBlock, '\0');
    f.seekp(16 * kBlock);
    f.write(moved.data(), static_cast<std::streamsize>(moved.size()));
    if (!f) throw std::runtime_error("cannot rewrite " + image);
}

std::uint16_t Crc16(const unsigned char* p, std::size_t n) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        crc = static_cast<std::uint16_t>(crc ^ (p[i] << 8));
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        }
    }
    return crc;
}

}  // namespace

void MakeUdfLink(const std::string& image, std::uint64_t bytes) {
    std::fstream f(image, std::ios::in | std::ios::out | std::ios::binary);
    std::string disc((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    auto* d = reinterpret_cast<unsigned char*>(disc.data());
    std::size_t found = std::string::npos;
    for (std::size_t at = 0; at + kBlock <= disc.size(); at += kBlock) {
        // A file entry (tag 261) of a regular file (type 5) that long.
        if (d[at] != 5 || d[at + 1] != 1 || d[at + 27] != 5 || Le32(d + at + 56) != bytes ||
            Le32(d + at + 60) != 0) {
            continue;
        }
        if (found != std::string::npos) throw std::runtime_error("two files that long");
        found = at;
    }
    if (found == std::string::npos) throw std::runtime_error(image + " holds no file that long");
    unsigned char* fe = d + found;
    fe[27] = 12;
    const std::size_t crcLength = fe[10] | std::size_t{fe[11]} << 8;
    const std::uint16_t crc = Crc16(fe + 16, crcLength);
    fe[8] = static_cast<unsigned char>(crc);
    fe[9] = static_cast<unsigned char>(crc >> 8);
    unsigned sum = 0;
    for (int i = 0; i < 16; ++i) sum += i == 4 ? 0 : fe[i];
    fe[4] = static_cast<unsigned char>(sum);
    f.seekp(static_cast<std::streamoff>(found));
    f.write(reinterpret_cast<const char*>(fe), kBlock);
    if (!f) throw std::runtime_error("cannot rewrite " + image);
}

void BuildImage(const std::string& tree, const std::string& image, const std::string& label,
                DiscFormat format) {
    if (format == DiscFormat::Udf) return BuildUdfImage(tree, image, label);
    std::string command = "xorriso -as mkisofs -input-charset UTF-8 ";
    // Rock Ridge is on unless turned off.
    command +=
        format == DiscFormat::JolietOnly || format == DiscFormat::Plain ? "--norock " : "-R ";
    if (format == DiscFormat::JolietRockRidge || format == DiscFormat::JolietOnly ||
        format == DiscFormat::Level3) {
        command += "-J ";
    }
    if (format == DiscFormat::Level3) command += "-iso-level 3 ";
    command +=
        "-V " + ShellQuote(label) + " -o " + ShellQuote(image) + " " + ShellQuote(tree) + " 2>&1";
    int status = 0;
    const std::string output = RunHost(command, &status);
    if (status != 0) throw std::runtime_error("xorriso could not build " + image + ":\n" + output);
}

std::vector<ImageFile> ImageFiles(const std::string& image) {
    int status = 0;
    const std::string output = RunHost("xorriso -local_charset UTF-8 -indev " + ShellQuote(image) +
                                           " -find / -type f -exec report_lba -- 2>/dev/null",
                                       &status);
    if (status != 0) throw std::runtime_error("xorriso could not read " + image);
    // File data lba:  0 ,       33 ,        1 ,        2 , '/DATA/A.BIN'
    std::vector<ImageFile> files;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("File data lba:", 0) != 0) continue;
        const std::size_t quote = line.find('\'');
        if (quote == std::string::npos || line.back() != '\'') continue;
        std::istringstream fields(line.substr(14, quote - 14));
        std::uint64_t extentNo = 0, lba = 0, blocks = 0, size = 0;
        char comma = 0;
        fields >> extentNo >> comma >> lba >> comma >> blocks >> comma >> size;
        files.push_back({line.substr(quote + 1, line.size() - quote - 2), {lba, size}});
    }
    return files;
}

ImageExtent FileExtent(const std::string& image, const std::string& path) {
    for (const ImageFile& f : ImageFiles(image)) {
        if (f.path == path) return f.extent;
    }
    throw std::runtime_error(image + " holds no file " + path);
}

ImageExtent FolderExtent(const std::string& image, const std::string& path) {
    std::ifstream in(image, std::ios::binary);
    unsigned char pvd[kBlock];
    in.seekg(16 * kBlock);
    in.read(reinterpret_cast<char*>(pvd), kBlock);
    if (!in || pvd[0] != 1 || std::memcmp(pvd + 1, "CD001", 5) != 0) {
        throw std::runtime_error(image + " has no primary volume descriptor");
    }
    const unsigned char* root = pvd + 156;
    ImageExtent current{Le32(root + 2), Le32(root + 10)};

    std::stringstream parts(path);
    std::string part;
    while (std::getline(parts, part, '/')) {
        if (part.empty()) continue;
        const std::string records = ReadExtent(in, current);
        const std::string wanted = Upper(part);
        bool found = false;
        for (std::size_t i = 0; i < records.size() && !found;) {
            const auto length = static_cast<unsigned char>(records[i]);
            if (length == 0) {  // records never cross a block: the rest of this one is padding
                i = (i / kBlock + 1) * kBlock;
                continue;
            }
            const auto* r = reinterpret_cast<const unsigned char*>(records.data() + i);
            const std::string name(records.data() + i + 33, r[32]);
            if ((r[25] & 2) != 0 && Upper(name) == wanted) {
                current = {Le32(r + 2), Le32(r + 10)};
                found = true;
            }
            i += length;
        }
        if (!found) throw std::runtime_error(image + " holds no folder " + path);
    }
    return current;
}

void CutImage(const std::string& from, const std::string& to, std::uint64_t bytes) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::resize_file(to, bytes);
}

void RemoveStaleMounts() {
    std::error_code ec;
    const fs::path temp = fs::weakly_canonical(fs::temp_directory_path(), ec);
    std::ifstream info("/proc/self/mountinfo");
    std::string line;
    while (std::getline(info, line)) {
        // id parent major:minor root mount-point ...
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint;
        fields >> id >> parent >> device >> root >> mountPoint;
        const fs::path point(DecodeMountInfoPath(mountPoint));
        if (fs::weakly_canonical(point.parent_path(), ec) != temp) continue;
        const pid_t owner = OwnerOf(point.filename().string());
        if (owner > 0 && owner != getpid() && !Alive(owner)) DetachMount(point.string());
    }
    for (const auto& entry : fs::directory_iterator(temp, ec)) {
        const pid_t owner = OwnerOf(entry.path().filename().string());
        // rmdir only: a folder still mounted or not empty is left alone.
        if (owner > 0 && owner != getpid() && !Alive(owner)) rmdir(entry.path().c_str());
    }
}

MountedDisc::MountedDisc(DriveMap& drives, char letter, const std::string& image,
                         const std::string& device)
    : drives_(drives), letter_(letter), device_(device) {
    static const bool swept = (RemoveStaleMounts(), true);
    (void)swept;
    std::string pattern =
        (fs::temp_directory_path() / (kMountPrefix + std::to_string(getpid()) + "-XXXXXX"))
            .string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a mount point");
    mountPoint_ = pattern;
    try {
        Mount(image);
    } catch (...) {
        rmdir(mountPoint_.c_str());
        throw;
    }
    drives_.Set(letter_, mountPoint_);
}

MountedDisc::~MountedDisc() {
    drives_.Remove(letter_);
    Unmount();
    rmdir(mountPoint_.c_str());
}

void MountedDisc::Mount(const std::string& image) {
    if ((image + device_).find(',') != std::string::npos) throw std::runtime_error("comma");
    // Named after its image, the mount shows the disc's own label to the drive discovery;
    // named after a drive, it is the disc in that drive.
    const std::string options =
        "fsname=" + (device_.empty() ? image : device_) + ",subtype=fuseiso";
    const pid_t child = SpawnQuiet({"fuseiso", "-n", image, mountPoint_, "-f", "-o", options});
    if (child < 0) throw std::runtime_error("fork failed");
    pid_ = child;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!IsMounted(mountPoint_)) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            pid_ = -1;
            throw std::runtime_error("fuseiso could not mount " + image);
        }
        if (std::chrono::steady_clock::now() > until) {
            kill(child, SIGKILL);
            Reap(child, std::chrono::seconds(5));
            pid_ = -1;
            DetachMount(mountPoint_);
            throw std::runtime_error("fuseiso did not mount " + image + " in time");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    image_ = image;
}

void MountedDisc::Unmount() {
    if (IsMounted(mountPoint_)) DetachMount(mountPoint_);
    if (pid_ > 0) {
        if (!Reap(pid_, std::chrono::seconds(5))) {
            kill(pid_, SIGKILL);
            Reap(pid_, std::chrono::seconds(5));
        }
        pid_ = -1;
    }
}

void MountedDisc::Swap(const std::string& image) {
    Unmount();
    Mount(image);
}

void MountedDisc::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    Reap(pid_, std::chrono::seconds(5));
    pid_ = -1;
}

void MountedDisc::Remount() {
    Unmount();
    Mount(image_);
}

FakeDrive::FakeDrive() {
    // Other test processes make drives too: a number from a high range, taken only when free.
    std::random_device seed;
    for (int attempt = 0; attempt < 100 && device_.empty(); ++attempt) {
        const unsigned number = 4000 + seed() % 60000;
        const std::string node = "/dev/sr" + std::to_string(number);
        if (mknod(node.c_str(), S_IFBLK | 0600, makedev(11, number)) == 0) device_ = node;
        if (device_.empty() && errno != EEXIST) throw std::runtime_error("cannot make " + node);
    }
    if (device_.empty()) throw std::runtime_error("no free /dev/srN");
}

FakeDrive::~FakeDrive() {
    disc_.reset();
    unlink(device_.c_str());
}

void FakeDrive::Insert(const std::string& image) {
    disc_.reset();  // the drive holds one disc at a time
    disc_ = std::make_unique<MountedDisc>(unused_, 'Z', image, device_);
}

}  // namespace korvane::test

namespace korvane::test {

std::string FaultFsProblem() {
#ifdef KORVANE_FAULTFS
    if (access("/dev/fuse", R_OK | W_OK) != 0) return "/dev/fuse is not usable";
    if (access(KORVANE_FAULTFS, X_OK) != 0) return std::string(KORVANE_FAULTFS) + " is missing";
    if (!OnPath("fusermount") && !OnPath("fusermount3")) return "fusermount is missing";
    return {};
#else
    return "korvane-faultfs was not built (no libfuse3)";
#endif
}

FaultyDrive::FaultyDrive(DriveMap& drives, char letter, const std::string& folder,
                         const DriveFaults& faults)
    : drives_(drives), letter_(letter) {
#ifdef KORVANE_FAULTFS
    static const bool swept = (RemoveStaleMounts(), true);
    (void)swept;
    std::string pattern =
        (fs::temp_directory_path() / (kMountPrefix + std::to_string(getpid()) + "-XXXXXX"))
            .string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a mount point");
    mountPoint_ = pattern;

    std::vector<std::string> args{KORVANE_FAULTFS, folder, mountPoint_, "-f"};
    if (!faults.rate.empty()) args.push_back("--rate=" + faults.rate);
    if (!faults.stallFile.empty()) {
        args.push_back("--stall=" + faults.stallFile + ":" + std::to_string(faults.stallAt) + ":" +
                       std::to_string(faults.stallSeconds));
    }
    if (!faults.eioFile.empty()) {
        args.push_back("--eio=" + faults.eioFile + ":" + std::to_string(faults.eioAt));
    }
    if (!faults.stallFolder.empty()) {
        args.push_back("--stall-dir=" + faults.stallFolder + ":" +
                       std::to_string(faults.stallFolderSeconds));
    }
    if (!faults.endlessFolder.empty()) args.push_back("--endless=" + faults.endlessFolder);
    if (!faults.vanishFile.empty()) args.push_back("--vanish=" + faults.vanishFile);
    const pid_t child = SpawnQuiet(std::move(args));
    if (child < 0) {
        rmdir(mountPoint_.c_str());
        throw std::runtime_error("fork failed");
    }
    pid_ = child;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!IsMounted(mountPoint_)) {
        int status = 0;
        const bool ended = waitpid(child, &status, WNOHANG) == child;
        if (ended || std::chrono::steady_clock::now() > until) {
            if (!ended) {
                kill(child, SIGKILL);
                Reap(child, std::chrono::seconds(5));
            }
            DetachMount(mountPoint_);
            rmdir(mountPoint_.c_str());
            throw std::runtime_error("korvane-faultfs could not mount " + folder);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    drives_.Set(letter_, mountPoint_);
#else
    (void)faults;
    throw std::runtime_error("korvane-faultfs was not built; cannot mount " + folder);
#endif
}

FaultyDrive::~FaultyDrive() {
    drives_.Remove(letter_);
    if (IsMounted(mountPoint_)) DetachMount(mountPoint_);
    if (pid_ > 0) {
        // A lazy unmount leaves the process serving a read that is still stalled: end it.
        if (!Reap(pid_, std::chrono::seconds(2))) {
            kill(pid_, SIGTERM);
            if (!Reap(pid_, std::chrono::seconds(3))) {
                kill(pid_, SIGKILL);
                Reap(pid_, std::chrono::seconds(5));
            }
        }
    }
    rmdir(mountPoint_.c_str());
}

}  // namespace korvane::test

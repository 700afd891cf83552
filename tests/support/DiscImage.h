// Real disc images for tests: built from host trees with xorriso, mounted with fuseiso behind a
// drive letter, damaged, exchanged and pulled out, and always unmounted.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/DriveMap.h"

namespace korvane::test {

// Why disc images cannot be mounted on this machine (no /dev/fuse, fuseiso or xorriso), or
// empty text when they can.
std::string DiscToolsProblem();

// True when the environment says this is a CI run (CI=true): missing tools then fail the test.
bool UnderCi();

// The same, and also why no optical drive node can be made here (only root can), or empty.
std::string DriveNodeProblem();

// Skips the current test when disc images cannot be used here, and fails it instead under CI.
// Usable in SetUp, SetUpTestSuite and test bodies.
#define KORVANE_REQUIRE(problemText)                                                            \
    do {                                                                                        \
        const std::string korvaneDiscProblem = (problemText);                                   \
        if (!korvaneDiscProblem.empty()) {                                                      \
            if (::korvane::test::UnderCi()) {                                                   \
                GTEST_FAIL() << "disc-image tests cannot run under CI: " << korvaneDiscProblem; \
            }                                                                                   \
            GTEST_SKIP() << "disc-image tests skipped: " << korvaneDiscProblem;                 \
        }                                                                                       \
    } while (false)
#define KORVANE_REQUIRE_DISC_TOOLS() KORVANE_REQUIRE(::korvane::test::DiscToolsProblem())
#define KORVANE_REQUIRE_DRIVE_NODES() KORVANE_REQUIRE(::korvane::test::DriveNodeProblem())

// Runs a shell command line; returns its standard output. `status` gets the exit status (-1
// when it could not run or ended by a signal).
std::string RunHost(const std::string& commandLine, int* status = nullptr);
// The text quoted for a POSIX shell.
std::string ShellQuote(const std::string& text);

enum class DiscFormat {
    JolietRockRidge,  // both name extensions, as discs are usually made
    RockRidgeOnly,    // one directory tree only, so damage to it shows in every listing
    JolietOnly,       // Windows names only
    Plain,            // bare ISO 9660 names ("A.BIN;1")
    Level3,           // Joliet and Rock Ridge, files over 4 GiB in several extents
    Udf,              // UDF alone, no ISO 9660 directory; links are left out
};

// Why UDF images cannot be built here (no genisoimage), or empty text when they can.
std::string UdfToolsProblem();
// Makes the one file of a UDF image that is `bytes` long a symbolic link, whose target is the
// file's data read as path components. The tool writes no links. Throws when no file, or more
// than one, is that long.
void MakeUdfLink(const std::string& image, std::uint64_t bytes);

// Writes a disc image of the host folder `tree`. Throws std::runtime_error on failure.
void BuildImage(const std::string& tree, const std::string& image, const std::string& label,
                DiscFormat format = DiscFormat::JolietRockRidge);

// Where something lies inside an image, in 2048-byte blocks.
struct ImageExtent {
    std::uint64_t lba = 0;
    std::uint64_t bytes = 0;  // the file's size, or the folder's record length
    std::uint64_t Start() const { return lba * 2048; }
    std::uint64_t End() const { return Start() + bytes; }
};

struct ImageFile {
    std::string path;  // as the image names it: "/DATA/A.BIN"
    ImageExtent extent;
};

// Every file of the image with the place of its data, as xorriso reports it.
std::vector<ImageFile> ImageFiles(const std::string& image);
// One file's data ("/DATA/A.BIN"). Throws when the image has no such file.
ImageExtent FileExtent(const std::string& image, const std::string& path);
// The records of a folder, found by its ISO 9660 names ("/BROKEN"); names are matched without
// regard to case. Throws when there is no such folder.
ImageExtent FolderExtent(const std::string& image, const std::string& path);

// Writes the first `bytes` bytes of `from` to `to`: a disc unreadable from there on.
void CutImage(const std::string& from, const std::string& to, std::uint64_t bytes);

// An image mounted with fuseiso at a fresh temporary mount point, put behind a drive letter.
// The destructor unmounts and removes the letter, also when the test failed; a run killed
// outright is cleaned up by the next process that mounts a disc.
class MountedDisc {
  public:
    // `device`, when given, is named as the mount's source: the disc is in that drive.
    MountedDisc(DriveMap& drives, char letter, const std::string& image,
                const std::string& device = {});
    ~MountedDisc();
    MountedDisc(const MountedDisc&) = delete;
    MountedDisc& operator=(const MountedDisc&) = delete;

    // The disc exchange: this image comes out and `image` goes in, at the same mount point.
    void Swap(const std::string& image);
    // The disc vanishes: the filesystem process dies and every access fails with ENOTCONN.
    void Kill();
    // After Kill: the same disc put back in.
    void Remount();

    const std::string& mountPoint() const { return mountPoint_; }
    const std::string& image() const { return image_; }

  private:
    void Mount(const std::string& image);
    void Unmount();

    DriveMap& drives_;
    char letter_;
    std::string device_;
    std::string mountPoint_;
    std::string image_;
    pid_t pid_ = -1;
};

// An optical drive as a desktop shows it: a block device node /dev/srN, with an N free at the
// time, made for the test and removed after. Each disc put in is mounted with fuseiso at a new
// folder, as automounters do, with the node as the mount's source.
class FakeDrive {
  public:
    FakeDrive();
    ~FakeDrive();
    FakeDrive(const FakeDrive&) = delete;
    FakeDrive& operator=(const FakeDrive&) = delete;

    void Insert(const std::string& image);
    void Eject() { disc_.reset(); }
    const std::string& device() const { return device_; }
    std::string mountPoint() const { return disc_ ? disc_->mountPoint() : std::string(); }

  private:
    DriveMap unused_;  // the program finds the drive itself
    std::string device_;
    std::unique_ptr<MountedDisc> disc_;
};

// Why korvane-faultfs, the test filesystem for slow and failing drives, cannot be mounted here
// (not built, no /dev/fuse), or empty text when it can.
std::string FaultFsProblem();

// How a FaultyDrive misbehaves; a field left at its default does nothing.
struct DriveFaults {
    std::string rate;           // read rate, "10M" for ten million bytes a second
    std::string stallFile;      // a path under the folder, "DATA/A.BIN"
    std::uint64_t stallAt = 0;  // the read that reaches this offset waits first
    double stallSeconds = 0;
    std::string eioFile;  // reads from this offset on fail with EIO, after any stall
    std::uint64_t eioAt = 0;
    std::string stallFolder;  // every listing of this folder ("DATA/SUB") waits first
    double stallFolderSeconds = 0;
    std::string endlessFolder;  // holds folders within folders without end
    std::string vanishFile;     // listed by its folder, but looking it up gives ENOENT
};

// A host folder seen through korvane-faultfs at a fresh temporary mount point, put behind a
// drive letter. The destructor unmounts and removes the letter, also when the test failed; a
// read still stalled then fails at once.
class FaultyDrive {
  public:
    FaultyDrive(DriveMap& drives, char letter, const std::string& folder,
                const DriveFaults& faults);
    ~FaultyDrive();
    FaultyDrive(const FaultyDrive&) = delete;
    FaultyDrive& operator=(const FaultyDrive&) = delete;

    const std::string& mountPoint() const { return mountPoint_; }

  private:
    DriveMap& drives_;
    char letter_;
    std::string mountPoint_;
    pid_t pid_ = -1;
};

// The text every mount point of this process's discs begins with: set as KORVANE_MOUNT_PREFIX,
// the program sees no other drive.
std::string MountPointPrefix();

// Clears mounts and mount points left behind by test runs that were killed outright.
void RemoveStaleMounts();

}  // namespace korvane::test

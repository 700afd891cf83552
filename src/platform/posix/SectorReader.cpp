// Sector reads on POSIX systems: pread(2) on the device node or the file, its length from the
// block device's size or the file's.
#include "platform/SectorReader.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/posix/Retry.h"

namespace korvane {

namespace {

class PosixSectorReader : public SectorReader {
  public:
    PosixSectorReader(int fd, std::uint64_t length) : fd_(fd), length_(length) {}
    ~PosixSectorReader() override { ::close(fd_); }
    PosixSectorReader(const PosixSectorReader&) = delete;
    PosixSectorReader& operator=(const PosixSectorReader&) = delete;

    SectorRead Read(std::uint64_t first, std::size_t count, char* into) override {
        SectorRead result;
        const std::size_t wanted = count * kDiscSector;
        while (result.bytes < wanted) {
            const ssize_t r = RetryInterrupted([&] {
                return ::pread(fd_, into + result.bytes, wanted - result.bytes,
                               static_cast<off_t>(first * kDiscSector + result.bytes));
            });
            if (r > 0) {
                result.bytes += static_cast<std::size_t>(r);
            } else if (r == 0) {
                break;
            } else {
                result.failed = true;
                result.error = std::generic_category().message(errno);
                break;
            }
        }
        return result;
    }

    std::uint64_t Length() const override { return length_; }

  private:
    int fd_;
    std::uint64_t length_;
};

}  // namespace

std::unique_ptr<SectorReader> OpenSectorReader(const std::string& hostPath, std::string& error) {
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        error = hostPath + ": " + std::generic_category().message(errno);
        if (fd >= 0) ::close(fd);
        return nullptr;
    }
    std::uint64_t length = static_cast<std::uint64_t>(st.st_size);
    if (S_ISBLK(st.st_mode)) {
        std::uint64_t bytes = 0;
        length = ::ioctl(fd, BLKGETSIZE64, &bytes) == 0 ? bytes : 0;
    } else if (!S_ISREG(st.st_mode)) {
        error = hostPath + ": not a device or a file";
        ::close(fd);
        return nullptr;
    }
    // The whole disc is read from start to end once.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::make_unique<PosixSectorReader>(fd, length);
}

}  // namespace korvane

// A device or an image file read as a row of 2,048-byte sectors, for the sector comparison.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace korvane {

inline constexpr std::size_t kDiscSector = 2048;

struct SectorRead {
    std::size_t bytes = 0;  // delivered from the start of the request
    bool failed = false;    // the read stopped at an error, not at the end
    std::string error;      // the system's words for the error
};

class SectorReader {
  public:
    virtual ~SectorReader() = default;
    // Reads `count` sectors from sector `first` into `into` (count * 2048 bytes of room).
    virtual SectorRead Read(std::uint64_t first, std::size_t count, char* into) = 0;
    // The length in bytes: of the file, or of the disc in the drive.
    virtual std::uint64_t Length() const = 0;
};

// Opens a device node or a file for reading; nullptr with `error` set when it cannot be opened.
std::unique_ptr<SectorReader> OpenSectorReader(const std::string& hostPath, std::string& error);

}  // namespace korvane

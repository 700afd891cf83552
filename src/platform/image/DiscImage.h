// A disc image file read as the disc it holds, without mounting it: the directory through the
// ISO 9660 or UDF reader, the files' data straight from their extents in the image.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace korvane {

inline constexpr std::uint64_t kSectorBytes = 2048;

enum class ImageKind {
    None,     // not a disc image (or not readable at all)
    Iso9660,  // "CD001" at sector 16
    Udf,      // a UDF volume recognition sequence ("BEA01", "NSR02"/"NSR03") without ISO 9660
};

// What the file's first sectors say it holds, whatever its name ends in.
ImageKind DetectImage(const std::string& hostPath);

// A stretch of a file's data in the image, in bytes from the image's start.
struct ImageExtent {
    std::uint64_t offset = 0;
    std::uint64_t bytes = 0;
    bool zeros = false;  // space the file holds but never had written: it reads as zeros
};

class DiscImage {
  public:
    struct Entry {
        std::string name;  // as the kernel shows it: Rock Ridge, else Joliet, else ISO 9660
        bool isFolder = false;
        bool isLink = false;  // a symbolic link: listed as one, never followed
        std::uint64_t size = 0;
        std::vector<ImageExtent> extents;   // a file's data, several for a multi-extent file
        std::vector<std::size_t> children;  // a folder's entries, indices into the entry list
        std::string linkTarget{};           // a link's target text, as the disc holds it
        bool unreadable = false;            // a link whose target could not be read
        // The data is compressed in zisofs blocks (Rock Ridge "ZF"), read as the kernel shows it:
        // decompressed, `size` bytes.
        bool zisofs = false;
    };

    ~DiscImage();
    DiscImage(const DiscImage&) = delete;
    DiscImage& operator=(const DiscImage&) = delete;

    // Reads the image's directory. Nothing, with `error` set, when the file is no image this
    // reader knows or its directory cannot be read.
    static std::unique_ptr<DiscImage> Open(const std::string& hostPath, std::string& error);

    const std::string& HostPath() const { return hostPath_; }
    // The volume id of the primary descriptor, trailing spaces removed: the disc's label.
    const std::string& VolumeId() const { return volumeId_; }
    // The image file's length in bytes, as it was when opened.
    std::uint64_t Length() const { return length_; }

    // The entry a path below the root names ("DATA\A.BIN", "DATA\" or "" for the root), or
    // nullptr. Links are not entries that paths lead to, unless `link` asks for the link that
    // the path names at its end.
    const Entry* Find(std::string_view rest, bool link = false) const;
    const Entry& Root() const { return entries_[0]; }
    const Entry& At(std::size_t index) const { return entries_[index]; }

    // A file's data; reads past the end of the image file fail as a damaged sector does.
    std::unique_ptr<File> OpenFile(const Entry& file) const;

    // Every file with its path ("\DATA\A.BIN") and data, folders before their contents.
    struct Placed {
        std::string path;
        const Entry* entry;
    };
    std::vector<Placed> AllFiles() const;

  private:
    DiscImage() = default;
    // The tree of a UDF volume, read into the entries.
    bool ReadUdf(std::string& error);

    std::string hostPath_;
    std::string volumeId_;
    std::uint64_t length_ = 0;
    int fd_ = -1;
    std::vector<Entry> entries_;
};

}  // namespace korvane

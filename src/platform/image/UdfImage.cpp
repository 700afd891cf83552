// UDF images through libudf: the library names the entries and hands out their file entries;
// where each file's data lies is worked out here from those, so that reads need the library no
// more, and every folder's records are read again here, so that none the library stopped at
// goes unnoticed.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "platform/image/DiscImage.h"

extern "C" {
#include <cdio/udf.h>
}

namespace korvane {

namespace {

// Offsets in a file entry, which the library keeps as the disc's bytes.
constexpr std::size_t kFileTypeAt = 27;
constexpr std::size_t kFlagsAt = 34;
constexpr std::size_t kInfoLengthAt = 56;
constexpr std::size_t kAttributesLengthAt = 168;
constexpr std::size_t kDescriptorsLengthAt = 172;
constexpr std::size_t kDescriptorsAt = 176;
// The tag of an allocation extent, the block that carries a file's further descriptors.
constexpr std::size_t kExtentHeaderBytes = 24;
// Where a file entry lies when no record says so.
constexpr std::uint64_t kNowhere = ~std::uint64_t{0};
// A file whose descriptors go on over more blocks than this is taken for a damaged disc.
constexpr int kMaxDescriptorBlocks = 4096;
// Folders within folders deeper than this are taken for a damaged disc (one whose folder leads
// back to one it lies in would never end).
constexpr std::size_t kMaxDepth = 1000;

std::uint32_t Le16(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

std::uint32_t Le32(const unsigned char* p) {
    return Le16(p) | Le16(p + 2) << 16;
}

std::uint64_t Le64(const unsigned char* p) {
    return std::uint64_t{Le32(p)} | std::uint64_t{Le32(p + 4)} << 32;
}

bool ReadAll(int fd, std::uint64_t offset, unsigned char* into, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd, into + got, n - got, static_cast<off_t>(offset + got));
        if (r > 0) {
            got += static_cast<std::size_t>(r);
        } else if (r < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// A name as UDF stores it (8 bits or 16 bits a character, after a byte that says which), in
// UTF-8; surrogate pairs are joined.
std::string DecodeName(const unsigned char* p, std::size_t n) {
    std::string out;
    if (n == 0) return out;
    if (p[0] == 8) {
        for (std::size_t i = 1; i < n; ++i) AppendUtf8(out, p[i]);
    } else if (p[0] == 16) {
        for (std::size_t i = 1; i + 1 < n; i += 2) {
            std::uint32_t c = std::uint32_t{p[i]} << 8 | p[i + 1];
            if (c >= 0xD800 && c < 0xDC00 && i + 3 < n) {
                const std::uint32_t low = std::uint32_t{p[i + 2]} << 8 | p[i + 3];
                if (low >= 0xDC00 && low < 0xE000) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
                    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
                    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
                    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
                    continue;
                }
            }
            AppendUtf8(out, c);
        }
    }
    return out;
}

// A symbolic link's target from its path components, with "/" between them as the kernel
// shows it.
std::string DecodeLinkTarget(const std::string& data) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    std::string out;
    for (std::size_t at = 0; at + 4 <= data.size();) {
        const unsigned type = p[at];
        const std::size_t length = p[at + 1];
        if (at + 4 + length > data.size()) break;
        if (type == 1 || type == 2) {
            out = "/";  // from the root
        } else {
            if (!out.empty() && out.back() != '/') out.push_back('/');
            if (type == 3) out += "..";
            if (type == 4) out += ".";
            if (type == 5) out += DecodeName(p + at + 4, length);
        }
        at += 4 + length;
    }
    return out;
}

// What one UDF volume is read with; the library's handles are freed however the reading ends.
class UdfTree {
  public:
    UdfTree(int fd, std::uint64_t length) : fd_(fd), length_(length) {}
    ~UdfTree() {
        if (udf_) udf_close(udf_);
    }

    bool Read(const std::string& hostPath, std::string& volumeId,
              std::vector<DiscImage::Entry>& entries, std::string& error);

  private:
    // Where the entry's data lies: from its file entry's descriptors, or inside the file entry
    // itself (at `entryAt` in the image) for a small one. False for descriptors no sound disc
    // holds.
    bool Extents(const unsigned char* fe, std::uint64_t entryAt,
                 std::vector<ImageExtent>& out) const;
    // The data of a folder or a link, read whole; false when any of it cannot be read.
    bool Data(const std::vector<ImageExtent>& extents, std::string& out) const;
    // Lists a folder whose file entry is `fe` (at `entryAt`) through `d`, the library's listing
    // of it, which this ends and frees.
    bool List(const unsigned char* fe, std::uint64_t entryAt, udf_dirent_t* d, std::size_t index,
              std::vector<DiscImage::Entry>& entries);

    int fd_;
    std::uint64_t length_;
    udf_t* udf_ = nullptr;
    std::uint64_t partitionAt_ = 0;  // the partition's first byte in the image
    bool unknownLayout_ = false;     // a folder is kept in a form the library does not list
    std::size_t depth_ = 0;          // of the folder being listed
    std::string entryBlock_ = std::string(UDF_BLOCKSIZE, '\0');
};

bool UdfTree::Extents(const unsigned char* fe, std::uint64_t entryAt,
                      std::vector<ImageExtent>& out) const {
    const std::uint64_t size = Le64(fe + kInfoLengthAt);
    const std::uint32_t attributes = Le32(fe + kAttributesLengthAt);
    const std::uint32_t descriptors = Le32(fe + kDescriptorsLengthAt);
    if (std::uint64_t{attributes} + descriptors > UDF_BLOCKSIZE - kDescriptorsAt) return false;
    const unsigned kind = Le16(fe + kFlagsAt) & ICBTAG_FLAG_AD_MASK;
    if (kind == ICBTAG_FLAG_AD_IN_ICB) {
        if (size > descriptors || entryAt == kNowhere) return false;
        out.push_back({entryAt + kDescriptorsAt + attributes, size, false});
        return true;
    }
    const std::size_t step = kind == ICBTAG_FLAG_AD_SHORT      ? 8
                             : kind == ICBTAG_FLAG_AD_LONG     ? 16
                             : kind == ICBTAG_FLAG_AD_EXTENDED ? 20
                                                               : 0;
    if (step == 0) return false;

    std::string block(fe + kDescriptorsAt + attributes,
                      fe + kDescriptorsAt + attributes + descriptors);
    std::uint64_t left = size;
    int blocks = 0;
    for (std::size_t at = 0; left > 0;) {
        if (at + step > block.size()) return false;  // the descriptors end before the data
        const auto* d = reinterpret_cast<const unsigned char*>(block.data() + at);
        const std::uint32_t word = Le32(d);
        const std::uint64_t bytes = word & 0x3FFFFFFFu;
        const unsigned type = word >> 30;
        // A long or extended descriptor names its partition; a volume has but one here.
        const std::uint32_t lba = Le32(d + (kind == ICBTAG_FLAG_AD_EXTENDED ? 12 : 4));
        at += step;
        if (type == 3) {
            // The descriptors go on in another block, after its header.
            if (++blocks > kMaxDescriptorBlocks) return false;
            std::string next(UDF_BLOCKSIZE, '\0');
            const std::uint64_t from = partitionAt_ + std::uint64_t{lba} * UDF_BLOCKSIZE;
            if (!ReadAll(fd_, from, reinterpret_cast<unsigned char*>(next.data()), next.size())) {
                return false;
            }
            const auto* head = reinterpret_cast<const unsigned char*>(next.data());
            const std::uint32_t length = Le32(head + 20);
            if (length > UDF_BLOCKSIZE - kExtentHeaderBytes) return false;
            block = next.substr(kExtentHeaderBytes, length);
            at = 0;
            continue;
        }
        if (bytes == 0) return false;  // the descriptors end before the data
        const std::uint64_t take = std::min(bytes, left);
        // Space allocated but never written (types 1 and 2) reads as zeros.
        out.push_back({partitionAt_ + std::uint64_t{lba} * UDF_BLOCKSIZE, take, type != 0});
        left -= take;
    }
    return true;
}

bool UdfTree::Data(const std::vector<ImageExtent>& extents, std::string& out) const {
    for (const ImageExtent& e : extents) {
        if (out.size() + e.bytes > length_) return false;  // more than the whole image holds
        const std::size_t at = out.size();
        out.resize(at + e.bytes, '\0');
        if (!e.zeros &&
            !ReadAll(fd_, e.offset, reinterpret_cast<unsigned char*>(out.data() + at), e.bytes)) {
            return false;
        }
    }
    return true;
}

bool UdfTree::List(const unsigned char* folder, std::uint64_t entryAt, udf_dirent_t* d,
                   std::size_t index, std::vector<DiscImage::Entry>& entries) {
    // The folder's records, counted here: the library's listing ends in silence where a block
    // could not be read or where it does not know how a folder is kept, and must hold as many.
    // Where every file entry the records name can be read, a shorter listing is the library's.
    std::vector<ImageExtent> extents;
    std::string records;
    if (!Extents(folder, entryAt, extents) || !Data(extents, records)) {
        udf_dirent_free(d);
        return false;
    }
    std::size_t recorded = 0;
    bool entriesRead = true;
    const auto* r = reinterpret_cast<const unsigned char*>(records.data());
    for (std::size_t at = 0; at + 38 <= records.size();) {
        if (Le16(r + at) != TAGID_FID) {
            udf_dirent_free(d);
            return false;
        }
        if ((r[at + 18] & UDF_FILE_DELETED) == 0) {
            ++recorded;
            auto* block = reinterpret_cast<unsigned char*>(entryBlock_.data());
            const std::uint64_t fe =
                partitionAt_ + std::uint64_t{Le32(r + at + 24)} * UDF_BLOCKSIZE;
            if ((r[at + 18] & UDF_FILE_PARENT) == 0 &&
                !ReadAll(fd_, fe, block, entryBlock_.size())) {
                entriesRead = false;
            }
        }
        at += (38 + Le16(r + at + 36) + r[at + 19] + 3) / 4 * 4;
    }

    std::size_t listed = 0;
    bool ok = true;
    while ((d = udf_readdir(d)) != nullptr) {
        if (d->fid != nullptr && (d->fid->file_characteristics & UDF_FILE_DELETED) != 0) continue;
        ++listed;
        if (d->b_parent || d->fid == nullptr) continue;
        const auto* fe = reinterpret_cast<const unsigned char*>(&d->fe);
        const std::uint64_t at = partitionAt_ + std::uint64_t{d->fid->icb.loc.lba} * UDF_BLOCKSIZE;
        DiscImage::Entry entry;
        entry.name = udf_get_filename(d);
        switch (fe[kFileTypeAt]) {
            case ICBTAG_FILE_TYPE_DIRECTORY: {
                entry.isFolder = true;
                const std::size_t child = entries.size();
                entries.push_back(std::move(entry));
                entries[index].children.push_back(child);
                udf_dirent_t* inside = udf_opendir(d);
                ++depth_;
                const bool entered = inside != nullptr && depth_ <= kMaxDepth &&
                                     List(fe, at, inside, child, entries);
                if (inside != nullptr && depth_ > kMaxDepth) udf_dirent_free(inside);
                --depth_;
                if (!entered) {
                    ok = false;
                    break;
                }
                continue;
            }
            case ICBTAG_FILE_TYPE_REGULAR:
                entry.size = Le64(fe + kInfoLengthAt);
                if (!Extents(fe, at, entry.extents)) {
                    // Where its data lies cannot be read: the file is a read error, as on a
                    // damaged disc, from where the image ends.
                    entry.extents.assign(1, ImageExtent{length_, entry.size, false});
                }
                break;
            case ICBTAG_FILE_TYPE_SYMLINK: {
                entry.isLink = true;
                std::vector<ImageExtent> target;
                std::string data;
                if (Extents(fe, at, target) && Data(target, data)) {
                    entry.linkTarget = DecodeLinkTarget(data);
                } else {
                    entry.unreadable = true;
                }
                break;
            }
            default:
                continue;  // device nodes, FIFOs, named streams
        }
        if (!ok) break;
        entries[index].children.push_back(entries.size());
        entries.push_back(std::move(entry));
    }
    if (d != nullptr) udf_dirent_free(d);
    if (ok && listed != recorded && entriesRead) unknownLayout_ = true;
    return ok && listed == recorded;
}

// Where the root folder's file entry lies, which the library keeps to itself: the anchor at
// block 256 leads to the volume's descriptors, the logical volume's to the file set's, and
// that one names the root. kNowhere when any of them cannot be read.
std::uint64_t RootEntryAt(int fd, std::uint64_t partitionAt) {
    unsigned char b[UDF_BLOCKSIZE];
    if (!ReadAll(fd, 256 * UDF_BLOCKSIZE, b, sizeof b) || Le16(b) != TAGID_ANCHOR) return kNowhere;
    const std::uint64_t blocks = Le32(b + 16) / UDF_BLOCKSIZE;
    const std::uint64_t first = Le32(b + 20);
    for (std::uint64_t n = first; n < first + blocks && n < first + 64; ++n) {
        if (!ReadAll(fd, n * UDF_BLOCKSIZE, b, sizeof b)) return kNowhere;
        if (Le16(b) == TAGID_TERM) break;
        if (Le16(b) != TAGID_LOGVOL) continue;
        const std::uint64_t set = partitionAt + std::uint64_t{Le32(b + 252)} * UDF_BLOCKSIZE;
        if (!ReadAll(fd, set, b, sizeof b) || Le16(b) != TAGID_FSD) return kNowhere;
        return partitionAt + std::uint64_t{Le32(b + 404)} * UDF_BLOCKSIZE;
    }
    return kNowhere;
}

// True when the volume says it is of revision 2.00 or later (its recognition sequence names the
// third edition of the volume structure), whose file entries the library does not read.
bool LaterRevision(int fd) {
    unsigned char sector[UDF_BLOCKSIZE];
    for (std::uint64_t n = 16; n < 32; ++n) {
        if (!ReadAll(fd, n * UDF_BLOCKSIZE, sector, sizeof sector)) return false;
        const std::string_view id(reinterpret_cast<const char*>(sector) + 1, 5);
        if (id == "NSR03") return true;
        if (id == "TEA01") return false;
    }
    return false;
}

bool UdfTree::Read(const std::string& hostPath, std::string& volumeId,
                   std::vector<DiscImage::Entry>& entries, std::string& error) {
    udf_ = udf_open(hostPath.c_str());
    udf_dirent_t* root = udf_ ? udf_get_root(udf_, true, 0) : nullptr;
    if (root == nullptr) {
        // Refused for what it is, not taken for a damaged disc.
        error = hostPath + (LaterRevision(fd_)
                                ? ": UDF discs of revision 2.00 and later are not read yet"
                                : ": the disc's directory cannot be read");
        return false;
    }
    partitionAt_ = std::uint64_t{root->i_part_start} * UDF_BLOCKSIZE;
    char id[256] = {};
    // The logical volume's name is what the kernel and the desktop show as the disc's label.
    if (udf_get_logical_volume_id(udf_, id, sizeof id) <= 0 || id[0] == '\0') {
        udf_get_volume_id(udf_, id, sizeof id);
    }
    volumeId = id;
    while (!volumeId.empty() && volumeId.back() == ' ') volumeId.pop_back();

    entries.push_back(DiscImage::Entry{"", true, false, 0, {}, {}, {}});
    const bool ok = List(reinterpret_cast<const unsigned char*>(&root->fe),
                         RootEntryAt(fd_, partitionAt_), root, 0, entries);
    if (!ok) {
        entries.clear();
        error =
            hostPath + (unknownLayout_ ? ": this UDF disc keeps its folders in a form not read yet"
                                       : ": the disc's directory cannot be read");
    }
    return ok;
}

}  // namespace

bool DiscImage::ReadUdf(std::string& error) {
    UdfTree tree(fd_, length_);
    return tree.Read(hostPath_, volumeId_, entries_, error);
}

}  // namespace korvane

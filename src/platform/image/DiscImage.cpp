// ISO 9660 images through libisofs: the tree is read once and kept as plain entries, so reads
// need the library no more and may come from any thread.
#include "platform/image/DiscImage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

extern "C" {
#include <libisofs/libisofs.h>
#include <zlib.h>
}

namespace korvane {

namespace {

// One pread(2) asks for at most this much.
constexpr std::size_t kMaxReadChunk = std::size_t{1} << 30;

bool ReadAt(int fd, std::uint64_t offset, char* into, std::size_t n) {
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

bool LibraryReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        ready = iso_init() >= 0;
        if (!ready) return;
        // The library's own messages would land on the terminal; failures come back as codes.
        char never[] = "NEVER";
        char id[] = "korvane";
        iso_set_msgs_severities(never, never, id);
        // Names are handed out as the directory holds them: Joliet's UCS-2 becomes UTF-8,
        // Rock Ridge bytes stay as they are.
        char utf8[] = "UTF-8";
        iso_set_local_charset(utf8, 0);
    });
    return ready;
}

class ImageDataFile : public File {
  public:
    ImageDataFile(int fd, const DiscImage::Entry& entry) : fd_(fd), entry_(entry) {}

    std::size_t Read(void* buffer, std::size_t n) override {
        if (failed_) return 0;
        auto* bytes = static_cast<char*>(buffer);
        std::size_t got = 0;
        while (got < n && extent_ < entry_.extents.size()) {
            const ImageExtent& e = entry_.extents[extent_];
            if (inExtent_ >= e.bytes) {
                ++extent_;
                inExtent_ = 0;
                continue;
            }
            const std::size_t ask = static_cast<std::size_t>(
                std::min<std::uint64_t>({n - got, e.bytes - inExtent_, kMaxReadChunk}));
            if (e.zeros) {
                std::memset(bytes + got, 0, ask);
                got += ask;
                inExtent_ += ask;
                continue;
            }
            const ssize_t r =
                ::pread(fd_, bytes + got, ask, static_cast<off_t>(e.offset + inExtent_));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) {
                // The end of a cut image reads as nothing, a bad sector of the file holding it
                // as an error: both are the damaged disc's read error.
                failed_ = true;
                break;
            }
            got += static_cast<std::size_t>(r);
            inExtent_ += static_cast<std::uint64_t>(r);
        }
        position_ += got;
        return got;
    }

    std::uint64_t Position() const override { return position_; }
    std::uint64_t Size() const override { return entry_.size; }

  private:
    int fd_;
    const DiscImage::Entry& entry_;
    std::size_t extent_ = 0;
    std::uint64_t inExtent_ = 0;
    std::uint64_t position_ = 0;
    bool failed_ = false;
};

// A zisofs file: a header, a table of where each block's compressed data starts, and the blocks,
// each compressed on its own (an empty one holds zeros). A block that cannot be read or does not
// decompress to its length is the damaged disc's read error.
class ZisofsFile : public File {
  public:
    ZisofsFile(int fd, const DiscImage::Entry& entry) : fd_(fd), entry_(entry) {}

    std::size_t Read(void* buffer, std::size_t n) override {
        auto* bytes = static_cast<char*>(buffer);
        std::size_t got = 0;
        while (got < n && !failed_ && position_ + got < entry_.size) {
            if (inBlock_ == block_.size() && !NextBlock()) {
                failed_ = true;
                break;
            }
            const std::size_t take = std::min(n - got, block_.size() - inBlock_);
            std::memcpy(bytes + got, block_.data() + inBlock_, take);
            inBlock_ += take;
            got += take;
        }
        position_ += got;
        return got;
    }

    std::uint64_t Position() const override { return position_; }
    std::uint64_t Size() const override { return entry_.size; }

  private:
    static constexpr std::size_t kHeaderBytes = 16;

    // `n` bytes of the compressed data from `offset`, over the file's extents.
    bool ReadStored(std::uint64_t offset, char* into, std::size_t n) const {
        for (const ImageExtent& e : entry_.extents) {
            if (n == 0) break;
            if (offset >= e.bytes) {
                offset -= e.bytes;
                continue;
            }
            const std::size_t take =
                static_cast<std::size_t>(std::min<std::uint64_t>(n, e.bytes - offset));
            if (!ReadAt(fd_, e.offset + offset, into, take)) return false;
            into += take;
            n -= take;
            offset = 0;
        }
        return n == 0;
    }

    bool ReadTable() {
        unsigned char head[kHeaderBytes];
        static constexpr unsigned char kMagic[8] = {0x37, 0xE4, 0x53, 0x96, 0xC9, 0xDB, 0xD6, 0x07};
        if (!ReadStored(0, reinterpret_cast<char*>(head), sizeof head) ||
            std::memcmp(head, kMagic, sizeof kMagic) != 0 || head[12] != kHeaderBytes / 4 ||
            head[13] < 15 || head[13] > 17) {
            return false;
        }
        const std::uint64_t size = std::uint64_t{head[8]} | std::uint64_t{head[9]} << 8 |
                                   std::uint64_t{head[10]} << 16 | std::uint64_t{head[11]} << 24;
        if (size != entry_.size) return false;
        blockBytes_ = std::size_t{1} << head[13];
        const std::uint64_t blocks = (size + blockBytes_ - 1) / blockBytes_;
        std::string table(static_cast<std::size_t>((blocks + 1) * 4), '\0');
        if (!ReadStored(kHeaderBytes, table.data(), table.size())) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(table.data());
        for (std::size_t i = 0; i + 3 < table.size(); i += 4) {
            const std::uint32_t at = static_cast<std::uint32_t>(p[i]) |
                                     static_cast<std::uint32_t>(p[i + 1]) << 8 |
                                     static_cast<std::uint32_t>(p[i + 2]) << 16 |
                                     static_cast<std::uint32_t>(p[i + 3]) << 24;
            if (!starts_.empty() && at < starts_.back()) return false;
            starts_.push_back(at);
        }
        return true;
    }

    bool NextBlock() {
        if (starts_.empty() && !ReadTable()) return false;
        if (next_ + 1 >= starts_.size()) return false;
        const std::uint64_t left = entry_.size - std::uint64_t{next_} * blockBytes_;
        const std::size_t length =
            static_cast<std::size_t>(std::min<std::uint64_t>(left, blockBytes_));
        const std::size_t stored = starts_[next_ + 1] - starts_[next_];
        block_.assign(length, '\0');
        inBlock_ = 0;
        if (stored != 0) {
            // zlib never makes a block much longer than its data.
            if (stored > 2 * blockBytes_) return false;
            std::string packed(stored, '\0');
            if (!ReadStored(starts_[next_], packed.data(), stored)) return false;
            uLongf out = static_cast<uLongf>(length);
            if (uncompress(reinterpret_cast<Bytef*>(block_.data()), &out,
                           reinterpret_cast<const Bytef*>(packed.data()),
                           static_cast<uLong>(stored)) != Z_OK ||
                out != length) {
                return false;
            }
        }
        ++next_;
        return true;
    }

    int fd_;
    const DiscImage::Entry& entry_;
    std::size_t blockBytes_ = 0;
    std::vector<std::uint32_t> starts_;  // where each block's data starts, and the end
    std::size_t next_ = 0;
    std::string block_;
    std::size_t inBlock_ = 0;
    std::uint64_t position_ = 0;
    bool failed_ = false;
};

// The library's reads of the directory go through here, so that a read it could not make is
// known: it would otherwise leave the folders it could not read out of the tree, or empty.
struct DirectoryReads {
    int fd = -1;
    bool failed = false;
};

int SourceOpen(IsoDataSource*) {
    return ISO_SUCCESS;
}

int SourceClose(IsoDataSource*) {
    return ISO_SUCCESS;
}

int SourceRead(IsoDataSource* src, std::uint32_t lba, std::uint8_t* buffer) {
    auto* reads = static_cast<DirectoryReads*>(src->data);
    if (ReadAt(reads->fd, std::uint64_t{lba} * kSectorBytes, reinterpret_cast<char*>(buffer),
               kSectorBytes)) {
        return ISO_SUCCESS;
    }
    reads->failed = true;
    return static_cast<int>(ISO_DATA_SOURCE_MISHAP);
}

void SourceFree(IsoDataSource* src) {
    delete static_cast<DirectoryReads*>(src->data);
}

// Released by the library with free() once its last reference is gone.
IsoDataSource* NewSource(int fd, DirectoryReads*& reads) {
    auto* src = static_cast<IsoDataSource*>(std::calloc(1, sizeof(IsoDataSource)));
    if (src == nullptr) return nullptr;
    reads = new DirectoryReads{fd, false};
    src->refcount = 1;
    src->open = SourceOpen;
    src->close = SourceClose;
    src->read_block = SourceRead;
    src->free_data = SourceFree;
    src->data = reads;
    return src;
}

struct Import {
    IsoImage* image = nullptr;
    IsoDataSource* source = nullptr;
    IsoReadOpts* opts = nullptr;
    IsoReadImageFeatures* features = nullptr;
    ~Import() {
        if (features) iso_read_image_features_destroy(features);
        if (image) iso_image_unref(image);
        if (opts) iso_read_opts_free(opts);
        if (source) iso_data_source_unref(source);
    }
};

}  // namespace

ImageKind DetectImage(const std::string& hostPath) {
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return ImageKind::None;
    struct stat st;
    ImageKind kind = ImageKind::None;
    if (::fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
        // The volume descriptors start at sector 16; UDF's recognition sequence lies among them.
        char sector[kSectorBytes];
        bool udfStart = false;
        for (std::uint64_t n = 16; n < 32 && kind == ImageKind::None; ++n) {
            if (!ReadAt(fd, n * kSectorBytes, sector, sizeof sector)) break;
            const std::string_view id(sector + 1, 5);
            if (n == 16 && id == "CD001") kind = ImageKind::Iso9660;
            if (id == "BEA01") udfStart = true;
            if (udfStart && (id == "NSR02" || id == "NSR03")) kind = ImageKind::Udf;
            if (id == "TEA01" || (sector[0] == '\0' && id != "BEA01" && udfStart)) break;
        }
    }
    ::close(fd);
    return kind;
}

DiscImage::~DiscImage() {
    if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<DiscImage> DiscImage::Open(const std::string& hostPath, std::string& error) {
    const ImageKind kind = DetectImage(hostPath);
    if (kind == ImageKind::None) {
        error = hostPath + ": not a disc image";
        return nullptr;
    }
    std::unique_ptr<DiscImage> disc(new DiscImage());
    disc->hostPath_ = hostPath;
    disc->fd_ = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat st;
    if (disc->fd_ < 0 || ::fstat(disc->fd_, &st) != 0) {
        error = hostPath + ": " + std::strerror(errno);
        return nullptr;
    }
    disc->length_ = static_cast<std::uint64_t>(st.st_size);
    if (kind == ImageKind::Udf) {
        if (!disc->ReadUdf(error)) return nullptr;
        return disc;
    }
    if (!LibraryReady()) {
        error = hostPath + ": the ISO 9660 reader could not start";
        return nullptr;
    }

    Import in;
    DirectoryReads* reads = nullptr;
    in.source = NewSource(disc->fd_, reads);
    if (in.source == nullptr || iso_read_opts_new(&in.opts, 0) < 0 ||
        iso_image_new("", &in.image) < 0) {
        error = hostPath + ": the ISO 9660 reader could not start";
        return nullptr;
    }
    // Names as the Linux kernel shows them: Rock Ridge before Joliet, and plain ISO 9660 names
    // without their ";1" and in lower case (its map=normal).
    iso_read_opts_set_preferjoliet(in.opts, 0);
    iso_read_opts_set_ecma119_map(in.opts, 3);
    iso_read_opts_set_joliet_map(in.opts, 1);
    iso_read_opts_set_no_aaip(in.opts, 1);
    iso_read_opts_set_no_md5(in.opts, 1);
    char utf8[] = "UTF-8";
    iso_read_opts_set_input_charset(in.opts, utf8);
    // A directory the library could not read whole is not left out in silence: the disc is
    // refused, as no listing of it could be trusted.
    if (iso_image_import(in.image, in.source, in.opts, &in.features) < 0 || reads->failed) {
        error = hostPath + ": the disc's directory cannot be read";
        return nullptr;
    }
    if (const char* id = iso_image_get_volume_id(in.image)) {
        disc->volumeId_ = id;
        while (!disc->volumeId_.empty() && disc->volumeId_.back() == ' ') {
            disc->volumeId_.pop_back();
        }
    }

    // The boot catalog of a bootable disc is a plain file to the kernel, but not to the library.
    IsoBoot* catalog = nullptr;
    std::uint32_t catalogLba = 0;
    char* catalogContent = nullptr;
    off_t catalogSize = 0;
    // The library must not be asked for a catalog on a disc without one: it would crash.
    if (iso_read_image_features_has_eltorito(in.features) != 1 ||
        iso_image_get_bootcat(in.image, &catalog, &catalogLba, &catalogContent, &catalogSize) !=
            1) {
        catalog = nullptr;
    }
    std::free(catalogContent);

    // Breadth by folder: each folder's entries are laid down before any of them is entered.
    disc->entries_.push_back(Entry{"", true, false, 0, {}, {}});
    std::vector<std::pair<std::size_t, IsoDir*>> pending{{0, iso_image_get_root(in.image)}};
    while (!pending.empty()) {
        auto [index, dir] = pending.back();
        pending.pop_back();
        IsoDirIter* it = nullptr;
        if (iso_dir_get_children(dir, &it) < 0) {
            error = hostPath + ": the disc's directory cannot be read";
            return nullptr;
        }
        IsoNode* node = nullptr;
        while (iso_dir_iter_next(it, &node) == 1) {
            Entry entry;
            entry.name = iso_node_get_name(node);
            switch (iso_node_get_type(node)) {
                case LIBISO_DIR:
                    entry.isFolder = true;
                    break;
                case LIBISO_FILE: {
                    auto* file = reinterpret_cast<IsoFile*>(node);
                    entry.size = static_cast<std::uint64_t>(iso_file_get_size(file));
                    int count = 0;
                    struct iso_file_section* sections = nullptr;
                    if (iso_file_get_old_image_sections(file, &count, &sections, 0) == 1) {
                        for (int i = 0; i < count; ++i) {
                            entry.extents.push_back(
                                {std::uint64_t{sections[i].block} * kSectorBytes,
                                 sections[i].size});
                        }
                        std::free(sections);
                    }
                    // The library shows a zisofs file's size decompressed, its extents not.
                    int type = 0;
                    std::uint8_t algorithm[2] = {};
                    std::uint8_t number = 0;
                    int blockLog2 = 0;
                    if (iso_stream_get_zisofs_par(iso_file_get_stream(file), &type, algorithm,
                                                  &number, &blockLog2, 0) == 1 &&
                        type == -1) {
                        if (algorithm[0] == 'p' && algorithm[1] == 'z') {
                            entry.zisofs = true;
                        } else {
                            // Other compressions the kernel does not undo: it shows the data as
                            // stored.
                            entry.size = 0;
                            for (const ImageExtent& e : entry.extents) entry.size += e.bytes;
                        }
                    }
                    break;
                }
                case LIBISO_SYMLINK:
                    entry.isLink = true;
                    if (const char* dest =
                            iso_symlink_get_dest(reinterpret_cast<IsoSymlink*>(node))) {
                        entry.linkTarget = dest;
                    }
                    break;
                case LIBISO_BOOT:
                    if (catalog == nullptr || node != reinterpret_cast<IsoNode*>(catalog)) continue;
                    entry.size = static_cast<std::uint64_t>(catalogSize);
                    entry.extents.push_back({std::uint64_t{catalogLba} * kSectorBytes, entry.size});
                    break;
                default:
                    continue;  // device nodes, FIFOs
            }
            const std::size_t child = disc->entries_.size();
            disc->entries_.push_back(std::move(entry));
            disc->entries_[index].children.push_back(child);
            if (disc->entries_[child].isFolder) {
                pending.emplace_back(child, reinterpret_cast<IsoDir*>(node));
            }
        }
        iso_dir_iter_free(it);
    }
    return disc;
}

const DiscImage::Entry* DiscImage::Find(std::string_view rest, bool link) const {
    const Entry* at = &entries_[0];
    std::size_t start = 0;
    while (start < rest.size()) {
        std::size_t end = rest.find('\\', start);
        if (end == std::string_view::npos) end = rest.size();
        const std::string_view name = rest.substr(start, end - start);
        if (name.empty() || name == "." || name == ".." || !at->isFolder) return nullptr;
        const bool last = end == rest.size();
        const Entry* next = nullptr;
        for (std::size_t child : at->children) {
            const Entry& e = entries_[child];
            if (e.name == name && e.isLink == (link && last)) next = &e;
        }
        if (next == nullptr) return nullptr;
        at = next;
        start = end + 1;
        if (end < rest.size() && end + 1 == rest.size() && !at->isFolder) return nullptr;
    }
    return at;
}

std::unique_ptr<File> DiscImage::OpenFile(const Entry& file) const {
    if (file.isFolder || file.isLink) return nullptr;
    if (file.zisofs) return std::make_unique<ZisofsFile>(fd_, file);
    return std::make_unique<ImageDataFile>(fd_, file);
}

std::vector<DiscImage::Placed> DiscImage::AllFiles() const {
    std::vector<Placed> out;
    std::vector<std::pair<std::string, const Entry*>> folders{{"\\", &entries_[0]}};
    for (std::size_t f = 0; f < folders.size(); ++f) {
        const auto [path, folder] = folders[f];
        for (std::size_t child : folder->children) {
            const Entry& e = entries_[child];
            if (e.isFolder) {
                folders.emplace_back(path + e.name + "\\", &e);
            } else if (!e.isLink) {
                out.push_back({path + e.name, &e});
            }
        }
    }
    return out;
}

}  // namespace korvane

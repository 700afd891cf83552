// Routing drive paths to disc images or to the host's file layer.
#include "platform/image/ImageDrives.h"

#include <cctype>

#include "platform/HostFileSystem.h"
#include "platform/Names.h"

namespace korvane {

namespace {

class ImageAwareFileSystem : public FileSystem {
  public:
    ImageAwareFileSystem(const DriveMap& drives, const ImageDrives& images)
        : host_(MakeHostFileSystem(drives)), images_(images) {}

    bool ListFolder(const std::string& folder, std::vector<DirEntry>& out) override {
        std::string_view rest;
        auto image = ImageOf(folder, rest);
        if (!image) return host_->ListFolder(folder, out);
        out.clear();
        if (!rest.empty() && rest.back() != '\\') return false;
        const DiscImage::Entry* entry = image->Find(rest);
        if (entry == nullptr || !entry->isFolder) return false;
        for (std::size_t child : entry->children) {
            const DiscImage::Entry& e = image->At(child);
            // A link is listed for what it is, as a mount of the disc lists it, never followed.
            if (e.isLink) {
                out.push_back(DirEntry{e.name, false, 0,
                                       e.unreadable ? EntryKind::Unreadable : EntryKind::Link,
                                       e.linkTarget});
            } else {
                out.push_back(DirEntry{e.name, e.isFolder, e.isFolder ? 0 : e.size});
            }
        }
        return true;
    }

    std::optional<std::string> LinkTarget(const std::string& path) override {
        std::string_view rest;
        auto image = ImageOf(path, rest);
        if (!image) return host_->LinkTarget(path);
        const DiscImage::Entry* entry = image->Find(rest, true);
        if (entry == nullptr || !entry->isLink || entry->unreadable) return std::nullopt;
        return entry->linkTarget;
    }

    std::unique_ptr<File> Open(const std::string& path, ShareMode share) override {
        std::string_view rest;
        auto image = ImageOf(path, rest);
        if (!image) return host_->Open(path, share);
        const DiscImage::Entry* entry = image->Find(rest);
        if (entry == nullptr || entry->isFolder) return nullptr;
        // A disc image is read only: no open can conflict with another.
        return std::make_unique<Held>(image, image->OpenFile(*entry));
    }

    bool FileExists(const std::string& path) override {
        std::string_view rest;
        auto image = ImageOf(path, rest);
        if (!image) return host_->FileExists(path);
        const DiscImage::Entry* entry = image->Find(rest);
        return entry != nullptr && !entry->isFolder;
    }

    std::optional<std::uint64_t> SizeOf(const std::string& path) override {
        std::string_view rest;
        auto image = ImageOf(path, rest);
        if (!image) return host_->SizeOf(path);
        const DiscImage::Entry* entry = image->Find(rest);
        if (entry == nullptr || entry->isFolder) return std::nullopt;
        return entry->size;
    }

    bool ReadWhole(const std::string& hostPath, std::string& out) override {
        return host_->ReadWhole(hostPath, out);
    }
    WriteResult WriteWholeAtomically(const std::string& hostPath, std::string_view data) override {
        return host_->WriteWholeAtomically(hostPath, data);
    }
    // A list file lives on the host: inside an image no file is one of the host's.
    bool IsHostFile(const std::string& path, const std::string& hostPath) override {
        std::string_view rest;
        if (ImageOf(path, rest)) return false;
        return host_->IsHostFile(path, hostPath);
    }

  private:
    // An open file keeps its image alive, also when the letter is removed meanwhile.
    class Held : public File {
      public:
        Held(std::shared_ptr<const DiscImage> image, std::unique_ptr<File> file)
            : image_(std::move(image)), file_(std::move(file)) {}
        std::size_t Read(void* buffer, std::size_t n) override { return file_->Read(buffer, n); }
        std::uint64_t Position() const override { return file_->Position(); }
        std::uint64_t Size() const override { return file_->Size(); }

      private:
        std::shared_ptr<const DiscImage> image_;
        std::unique_ptr<File> file_;
    };

    // The image behind a drive path's letter and the part of the path below its root.
    std::shared_ptr<const DiscImage> ImageOf(const std::string& path,
                                             std::string_view& rest) const {
        if (path.size() < 3 || path[1] != ':' || path[2] != '\\') return nullptr;
        auto image = images_.Image(path[0]);
        if (image) rest = std::string_view(path).substr(3);
        return image;
    }

    std::unique_ptr<FileSystem> host_;
    const ImageDrives& images_;
};

}  // namespace

bool ImageDrives::Add(char letter, const std::string& hostPath, std::string& error) {
    std::shared_ptr<const DiscImage> image = DiscImage::Open(hostPath, error);
    if (!image) return false;
    images_[Upper(letter)] = std::move(image);
    return true;
}

void ImageDrives::Remove(char letter) {
    images_.erase(Upper(letter));
}

std::shared_ptr<const DiscImage> ImageDrives::Image(char letter) const {
    auto it = images_.find(Upper(letter));
    return it == images_.end() ? nullptr : it->second;
}

std::unique_ptr<FileSystem> MakeImageAwareFileSystem(const DriveMap& drives,
                                                     const ImageDrives& images) {
    return std::make_unique<ImageAwareFileSystem>(drives, images);
}

}  // namespace korvane

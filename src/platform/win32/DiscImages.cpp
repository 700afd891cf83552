// Disc image files are read as drives only where the image library is built in: on Windows an
// image is refused as no disc, with a reason, never read as something else.
#include "platform/image/DiscImage.h"

namespace korvane {

ImageKind DetectImage(const std::string& /*hostPath*/) {
    return ImageKind::None;
}

DiscImage::~DiscImage() = default;

std::unique_ptr<DiscImage> DiscImage::Open(const std::string& hostPath, std::string& error) {
    error = hostPath + ": disc images are not read on Windows";
    return nullptr;
}

const DiscImage::Entry* DiscImage::Find(std::string_view /*rest*/, bool /*link*/) const {
    return nullptr;
}

std::unique_ptr<File> DiscImage::OpenFile(const Entry& /*file*/) const {
    return nullptr;
}

std::vector<DiscImage::Placed> DiscImage::AllFiles() const {
    return {};
}

}  // namespace korvane

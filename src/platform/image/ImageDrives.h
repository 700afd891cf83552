// Disc images behind drive letters, and the file layer that reads those letters from the images
// and every other letter from the host.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/DriveMap.h"
#include "platform/FileSystem.h"
#include "platform/image/DiscImage.h"

namespace korvane {

// Which letters stand for image files. Used from the thread that runs the commands; the images
// themselves may be read from any thread.
class ImageDrives {
  public:
    // Reads the image's directory and puts it behind the letter. False, with `error` set, when
    // the file is no image that can be read.
    bool Add(char letter, const std::string& hostPath, std::string& error);
    void Remove(char letter);
    void Clear() { images_.clear(); }
    // The image behind the letter, or nullptr for a letter that is no image.
    std::shared_ptr<const DiscImage> Image(char letter) const;
    bool Has(char letter) const { return Image(letter) != nullptr; }
    const std::map<char, std::shared_ptr<const DiscImage>>& All() const { return images_; }

  private:
    std::map<char, std::shared_ptr<const DiscImage>> images_;  // upper-case letters
};

// The file layer over `drives` and `images`: a letter in `images` is read from its image, any
// other through the host's file layer. Both are read at every call, so letters added or removed
// later apply at once.
std::unique_ptr<FileSystem> MakeImageAwareFileSystem(const DriveMap& drives,
                                                     const ImageDrives& images);

}  // namespace korvane

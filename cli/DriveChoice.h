// The drives the terminal program works on: the same letters the window lists, and a letter for
// every other folder given on the command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/DriveMap.h"
#include "platform/Drives.h"
#include "platform/image/ImageDrives.h"

namespace korvane::cli {

using korvane::ListedDrive;

class DriveChoice {
  public:
    // Finds the optical drives and disc mounts, then the folders of KORVANE_EXTRA_DRIVES, as
    // the window does when it lists its drives.
    void Discover();
    std::vector<ListedDrive> Listed() const;
    DriveMap& Map() { return map_; }
    // The image files given as SOURCE or COPY, each behind a letter of its own.
    const ImageDrives& Images() const { return images_; }

    // Gives SOURCE or COPY a drive letter: "D:" ("D:\", or "D" where no folder "D" is) names a
    // listed drive, a device node its drive, and a folder the drive mounted there or else the
    // next free letter. On failure `error` says why and nothing is returned.
    std::optional<char> Choose(const std::string& argument, std::string& error);

    // For a one-drive comparison: the letter chosen for SOURCE follows the disc in its drive or
    // at its mount folder, so that the copy is read once exchanged and the source's own mount
    // never passes for it. False with `error` set for a folder that no exchange can change.
    bool FollowExchange(char letter, const std::string& argument, std::string& error);

  private:
    std::optional<char> FreeLetter() const;
    // A folder given on the command line is read as that folder, whatever is mounted there
    // next; only an optical drive's letter follows the drive to its next disc.
    char AsFolder(char letter, const std::string& folder);
    // An image file gets the next free letter (DriveChoiceImages.cpp).
    std::optional<char> ChooseImage(const std::string& argument, const std::string& real,
                                    std::string& error);

    DriveMap map_;
    ImageDrives images_;
    DriveDiscovery discovery_;
    std::vector<std::pair<char, std::string>> extras_;
};

}  // namespace korvane::cli

// Image files as SOURCE or COPY: read as the disc they hold, behind a letter of their own.
#include "DriveChoice.h"

namespace korvane::cli {

std::optional<char> DriveChoice::ChooseImage(const std::string& argument, const std::string& real,
                                             std::string& error) {
    // The same image twice is one drive, as the same folder twice is.
    for (const auto& [letter, image] : images_.All()) {
        if (image->HostPath() == real) return letter;
    }
    const std::optional<char> letter = FreeLetter();
    if (!letter) {
        error = "no drive letter is free for " + argument;
        return std::nullopt;
    }
    if (!images_.Add(*letter, real, error)) return std::nullopt;
    return letter;
}

}  // namespace korvane::cli

// Drive letters for the terminal program's SOURCE and COPY arguments.
#include "DriveChoice.h"

#include <cctype>
#include <cstdlib>

#include "platform/ExtraDrives.h"
#include "platform/Names.h"
#include "platform/Terminal.h"

namespace korvane::cli {

namespace {

// "D:" and "D:\" name drive D; a bare "D" does too, unless there is a folder or file of that
// name: a path given on the command line is never read as another drive.
std::optional<char> LetterArgument(const std::string& argument) {
    if (argument.size() == 1 && !RealPath(argument).empty()) return std::nullopt;
    if (argument.empty() || argument.size() > 3 ||
        !std::isalpha(static_cast<unsigned char>(argument[0]))) {
        return std::nullopt;
    }
    if (argument.size() >= 2 && argument[1] != ':') return std::nullopt;
    if (argument.size() == 3 && argument[2] != '\\') return std::nullopt;
    return Upper(argument[0]);
}

}  // namespace

void DriveChoice::Discover() {
    discovery_.Refresh(map_);
    const char* list = std::getenv(kExtraDrivesVariable);
    extras_ = ParseExtraDrives(list ? list : "");
    for (const auto& [letter, folder] : extras_) map_.Set(letter, folder);
}

std::vector<ListedDrive> DriveChoice::Listed() const {
    return ListDrives(discovery_, extras_);
}

std::optional<char> DriveChoice::FreeLetter() const {
    for (char letter = 'D'; letter <= 'Z'; ++letter) {
        bool used = map_.RootOf(letter).has_value();
        for (const DriveInfo& drive : discovery_.Drives()) used = used || drive.letter == letter;
        used = used || images_.Has(letter);
        if (!used) return letter;
    }
    return std::nullopt;
}

std::optional<char> DriveChoice::Choose(const std::string& argument, std::string& error) {
    if (const std::optional<char> letter = LetterArgument(argument)) {
        for (const ListedDrive& drive : Listed()) {
            if (drive.letter != *letter) continue;
            if (map_.RootOf(*letter)) return *letter;
            error = "drive " + argument + " holds no mounted disc";
            return std::nullopt;
        }
        error = "there is no drive " + argument + " (see: korvane-cli drives)";
        return std::nullopt;
    }

    const std::string real = RealPath(argument);
    if (real.empty()) {
        error = argument + ": no such device or folder";
        return std::nullopt;
    }
    if (argument.rfind("/dev/", 0) == 0 && !IsFolder(real)) {
        for (const DriveInfo& drive : discovery_.Drives()) {
            if (drive.device != real) continue;
            if (!map_.RootOf(drive.letter)) {
                error = argument + " holds no mounted disc";
                return std::nullopt;
            }
            return drive.letter;
        }
        error = argument + " is not an optical drive or a mounted disc";
        return std::nullopt;
    }
    if (!IsFolder(real)) {
        if (DetectImage(real) != ImageKind::None) return ChooseImage(argument, real, error);
        error = argument + ": not a folder";
        return std::nullopt;
    }

    // A folder the window lists already keeps its letter, so rows read as they do there.
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        const std::optional<std::string> root = map_.RootOf(letter);
        if (root && RealPath(*root) == real) return AsFolder(letter, real);
    }
    const std::optional<char> letter = FreeLetter();
    if (!letter) {
        error = "no drive letter is free for " + argument;
        return std::nullopt;
    }
    map_.Set(*letter, real);
    return letter;
}

bool DriveChoice::FollowExchange(char letter, const std::string& argument, std::string& error) {
    const std::optional<std::string> root = map_.RootOf(letter);
    const std::string real = root ? RealPath(*root) : std::string();
    for (const DriveInfo& drive : discovery_.Drives()) {
        if (drive.letter == letter && drive.optical && map_.Follows(letter)) return true;
    }
    for (const DriveInfo& drive : discovery_.Drives()) {
        if (drive.mountPoint.empty() || real.empty() || RealPath(drive.mountPoint) != real)
            continue;
        map_.BindMountPoint(letter, MountEntry{drive.device, drive.mountPoint, drive.fsType, 0, 0,
                                               drive.mountId, drive.uniqueId});
        return true;
    }
    error = "compare --swap needs a disc's drive or the folder a disc is mounted at: " + argument +
            " is a plain folder, which no exchange of discs can change";
    return false;
}

char DriveChoice::AsFolder(char letter, const std::string& folder) {
    for (const DriveInfo& drive : discovery_.Drives()) {
        if (drive.letter == letter && drive.device.rfind("/dev/", 0) == 0) return letter;
    }
    map_.Set(letter, folder);
    return letter;
}

}  // namespace korvane::cli

// Drive letters and the host folders behind them: how a path like Q:\DATA\A.BIN finds its file.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

class DriveMap {
public:
    // Puts hostRoot (a host folder, with or without a trailing slash) behind the letter.
    void Set(char letter, std::string hostRoot);
    void Remove(char letter);
    void Clear() { roots_.clear(); }
    std::optional<std::string> RootOf(char letter) const;
    const std::map<char, std::string>& Roots() const { return roots_; }

    // Maps "Q:\DATA\A.BIN" to "<root of Q>/DATA/A.BIN" and "Q:\" to "<root of Q>/". Nothing when
    // the path is not drive-rooted or its letter has no root. Letters are case-insensitive.
    std::optional<std::string> ToHost(std::string_view drivePath) const;

private:
    std::map<char, std::string> roots_;  // upper-case letter -> root without trailing slash
};

}  // namespace korvane

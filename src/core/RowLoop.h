// The walk over the table that every per-row step shares, and the path of a row's copy.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Session.h"

namespace korvane {

// Row by row in table order: let the window handle its messages, end the step when an abort
// was asked for, bring the row into view, then work on it. The row count is taken once.
template <typename Body>
void ForEachRow(Session& s, Body body) {
    const std::size_t count = s.table.Count();
    for (std::size_t i = 0; i < count; ++i) {
        s.window.ProcessMessages();
        if (s.AbortRequested) return;
        // Commands are refused during a run, but a table emptied under us must not be indexed.
        if (i >= s.table.Count()) return;
        s.window.ScrollRowIntoView(i);
        body(i);
    }
}

// The rows' sizes as the table lists them, as hints for the rows worked on ahead: a text that
// is no number (reported when its row is reached) gives 0, a list without sizes nothing at all.
inline std::vector<std::uint64_t> ListedSizes(const FileTable& table) {
    if (!table.SizesListed()) return {};
    std::vector<std::uint64_t> sizes(table.Count());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::string& text = table.Row(i).SizeText;
        std::from_chars(text.data(), text.data() + text.size(), sizes[i]);
    }
    return sizes;
}

// The same folder and name on another drive: the first character, the drive letter, replaced
// by that of `root` ("Q:\").
inline std::string OnDrive(std::string path, const std::string& root) {
    if (!path.empty() && !root.empty()) path[0] = root[0];
    return path;
}

}  // namespace korvane

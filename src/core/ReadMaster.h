// The source scan: the source drive's files into the table, depth-first, with their sizes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace korvane {

class Session;

// True for a name that a drive path can carry as one segment: not empty, not "." or "..", and
// without a backslash, slash or NUL.
bool FitsDrivePath(std::string_view name);

// Called for every file of a walk with the drive path of its folder; the entry may be taken.
using FileVisitor = std::function<void(const std::string& folder, DirEntry& file)>;

// Called for every entry of a walk that is no file: a folder before its own entries are walked,
// a link (never followed), a FIFO, a socket, a device node.
using EntryVisitor = std::function<void(const std::string& folder, const DirEntry& entry)>;

// Walks `folder` (a drive path ending in a backslash) and its subfolders depth-first, in the
// order the directories return their entries. A folder that cannot be listed to its end, and a
// name that the listing gave but that cannot be looked up, are reported (read-error list,
// outcome panel) and kept in Session::unlistedFolders. The listings run on the session's listing
// worker and the window handles its messages meanwhile; an abort ends the walk where it is, a
// stalled listing given up. Throws RunError past the session's ScanLimits.
void WalkFolder(Session& s, const std::string& folder, const FileVisitor& onFile,
                const EntryVisitor& onOther = {});

// The source scan's walk: one row per file into the table, the sizes into TotalBytes, and the
// other entries into Session::sourceEntries. Where no comparison follows, a link or another entry
// that is no file cannot be read and is reported as a name not taken in.
void ScanFolder(Session& s, const std::string& folder);

// Decimal text with a comma between groups of three digits: 1234567 -> "1,234,567".
std::string FormatThousands(std::int64_t value);

}  // namespace korvane

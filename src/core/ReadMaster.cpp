// The "master read" step: empties the table and fills it from the source drive.
#include "core/ReadMaster.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "core/RunError.h"
#include "core/Session.h"
#include "core/Steps.h"
#include "core/Texts.h"
#include "reading/Engine.h"
#include "reading/ListAhead.h"

namespace korvane {

void ReadMaster(Session& s) {
    s.table.Clear();
    s.TotalBytes = 0;
    s.sourceEntries.clear();
    s.sourceScanned = true;
    ScanFolder(s, s.window.MasterRoot());
    s.window.SetPanelText(
        StatusPanel::Total,
        text::kTotalPrefix + FormatThousands(static_cast<std::int64_t>(s.TotalBytes)));
}

namespace {

// Reports what the scan could not take in. A later comparison would otherwise judge the disc on
// the part that happened to be readable, so the run can no longer end in success.
void ReportUnlisted(Session& s, std::string drivePath) {
    s.window.AppendReadError(drivePath);
    s.window.SetPanelText(StatusPanel::Outcome, text::kReadErrorNotice);
    s.unlistedFolders.push_back(std::move(drivePath));
}

// A comparison step follows the scan: it judges the source's other entries against the copy's.
bool Compares(const Session& s) {
    for (const StepEntry& step : s.queue) {
        if (step.keyword == keyword::kCompareBin || step.keyword == keyword::kCompareMd5) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool FitsDrivePath(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("\\/\0", 3)) == std::string_view::npos;
}

void ScanFolder(Session& s, const std::string& folder) {
    const bool compares = Compares(s);
    WalkFolder(
        s, folder,
        [&s](const std::string& in, DirEntry& e) {
            s.TotalBytes += e.size;
            s.table.Append({std::move(e.name), in, std::to_string(e.size), std::string()});
        },
        [&s, compares](const std::string& in, const DirEntry& e) {
            if (!e.isFolder && !compares) ReportUnlisted(s, in + e.name);
            s.sourceEntries.push_back({in, e});
        });
}

namespace {

struct Walk {
    Session& s;
    const FileVisitor& onFile;
    const EntryVisitor& onOther;
    std::string drive;  // "Q:\", for the texts of the limits
    std::uint64_t entries = 0;
};

// False once an abort was asked for: the walk then ends where it is.
bool WalkFrom(Walk& w, const std::string& folder, int depth) {
    Session& s = w.s;
    if (depth > s.scanLimits.depth) {
        throw RunError(text::FoldersTooDeep(w.drive, FormatThousands(s.scanLimits.depth)));
    }
    std::vector<DirEntry> entries;
    const std::optional<bool> listed = ListPaced(s.reading(), s.fs, folder, entries);
    if (!listed) return false;
    if (!*listed) ReportUnlisted(s, folder);
    w.entries += entries.size();
    if (w.entries > s.scanLimits.entries) {
        throw RunError(text::TooManyEntries(
            w.drive, FormatThousands(static_cast<std::int64_t>(s.scanLimits.entries))));
    }
    for (DirEntry& e : entries) {
        // As the readers do, the abort is taken from the pump: one asked for between runs lets
        // the first step run in full.
        if (s.reading().pacer.Due()) {
            s.reading().Pump();
            if (s.AbortRequested) return false;
        }
        if (e.name == "." || e.name == "..") continue;
        // A backslash in a name would read as a folder boundary: "a\b" would stand for the file
        // b in the folder a, and "..\.." for a way out of the drive.
        if (!FitsDrivePath(e.name)) {
            ReportUnlisted(s, folder + e.name);
            continue;
        }
        if (e.isFolder) {
            if (w.onOther) w.onOther(folder, e);
            if (!WalkFrom(w, folder + e.name + "\\", depth + 1)) return false;
        } else if (e.kind == EntryKind::File) {
            w.onFile(folder, e);
        } else if (e.kind == EntryKind::Unreadable) {
            ReportUnlisted(s, folder + e.name);
        } else if (w.onOther) {
            w.onOther(folder, e);
        }
    }
    return true;
}

}  // namespace

void WalkFolder(Session& s, const std::string& folder, const FileVisitor& onFile,
                const EntryVisitor& onOther) {
    Walk w{s, onFile, onOther, folder.substr(0, 3)};
    WalkFrom(w, folder, static_cast<int>(std::count(folder.begin(), folder.end(), '\\')) - 1);
}

std::string FormatThousands(std::int64_t value) {
    const std::string digits = std::to_string(value);
    const std::size_t n = digits.size();
    std::string out;
    out.reserve(n + n / 3);
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0 && digits[i - 1] != '-') out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

}  // namespace korvane

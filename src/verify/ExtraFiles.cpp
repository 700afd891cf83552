// What the copy holds that the source does not, and the source's folders, links and other
// entries that the copy lacks: a stray file burned with the copy, a wrong disc with the same files
// and more, or a folder left out, must not pass as a good copy.
#include "verify/ExtraFiles.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/ReadMaster.h"
#include "core/RowLoop.h"
#include "core/Session.h"
#include "core/Texts.h"

namespace korvane {

namespace {

bool SameKind(const DirEntry& a, const DirEntry& b) {
    return a.isFolder == b.isFolder && (a.isFolder || a.kind == b.kind);
}

std::string WithTarget(const char* verdict, const DirEntry& e) {
    return std::string(verdict) + verdict::kLinkArrow + e.linkTarget;
}

std::string ExtraVerdict(const DirEntry& e) {
    if (e.isFolder) return verdict::kExtraFolder;
    switch (e.kind) {
        case EntryKind::Link:
            return WithTarget(verdict::kExtraLink, e);
        case EntryKind::Fifo:
            return verdict::kExtraFifo;
        case EntryKind::Socket:
            return verdict::kExtraSocket;
        default:
            return verdict::kExtraDevice;
    }
}

std::string NotFoundVerdict(const DirEntry& e) {
    if (e.isFolder) return verdict::kFolderNotFound;
    switch (e.kind) {
        case EntryKind::Link:
            return WithTarget(verdict::kLinkNotFound, e);
        case EntryKind::Fifo:
            return verdict::kFifoNotFound;
        case EntryKind::Socket:
            return verdict::kSocketNotFound;
        default:
            return verdict::kDeviceNotFound;
    }
}

}  // namespace

std::string NoFileVerdict(Session& s, const std::string& path) {
    if (std::optional<std::string> target = s.fs.LinkTarget(path)) {
        return std::string(verdict::kLink) + verdict::kLinkArrow + *target;
    }
    return text::kFileNotFound;
}

void AppendExtraFiles(Session& s, const std::string& copyRoot, bool rowsOnOtherDrive,
                      const std::string& listOnDrive) {
    if (s.AbortRequested || copyRoot.empty()) return;
    const auto onCopy = [&](const std::string& path) {
        return rowsOnOtherDrive ? OnDrive(path, copyRoot) : path;
    };
    std::unordered_set<std::string> named;
    named.reserve(s.table.Count());
    for (const FileRow& row : s.table.Rows()) named.insert(onCopy(row.Path()));
    // The source's entries that are no files, by their path on the copy. Rows from a list have
    // none: a list names files only.
    std::unordered_map<std::string, const DirEntry*> others;
    if (s.sourceScanned) {
        for (const FoundEntry& f : s.sourceEntries) {
            others.emplace(onCopy(f.folder + f.entry.name), &f.entry);
        }
    }

    Window& w = s.window;
    // The walk reports a folder it cannot list with the read-error notice; an alarm that the
    // comparison raised before stays the last word, as it does over a failed read.
    const bool alarmed = w.PanelText(StatusPanel::Outcome) == text::kNotCopied;

    // Rows are appended only after the walk, so the table is never changed under it.
    std::vector<FileRow> extra;
    std::unordered_set<std::string> found;         // source entries the copy holds alike
    std::unordered_set<std::string> extraFolders;  // with a backslash: their subfolders are extra
    WalkFolder(
        s, copyRoot,
        [&](const std::string& folder, DirEntry& e) {
            if (named.count(folder + e.name) != 0) return;
            if (!listOnDrive.empty() && s.fs.IsHostFile(folder + e.name, listOnDrive)) return;
            extra.push_back({std::move(e.name), folder, std::to_string(e.size), verdict::kExtraFile,
                             Outcome::Problem});
        },
        [&](const std::string& folder, const DirEntry& e) {
            const std::string path = folder + e.name;
            const auto it = others.find(path);
            if (it != others.end() && SameKind(*it->second, e)) {
                found.insert(path);
                if (!e.isFolder && e.kind == EntryKind::Link &&
                    e.linkTarget != it->second->linkTarget) {
                    extra.push_back({e.name, folder, "0", WithTarget(verdict::kLinkMismatch, e),
                                     Outcome::Problem});
                }
                return;
            }
            // A row names it: the source has a file here, and the row says what the copy holds.
            if (named.count(path) != 0) return;
            if (e.isFolder) {
                // Without a scan of the source there is no folder to compare with; and inside an
                // extra folder, the folder alone is reported.
                if (!s.sourceScanned) return;
                extraFolders.insert(path + "\\");
                if (extraFolders.count(folder) != 0) return;
            }
            extra.push_back({e.name, folder, "0", ExtraVerdict(e), Outcome::Problem});
        });

    // The source's entries that the copy lacks; inside a missing folder, the folder alone.
    std::unordered_set<std::string> missingFolders;
    for (const FoundEntry& f : s.sourceEntries) {
        if (!s.sourceScanned || s.AbortRequested) break;
        const std::string path = f.folder + f.entry.name;
        if (found.count(onCopy(path)) != 0) continue;
        if (missingFolders.count(f.folder) != 0) {
            if (f.entry.isFolder) missingFolders.insert(path + "\\");
            continue;
        }
        if (f.entry.isFolder) missingFolders.insert(path + "\\");
        extra.push_back({f.entry.name, f.folder, "0", NotFoundVerdict(f.entry), Outcome::Problem});
    }

    for (FileRow& row : extra) s.table.Append(std::move(row));
    if (alarmed || !extra.empty()) w.SetPanelText(StatusPanel::Outcome, text::kNotCopied);
}

}  // namespace korvane

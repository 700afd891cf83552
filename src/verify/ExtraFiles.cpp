// Files on the copy that the source does not hold: a stray file burned with the copy, or a
// wrong disc with the same files and more, must not pass as a good copy.
#include "verify/ExtraFiles.h"

#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/ReadMaster.h"
#include "core/RowLoop.h"
#include "core/Session.h"
#include "core/Texts.h"
#include "verify/Verdicts.h"

namespace korvane {

void AppendExtraFiles(Session& s, const std::string& copyRoot, bool rowsOnOtherDrive,
                      const std::string& listOnDrive) {
    if (s.AbortRequested || copyRoot.empty()) return;
    std::unordered_set<std::string> named;
    named.reserve(s.table.Count());
    for (const FileRow& row : s.table.Rows()) {
        named.insert(rowsOnOtherDrive ? OnDrive(row.Path(), copyRoot) : row.Path());
    }

    Window& w = s.window;
    // The walk reports a folder it cannot list with the read-error notice; an alarm that the
    // comparison raised before stays the last word, as it does over a failed read.
    const bool alarmed = w.PanelText(StatusPanel::Outcome) == text::kNotCopied;

    // Rows are appended only after the walk, so the table is never changed under it.
    std::vector<FileRow> extra;
    WalkFolder(s, copyRoot, [&](const std::string& folder, DirEntry& e) {
        if (named.count(folder + e.name) != 0) return;
        if (!listOnDrive.empty() && s.fs.IsHostFile(folder + e.name, listOnDrive)) return;
        extra.push_back({std::move(e.name), folder, std::to_string(e.size), verdict::kExtraFile});
    });

    for (FileRow& row : extra) s.table.Append(std::move(row));
    if (alarmed || !extra.empty()) w.SetPanelText(StatusPanel::Outcome, text::kNotCopied);
}

}  // namespace korvane

// The "kekka" step: the run's overall verdict.
#include "core/Session.h"
#include "core/Steps.h"
#include "core/Texts.h"

namespace korvane {

void StepSummary(Session& s) {
    // A scan that missed a folder judged only part of the disc.
    if (!s.unlistedFolders.empty()) return;
    for (const FileRow& row : s.table.Rows()) {
        if (row.ResultText != text::kOK) return;
    }
    s.window.SetPanelText(StatusPanel::Outcome, text::kSuccess);
}

}  // namespace korvane

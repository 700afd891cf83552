// The "calc MD5" and "rd test" steps: every listed file read once, its verdict in its row.
#include <cstddef>
#include <string>
#include <utility>

#include "core/Session.h"
#include "core/Steps.h"
#include "core/Texts.h"
#include "digest/FileReaders.h"

namespace korvane {

namespace {

enum class Focus { Leave, Mark };

// The row walk both steps share: pump, honour an abort, show the row, read its file.
template <typename ReadRow>
void ForEachRow(Session& s, Focus focus, ReadRow readRow) {
    const std::size_t count = s.table.Count();
    for (std::size_t i = 0; i < count; ++i) {
        s.window.ProcessMessages();
        if (s.AbortRequested) return;
        // Commands are refused during a run, but a table emptied under us must not be indexed.
        if (i >= s.table.Count()) return;
        s.window.ScrollRowIntoView(i);
        if (focus == Focus::Mark) s.window.FocusRow(i);
        const std::string path = s.table.Row(i).Path();
        s.ReadFailed = false;
        readRow(i, path);
    }
}

}  // namespace

void StepCalcMd5(Session& s) {
    ForEachRow(s, Focus::Leave, [&s](std::size_t i, const std::string& path) {
        std::string digest = FileMd5(s, path);
        if (s.ReadFailed) {
            s.table.SetResult(i, text::kReadError);
        } else if (digest != kDigestAborted) {
            s.table.SetResult(i, std::move(digest));
        }
        // An aborted file keeps the text it had: half a file has no digest to show.
    });
}

void StepReadTest(Session& s) {
    ForEachRow(s, Focus::Mark, [&s](std::size_t i, const std::string& path) {
        // A file the abort cut off was not read to its end: "OK" would claim what is unknown.
        if (!ReadWholeFile(s, path)) return;
        if (s.ReadFailed) {
            s.table.SetResult(i, text::kReadError);
            s.window.SetPanelText(StatusPanel::Outcome, text::kReadErrorNotice);
            s.window.AppendReadError(path);
        } else {
            s.table.SetResult(i, text::kOK);
        }
    });
}

}  // namespace korvane

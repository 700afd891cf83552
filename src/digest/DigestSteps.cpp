// The "calc MD5" and "rd test" steps: every listed file read once, its verdict in its row.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/RowLoop.h"
#include "core/Session.h"
#include "core/Steps.h"
#include "core/Texts.h"
#include "digest/DigestAhead.h"
#include "digest/FileReaders.h"
#include "reading/Engine.h"

namespace korvane {

namespace {

enum class Focus { Leave, Mark };

// Both steps read every row's file the same way; only the read test marks the row in focus.
template <typename ReadRow>
void ForEachFile(Session& s, Focus focus, ReadRow readRow) {
    ForEachRow(s, [&](std::size_t i) {
        if (focus == Focus::Mark) s.window.FocusRow(i);
        const std::string path = s.table.Row(i).Path();
        s.ReadFailed = false;
        readRow(i, path);
    });
}

}  // namespace

void StepCalcMd5(Session& s) {
    // The rows' files are digested on the workers ahead of this loop where they are in memory;
    // each row is still filled in its turn, its gauge and pumps as if it were read here.
    // The sizes the scan found: a file that is another size now gets no digest.
    const std::vector<std::uint64_t> listed = ListedSizes(s.table);
    RowsAhead ahead(
        s.reading(), [&s](std::size_t i) { return OpenDigestJob(s.fs, s.table.Row(i).Path()); },
        [&s] { return s.table.Count(); }, kDigestPlan, listed);
    ForEachFile(s, Focus::Leave, [&s, &ahead, &listed](std::size_t i, const std::string& path) {
        const auto job = std::static_pointer_cast<DigestJob>(ahead.At(i));
        const std::optional<std::uint64_t> size =
            i < listed.size() ? std::optional(listed[i]) : std::nullopt;
        FileDigest digest = ReadFileDigest(s, path, job.get(), &ahead, size);
        if (digest.outcome == DigestOutcome::ReadError) {
            ReportReadError(s, path);
            s.table.SetResult(i, text::kReadError, Outcome::ReadError);
        } else if (digest.outcome == DigestOutcome::Digest) {
            s.table.SetResult(i, std::move(digest.digest), Outcome::Digest);
        }
        // An aborted file keeps the text it had: half a file has no digest to show.
    });
}

void StepReadTest(Session& s) {
    ForEachFile(s, Focus::Mark, [&s](std::size_t i, const std::string& path) {
        // A file the abort cut off was not read to its end: "OK" would claim what is unknown.
        if (!ReadWholeFile(s, path)) return;
        if (s.ReadFailed) {
            s.table.SetResult(i, text::kReadError, Outcome::ReadError);
            s.window.SetPanelText(StatusPanel::Outcome, text::kReadErrorNotice);
            s.window.AppendReadError(path);
        } else {
            s.table.SetResult(i, text::kOK, Outcome::Good);
        }
    });
}

}  // namespace korvane

// The "compare MD5" step: every listed file checked on the copy disc against its stored digest.
#include <cstdint>
#include <memory>
#include <string>

#include "core/RowLoop.h"
#include "core/Session.h"
#include "core/Steps.h"
#include "core/Texts.h"
#include "digest/DigestAhead.h"
#include "digest/FileReaders.h"
#include "reading/Engine.h"
#include "verify/ExtraFiles.h"
#include "verify/SizeText.h"

namespace korvane {

void StepCompareMd5(Session& s) {
    Window& w = s.window;
    // A loaded list names the drive it was made on; the copy sits in the chosen source drive.
    const bool onMaster = w.PanelText(StatusPanel::Command) == text::kCmdLoadCompare;
    const std::string masterRoot = onMaster ? w.MasterRoot() : std::string();
    const auto pathOf = [&s, onMaster, &masterRoot](std::size_t i) {
        std::string path = s.table.Row(i).Path();
        return onMaster ? OnDrive(std::move(path), masterRoot) : path;
    };
    // The copy's files are digested ahead where they are in memory, as in the digest step.
    RowsAhead ahead(
        s.reading(), [&s, &pathOf](std::size_t i) { return OpenDigestJob(s.fs, pathOf(i)); },
        [&s] { return s.table.Count(); }, kDigestPlan, ListedSizes(s.table));
    ForEachRow(s, [&](std::size_t i) {
        const std::string path = pathOf(i);

        if (!s.fs.FileExists(path)) {
            s.table.SetResult(i, NoFileVerdict(s, path), Outcome::Problem);
            w.SetPanelText(StatusPanel::Outcome, text::kNotCopied);
            return;
        }

        // A list without sizes can show only the size that was read.
        if (!s.table.SizesListed()) s.table.SetSize(i, std::to_string(FileSize64(s, path)));
        const std::int64_t listed = SizeTextToInt(s.table.Row(i).SizeText);
        const std::int64_t actual = FileSize64(s, path);
        if (listed != actual) {
            s.table.SetResult(i, verdict::SizeMismatchCopy(actual), Outcome::Problem);
            w.SetPanelText(StatusPanel::Outcome, text::kNotCopied);
            return;
        }

        const auto job = std::static_pointer_cast<DigestJob>(ahead.At(i));
        // Opened at another size than just found, the file changed meanwhile: a read error.
        FileDigest read =
            ReadFileDigest(s, path, job.get(), &ahead, static_cast<std::uint64_t>(listed));
        // An abort stopped the reading: this row keeps its stored digest, and the abort test at
        // the next row ends the step.
        if (read.outcome == DigestOutcome::Aborted) return;
        const bool readError = read.outcome == DigestOutcome::ReadError;
        if (readError) ReportReadError(s, path);
        const std::string digest = readError ? std::string(text::kReadErrorJa) : read.digest;

        const std::string& stored = s.table.Row(i).ResultText;
        // A copy that could not be read matches nothing, not even a stored read-error text.
        if (stored == digest && !readError) {
            s.table.SetResult(i, text::kOK, Outcome::Good);
        } else {
            s.table.SetResult(i, verdict::DigestMismatch(stored, digest), Outcome::DigestMismatch);
            w.SetPanelText(StatusPanel::Outcome, text::kNotCopied);
        }
    });
    // The copy is the disc in the source drive, in both commands that compare digests.
    AppendExtraFiles(s, w.MasterRoot(), onMaster, onMaster ? s.loadedList : std::string());
}

}  // namespace korvane

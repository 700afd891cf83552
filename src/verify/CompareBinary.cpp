// The "compare bin." step: every listed file compared block by block with its copy.
#include "verify/CompareBinary.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "core/RowLoop.h"
#include "core/RunError.h"
#include "core/Session.h"
#include "core/Steps.h"
#include "core/Texts.h"
#include "verify/ExtraFiles.h"
#include "verify/SizeText.h"
#include "verify/Verdicts.h"

namespace korvane {

bool FilesEqual(Session& s, const std::string& sourcePath, const std::string& copyPath) {
    Window& w = s.window;
    const std::unique_ptr<File> source = s.fs.Open(sourcePath, ShareMode::Exclusive);
    if (!source) ThrowCannotOpen(sourcePath);
    const std::unique_ptr<File> copy = s.fs.Open(copyPath, ShareMode::Exclusive);
    if (!copy) ThrowCannotOpen(copyPath);  // the source closes on the way out

    const std::uint64_t size = source->Size();
    // A copy of another length can only differ; its bytes past the source's end are not read.
    bool equal = copy->Size() == size;
    const std::uint64_t copyEnd = std::min(copy->Size(), size);

    // The buffers are reused across files and never cleared, so only bytes this block delivered
    // on both sides may be compared.
    unsigned char* sourceBlock = s.sourceBuffer.Get(kCompareBlock);
    unsigned char* copyBlock = s.copyBuffer.Get(kCompareBlock);

    const std::uint64_t blocks = size / kCompareBlock + 1;
    // Below a whole block the hand-over would cost more than reading the copy here.
    const bool readAhead = size >= kCompareBlock;
    for (std::uint64_t k = 1; k <= blocks; ++k) {
        w.SetGauge(GaugeId::File, static_cast<int>(100 * k / blocks));
        w.ProcessMessages();

        // Both sides are read at once: the worker takes the copy while this thread reads the
        // source. The copy is not touched here until the worker is done with it.
        const bool ahead = readAhead && s.readAhead.Begin(*copy, copyBlock, kCompareBlock);
        const std::size_t sourceCount = source->Read(sourceBlock, kCompareBlock);
        s.DoneBytes += sourceCount;
        const std::size_t copyCount =
            ahead ? s.readAhead.Finish() : copy->Read(copyBlock, kCompareBlock);

        const bool sourceFailed = sourceCount == 0 && source->Position() < size;
        const bool copyFailed = copyCount == 0 && copy->Position() < copyEnd;
        if (sourceFailed || copyFailed) {
            s.ReadFailed = s.ReadFailed || sourceFailed;
            s.CopyReadFailed = s.CopyReadFailed || copyFailed;
            return false;
        }

        if (equal &&
            (copyCount != sourceCount || std::memcmp(sourceBlock, copyBlock, sourceCount) != 0)) {
            equal = false;
        }
    }

    // A read that broke off partway delivers a short block and then nothing; when that happens
    // in the last block, only the position shows that the side was not read to its end.
    const bool sourceFailed = source->Position() < size;
    const bool copyFailed = copy->Position() < copyEnd;
    s.ReadFailed = s.ReadFailed || sourceFailed;
    s.CopyReadFailed = s.CopyReadFailed || copyFailed;
    return equal && !sourceFailed && !copyFailed;
}

void StepCompareBinary(Session& s) {
    Window& w = s.window;
    ForEachRow(s, [&](std::size_t i) {
        const FileRow& row = s.table.Row(i);
        const std::string sourcePath = row.Path();
        const std::string copyPath = OnDrive(sourcePath, w.CopyRoot());

        const std::int64_t listed = SizeTextToInt(row.SizeText);
        // One look-up answers both existence and size: the existence test and the size of the
        // directory entry, as a separate call each, would cost a second stat per row.
        const std::optional<std::uint64_t> copySize = s.fs.SizeOf(copyPath);
        if (!copySize) {
            s.table.SetResult(i, text::kFileNotFound);
            w.SetPanelText(StatusPanel::Outcome, text::kNotCopied);
            return;
        }
        const auto actual = static_cast<std::int64_t>(*copySize);
        // An empty source needs no reading, but its copy must still exist and be empty too.
        if (listed == 0 && actual == 0) {
            s.table.SetResult(i, verdict::kZeroSizeSkip);
            return;
        }
        if (listed != actual) {
            s.table.SetResult(i, verdict::kSizeMismatch);
            w.SetPanelText(StatusPanel::Outcome, text::kNotCopied);
            w.ProcessMessages();
            return;
        }

        s.table.SetResult(i, verdict::kCheckingBinary);
        s.ReadFailed = false;
        s.CopyReadFailed = false;
        if (FilesEqual(s, sourcePath, copyPath)) {
            s.table.SetResult(i, text::kOK);
        } else {
            std::string result = verdict::kBinaryMismatch;
            if (s.ReadFailed) result += verdict::kSourceReadError;
            if (s.CopyReadFailed) result += verdict::kCopyReadError;
            s.table.SetResult(i, std::move(result));
            w.SetPanelText(StatusPanel::Outcome, text::kNotCopied);
        }
        w.ProcessMessages();
    });
    AppendExtraFiles(s, w.CopyRoot(), true);
}

}  // namespace korvane

// The "compare bin." step: every listed file compared block by block with its copy.
#include "verify/CompareBinary.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "core/RowLoop.h"
#include "core/RunError.h"
#include "core/Session.h"
#include "core/Steps.h"
#include "core/Texts.h"
#include "digest/PacedRead.h"
#include "digest/ReadAhead.h"
#include "digest/RowsAhead.h"
#include "verify/CompareAhead.h"
#include "verify/ExtraFiles.h"
#include "verify/SizeText.h"

namespace korvane {

Compared CompareFiles(Session& s, const std::string& sourcePath, const std::string& copyPath,
                      CompareJob* job, RowsAhead* jobs) {
    Window& w = s.window;
    // The blocks a worker has compared stand for reads: the gauge, the pumps, the abort points
    // and DoneBytes go block by block exactly as they do for reads made here.
    CompareJob* fromJob = jobs ? job : nullptr;
    if (fromJob) {
        if (!jobs->Await(*fromJob, 1)) return Compared::Aborted;
        if (fromJob->done.load(std::memory_order_acquire) == 0 &&
            fromJob->state.load() != AheadJob::kDone) {
            // Not a whole block from memory: the files are opened afresh and read here, as if
            // no job had been; the job's exclusive opens are let go first.
            fromJob->source.reset();
            fromJob->copy.reset();
            fromJob = nullptr;
        }
    }
    std::unique_ptr<File> source;
    std::unique_ptr<File> copy;
    if (!fromJob) {
        bool aborted = false;
        source = OpenAfterStalledReads(s, sourcePath, ShareMode::Exclusive, aborted);
        if (aborted) return Compared::Aborted;
        if (!source) ThrowCannotOpen(sourcePath);
        copy = OpenAfterStalledReads(s, copyPath, ShareMode::Exclusive, aborted);
        if (aborted) return Compared::Aborted;
        if (!copy) ThrowCannotOpen(copyPath);  // the source closes on the way out
    }
    // Declared after the files, so on every way out the workers are done before they close.
    struct Settle {
        ReadAhead& worker;
        ~Settle() { worker.Settle(); }
    } settleSource{s.readAhead}, settleCopy{s.copyAhead};

    const std::uint64_t size = fromJob ? fromJob->size : source->Size();
    // A copy of another length can only differ; its bytes past the source's end are not read.
    // A job is only made for two files of the same length.
    bool equal = fromJob || copy->Size() == size;
    const std::uint64_t copyEnd = fromJob ? size : std::min(copy->Size(), size);

    // The buffers are reused across files and never cleared, so only bytes this block delivered
    // on both sides may be compared.
    unsigned char* sourceBlock = s.sourceBuffer.Get(kCompareBlock);
    unsigned char* copyBlock = s.copyBuffer.Get(kCompareBlock);
    const auto giveUp = [&] {
        // A job's worker reads only from memory and never stalls; it is stopped with the others.
        if (fromJob) return Compared::Aborted;
        GiveUpRead(s, s.readAhead, source, s.sourceBuffer);
        GiveUpRead(s, s.copyAhead, copy, s.copyBuffer);
        return Compared::Aborted;
    };
    // Bytes of the current block already in the buffers, handed over by a job that stopped.
    std::size_t sourceHave = 0;
    std::size_t copyHave = 0;

    const std::uint64_t blocks = size / kCompareBlock + 1;
    for (std::uint64_t k = 1; k <= blocks; ++k) {
        w.SetGauge(GaugeId::File, static_cast<int>(100 * k / blocks));
        PumpMessages(s);
        if (s.AbortRequested) return giveUp();

        if (fromJob) {
            const std::uint64_t at = (k - 1) * kCompareBlock;
            const std::uint64_t through = std::min(size, at + kCompareBlock);
            if (!jobs->Await(*fromJob, through)) return giveUp();
            if (fromJob->done.load(std::memory_order_acquire) >= through) {
                s.DoneBytes += through - at;
                continue;
            }
            // The job stopped inside this block: its files, what it found and the bytes it
            // read of this block come here, and the comparison goes on the usual way.
            source = std::move(fromJob->source);
            copy = std::move(fromJob->copy);
            equal = fromJob->equal;
            sourceHave = fromJob->sourcePartial.size();
            copyHave = fromJob->copyPartial.size();
            std::memcpy(sourceBlock, fromJob->sourcePartial.data(), sourceHave);
            std::memcpy(copyBlock, fromJob->copyPartial.data(), copyHave);
            fromJob = nullptr;
        }

        // Neither side is read on this thread unless it is served from memory or at its end
        // already. A large copy block is read on its own worker while the source is read, and
        // neither file is touched here until its worker is done with it.
        const bool copyAhead =
            size >= kCompareBlock && copy->Position() < copyEnd &&
            s.copyAhead.Begin(*copy, copyBlock + copyHave, kCompareBlock - copyHave);
        std::optional<std::size_t> sourceCount =
            source->Position() < size
                ? ReadPaced(s, s.readAhead, *source, sourceBlock + sourceHave,
                            kCompareBlock - sourceHave)
                : source->Read(sourceBlock + sourceHave, kCompareBlock - sourceHave);
        if (!sourceCount) return giveUp();
        *sourceCount += sourceHave;
        s.DoneBytes += *sourceCount;
        std::optional<std::size_t> copyCount =
            copyAhead ? AwaitRead(s, s.copyAhead)
            : copy->Position() < copyEnd
                ? ReadPaced(s, s.copyAhead, *copy, copyBlock + copyHave, kCompareBlock - copyHave)
                : copy->Read(copyBlock + copyHave, kCompareBlock - copyHave);
        if (!copyCount) return giveUp();
        *copyCount += copyHave;
        sourceHave = 0;
        copyHave = 0;
        const bool sourceFailed = *sourceCount == 0 && source->Position() < size;
        const bool copyFailed = *copyCount == 0 && copy->Position() < copyEnd;
        if (sourceFailed || copyFailed) {
            s.ReadFailed = s.ReadFailed || sourceFailed;
            s.CopyReadFailed = s.CopyReadFailed || copyFailed;
            return Compared::Different;
        }

        if (equal && (*copyCount != *sourceCount ||
                      std::memcmp(sourceBlock, copyBlock, *sourceCount) != 0)) {
            equal = false;
        }
    }

    if (fromJob) {
        if (!jobs->Await(*fromJob, size + 1)) return giveUp();
        return fromJob->equal ? Compared::Equal : Compared::Different;
    }
    // A read that broke off partway delivers a short block and then nothing; when that happens
    // in the last block, only the position shows that the side was not read to its end.
    const bool sourceFailed = source->Position() < size;
    const bool copyFailed = copy->Position() < copyEnd;
    s.ReadFailed = s.ReadFailed || sourceFailed;
    s.CopyReadFailed = s.CopyReadFailed || copyFailed;
    return equal && !sourceFailed && !copyFailed ? Compared::Equal : Compared::Different;
}

bool FilesEqual(Session& s, const std::string& sourcePath, const std::string& copyPath) {
    return CompareFiles(s, sourcePath, copyPath) == Compared::Equal;
}

void StepCompareBinary(Session& s) {
    Window& w = s.window;
    // The rows' files are compared on the workers ahead of this loop where both sides are in
    // memory; each row still gets its verdict in its turn, its gauge and pumps as if read here.
    const std::string copyRoot = w.CopyRoot();
    RowsAhead ahead(
        s,
        [&s, &copyRoot](std::size_t i) {
            const FileRow& row = s.table.Row(i);
            const std::string sourcePath = row.Path();
            return OpenCompareJob(s.fs, sourcePath, OnDrive(sourcePath, copyRoot), row.SizeText);
        },
        s.table.Count(), kComparePlan, ListedSizes(s.table));
    ForEachRow(s, [&](std::size_t i) {
        const auto job = std::static_pointer_cast<CompareJob>(ahead.At(i));
        const FileRow& row = s.table.Row(i);
        const std::string sourcePath = row.Path();
        const std::string copyPath = OnDrive(sourcePath, copyRoot);

        const std::int64_t listed = SizeTextToInt(row.SizeText);
        // One look-up answers both existence and size: the existence test and the size of the
        // directory entry, as a separate call each, would cost a second stat per row. A job
        // holds the copy open already, at the listed size.
        const std::optional<std::uint64_t> copySize = job ? job->size : s.fs.SizeOf(copyPath);
        if (!copySize) {
            s.table.SetResult(i, NoFileVerdict(s, copyPath), Outcome::Problem);
            w.SetPanelText(StatusPanel::Outcome, text::kNotCopied);
            return;
        }
        const auto actual = static_cast<std::int64_t>(*copySize);
        // Two empty files are equal without a byte read; a copy that is missing or not empty
        // was caught above or is caught below like any other.
        if (listed == 0 && actual == 0) {
            s.table.SetResult(i, text::kOK, Outcome::Good);
            return;
        }
        if (listed != actual) {
            s.table.SetResult(i, verdict::kSizeMismatch, Outcome::Problem);
            w.SetPanelText(StatusPanel::Outcome, text::kNotCopied);
            w.ProcessMessages();
            return;
        }

        // An aborted file keeps the text it had: half a comparison has no verdict.
        std::string previous = row.ResultText;
        const Outcome previousKind = row.Kind;
        s.table.SetResult(i, verdict::kCheckingBinary, Outcome::Unjudged);
        s.ReadFailed = false;
        s.CopyReadFailed = false;
        const std::uint64_t waitedBefore = s.readsNotInMemory;
        const Compared compared = CompareFiles(s, sourcePath, copyPath, job.get(), &ahead);
        if (!job) ahead.RowReadTheUsualWay(s.readsNotInMemory == waitedBefore);
        if (compared == Compared::Aborted) {
            s.table.SetResult(i, std::move(previous), previousKind);
            return;
        }
        if (compared == Compared::Equal) {
            s.table.SetResult(i, text::kOK, Outcome::Good);
        } else {
            std::string result = verdict::kBinaryMismatch;
            if (s.ReadFailed) result += verdict::kSourceReadError;
            if (s.CopyReadFailed) result += verdict::kCopyReadError;
            const bool unread = s.ReadFailed || s.CopyReadFailed;
            s.table.SetResult(i, std::move(result), unread ? Outcome::ReadError : Outcome::Problem);
            w.SetPanelText(StatusPanel::Outcome, text::kNotCopied);
        }
        w.ProcessMessages();
    });
    AppendExtraFiles(s, w.CopyRoot(), true);
}

}  // namespace korvane

// The "compare bin." step: every listed file compared block by block with its copy.
#include "verify/CompareBinary.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "core/RowLoop.h"
#include "core/RunError.h"
#include "core/Session.h"
#include "core/Steps.h"
#include "core/Texts.h"
#include "reading/Engine.h"
#include "reading/PacedRead.h"
#include "verify/CompareAhead.h"
#include "verify/ExtraFiles.h"
#include "verify/SizeText.h"

namespace korvane {

namespace {

// One row's comparison, block by block: from the row's job while its worker keeps ahead, here
// from where it stopped, or here from the start. The gauge, the pumps, the abort points and
// DoneBytes go block by block the same way whichever compares a block.
class BlockComparer {
  public:
    BlockComparer(Session& s, CompareJob* job, RowsAhead* jobs)
        : s_(s), e_(s.reading()), job_(jobs ? job : nullptr), jobs_(jobs) {}

    Comparison Compare(const std::string& sourcePath, const std::string& copyPath);

  private:
    enum class Step { Compared, Worked, Aborted, Failed };

    bool Open(const std::string& sourcePath, const std::string& copyPath);
    Step FromJob(std::uint64_t at);
    Step ReadBlock();
    std::optional<std::size_t> ReadSide(ReadAhead& worker, File& file, unsigned char* block,
                                        std::size_t have, std::uint64_t end);
    Comparison End();
    Comparison GiveUp();

    Session& s_;
    ReadingEngine& e_;
    CompareJob* job_;  // the row's job while its worker's blocks stand for reads
    RowsAhead* jobs_;
    std::unique_ptr<File> source_;
    std::unique_ptr<File> copy_;
    SettleOnExit settleSource_{e_.readAhead};
    SettleOnExit settleCopy_{e_.copyAhead};
    // The buffers are reused across files and never cleared, so only bytes this block delivered
    // on both sides may be compared.
    unsigned char* sourceBlock_ = nullptr;
    unsigned char* copyBlock_ = nullptr;
    std::uint64_t size_ = 0;
    std::uint64_t copyEnd_ = 0;
    bool equal_ = true;
    // Bytes of the current block already in the buffers, handed over by a job that stopped.
    std::size_t sourceHave_ = 0;
    std::size_t copyHave_ = 0;
    Comparison failed_{Compared::Different};
};

Comparison BlockComparer::Compare(const std::string& sourcePath, const std::string& copyPath) {
    if (job_) {
        const RowsAhead::Followed first = jobs_->Follow(*job_, 1);
        if (first == RowsAhead::Followed::Aborted) return {};
        if (first == RowsAhead::Followed::Stopped) {
            // Not a whole block from memory: the files are opened afresh and read here, as if
            // no job had been; the job's exclusive opens are let go first.
            job_->source.reset();
            job_->copy.reset();
            job_ = nullptr;
        }
    }
    if (!job_ && !Open(sourcePath, copyPath)) return {};
    size_ = job_ ? job_->size : source_->Size();
    // A copy of another length can only differ; its bytes past the source's end are not read.
    // A job is only made for two files of the same length.
    equal_ = job_ || copy_->Size() == size_;
    copyEnd_ = job_ ? size_ : std::min(copy_->Size(), size_);
    sourceBlock_ = e_.sourceBuffer.Get(kCompareBlock);
    copyBlock_ = e_.copyBuffer.Get(kCompareBlock);

    const std::uint64_t blocks = size_ / kCompareBlock + 1;
    for (std::uint64_t k = 1; k <= blocks; ++k) {
        s_.window.SetGauge(GaugeId::File, static_cast<int>(100 * k / blocks));
        e_.Pump();
        if (s_.AbortRequested) return GiveUp();
        Step step = job_ ? FromJob((k - 1) * kCompareBlock) : Step::Compared;
        if (step == Step::Compared) step = ReadBlock();
        if (step == Step::Aborted) return GiveUp();
        if (step == Step::Failed) return failed_;
    }
    return End();
}

bool BlockComparer::Open(const std::string& sourcePath, const std::string& copyPath) {
    bool aborted = false;
    source_ = OpenAfterStalledReads(e_, s_.fs, sourcePath, ShareMode::Exclusive, aborted);
    if (aborted) return false;
    if (!source_) ThrowCannotOpen(sourcePath);
    copy_ = OpenAfterStalledReads(e_, s_.fs, copyPath, ShareMode::Exclusive, aborted);
    if (aborted) return false;
    if (!copy_) ThrowCannotOpen(copyPath);  // the source closes on the way out
    return true;
}

// Worked when the job has compared the block from `at`; Compared when it stopped inside it: its
// files, what it found and the bytes it read of this block come here, and the comparison goes
// on the usual way.
BlockComparer::Step BlockComparer::FromJob(std::uint64_t at) {
    const std::uint64_t through = std::min(size_, at + kCompareBlock);
    switch (jobs_->Follow(*job_, through)) {
        case RowsAhead::Followed::Aborted:
            return Step::Aborted;
        case RowsAhead::Followed::Worked:
            s_.DoneBytes += through - at;
            return Step::Worked;
        case RowsAhead::Followed::Stopped:
            break;
    }
    source_ = std::move(job_->source);
    copy_ = std::move(job_->copy);
    equal_ = job_->equal;
    sourceHave_ = job_->sourcePartial.size();
    copyHave_ = job_->copyPartial.size();
    std::memcpy(sourceBlock_, job_->sourcePartial.data(), sourceHave_);
    std::memcpy(copyBlock_, job_->copyPartial.data(), copyHave_);
    job_ = nullptr;
    return Step::Compared;
}

// Neither side is read on this thread unless it is served from memory or at its end already. A
// large copy block is read on its own worker while the source is read, and neither file is
// touched here until its worker is done with it.
BlockComparer::Step BlockComparer::ReadBlock() {
    const bool copyAhead =
        size_ >= kCompareBlock && copy_->Position() < copyEnd_ &&
        e_.copyAhead.Begin(*copy_, copyBlock_ + copyHave_, kCompareBlock - copyHave_);
    std::optional<std::size_t> sourceCount =
        ReadSide(e_.readAhead, *source_, sourceBlock_, sourceHave_, size_);
    if (!sourceCount) return Step::Aborted;
    *sourceCount += sourceHave_;
    s_.DoneBytes += *sourceCount;
    std::optional<std::size_t> copyCount =
        copyAhead ? AwaitRead(e_, e_.copyAhead)
                  : ReadSide(e_.copyAhead, *copy_, copyBlock_, copyHave_, copyEnd_);
    if (!copyCount) return Step::Aborted;
    *copyCount += copyHave_;
    sourceHave_ = 0;
    copyHave_ = 0;
    failed_.sourceFailed = *sourceCount == 0 && source_->Position() < size_;
    failed_.copyFailed = *copyCount == 0 && copy_->Position() < copyEnd_;
    if (failed_.sourceFailed || failed_.copyFailed) return Step::Failed;
    if (equal_ &&
        (*copyCount != *sourceCount || std::memcmp(sourceBlock_, copyBlock_, *sourceCount) != 0)) {
        equal_ = false;
    }
    return Step::Compared;
}

// The rest of the block from `have` on: paced while the file has bytes left before `end`.
std::optional<std::size_t> BlockComparer::ReadSide(ReadAhead& worker, File& file,
                                                   unsigned char* block, std::size_t have,
                                                   std::uint64_t end) {
    if (file.Position() < end)
        return ReadPaced(e_, worker, file, block + have, kCompareBlock - have);
    return file.Read(block + have, kCompareBlock - have);
}

Comparison BlockComparer::End() {
    if (job_) {
        if (!jobs_->Await(*job_, size_ + 1)) return GiveUp();
        return {job_->equal ? Compared::Equal : Compared::Different};
    }
    // A read that broke off partway delivers a short block and then nothing; when that happens
    // in the last block, only the position shows that the side was not read to its end.
    const bool sourceFailed = source_->Position() < size_;
    const bool copyFailed = copy_->Position() < copyEnd_;
    const bool equal = equal_ && !sourceFailed && !copyFailed;
    return {equal ? Compared::Equal : Compared::Different, sourceFailed, copyFailed};
}

Comparison BlockComparer::GiveUp() {
    // A job's worker reads only from memory and never stalls; it is stopped with the others.
    if (!job_) {
        GiveUpRead(e_, e_.readAhead, source_, e_.sourceBuffer);
        GiveUpRead(e_, e_.copyAhead, copy_, e_.copyBuffer);
    }
    return {};
}

}  // namespace

Comparison CompareFiles(Session& s, const std::string& sourcePath, const std::string& copyPath,
                        CompareJob* job, RowsAhead* jobs) {
    return BlockComparer(s, job, jobs).Compare(sourcePath, copyPath);
}

bool FilesEqual(Session& s, const std::string& sourcePath, const std::string& copyPath) {
    const Comparison compared = CompareFiles(s, sourcePath, copyPath);
    s.ReadFailed = s.ReadFailed || compared.sourceFailed;
    s.CopyReadFailed = s.CopyReadFailed || compared.copyFailed;
    return compared.outcome == Compared::Equal;
}

void StepCompareBinary(Session& s) {
    Window& w = s.window;
    // The rows' files are compared on the workers ahead of this loop where both sides are in
    // memory; each row still gets its verdict in its turn, its gauge and pumps as if read here.
    const std::string copyRoot = w.CopyRoot();
    RowsAhead ahead(
        s.reading(),
        [&s, &copyRoot](std::size_t i) {
            const FileRow& row = s.table.Row(i);
            const std::string sourcePath = row.Path();
            return OpenCompareJob(s.fs, sourcePath, OnDrive(sourcePath, copyRoot), row.SizeText);
        },
        [&s] { return s.table.Count(); }, kComparePlan, ListedSizes(s.table));
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
        const Comparison compared = CompareFiles(s, sourcePath, copyPath, job.get(), &ahead);
        if (compared.outcome == Compared::Aborted) {
            s.table.SetResult(i, std::move(previous), previousKind);
            return;
        }
        if (compared.outcome == Compared::Equal) {
            s.table.SetResult(i, text::kOK, Outcome::Good);
        } else {
            std::string result = verdict::kBinaryMismatch;
            if (compared.sourceFailed) result += verdict::kSourceReadError;
            if (compared.copyFailed) result += verdict::kCopyReadError;
            const bool unread = compared.sourceFailed || compared.copyFailed;
            s.table.SetResult(i, std::move(result), unread ? Outcome::ReadError : Outcome::Problem);
            w.SetPanelText(StatusPanel::Outcome, text::kNotCopied);
        }
        w.ProcessMessages();
    });
    AppendExtraFiles(s, w.CopyRoot(), true);
}

}  // namespace korvane

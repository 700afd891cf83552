// Reading one file from start to end: its digest, the read-error test, its size.
#include "digest/FileReaders.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "core/RunError.h"
#include "core/Session.h"
#include "core/Texts.h"
#include "digest/DigestAhead.h"
#include "digest/Md5.h"
#include "reading/Engine.h"
#include "reading/PacedRead.h"

namespace korvane {

namespace {

// A whole number of 64-byte blocks, so every full chunk is fed straight from the buffer.
constexpr std::size_t kDigestChunk = 64000;
constexpr std::size_t kReadTestChunk = 1000000;
// Files above four chunks have their next chunk read by the session's worker.
constexpr std::uint64_t kReadAheadFrom = 4 * kDigestChunk;

// One file's digest, read chunk by chunk: from the row's job while its worker keeps ahead, here
// from where it stopped, or here from the start. The gauge, the pumps, the abort points and
// DoneBytes go chunk by chunk the same way whichever reads a chunk.
class DigestReader {
  public:
    DigestReader(Session& s, const std::string& path, DigestJob* job, RowsAhead* jobs)
        : s_(s), e_(s.reading()), path_(path), job_(jobs ? job : nullptr), jobs_(jobs) {}

    FileDigest Read();
    // The length the digest covers: the size at opening.
    std::uint64_t Size() const { return size_; }

  private:
    enum class Chunk { Read, Worked, Aborted, Afresh };

    bool Open();
    void Start(std::uint64_t size);
    std::optional<FileDigest> ReadAll();
    void GaugeStep();
    Chunk NextChunk(std::size_t want, std::size_t& n);
    Chunk FromJob(std::size_t want, std::size_t& n);
    std::optional<FileDigest> Finish();
    FileDigest GiveUp();

    // The last chunk asks only for what the size taken at opening leaves, so bytes that a
    // growing file gains meanwhile never reach a digest whose length is already fixed.
    std::size_t ChunkAt(std::uint64_t at) const {
        return static_cast<std::size_t>(std::min<std::uint64_t>(kDigestChunk, size_ - at));
    }

    Session& s_;
    ReadingEngine& e_;
    const std::string& path_;
    DigestJob* job_;  // the row's job while its worker's bytes stand for reads
    RowsAhead* jobs_;
    // Two chunks: while one is digested the worker reads the next into the other.
    unsigned char* buffer_ = e_.chunkBuffer.Get(2 * kDigestChunk);
    unsigned char* spare_ = buffer_ + kDigestChunk;
    std::unique_ptr<File> file_;
    SettleOnExit settle_{e_.readAhead};
    Md5Stream md5_;
    std::uint64_t size_ = 0;
    // Counted from the reads themselves: while the worker holds the file it cannot be asked.
    std::uint64_t position_ = 0;
    int shownPercent_ = 0;
    // Handing a read over costs a few microseconds, more than small files take to read: only
    // larger ones have their next chunk read ahead.
    bool readAhead_ = false;
    bool ahead_ = false;  // the worker holds the file, reading the next chunk into `spare_`
    // Set when a read stopped short of the end: its bytes are not fed, and whatever the next
    // read brings, the file cannot be digested whole.
    bool cutShort_ = false;
};

FileDigest DigestReader::Read() {
    if (job_) {
        Start(job_->size);
    } else if (!Open()) {
        return {};
    }
    for (;;) {
        if (std::optional<FileDigest> digest = ReadAll()) return *std::move(digest);
        // The job read nothing (its worker found no byte in memory, or never started on it)
        // and leaves its file: the row is read as if no job had been, opened afresh, so a disc
        // gone meanwhile ends the run as it always does.
        job_->file.reset();
        job_ = nullptr;
        if (!Open()) return {};
    }
}

bool DigestReader::Open() {
    bool aborted = false;
    file_ = OpenAfterStalledReads(e_, s_.fs, path_, ShareMode::Read, aborted);
    if (aborted) return false;
    if (!file_) ThrowCannotOpen(path_);
    Start(file_->Size());
    return true;
}

void DigestReader::Start(std::uint64_t size) {
    size_ = size;
    md5_.Begin(size);
    position_ = 0;
    shownPercent_ = 0;
    readAhead_ = size > kReadAheadFrom;
    ahead_ = false;
    cutShort_ = false;
}

// The digest, a read error or an abort; nothing when the job left the file unread.
std::optional<FileDigest> DigestReader::ReadAll() {
    while (position_ < size_) {
        if (s_.AbortRequested) return GiveUp();
        GaugeStep();
        const std::size_t want = ChunkAt(position_);
        std::size_t n = 0;
        const Chunk chunk = NextChunk(want, n);
        if (chunk == Chunk::Worked) continue;
        if (chunk == Chunk::Aborted) return GiveUp();
        if (chunk == Chunk::Afresh) return std::nullopt;
        s_.DoneBytes += n;
        position_ += n;

        if (n == 0 || cutShort_) return FileDigest{DigestOutcome::ReadError, {}};
        // The next chunk is asked for exactly as the next pass would ask for it.
        if (readAhead_ && position_ < size_) {
            ahead_ = e_.readAhead.Begin(*file_, spare_, ChunkAt(position_));
        }
        if (n < want) {
            cutShort_ = true;
            continue;
        }
        md5_.Feed(buffer_, n);
    }
    return Finish();
}

void DigestReader::GaugeStep() {
    const int percent =
        static_cast<int>(static_cast<double>(position_) / static_cast<double>(size_) * 100.0);
    // The gauge moves only on a new even percentage; between those the window is still let
    // through as time passes.
    if (percent != shownPercent_ && percent % 2 == 0) {
        s_.window.SetGauge(GaugeId::File, percent);
        e_.Pump();
        shownPercent_ = percent;
    } else {
        e_.PumpWhenDue();
    }
}

// No read is made on this thread unless it is served from memory, so a read that stalls never
// holds up the window.
DigestReader::Chunk DigestReader::NextChunk(std::size_t want, std::size_t& n) {
    if (job_) return FromJob(want, n);
    std::optional<std::size_t> got;
    if (ahead_) {
        got = AwaitRead(e_, e_.readAhead);
        std::swap(buffer_, spare_);
        ahead_ = false;
    } else {
        got = ReadPaced(e_, e_.readAhead, *file_, buffer_, want);
    }
    if (!got) return Chunk::Aborted;
    n = *got;
    return Chunk::Read;
}

// A job that stopped short of the end hands over its file, its digest state and the bytes of
// the chunk it read in part, and reading goes on here the usual way.
DigestReader::Chunk DigestReader::FromJob(std::size_t want, std::size_t& n) {
    switch (jobs_->Follow(*job_, position_ + want)) {
        case RowsAhead::Followed::Aborted:
            return Chunk::Aborted;
        case RowsAhead::Followed::Worked:
            s_.DoneBytes += want;
            position_ += want;
            return Chunk::Worked;
        case RowsAhead::Followed::Stopped:
            break;
    }
    if (job_->done.load(std::memory_order_acquire) == 0 && job_->partial.empty()) {
        return Chunk::Afresh;
    }
    file_ = std::move(job_->file);
    md5_ = job_->md5;
    const std::size_t partial = job_->partial.size();
    std::memcpy(buffer_, job_->partial.data(), partial);
    job_ = nullptr;
    const std::optional<std::size_t> got =
        ReadPaced(e_, e_.readAhead, *file_, buffer_ + partial, want - partial);
    if (!got) return Chunk::Aborted;
    n = partial + *got;
    return Chunk::Read;
}

std::optional<FileDigest> DigestReader::Finish() {
    if (job_) {
        if (!jobs_->Await(*job_, size_ + 1)) return GiveUp();
        if (job_->state.load() == AheadJob::kDone) {
            return FileDigest{DigestOutcome::Digest, job_->digest};
        }
        return std::nullopt;  // an empty file whose job was never started
    }
    // Only a file read whole, to exactly the length the padding will state, has a digest.
    if (cutShort_ || file_->Position() != size_) return FileDigest{DigestOutcome::ReadError, {}};
    return FileDigest{DigestOutcome::Digest, md5_.Finish()};
}

FileDigest DigestReader::GiveUp() {
    // A job's worker reads only from memory and never stalls; it is stopped with the others.
    if (!job_) GiveUpRead(e_, e_.readAhead, file_, e_.chunkBuffer);
    return {};
}

}  // namespace

void ReportReadError(Session& s, const std::string& path) {
    s.window.SetPanelText(StatusPanel::Outcome, text::kReadErrorNotice);
    s.window.AppendReadError(path);
    s.ReadFailed = true;
}

FileDigest ReadFileDigest(Session& s, const std::string& path, DigestJob* job, RowsAhead* jobs,
                          std::optional<std::uint64_t> listedSize) {
    DigestReader reader(s, path, job, jobs);
    FileDigest digest = reader.Read();
    // The file changed since it was listed: its digest is not that of the bytes the row's size
    // stands for, and a list pairing the two would pass a copy of neither.
    if (digest.outcome == DigestOutcome::Digest && listedSize && reader.Size() != *listedSize) {
        return FileDigest{DigestOutcome::ReadError, {}};
    }
    return digest;
}

std::string FileMd5(Session& s, const std::string& path, DigestJob* job, RowsAhead* jobs,
                    std::optional<std::uint64_t> listedSize) {
    FileDigest digest = ReadFileDigest(s, path, job, jobs, listedSize);
    switch (digest.outcome) {
        case DigestOutcome::Digest:
            return std::move(digest.digest);
        case DigestOutcome::ReadError:
            ReportReadError(s, path);
            return text::kReadErrorJa;
        case DigestOutcome::Aborted:
            break;
    }
    return kDigestAborted;
}

bool ReadWholeFile(Session& s, const std::string& path) {
    bool aborted = false;
    std::unique_ptr<File> file =
        OpenAfterStalledReads(s.reading(), s.fs, path, ShareMode::Exclusive, aborted);
    if (aborted) return false;
    if (!file) ThrowCannotOpen(path);
    const std::uint64_t size = file->Size();
    unsigned char* buffer = s.reading().chunkBuffer.Get(kReadTestChunk);
    ReadAhead& worker = s.reading().readAhead;
    const SettleOnExit settle{worker};

    // One step more than whole chunks: the last one finds the end (or, for an empty file, is
    // the only read).
    const std::uint64_t steps = size / kReadTestChunk + 1;
    for (std::uint64_t i = 1; i <= steps; ++i) {
        s.window.SetGauge(GaugeId::File, static_cast<int>(i * 100 / steps));
        s.reading().Pump();
        if (s.AbortRequested) return false;

        // A chunk takes a tenth of a second on a slow drive, and a damaged sector much longer:
        // the worker reads it while the window goes on.
        // The extra step at the end finds nothing to read: that read cannot stall.
        std::size_t n = 0;
        if (file->Position() < size) {
            const std::optional<std::size_t> got =
                ReadPaced(s.reading(), worker, *file, buffer, kReadTestChunk);
            if (!got) {
                GiveUpRead(s.reading(), worker, file, s.reading().chunkBuffer);
                return false;
            }
            n = *got;
        } else {
            n = file->Read(buffer, kReadTestChunk);
        }
        s.DoneBytes += n;
        if (n == 0 && file->Position() < file->Size()) {
            s.ReadFailed = true;
            return true;
        }
    }
    // A read that broke off inside the last step delivered some bytes, so no zero-byte read
    // followed it; the file still was not read to its end.
    if (file->Position() < file->Size()) s.ReadFailed = true;
    return true;
}

std::int64_t FileSize64(Session& s, const std::string& path) {
    return static_cast<std::int64_t>(s.fs.SizeOf(path).value_or(0));
}

}  // namespace korvane

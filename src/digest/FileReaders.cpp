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
#include "digest/PacedRead.h"
#include "digest/ReadAhead.h"

namespace korvane {

namespace {

// A whole number of 64-byte blocks, so every full chunk is fed straight from the buffer.
constexpr std::size_t kDigestChunk = 64000;
constexpr std::size_t kDigestChunkBlocks = kDigestChunk / 64;
constexpr std::size_t kReadTestChunk = 1000000;
// Files above four chunks have their next chunk read by the session's worker.
constexpr std::uint64_t kReadAheadFrom = 4 * kDigestChunk;

std::string ReportReadError(Session& s, const std::string& path) {
    s.window.SetPanelText(StatusPanel::Outcome, text::kReadErrorNotice);
    s.window.AppendReadError(path);
    s.ReadFailed = true;
    return text::kReadErrorJa;
}

// The digest of the file as it is at opening; `digested` is the length it covers.
std::string DigestFile(Session& s, const std::string& path, DigestJob* job, RowsAhead* jobs,
                       std::uint64_t& digested) {
    // Two chunks: while one is digested the worker reads the next into the other.
    unsigned char* buffer = s.chunkBuffer.Get(2 * kDigestChunk);
    unsigned char* spare = buffer + kDigestChunk;
    std::unique_ptr<File> file;
    // The bytes a digest worker has digested stand for reads: the gauge, the pumps, the abort
    // points and DoneBytes go chunk by chunk exactly as they do for reads made here.
    DigestJob* fromJob = jobs ? job : nullptr;
    if (!fromJob) {
        bool aborted = false;
        file = OpenAfterStalledReads(s, path, ShareMode::Read, aborted);
        if (aborted) return kDigestAborted;
        if (!file) ThrowCannotOpen(path);
    }
    const std::uint64_t size = fromJob ? fromJob->size : file->Size();
    digested = size;
    Md5Context& ctx = s.md5;
    ctx.MessageLength = size;
    const unsigned tail = static_cast<unsigned>(size % 64);
    const std::size_t lastChunkBlocks = static_cast<std::size_t>(size % kDigestChunk) / 64;
    Md5Init(ctx);
    int shownPercent = 0;
    // Set when a read stopped short of the end: its bytes are not fed, and whatever the next
    // read brings, the file cannot be digested whole.
    bool cutShort = false;

    // No read is made on this thread unless it is served from memory, so a read that stalls
    // never holds up the window. Handing a read over costs a few microseconds, more than small
    // files take to read: only larger ones have their next chunk read ahead.
    ReadAhead& worker = s.readAhead;
    const bool readAhead = size > kReadAheadFrom;
    bool ahead = false;  // the worker holds the file, reading the next chunk into `spare`
    // Declared after the file, so on every way out the worker is done before the file closes.
    struct Settle {
        ReadAhead& worker;
        ~Settle() { worker.Settle(); }
    } settle{worker};
    const auto giveUp = [&] {
        // A job's worker reads only from memory and never stalls; it is stopped with the others.
        if (fromJob) return std::string(kDigestAborted);
        GiveUpRead(s, worker, file, s.chunkBuffer);
        return std::string(kDigestAborted);
    };
    const auto awaitJob = [&](std::uint64_t through) { return jobs->Await(*fromJob, through); };
    // A job that read nothing (its worker found no byte in memory, or never started on it)
    // leaves its file: the row is read as if no job had been, opened afresh, so a disc gone
    // meanwhile ends the run as it always does.
    const auto readNothing = [&] {
        return fromJob->done.load(std::memory_order_acquire) == 0 && fromJob->partial.empty();
    };
    // A job that stopped short of the end hands over its file, its digest state and the bytes
    // of the chunk it read in part, and reading goes on here the usual way.
    const auto takeOver = [&] {
        file = std::move(fromJob->file);
        ctx = fromJob->ctx;
        std::memcpy(buffer, fromJob->partial.data(), fromJob->partial.size());
        const std::size_t partial = fromJob->partial.size();
        fromJob = nullptr;
        return partial;
    };

    // The last chunk asks only for what the size taken at opening leaves, so bytes that a
    // growing file gains meanwhile never reach a digest whose length is already fixed.
    const auto chunkAt = [size](std::uint64_t at) {
        return static_cast<std::size_t>(std::min<std::uint64_t>(kDigestChunk, size - at));
    };

    // Counted from the reads themselves: while the worker holds the file it cannot be asked.
    std::uint64_t position = 0;
    while (position < size) {
        if (s.AbortRequested) return giveUp();

        const int percent =
            static_cast<int>(static_cast<double>(position) / static_cast<double>(size) * 100.0);
        // The gauge moves only on a new even percentage; between those the window is still let
        // through as time passes.
        if (percent != shownPercent && percent % 2 == 0) {
            s.window.SetGauge(GaugeId::File, percent);
            PumpMessages(s);
            shownPercent = percent;
        } else {
            PumpWhenDue(s);
        }

        const std::size_t want = chunkAt(position);
        std::size_t n = 0;
        if (fromJob) {
            if (!awaitJob(position + want)) return giveUp();
            if (fromJob->done.load(std::memory_order_acquire) >= position + want) {
                s.DoneBytes += want;
                position += want;
                continue;
            }
            if (readNothing()) {
                fromJob->file.reset();
                return DigestFile(s, path, nullptr, nullptr, digested);
            }
            const std::size_t partial = takeOver();
            const std::optional<std::size_t> got =
                ReadPaced(s, worker, *file, buffer + partial, want - partial);
            if (!got) return giveUp();
            n = partial + *got;
        } else if (ahead) {
            const std::optional<std::size_t> got = AwaitRead(s, worker);
            if (!got) return giveUp();
            n = *got;
            std::swap(buffer, spare);
            ahead = false;
        } else {
            const std::optional<std::size_t> got = ReadPaced(s, worker, *file, buffer, want);
            if (!got) return giveUp();
            n = *got;
        }
        s.DoneBytes += n;
        position += n;

        if (n == 0 || cutShort) return ReportReadError(s, path);
        // The next chunk is asked for exactly as the next pass would ask for it.
        if (readAhead && position < size) ahead = worker.Begin(*file, spare, chunkAt(position));
        if (n < want) {
            cutShort = true;
            continue;
        }

        ctx.BlockFromPending = false;
        if (n == kDigestChunk) {
            Md5FeedBlocks(ctx, buffer, kDigestChunkBlocks);
        } else {
            Md5FeedBlocks(ctx, buffer, lastChunkBlocks);
            std::memcpy(ctx.PendingBlock, buffer + lastChunkBlocks * 64, tail);
        }
    }

    if (fromJob) {
        if (!awaitJob(size + 1)) return giveUp();
        if (fromJob->state.load() == AheadJob::kDone) {
            ctx = fromJob->ctx;
            return fromJob->digest;
        }
        // An empty file whose job was never started.
        fromJob->file.reset();
        return DigestFile(s, path, nullptr, nullptr, digested);
    }
    // Only a file read whole, to exactly the length the padding will state, has a digest.
    if (cutShort || file->Position() != size) return ReportReadError(s, path);
    Md5Final(ctx, tail);
    return Md5DigestText(ctx);
}

}  // namespace

std::string FileMd5(Session& s, const std::string& path, DigestJob* job, RowsAhead* jobs,
                    std::optional<std::uint64_t> listedSize) {
    std::uint64_t digested = 0;
    std::string digest = DigestFile(s, path, job, jobs, digested);
    if (digest == kDigestAborted || digest == text::kReadErrorJa) return digest;
    // The file changed since it was listed: its digest is not that of the bytes the row's size
    // stands for, and a list pairing the two would pass a copy of neither.
    if (listedSize && digested != *listedSize) return ReportReadError(s, path);
    return digest;
}

bool ReadWholeFile(Session& s, const std::string& path) {
    bool aborted = false;
    std::unique_ptr<File> file = OpenAfterStalledReads(s, path, ShareMode::Exclusive, aborted);
    if (aborted) return false;
    if (!file) ThrowCannotOpen(path);
    const std::uint64_t size = file->Size();
    unsigned char* buffer = s.chunkBuffer.Get(kReadTestChunk);
    ReadAhead& worker = s.readAhead;
    struct Settle {
        ReadAhead& worker;
        ~Settle() { worker.Settle(); }
    } settle{worker};

    // One step more than whole chunks: the last one finds the end (or, for an empty file, is
    // the only read).
    const std::uint64_t steps = size / kReadTestChunk + 1;
    for (std::uint64_t i = 1; i <= steps; ++i) {
        s.window.SetGauge(GaugeId::File, static_cast<int>(i * 100 / steps));
        PumpMessages(s);
        if (s.AbortRequested) return false;

        // A chunk takes a tenth of a second on a slow drive, and a damaged sector much longer:
        // the worker reads it while the window goes on.
        // The extra step at the end finds nothing to read: that read cannot stall.
        std::size_t n = 0;
        if (file->Position() < size) {
            const std::optional<std::size_t> got =
                ReadPaced(s, worker, *file, buffer, kReadTestChunk);
            if (!got) {
                GiveUpRead(s, worker, file, s.chunkBuffer);
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

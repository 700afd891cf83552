// Reading one file from start to end: its digest, the read-error test, its size.
#include "digest/FileReaders.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "core/RunError.h"
#include "core/Session.h"
#include "core/Texts.h"
#include "digest/Md5.h"

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

}  // namespace

std::string FileMd5(Session& s, const std::string& path) {
    // Two chunks: while one is digested the worker reads the next into the other.
    unsigned char* buffer = s.chunkBuffer.Get(2 * kDigestChunk);
    unsigned char* spare = buffer + kDigestChunk;
    std::unique_ptr<File> file = s.fs.Open(path, ShareMode::Read);
    if (!file) ThrowCannotOpen(path);

    Md5Context& ctx = s.md5;
    const std::uint64_t size = file->Size();
    ctx.MessageLength = size;
    const unsigned tail = static_cast<unsigned>(size % 64);
    const std::size_t lastChunkBlocks = static_cast<std::size_t>(size % kDigestChunk) / 64;
    Md5Init(ctx);
    int shownPercent = 0;
    // Set when a read stopped short of the end: its bytes are not fed, and whatever the next
    // read brings, the file cannot be digested whole.
    bool cutShort = false;

    // Handing a read over costs a few microseconds, more than small files take to read.
    const bool readAhead = size > kReadAheadFrom;
    bool ahead = false;  // the worker holds the file, reading the next chunk into `spare`
    // Declared after the file, so on every way out the worker is done before the file closes.
    struct Settle {
        ReadAhead& worker;
        ~Settle() { worker.Settle(); }
    } settle{s.readAhead};

    // Counted from the reads themselves: while the worker holds the file it cannot be asked.
    std::uint64_t position = 0;
    while (position < size) {
        if (s.AbortRequested) return kDigestAborted;

        const int percent =
            static_cast<int>(static_cast<double>(position) / static_cast<double>(size) * 100.0);
        // Pumping only on a new even percentage keeps a file's pumps at 49 or fewer.
        if (percent != shownPercent && percent % 2 == 0) {
            s.window.SetGauge(GaugeId::File, percent);
            s.window.ProcessMessages();
            shownPercent = percent;
        }

        // The last chunk asks only for what the size taken at opening leaves, so bytes that a
        // growing file gains meanwhile never reach a digest whose length is already fixed.
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kDigestChunk, size - position));
        std::size_t n = 0;
        if (ahead) {
            n = s.readAhead.Finish();
            std::swap(buffer, spare);
            ahead = false;
        } else {
            n = file->Read(buffer, want);
        }
        s.DoneBytes += n;
        position += n;

        if (n == 0 || cutShort) return ReportReadError(s, path);
        if (n < want) {
            cutShort = true;
            continue;
        }
        // The next chunk is asked for exactly as the next pass would ask for it.
        if (readAhead && position < size) {
            const std::size_t next =
                static_cast<std::size_t>(std::min<std::uint64_t>(kDigestChunk, size - position));
            ahead = s.readAhead.Begin(*file, spare, next);
        }

        ctx.BlockFromPending = false;
        if (n == kDigestChunk) {
            Md5FeedBlocks(ctx, buffer, kDigestChunkBlocks);
        } else {
            Md5FeedBlocks(ctx, buffer, lastChunkBlocks);
            std::memcpy(ctx.PendingBlock, buffer + lastChunkBlocks * 64, tail);
        }
    }

    // Only a file read whole, to exactly the length the padding will state, has a digest.
    if (cutShort || file->Position() != size) return ReportReadError(s, path);
    Md5Final(ctx, tail);
    return Md5DigestText(ctx);
}

bool ReadWholeFile(Session& s, const std::string& path) {
    std::unique_ptr<File> file = s.fs.Open(path, ShareMode::Exclusive);
    if (!file) ThrowCannotOpen(path);
    const std::uint64_t size = file->Size();
    unsigned char* buffer = s.chunkBuffer.Get(kReadTestChunk);

    // One step more than whole chunks: the last one finds the end (or, for an empty file, is
    // the only read).
    const std::uint64_t steps = size / kReadTestChunk + 1;
    for (std::uint64_t i = 1; i <= steps; ++i) {
        s.window.SetGauge(GaugeId::File, static_cast<int>(i * 100 / steps));
        s.window.ProcessMessages();
        if (s.AbortRequested) return false;

        const std::size_t n = file->Read(buffer, kReadTestChunk);
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

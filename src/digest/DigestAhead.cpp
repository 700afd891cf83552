// A row's digest made ahead by a worker, from memory only.
#include "digest/DigestAhead.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace korvane {

OpenedAhead OpenDigestJob(FileSystem& fs, const std::string& path) {
    std::unique_ptr<File> file = fs.Open(path, ShareMode::Read);
    if (!file) return OpenedAhead{nullptr, true};
    auto job = std::make_shared<DigestJob>();
    job->size = file->Size();
    job->file = std::move(file);
    job->ctx.MessageLength = job->size;
    Md5Init(job->ctx);
    return OpenedAhead{std::move(job), false};
}

AheadJob::Ran DigestJob::Run(unsigned char* buffer, const std::atomic<bool>& quit) {
    const unsigned tail = static_cast<unsigned>(size % 64);
    std::uint64_t position = 0;
    while (position < size) {
        if (quit.load(std::memory_order_relaxed)) return Ran::Quit;
        // The size taken at opening bounds every chunk, as it does for the row's own reader.
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, size - position));
        const std::size_t got = ReadFromMemory(*file, buffer, want, kWorkerPatience);
        if (got < want) {
            // The row's reader takes the file from here, with these bytes.
            partial.assign(reinterpret_cast<const char*>(buffer), got);
            return Ran::NotInMemory;
        }
        ctx.BlockFromPending = false;
        if (got == kChunk) {
            Md5FeedBlocks(ctx, buffer, kChunk / 64);
        } else {
            Md5FeedBlocks(ctx, buffer, got / 64);
            std::memcpy(ctx.PendingBlock, buffer + got / 64 * 64, tail);
        }
        position += got;
        if (position == size) break;  // the last count is stored with the digest
        done.store(position, std::memory_order_release);
    }
    Md5Final(ctx, tail);
    digest = Md5DigestText(ctx);
    file.reset();
    done.store(size, std::memory_order_release);
    return Ran::Done;
}

}  // namespace korvane

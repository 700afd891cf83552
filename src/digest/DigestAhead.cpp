// A row's digest made ahead by a worker, from memory only.
#include "digest/DigestAhead.h"

#include <algorithm>
#include <utility>

#include "reading/PacedRead.h"

namespace korvane {

OpenedAhead OpenDigestJob(FileSystem& fs, const std::string& path) {
    std::unique_ptr<File> file = fs.Open(path, ShareMode::Read);
    if (!file) return OpenedAhead{nullptr, true};
    auto job = std::make_shared<DigestJob>();
    job->size = file->Size();
    job->file = std::move(file);
    job->md5.Begin(job->size);
    return OpenedAhead{std::move(job), false};
}

AheadJob::Ran DigestJob::Run(unsigned char* buffer, const std::atomic<bool>& quit) {
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
        md5.Feed(buffer, got);
        position += got;
        if (position == size) break;  // the last count is stored with the digest
        done.store(position, std::memory_order_release);
    }
    digest = md5.Finish();
    file.reset();
    done.store(size, std::memory_order_release);
    return Ran::Done;
}

}  // namespace korvane

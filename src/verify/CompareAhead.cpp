// A row's byte comparison made ahead by a worker, from memory only.
#include "verify/CompareAhead.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

#include "reading/PacedRead.h"
#include "verify/CompareBinary.h"

namespace korvane {

static_assert(kCompareJobBuffer == 2 * kCompareBlock);

OpenedAhead OpenCompareJob(FileSystem& fs, const std::string& sourcePath,
                           const std::string& copyPath, const std::string& listedSize) {
    std::uint64_t listed = 0;
    const char* end = listedSize.data() + listedSize.size();
    const auto [stop, error] = std::from_chars(listedSize.data(), end, listed);
    if (error != std::errc() || stop != end || listed == 0) return {};
    std::unique_ptr<File> source = fs.Open(sourcePath, ShareMode::Exclusive);
    if (!source) return OpenedAhead{nullptr, true};
    // A copy that is missing or of another length is the row loop's to report.
    std::unique_ptr<File> copy = fs.Open(copyPath, ShareMode::Exclusive);
    if (!copy || source->Size() != listed || copy->Size() != listed) return {};
    auto job = std::make_shared<CompareJob>();
    job->size = listed;
    job->source = std::move(source);
    job->copy = std::move(copy);
    return OpenedAhead{std::move(job), false};
}

AheadJob::Ran CompareJob::Run(unsigned char* buffer, const std::atomic<bool>& quit) {
    unsigned char* sourceBlock = buffer;
    unsigned char* copyBlock = buffer + kCompareBlock;
    std::uint64_t position = 0;
    while (position < size) {
        if (quit.load(std::memory_order_relaxed)) return Ran::Quit;
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kCompareBlock, size - position));
        const std::size_t fromSource = ReadFromMemory(*source, sourceBlock, want, kWorkerPatience);
        const std::size_t fromCopy = fromSource == want
                                         ? ReadFromMemory(*copy, copyBlock, want, kWorkerPatience)
                                         : std::size_t{0};
        if (fromSource < want || fromCopy < want) {
            // The comparison takes both files from here, with these bytes.
            sourcePartial.assign(reinterpret_cast<const char*>(sourceBlock), fromSource);
            copyPartial.assign(reinterpret_cast<const char*>(copyBlock), fromCopy);
            return Ran::NotInMemory;
        }
        // Every block is still read after a difference: the row's own comparison reads both
        // files to their end, and a job must not leave them sooner.
        if (equal && std::memcmp(sourceBlock, copyBlock, want) != 0) equal = false;
        position += want;
        if (position == size) break;  // the last count is stored with the verdict
        done.store(position, std::memory_order_release);
    }
    source.reset();
    copy.reset();
    done.store(size, std::memory_order_release);
    return Ran::Done;
}

}  // namespace korvane

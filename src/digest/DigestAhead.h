// A row's digest made ahead by a worker, from memory only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "digest/Md5.h"
#include "platform/FileSystem.h"
#include "reading/RowsAhead.h"

namespace korvane {

// One row's file, opened (ShareMode::Read) by the window thread and digested by a worker in the
// reader's own chunks. When it stops short, the reader takes the file, the digest state and the
// bytes of the chunk read in part, and goes on from there.
struct DigestJob : AheadJob {
    static constexpr std::size_t kChunk = 64000;

    Ran Run(unsigned char* buffer, const std::atomic<bool>& quit) override;

    std::uint64_t size = 0;
    std::unique_ptr<File> file;  // the worker's while it runs; closed by it once done
    Md5Stream md5;
    std::string partial;
    std::string digest;  // once done
};

// Digest jobs wait for a worker 128 at most, each holding its file open. Files below 1,000 bytes
// are digested by the row loop itself: on a disc of nothing but such files the row loop would
// wait for every one of them, and the hand-overs cost more than the reads.
inline constexpr RowsAhead::Plan kDigestPlan{DigestJob::kChunk, 128, 1000, true};

// Opens a row's file for a digest job; a file that does not open is `failed`.
OpenedAhead OpenDigestJob(FileSystem& fs, const std::string& path);

}  // namespace korvane

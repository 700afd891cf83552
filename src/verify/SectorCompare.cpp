// The sector comparison: chunk reads on both sides, single-sector reads where a chunk failed.
#include "verify/SectorCompare.h"

#include <algorithm>
#include <cstring>

namespace korvane {

namespace {

// Adds one sector to a list of ranges, joining it to the last range when it follows on and
// has the same error.
void Note(std::vector<SectorRange>& ranges, std::uint64_t sector, const std::string& error = {}) {
    if (!ranges.empty()) {
        SectorRange& last = ranges.back();
        if (last.first + last.count == sector && last.error == error) {
            ++last.count;
            return;
        }
    }
    ranges.push_back(SectorRange{sector, 1, error, {}});
}

// What one side gave for a chunk: per sector, read or not and why.
struct ChunkRead {
    std::vector<char> data;
    std::vector<bool> got;
    std::vector<std::string> error;  // empty for a sector past the end
};

void ReadChunk(SectorReader& reader, std::uint64_t first, std::size_t count, ChunkRead& out) {
    out.got.assign(count, false);
    out.error.assign(count, std::string());
    const SectorRead whole = reader.Read(first, count, out.data.data());
    const std::size_t full = whole.bytes / kDiscSector;
    for (std::size_t i = 0; i < std::min(full, count); ++i) out.got[i] = true;
    if (full >= count) return;
    if (!whole.failed) {
        // The end: a last sector cut short is still compared as far as it goes.
        if (whole.bytes % kDiscSector != 0) {
            std::memset(out.data.data() + whole.bytes, 0, kDiscSector - whole.bytes % kDiscSector);
            out.got[full] = true;
        }
        return;
    }
    // A failed read: each sector from the failure on is asked for once by itself, so one bad
    // sector does not hide the good ones around it.
    for (std::size_t i = full; i < count; ++i) {
        char* at = out.data.data() + i * kDiscSector;
        const SectorRead one = reader.Read(first + i, 1, at);
        if (one.bytes == kDiscSector) {
            out.got[i] = true;
        } else if (one.failed) {
            out.error[i] = one.error.empty() ? std::string("read error") : one.error;
        } else {
            if (one.bytes > 0) {
                std::memset(at + one.bytes, 0, kDiscSector - one.bytes);
                out.got[i] = true;
            }
            break;  // the end came after all
        }
    }
}

}  // namespace

SectorOutcome CompareSectors(SectorReader& source, SectorReader& image,
                             const SectorCompareHooks& hooks) {
    SectorOutcome out;
    const std::uint64_t imageBytes = image.Length();
    const std::uint64_t total = (imageBytes + kDiscSector - 1) / kDiscSector;
    const std::size_t chunk = std::max<std::size_t>(1, hooks.chunkSectors);
    ChunkRead s, m;
    s.data.resize(chunk * kDiscSector);
    m.data.resize(chunk * kDiscSector);
    for (std::uint64_t first = 0; first < total; first += chunk) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk, total - first));
        ReadChunk(image, first, count, m);
        ReadChunk(source, first, count, s);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t sector = first + i;
            // The image's last sector may be short; only its own bytes count.
            const std::size_t bytes = static_cast<std::size_t>(
                std::min<std::uint64_t>(kDiscSector, imageBytes - sector * kDiscSector));
            if (!m.got[i]) {
                Note(out.unreadableImage, sector, m.error[i].empty() ? "read error" : m.error[i]);
            } else if (!s.got[i]) {
                if (s.error[i].empty()) {
                    Note(out.pastEnd, sector);
                } else {
                    Note(out.unreadableSource, sector, s.error[i]);
                }
            } else if (std::memcmp(s.data.data() + i * kDiscSector, m.data.data() + i * kDiscSector,
                                   bytes) != 0) {
                Note(out.differ, sector);
            }
        }
        out.compared = first + count;
        if (hooks.progress) hooks.progress(out.compared, total);
        if (hooks.stop && hooks.stop()) {
            out.interrupted = out.compared < total;
            break;
        }
    }
    return out;
}

void NameFiles(SectorOutcome& outcome, const std::vector<SectorFile>& files) {
    for (auto* ranges :
         {&outcome.differ, &outcome.pastEnd, &outcome.unreadableSource, &outcome.unreadableImage}) {
        for (SectorRange& range : *ranges) {
            range.files.clear();
            for (const SectorFile& file : files) {
                const bool touches = std::any_of(
                    file.spans.begin(), file.spans.end(), [&](const SectorFile::Span& span) {
                        return span.count > 0 && span.first < range.first + range.count &&
                               range.first < span.first + span.count;
                    });
                if (touches) range.files.push_back(file.path);
            }
        }
    }
}

}  // namespace korvane

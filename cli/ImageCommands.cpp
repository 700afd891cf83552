// compare --sectors: the sector comparison of the core on a device or image and an image, with
// a progress line, Ctrl-C, and the report in text or JSON.
#include "ImageCommands.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/Texts.h"
#include "platform/SectorReader.h"
#include "platform/Terminal.h"
#include "platform/image/DiscImage.h"
#include "verify/SectorCompare.h"

namespace korvane::cli {

namespace {

constexpr int kFailed = 2;
constexpr int kInterrupted = 130;

void PutLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

// The files of the image with the sectors their data lies in; empty when its directory
// cannot be read (the comparison then goes on without names).
std::vector<SectorFile> FilesOf(const std::string& imagePath) {
    std::vector<SectorFile> files;
    if (DetectImage(imagePath) == ImageKind::None) return files;
    std::string error;
    const std::unique_ptr<DiscImage> disc = DiscImage::Open(imagePath, error);
    if (!disc) {
        std::fprintf(stderr, "korvane-cli: %s\n", error.c_str());
        return files;
    }
    for (const DiscImage::Placed& placed : disc->AllFiles()) {
        SectorFile file{placed.path, {}};
        for (const ImageExtent& e : placed.entry->extents) {
            if (e.zeros) continue;  // space never written lies in no sector
            file.spans.push_back(
                {e.offset / kDiscSector, (e.bytes + kDiscSector - 1) / kDiscSector});
        }
        files.push_back(std::move(file));
    }
    return files;
}

std::string Sectors(const SectorRange& r) {
    if (r.count == 1) return "sector " + std::to_string(r.first) + " (1)";
    return "sectors " + std::to_string(r.first) + "-" + std::to_string(r.first + r.count - 1) +
           " (" + std::to_string(r.count) + ")";
}

std::string FileList(const SectorRange& r) {
    if (r.files.empty()) return "(no file)";
    std::string out;
    for (const std::string& f : r.files) out += (out.empty() ? "" : ", ") + f;
    return out;
}

std::uint64_t Count(const std::vector<SectorRange>& ranges) {
    std::uint64_t n = 0;
    for (const SectorRange& r : ranges) n += r.count;
    return n;
}

std::string Dump(const nlohmann::ordered_json& object) {
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

int CompareSectorsCommand(const Options& o) {
    const std::string& sourcePath = o.operands[0];
    const std::string& imagePath = o.operands[1];
    std::string error;
    const std::unique_ptr<SectorReader> source = OpenSectorReader(sourcePath, error);
    if (!source) {
        std::fprintf(stderr, "korvane-cli: %s\n", error.c_str());
        return kFailed;
    }
    const std::unique_ptr<SectorReader> image = OpenSectorReader(imagePath, error);
    if (!image) {
        std::fprintf(stderr, "korvane-cli: %s\n", error.c_str());
        return kFailed;
    }
    const std::vector<SectorFile> files = FilesOf(imagePath);

    CatchInterrupt();
    const bool progress = IsTerminal(2);
    bool drawn = false;
    auto lastDraw = std::chrono::steady_clock::now();
    SectorCompareHooks hooks;
    hooks.stop = [] { return Interrupted(); };
    hooks.progress = [&](std::uint64_t done, std::uint64_t total) {
        const auto now = std::chrono::steady_clock::now();
        if (!progress || now - lastDraw < std::chrono::milliseconds(200)) return;
        lastDraw = now;
        std::fprintf(stderr, "\r%d%% %llu/%llu\033[K", static_cast<int>(done * 100 / total),
                     static_cast<unsigned long long>(done), static_cast<unsigned long long>(total));
        drawn = true;
    };
    SectorOutcome outcome = CompareSectors(*source, *image, hooks);
    if (drawn) std::fputs("\r\033[K", stderr);
    if (outcome.interrupted || Interrupted()) return kInterrupted;
    NameFiles(outcome, files);

    const std::uint64_t differ = Count(outcome.differ);
    const std::uint64_t missing = Count(outcome.pastEnd);
    const std::uint64_t unreadable =
        Count(outcome.unreadableSource) + Count(outcome.unreadableImage);
    const char* verdict = outcome.Same()              ? text::kSuccess
                          : differ > 0 || missing > 0 ? text::kNotCopied
                                                      : text::kReadErrorNotice;
    const int code = outcome.Same() ? 0 : 1;

    struct Kind {
        const std::vector<SectorRange>* ranges;
        const char* kind;
        const char* side;
    };
    for (const Kind& k :
         {Kind{&outcome.differ, "differ", ""}, Kind{&outcome.pastEnd, "missing", "source"},
          Kind{&outcome.unreadableSource, "read error", "source"},
          Kind{&outcome.unreadableImage, "read error", "image"}}) {
        for (const SectorRange& r : *k.ranges) {
            if (o.json) {
                PutLine(Dump({{"type", "range"},
                              {"kind", k.kind},
                              {"side", k.side},
                              {"first", r.first},
                              {"count", r.count},
                              {"error", r.error},
                              {"files", r.files}}));
            } else if (std::string(k.kind) == "differ") {
                PutLine("differ: " + Sectors(r) + ": " + FileList(r));
            } else if (std::string(k.kind) == "missing") {
                PutLine("missing: " + Sectors(r) + ", past the end of SOURCE: " + FileList(r));
            } else {
                PutLine(std::string("read error on ") +
                        (k.side == std::string("image") ? "IMAGE" : "SOURCE") + ": " + Sectors(r) +
                        ": " + r.error + ": " + FileList(r));
            }
        }
    }
    if (o.json) {
        PutLine(Dump({{"type", "summary"},
                      {"command", "sectors"},
                      {"compared", outcome.compared},
                      {"differ", differ},
                      {"missing", missing},
                      {"read_errors", unreadable},
                      {"outcome", verdict},
                      {"exit_code", code}}));
    } else if (!o.quiet || code != 0) {
        PutLine("sectors: " + std::to_string(outcome.compared) + " compared, " +
                std::to_string(differ) + " differ, " + std::to_string(missing) + " missing, " +
                std::to_string(unreadable) + " read errors: " + verdict);
    }
    return code;
}

}  // namespace korvane::cli

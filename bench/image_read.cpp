// Reads every file of a disc image through the image reader and through a mount of the same
// image, and compares an image with a copy of it sector by sector against cmp; prints the rates.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/DriveMap.h"
#include "platform/SectorReader.h"
#include "platform/image/ImageDrives.h"
#include "verify/SectorCompare.h"

using namespace korvane;

namespace {

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Every file under the folder, read whole in chunks of 1 MB; the bytes read.
std::uint64_t ReadTree(FileSystem& fs, const std::string& folder, std::vector<char>& buffer) {
    std::vector<DirEntry> entries;
    if (!fs.ListFolder(folder, entries)) {
        std::fprintf(stderr, "cannot list %s\n", folder.c_str());
        std::exit(1);
    }
    std::uint64_t bytes = 0;
    for (const DirEntry& e : entries) {
        if (e.isFolder) {
            bytes += ReadTree(fs, folder + e.name + "\\", buffer);
            continue;
        }
        auto file = fs.Open(folder + e.name, ShareMode::Read);
        if (!file) {
            std::fprintf(stderr, "cannot open %s%s\n", folder.c_str(), e.name.c_str());
            std::exit(1);
        }
        while (const std::size_t n = file->Read(buffer.data(), buffer.size())) bytes += n;
    }
    return bytes;
}

double Best(int runs, const std::function<void()>& work) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) best = std::min(best, Seconds(work));
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: image_read IMAGE MOUNT-POINT [COPY] [RUNS]\n");
        return 2;
    }
    const std::string image = argv[1], mount = argv[2];
    const std::string copy = argc > 3 ? argv[3] : "";
    const int runs = argc > 4 ? std::atoi(argv[4]) : 3;

    DriveMap drives;
    drives.Set('M', mount);
    ImageDrives images;
    std::string error;
    if (!images.Add('I', image, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    auto fs = MakeImageAwareFileSystem(drives, images);
    std::vector<char> buffer(1000000);
    std::uint64_t bytes = ReadTree(*fs, "I:\\", buffer);  // both into the page cache first
    ReadTree(*fs, "M:\\", buffer);
    const double library = Best(runs, [&] { ReadTree(*fs, "I:\\", buffer); });
    const double mounted = Best(runs, [&] { ReadTree(*fs, "M:\\", buffer); });
    std::printf("files through the image reader: %.3f s, %.0f MB/s\n", library,
                static_cast<double>(bytes) / library / 1e6);
    std::printf("files through the fuseiso mount: %.3f s, %.0f MB/s\n", mounted,
                static_cast<double>(bytes) / mounted / 1e6);
    std::printf("image reader / mount time ratio: %.2f (at most 1.2 wanted)\n", library / mounted);

    if (copy.empty()) return 0;
    const double sectors = Best(runs, [&] {
        auto a = OpenSectorReader(copy, error);
        auto b = OpenSectorReader(image, error);
        if (!a || !b || !CompareSectors(*a, *b).Same()) {
            std::fprintf(stderr, "the sector comparison failed\n");
            std::exit(1);
        }
    });
    const std::string cmpLine = "cmp -- '" + copy + "' '" + image + "'";
    const double cmp = Best(runs, [&] {
        if (std::system(cmpLine.c_str()) != 0) std::exit(1);
    });
    const double length = static_cast<double>(OpenSectorReader(image, error)->Length());
    std::printf("sector comparison: %.3f s, %.0f MB/s\n", sectors, length / sectors / 1e6);
    std::printf("cmp:               %.3f s, %.0f MB/s\n", cmp, length / cmp / 1e6);
    std::printf("sector comparison / cmp time ratio: %.2f\n", sectors / cmp);
    return 0;
}

// MD5 throughput in memory, fed in 64,000-byte chunks exactly as the file digest feeds it.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "digest/Md5.h"

namespace {

constexpr std::size_t kMessageBytes = std::size_t{256} << 20;  // 256 MiB
constexpr std::size_t kChunk = 64000;
constexpr int kRepetitions = 5;

// One whole message through the calls FileMd5 makes: whole chunks, the short last chunk's
// blocks, the tail into PendingBlock, then the padding.
std::string Digest(korvane::Md5Context& ctx, const unsigned char* data, std::size_t size) {
    ctx.MessageLength = size;
    korvane::Md5Init(ctx);
    const std::size_t tail = size % 64;
    std::size_t pos = 0;
    while (pos < size) {
        const std::size_t n = std::min(kChunk, size - pos);
        ctx.BlockFromPending = false;
        korvane::Md5FeedBlocks(ctx, data + pos, n / 64);
        if (n < kChunk) std::memcpy(ctx.PendingBlock, data + pos + n - tail, tail);
        pos += n;
    }
    korvane::Md5Final(ctx, static_cast<unsigned>(tail));
    return korvane::Md5DigestText(ctx);
}

}  // namespace

int main() {
    std::unique_ptr<unsigned char[]> data(new unsigned char[kMessageBytes]);
    std::uint32_t x = 0x9E3779B9u;
    for (std::size_t i = 0; i < kMessageBytes; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data[i] = static_cast<unsigned char>(x);
    }

    korvane::Md5Context ctx;
    std::string first;
    double best = 0.0;
    for (int r = 0; r < kRepetitions; ++r) {
        const auto start = std::chrono::steady_clock::now();
        const std::string digest = Digest(ctx, data.get(), kMessageBytes);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (r == 0) first = digest;
        if (digest != first) {
            std::fprintf(stderr, "digest changed between repetitions\n");
            return 1;
        }
        const double mbps = static_cast<double>(kMessageBytes) / 1e6 / took.count();
        std::printf("repetition %d: %.1f MB/s\n", r + 1, mbps);
        best = std::max(best, mbps);
    }
    std::printf("digest of the %zu-byte message: %s\n", kMessageBytes, first.c_str());
    std::printf("korvane md5: %.1f MB/s\n", best);
    return 0;
}

// MD5 throughput in memory, fed in 64,000-byte chunks exactly as the file digest feeds it;
// given a host file, also the whole file digest path on that file.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "core/Session.h"
#include "core/Window.h"
#include "digest/FileReaders.h"
#include "digest/Md5.h"
#include "platform/DriveMap.h"
#include "platform/HostFileSystem.h"

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

// A window nobody looks at: the digest of a file pumps it, and pumping costs nothing here.
class NullWindow : public korvane::Window {
  public:
    void SetPanelText(korvane::StatusPanel, const std::string&) override {}
    std::string PanelText(korvane::StatusPanel) const override { return {}; }
    void AppendLog(const std::string&) override {}
    void ClearLog() override {}
    void AppendReadError(const std::string&) override {}
    void ClearReadErrors() override {}
    void SetGauge(korvane::GaugeId, int) override {}
    void SetTimeLabel(const std::string&) override {}
    void SetTimerEnabled(bool) override {}
    void ProcessMessages() override {}
    void ShowMessage(const std::string&) override {}
    void Beep() override {}
    std::string AskSavePath(const korvane::FileDialogRequest&) override { return {}; }
    std::string AskOpenPath(const korvane::FileDialogRequest&) override { return {}; }
    void ScrollRowIntoView(std::size_t) override {}
    void FocusRow(std::size_t) override {}
    std::string MasterRoot() const override { return {}; }
    std::string CopyRoot() const override { return {}; }
    int DriveCountIndex() const override { return 0; }
};

// FileMd5 on a host file through the platform file layer, as a digest run reads a disc.
int DigestHostFile(const std::string& hostPath) {
    const std::size_t slash = hostPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : hostPath.substr(0, slash);
    const std::string name = slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
    korvane::DriveMap drives;
    drives.Set('Q', folder.empty() ? "/" : folder);
    std::unique_ptr<korvane::FileSystem> fs = korvane::MakeHostFileSystem(drives);
    NullWindow window;
    korvane::Session session(window, *fs);
    const std::string path = "Q:\\" + name;

    double best = 0.0;
    std::string digest;
    for (int r = 0; r < 3; ++r) {
        session.DoneBytes = 0;
        const auto start = std::chrono::steady_clock::now();
        digest = korvane::FileMd5(session, path);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (session.ReadFailed) {
            std::fprintf(stderr, "read error on %s\n", hostPath.c_str());
            return 1;
        }
        best = std::max(best, static_cast<double>(session.DoneBytes) / 1e6 / took.count());
    }
    std::printf("korvane FileMd5 on the file: %.1f MB/s, digest %s\n", best, digest.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
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
    return argc > 1 ? DigestHostFile(argv[1]) : 0;
}

// The file readers on real files: digests, chunking, gauge and pump rule, read errors, aborts.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/RunError.h"
#include "core/Texts.h"
#include "digest/DigestTestUtil.h"
#include "digest/FileReaders.h"
#include "support/SessionFixture.h"

namespace korvane::test {
namespace {

using Strings = std::vector<std::string>;

class FileReadersTest : public SessionFixture {};

std::string ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const RunError& e) {
        return e.what();
    }
    return "(no error)";
}

// Sizes around the 64,000-byte chunk and the 64-byte block: empty, one chunk exactly, k chunks
// plus a remainder with and without a tail, a remainder of whole blocks, and 1,000,000 bytes.
// Each file's digest must equal the one-shot digest of the same bytes and md5sum's output.
class ChunkBoundaryTest : public FileReadersTest,
                          public ::testing::WithParamInterface<std::uint64_t> {};

INSTANTIATE_TEST_SUITE_P(Sizes, ChunkBoundaryTest,
                         ::testing::Values(0, 1, 63, 64, 64000, 63999, 64001, 64000 * 2 + 100,
                                           64000 * 3 + 64 * 5, 64000 * 3 - 1, 1000000));

TEST_P(ChunkBoundaryTest, DigestDoesNotDependOnWhereChunksEnd) {
    const std::uint64_t size = GetParam();
    const std::string bytes = PatternBytes(size, static_cast<std::uint32_t>(size + 3));
    const std::string hostPath = tree.WriteFile("F.BIN", bytes);
    s.DoneBytes = 5;

    const std::string digest = FileMd5(s, "Q:\\F.BIN");

    EXPECT_EQ(digest, OneShotMd5(bytes));
    const std::string md5sum = Md5sumOf(hostPath);
    if (!md5sum.empty()) {
        EXPECT_EQ(digest, md5sum);
    }
    EXPECT_EQ(s.DoneBytes, 5 + size);
    EXPECT_FALSE(s.ReadFailed);
    EXPECT_TRUE(window.readErrors.empty());
}

TEST_F(FileReadersTest, EmptyFileIsTheEmptyMessageWithoutAnyPump) {
    tree.WriteFile("E", "");
    EXPECT_EQ(FileMd5(s, "Q:\\E"), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(window.pumps, 0);
    EXPECT_EQ(s.DoneBytes, 0u);
}

TEST_F(FileReadersTest, DigestPumpsOnlyAtNewEvenPercentages) {
    // 100 chunks and a half: chunk k starts at about k - 1 percent, far from any boundary.
    tree.WritePattern("BIG", 64000 * 100 + 32000);
    FileMd5(s, "Q:\\BIG");
    Strings expected;
    for (int p = 2; p <= 98; p += 2) expected.push_back("gauge:file:" + std::to_string(p));
    EXPECT_EQ(window.EventsWith("gauge:"), expected);
    EXPECT_EQ(window.pumps, 49);
}

TEST_F(FileReadersTest, DigestAlsoPumpsAsTimePassesWithTheGaugeUnchanged) {
    // A slow drive: every chunk takes longer than the pacing interval.
    tree.WritePattern("BIG", 64000 * 100 + 32000);
    clock.perLook = std::chrono::milliseconds(30);
    std::vector<std::uint64_t> doneAtPump;
    window.onPump = [&](int) { doneAtPump.push_back(s.DoneBytes); };
    FileMd5(s, "Q:\\BIG");
    Strings expected;
    for (int p = 2; p <= 98; p += 2) expected.push_back("gauge:file:" + std::to_string(p));
    EXPECT_EQ(window.EventsWith("gauge:"), expected);
    // Between percentages the window is still let through, about every chunk.
    ASSERT_GT(doneAtPump.size(), 90u);
    for (std::size_t i = 1; i < doneAtPump.size(); ++i) {
        EXPECT_LE(doneAtPump[i] - doneAtPump[i - 1], 2 * 64000u) << "pump " << i;
    }
}

TEST_F(FileReadersTest, DigestOfSmallOrOddPercentFilesLeavesGaugeAlone) {
    // 64,000 bytes: one chunk from 0 percent. 125,000 bytes: the second chunk starts at 51.
    tree.WritePattern("ONE", 64000);
    tree.WritePattern("ODD", 125000);
    FileMd5(s, "Q:\\ONE");
    FileMd5(s, "Q:\\ODD");
    EXPECT_TRUE(window.events.empty());
}

// A read breaking off at `failAt` bytes: at the start, inside a chunk, on a chunk boundary,
// inside the last chunk.
class DigestReadErrorTest : public FileReadersTest,
                            public ::testing::WithParamInterface<std::uint64_t> {};

INSTANTIATE_TEST_SUITE_P(FailAt, DigestReadErrorTest, ::testing::Values(0, 100000, 128000, 140000));

TEST_P(DigestReadErrorTest, ReportsOnceAndCountsBytesBeforeTheFailure) {
    tree.WritePattern("DATA/読めない file.bin", 150000);
    const std::string path = "Q:\\DATA\\読めない file.bin";
    fs.FailReadAfter(path, GetParam());

    EXPECT_EQ(FileMd5(s, path), text::kReadErrorJa);
    EXPECT_TRUE(s.ReadFailed);
    EXPECT_EQ(s.DoneBytes, GetParam());
    EXPECT_EQ(window.panels[2], text::kReadErrorNotice);
    EXPECT_EQ(window.readErrors, Strings{path});
    EXPECT_EQ(window.EventsWith("panel:").size(), 1u);

    // The next file starts from a clean digest state.
    const std::string bytes = PatternBytes(70000, 9);
    tree.WriteFile("NEXT", bytes);
    s.ReadFailed = false;
    EXPECT_EQ(FileMd5(s, "Q:\\NEXT"), OneShotMd5(bytes));
    EXPECT_FALSE(s.ReadFailed);
}

// A file layer whose reads may stop short once and then carry on as if nothing happened: the
// bytes in between are skipped, so no digest of such a read may ever be produced.
class ShortReadFileSystem : public FaultyFileSystem {
  public:
    ShortReadFileSystem(FileSystem& inner, std::uint64_t at) : FaultyFileSystem(inner), at_(at) {}
    std::unique_ptr<File> Open(const std::string& path, ShareMode share) override {
        auto file = FaultyFileSystem::Open(path, share);
        return file ? std::make_unique<ShortFile>(std::move(file), at_) : nullptr;
    }

  private:
    class ShortFile : public File {
      public:
        ShortFile(std::unique_ptr<File> inner, std::uint64_t at)
            : inner_(std::move(inner)), at_(at) {}
        std::size_t Read(void* buffer, std::size_t n) override {
            const std::uint64_t pos = inner_->Position();
            const bool cut = !cut_ && pos < at_ && pos + n > at_;
            cut_ = cut_ || cut;
            return inner_->Read(buffer, cut ? static_cast<std::size_t>(at_ - pos) : n);
        }
        std::uint64_t Position() const override { return inner_->Position(); }
        std::uint64_t Size() const override { return inner_->Size(); }

      private:
        std::unique_ptr<File> inner_;
        std::uint64_t at_;
        bool cut_ = false;
    };
    std::uint64_t at_;
};

TEST_F(FileReadersTest, ShortReadBeforeTheEndIsNeverDigested) {
    tree.WritePattern("F", 200000);
    ShortReadFileSystem shortFs(*host, 100000);
    Session session(window, shortFs);
    EXPECT_EQ(FileMd5(session, "Q:\\F"), text::kReadErrorJa);
    EXPECT_TRUE(session.ReadFailed);
    EXPECT_EQ(window.readErrors, Strings{"Q:\\F"});
}

TEST_F(FileReadersTest, AbortStopsTheDigestWithAMarkerThatIsNoDigest) {
    tree.WritePattern("BIG", 64000 * 100 + 32000);
    window.onPump = [this](int n) {
        if (n == 3) s.AbortRequested = true;
    };
    EXPECT_EQ(FileMd5(s, "Q:\\BIG"), kDigestAborted);
    EXPECT_FALSE(s.ReadFailed);
    // Pumps come before the chunks starting at 2, 4 and 6 percent (chunks 3, 5 and 7 counted
    // from 0); chunk 7 is still read, the abort is seen before chunk 8.
    EXPECT_EQ(s.DoneBytes, 8u * 64000);
    EXPECT_TRUE(window.readErrors.empty());
}

TEST_F(FileReadersTest, HeldFilesAndMissingFilesCannotBeOpened) {
    tree.WritePattern("HELD", 10);
    auto other = MakeHostFileSystem(drives);
    {
        auto exclusive = other->Open("Q:\\HELD", ShareMode::Exclusive);
        ASSERT_TRUE(exclusive);
        EXPECT_EQ(ErrorOf([&] { FileMd5(s, "Q:\\HELD"); }), "ファイル Q:\\HELD は開けません");
    }
    {
        auto reader = other->Open("Q:\\HELD", ShareMode::Read);
        ASSERT_TRUE(reader);
        EXPECT_EQ(ErrorOf([&] { ReadWholeFile(s, "Q:\\HELD"); }), "ファイル Q:\\HELD は開けません");
        // Shared reading is what the digest asks for, so it goes ahead.
        EXPECT_EQ(FileMd5(s, "Q:\\HELD"), OneShotMd5(PatternBytes(10)));
    }
    EXPECT_EQ(ErrorOf([&] { FileMd5(s, "Q:\\NONE"); }), "ファイル Q:\\NONE は開けません");
    EXPECT_EQ(ErrorOf([&] { ReadWholeFile(s, "Q:\\NONE"); }), "ファイル Q:\\NONE は開けません");
    // Nothing stays open after the failures: an exclusive open succeeds.
    EXPECT_TRUE(other->Open("Q:\\HELD", ShareMode::Exclusive));
}

struct ReadTestCase {
    std::uint64_t size;
    Strings gauges;
    int pumps;
};

class ReadTestStepsTest : public FileReadersTest,
                          public ::testing::WithParamInterface<ReadTestCase> {};

INSTANTIATE_TEST_SUITE_P(
    Sizes, ReadTestStepsTest,
    ::testing::Values(ReadTestCase{0, {"gauge:file:100"}, 1},
                      ReadTestCase{999999, {"gauge:file:100"}, 1},
                      ReadTestCase{1000000, {"gauge:file:50", "gauge:file:100"}, 2},
                      ReadTestCase{
                          2500000, {"gauge:file:33", "gauge:file:66", "gauge:file:100"}, 3}));

TEST_P(ReadTestStepsTest, OneGaugeStepAndPumpPerMillionBytesPlusOne) {
    tree.WritePattern("F", GetParam().size);
    EXPECT_TRUE(ReadWholeFile(s, "Q:\\F"));
    EXPECT_FALSE(s.ReadFailed);
    EXPECT_EQ(window.EventsWith("gauge:"), GetParam().gauges);
    EXPECT_EQ(window.pumps, GetParam().pumps);
    EXPECT_EQ(s.DoneBytes, GetParam().size);
    EXPECT_TRUE(window.readErrors.empty());
    EXPECT_TRUE(window.panels[2].empty());
}

TEST_F(FileReadersTest, ReadTestFindsErrorsInAnyStepAndReportsNothingItself) {
    // Broken off in the middle step, and inside the last step, where no zero-byte read follows.
    for (auto [size, failAt] : {std::pair<std::uint64_t, std::uint64_t>{2500000, 1200000},
                                {1500000, 1200000},
                                {800000, 0}}) {
        tree.WritePattern("F" + std::to_string(size), size);
        const std::string path = "Q:\\F" + std::to_string(size);
        fs.FailReadAfter(path, failAt);
        s.ReadFailed = false;
        s.DoneBytes = 0;
        EXPECT_TRUE(ReadWholeFile(s, path));
        EXPECT_TRUE(s.ReadFailed) << size;
        EXPECT_EQ(s.DoneBytes, failAt) << size;
    }
    EXPECT_TRUE(window.readErrors.empty());
    EXPECT_TRUE(window.panels[2].empty());
}

TEST_F(FileReadersTest, ReadTestAbortLeavesReadFailedAsItWas) {
    tree.WritePattern("F", 3500000);
    window.onPump = [this](int n) {
        if (n == 2) s.AbortRequested = true;
    };
    s.ReadFailed = true;
    EXPECT_FALSE(ReadWholeFile(s, "Q:\\F"));
    EXPECT_TRUE(s.ReadFailed);
    EXPECT_EQ(s.DoneBytes, 1000000u);
}

TEST_F(FileReadersTest, SizeComesFromTheDirectoryEvenBeyond4GiBAndForHeldFiles) {
    tree.WriteSparse("HUGE", (std::uint64_t{5} << 30) + 7);
    tree.WritePattern("HELD", 1234);
    auto other = MakeHostFileSystem(drives);
    auto exclusive = other->Open("Q:\\HELD", ShareMode::Exclusive);
    ASSERT_TRUE(exclusive);
    EXPECT_EQ(FileSize64(s, "Q:\\HUGE"), (std::int64_t{5} << 30) + 7);
    EXPECT_EQ(FileSize64(s, "Q:\\HELD"), 1234);
    EXPECT_EQ(FileSize64(s, "Q:\\NONE"), 0);
}

}  // namespace
}  // namespace korvane::test

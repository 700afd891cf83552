// Large files read one chunk ahead on the session's worker: digests, read errors, aborts, reuse.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Texts.h"
#include "digest/DigestTestUtil.h"
#include "digest/FileReaders.h"
#include "support/SessionFixture.h"
#include "verify/CompareBinary.h"

namespace korvane::test {
namespace {

using Strings = std::vector<std::string>;

constexpr std::uint64_t kChunk = 64000;

class ReadAheadTest : public SessionFixture {};

std::size_t ThreadCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

// Just past the size from which the worker reads, whole chunks, a tail inside a block, and a
// size whose last chunk is whole blocks only.
class ReadAheadDigestTest : public ReadAheadTest,
                            public ::testing::WithParamInterface<std::uint64_t> {};

INSTANTIATE_TEST_SUITE_P(Sizes, ReadAheadDigestTest,
                         ::testing::Values(4 * kChunk + 1, 10 * kChunk, 37 * kChunk + 123,
                                           3000000 + 64 * 7));

TEST_P(ReadAheadDigestTest, DigestIsTheOneShotDigest) {
    const std::uint64_t size = GetParam();
    const std::string bytes = PatternBytes(size, static_cast<std::uint32_t>(size));
    const std::string hostPath = tree.WriteFile("BIG.BIN", bytes);

    const std::string digest = FileMd5(s, "Q:\\BIG.BIN");

    EXPECT_EQ(digest, OneShotMd5(bytes));
    const std::string md5sum = Md5sumOf(hostPath);
    if (!md5sum.empty()) {
        EXPECT_EQ(digest, md5sum);
    }
    EXPECT_EQ(s.DoneBytes, size);
    EXPECT_FALSE(s.ReadFailed);
}

// A failure at the start (read by this thread), on a chunk boundary (the worker's read delivers
// nothing), inside a chunk the worker reads, and inside the last chunk.
class ReadAheadErrorTest : public ReadAheadTest,
                           public ::testing::WithParamInterface<std::uint64_t> {};

INSTANTIATE_TEST_SUITE_P(FailAt, ReadAheadErrorTest,
                         ::testing::Values(0, 3 * kChunk, 5 * kChunk + 100, 11 * kChunk + 7));

TEST_P(ReadAheadErrorTest, ReportsLikeAnInlineRead) {
    tree.WritePattern("DATA/BAD.BIN", 11 * kChunk + 500);
    const std::string path = "Q:\\DATA\\BAD.BIN";
    fs.FailReadAfter(path, GetParam());

    EXPECT_EQ(FileMd5(s, path), text::kReadErrorJa);
    EXPECT_TRUE(s.ReadFailed);
    EXPECT_EQ(s.DoneBytes, GetParam());
    EXPECT_EQ(window.readErrors, Strings{path});
    EXPECT_EQ(window.panels[2], text::kReadErrorNotice);

    // The worker is free again and the digest state clean for the next large file.
    const std::string bytes = PatternBytes(9 * kChunk + 1, 5);
    tree.WriteFile("NEXT", bytes);
    EXPECT_EQ(FileMd5(s, "Q:\\NEXT"), OneShotMd5(bytes));
}

TEST_F(ReadAheadTest, AbortDropsTheChunkReadAheadAndClosesTheFile) {
    tree.WritePattern("BIG", kChunk * 100 + 32000);
    window.onPump = [this](int n) {
        if (n == 3) s.AbortRequested = true;
    };
    EXPECT_EQ(FileMd5(s, "Q:\\BIG"), kDigestAborted);
    // The chunk after the abort was read ahead but never counted.
    EXPECT_EQ(s.DoneBytes, 8 * kChunk);
    EXPECT_FALSE(s.ReadFailed);
    // Nobody holds the file any more.
    auto other = MakeHostFileSystem(drives);
    EXPECT_TRUE(other->Open("Q:\\BIG", ShareMode::Exclusive));

    s.AbortRequested = false;
    window.onPump = nullptr;
    EXPECT_EQ(FileMd5(s, "Q:\\BIG"), OneShotMd5(PatternBytes(kChunk * 100 + 32000)));
}

TEST_F(ReadAheadTest, ManyFilesShareOneWorker) {
    const std::size_t before = ThreadCount();
    for (int i = 0; i < 40; ++i) {
        const std::string name = "F" + std::to_string(i);
        const std::string bytes = PatternBytes(5 * kChunk + static_cast<std::uint64_t>(i) * 999,
                                               static_cast<std::uint32_t>(i));
        tree.WriteFile(name, bytes);
        ASSERT_EQ(FileMd5(s, "Q:\\" + name), OneShotMd5(bytes)) << name;
        EXPECT_LE(ThreadCount(), before + 1);
    }
    {
        Session other(window, fs);
        tree.WritePattern("G", 6 * kChunk);
        EXPECT_EQ(FileMd5(other, "Q:\\G"), OneShotMd5(PatternBytes(6 * kChunk)));
        EXPECT_LE(ThreadCount(), before + 2);
    }
    // The second session's worker ended with it.
    EXPECT_LE(ThreadCount(), before + 1);
}

// The comparison reads the copy on the worker while it reads the source itself.
TEST_F(ReadAheadTest, ComparisonOfLargeFilesFindsLateDifferencesAndCopyErrors) {
    const std::uint64_t size = 3 * kCompareBlock + 4321;
    std::string bytes = PatternBytes(size, 3);
    tree.WriteFile("S", bytes);
    tree.WriteFile("C", bytes);
    EXPECT_TRUE(FilesEqual(s, "Q:\\S", "Q:\\C"));
    EXPECT_EQ(s.DoneBytes, size);

    bytes[size - 2] ^= 1;
    tree.WriteFile("D", bytes);
    EXPECT_FALSE(FilesEqual(s, "Q:\\S", "Q:\\D"));
    EXPECT_FALSE(s.ReadFailed || s.CopyReadFailed);

    fs.FailReadAfter("Q:\\C", kCompareBlock + 10);
    s.DoneBytes = 0;
    EXPECT_FALSE(FilesEqual(s, "Q:\\S", "Q:\\C"));
    EXPECT_TRUE(s.CopyReadFailed);
    EXPECT_FALSE(s.ReadFailed);
    // The source's third block was read before the copy's failure was seen.
    EXPECT_EQ(s.DoneBytes, 3 * kCompareBlock);
}

}  // namespace
}  // namespace korvane::test

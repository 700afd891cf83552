// MD5 against the RFC 1321 suite, md5sum, and the padding and block-feeding paths.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "digest/DigestTestUtil.h"
#include "digest/Md5.h"
#include "support/TempTree.h"

namespace korvane::test {
namespace {

// Block by block through BlockWords and Md5Transform, as the calling order describes it; the
// tail padded by Md5Final. Independent of Md5FeedBlocks.
std::string BlockwiseMd5(std::string_view message) {
    Md5Context ctx;
    ctx.MessageLength = message.size();
    Md5Init(ctx);
    ctx.BlockFromPending = false;
    const std::size_t blocks = message.size() / 64;
    for (std::size_t b = 0; b < blocks; ++b) {
        for (int w = 0; w < 16; ++w) {
            const auto* p = reinterpret_cast<const unsigned char*>(message.data() + b * 64 + 4 * w);
            ctx.BlockWords[w] = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
        }
        Md5Transform(ctx);
    }
    const unsigned tail = static_cast<unsigned>(message.size() % 64);
    std::memcpy(ctx.PendingBlock, message.data() + blocks * 64, tail);
    Md5Final(ctx, tail);
    return Md5DigestText(ctx);
}

struct Vector {
    const char* message;
    const char* digest;
};

class Rfc1321Suite : public ::testing::TestWithParam<Vector> {};

// The test suite of RFC 1321, appendix A.5, digests as printed there.
INSTANTIATE_TEST_SUITE_P(
    AppendixA5, Rfc1321Suite,
    ::testing::Values(
        Vector{"", "d41d8cd98f00b204e9800998ecf8427e"},
        Vector{"a", "0cc175b9c0f1b6a831c399e269772661"},
        Vector{"abc", "900150983cd24fb0d6963f7d28e17f72"},
        Vector{"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        Vector{"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        Vector{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
               "d174ab98d277d9f5a5611c2c9f419d9f"},
        Vector{"1234567890123456789012345678901234567890123456789012345678901234567890123456"
               "7890",
               "57edf4a22be3c955ac49da2e2107b67a"}));

TEST_P(Rfc1321Suite, BothFeedingPathsGiveThePublishedDigest) {
    EXPECT_EQ(OneShotMd5(GetParam().message), GetParam().digest);
    EXPECT_EQ(BlockwiseMd5(GetParam().message), GetParam().digest);
}

// Tails around the padding limit (55 fits one block, 56 and 63 spill into a second), a whole
// block and whole numbers of blocks; each checked against md5sum run on the same bytes.
TEST(Md5Padding, TailsAndWholeBlocksAgreeWithMd5sum) {
    TempTree tree;
    for (std::uint64_t size :
         {1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 64u * 7, 64u * 7 + 55}) {
        const std::string bytes = PatternBytes(size, static_cast<std::uint32_t>(size));
        const std::string host = tree.WriteFile("m" + std::to_string(size), bytes);
        const std::string reference = Md5sumOf(host);
        if (reference.empty()) GTEST_SKIP() << "md5sum not available";
        EXPECT_EQ(OneShotMd5(bytes), reference) << size;
        EXPECT_EQ(BlockwiseMd5(bytes), reference) << size;
    }
}

TEST(Md5Padding, MillionAs) {
    // The long-message vector used beside the RFC suite, also reproduced with md5sum.
    EXPECT_EQ(OneShotMd5(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

// Where the caller splits a message into runs of blocks never changes the result, and after a
// run BlockWords hold the last block's words, as one Md5Transform per block would leave them.
TEST(Md5FeedBlocks, SplitsAndStateMatchOneTransformPerBlock) {
    const std::string message = PatternBytes(64 * 37, 5);
    const auto* bytes = reinterpret_cast<const unsigned char*>(message.data());

    Md5Context reference;
    Md5Init(reference);
    for (std::size_t b = 0; b < 37; ++b) {
        std::memcpy(reference.BlockWords, bytes + b * 64, 64);  // the test host is little-endian
        Md5Transform(reference);
    }

    for (const std::vector<std::size_t>& split : std::vector<std::vector<std::size_t>>{
             {37}, {1, 36}, {36, 1}, {0, 7, 0, 30}, {5, 5, 5, 5, 5, 5, 5, 2}}) {
        Md5Context ctx;
        Md5Init(ctx);
        std::size_t at = 0;
        for (std::size_t n : split) {
            Md5FeedBlocks(ctx, bytes + at * 64, n);
            at += n;
        }
        EXPECT_EQ(ctx.A, reference.A);
        EXPECT_EQ(ctx.B, reference.B);
        EXPECT_EQ(ctx.C, reference.C);
        EXPECT_EQ(ctx.D, reference.D);
        EXPECT_EQ(std::memcmp(ctx.BlockWords, reference.BlockWords, 64), 0);
    }
}

TEST(Md5Text, WordsAreLeastSignificantByteFirstWithLeadingZeros) {
    EXPECT_EQ(Md5WordText(0x01020304), "04030201");
    EXPECT_EQ(Md5WordText(0x0000000F), "0f000000");
    EXPECT_EQ(Md5WordText(0xFFFFFFFF), "ffffffff");
    EXPECT_EQ(Md5WordText(0), "00000000");
    Md5Context ctx;
    ctx.A = 0xA0B0C0D0;
    ctx.B = 0x00000001;
    ctx.C = 0xDEADBEEF;
    ctx.D = 0x10;
    EXPECT_EQ(Md5DigestText(ctx), "d0c0b0a001000000efbeadde10000000");
}

}  // namespace
}  // namespace korvane::test

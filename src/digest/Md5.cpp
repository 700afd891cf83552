// RFC 1321 MD5: the fully unrolled compression and the padding of the final block.
#include "digest/Md5.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace korvane {

namespace {

// Message words are little-endian; on a little-endian host the load is a plain move that the
// compiler folds into the add that uses it.
inline std::uint32_t LoadWord(const unsigned char* p) {
    std::uint32_t w;
    std::memcpy(&w, p, sizeof w);
    if constexpr (std::endian::native == std::endian::big) {
        w = (w >> 24) | ((w >> 8) & 0x0000FF00u) | ((w << 8) & 0x00FF0000u) | (w << 24);
    }
    return w;
}

// Each step adds the message word and the constant to the oldest working value first: that sum
// does not wait for the word computed by the previous step, so it runs off the critical path.

// F(b,c,d) = (b & c) | (~b & d), as one select.
template <int S>
inline void StepF(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t x, std::uint32_t t) {
    a += x + t;
    a += d ^ (b & (c ^ d));
    a = std::rotl(a, S) + b;
}

// G(b,c,d) = (b & d) | (c & ~d): the two halves never share a bit, so they can be added
// separately, and the half without b is ready before b is.
template <int S>
inline void StepG(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t x, std::uint32_t t) {
    a += x + t;
    a += c & ~d;
    a += b & d;
    a = std::rotl(a, S) + b;
}

template <int S>
inline void StepH(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t x, std::uint32_t t) {
    a += x + t;
    a += b ^ (c ^ d);
    a = std::rotl(a, S) + b;
}

template <int S>
inline void StepI(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t x, std::uint32_t t) {
    a += x + t;
    a += c ^ (b | ~d);
    a = std::rotl(a, S) + b;
}

// The 64 steps over one block, whose words come from `X` (an array in memory: read where each
// step needs it, so the words never compete for registers).
template <typename Words>
inline void Compress(std::uint32_t& A, std::uint32_t& B, std::uint32_t& C, std::uint32_t& D,
                     const Words& X) {
    std::uint32_t a = A, b = B, c = C, d = D;

    StepF<7>(a, b, c, d, X(0), 0xd76aa478);
    StepF<12>(d, a, b, c, X(1), 0xe8c7b756);
    StepF<17>(c, d, a, b, X(2), 0x242070db);
    StepF<22>(b, c, d, a, X(3), 0xc1bdceee);
    StepF<7>(a, b, c, d, X(4), 0xf57c0faf);
    StepF<12>(d, a, b, c, X(5), 0x4787c62a);
    StepF<17>(c, d, a, b, X(6), 0xa8304613);
    StepF<22>(b, c, d, a, X(7), 0xfd469501);
    StepF<7>(a, b, c, d, X(8), 0x698098d8);
    StepF<12>(d, a, b, c, X(9), 0x8b44f7af);
    StepF<17>(c, d, a, b, X(10), 0xffff5bb1);
    StepF<22>(b, c, d, a, X(11), 0x895cd7be);
    StepF<7>(a, b, c, d, X(12), 0x6b901122);
    StepF<12>(d, a, b, c, X(13), 0xfd987193);
    StepF<17>(c, d, a, b, X(14), 0xa679438e);
    StepF<22>(b, c, d, a, X(15), 0x49b40821);

    StepG<5>(a, b, c, d, X(1), 0xf61e2562);
    StepG<9>(d, a, b, c, X(6), 0xc040b340);
    StepG<14>(c, d, a, b, X(11), 0x265e5a51);
    StepG<20>(b, c, d, a, X(0), 0xe9b6c7aa);
    StepG<5>(a, b, c, d, X(5), 0xd62f105d);
    StepG<9>(d, a, b, c, X(10), 0x02441453);
    StepG<14>(c, d, a, b, X(15), 0xd8a1e681);
    StepG<20>(b, c, d, a, X(4), 0xe7d3fbc8);
    StepG<5>(a, b, c, d, X(9), 0x21e1cde6);
    StepG<9>(d, a, b, c, X(14), 0xc33707d6);
    StepG<14>(c, d, a, b, X(3), 0xf4d50d87);
    StepG<20>(b, c, d, a, X(8), 0x455a14ed);
    StepG<5>(a, b, c, d, X(13), 0xa9e3e905);
    StepG<9>(d, a, b, c, X(2), 0xfcefa3f8);
    StepG<14>(c, d, a, b, X(7), 0x676f02d9);
    StepG<20>(b, c, d, a, X(12), 0x8d2a4c8a);

    StepH<4>(a, b, c, d, X(5), 0xfffa3942);
    StepH<11>(d, a, b, c, X(8), 0x8771f681);
    StepH<16>(c, d, a, b, X(11), 0x6d9d6122);
    StepH<23>(b, c, d, a, X(14), 0xfde5380c);
    StepH<4>(a, b, c, d, X(1), 0xa4beea44);
    StepH<11>(d, a, b, c, X(4), 0x4bdecfa9);
    StepH<16>(c, d, a, b, X(7), 0xf6bb4b60);
    StepH<23>(b, c, d, a, X(10), 0xbebfbc70);
    StepH<4>(a, b, c, d, X(13), 0x289b7ec6);
    StepH<11>(d, a, b, c, X(0), 0xeaa127fa);
    StepH<16>(c, d, a, b, X(3), 0xd4ef3085);
    StepH<23>(b, c, d, a, X(6), 0x04881d05);
    StepH<4>(a, b, c, d, X(9), 0xd9d4d039);
    StepH<11>(d, a, b, c, X(12), 0xe6db99e5);
    StepH<16>(c, d, a, b, X(15), 0x1fa27cf8);
    StepH<23>(b, c, d, a, X(2), 0xc4ac5665);

    StepI<6>(a, b, c, d, X(0), 0xf4292244);
    StepI<10>(d, a, b, c, X(7), 0x432aff97);
    StepI<15>(c, d, a, b, X(14), 0xab9423a7);
    StepI<21>(b, c, d, a, X(5), 0xfc93a039);
    StepI<6>(a, b, c, d, X(12), 0x655b59c3);
    StepI<10>(d, a, b, c, X(3), 0x8f0ccc92);
    StepI<15>(c, d, a, b, X(10), 0xffeff47d);
    StepI<21>(b, c, d, a, X(1), 0x85845dd1);
    StepI<6>(a, b, c, d, X(8), 0x6fa87e4f);
    StepI<10>(d, a, b, c, X(15), 0xfe2ce6e0);
    StepI<15>(c, d, a, b, X(6), 0xa3014314);
    StepI<21>(b, c, d, a, X(13), 0x4e0811a1);
    StepI<6>(a, b, c, d, X(4), 0xf7537e82);
    StepI<10>(d, a, b, c, X(11), 0xbd3af235);
    StepI<15>(c, d, a, b, X(2), 0x2ad7d2bb);
    StepI<21>(b, c, d, a, X(9), 0xeb86d391);

    A += a;
    B += b;
    C += c;
    D += d;
}

void LoadBlockWords(std::uint32_t* words, const unsigned char* block) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(words, block, 64);
    } else {
        for (int i = 0; i < 16; ++i) words[i] = LoadWord(block + 4 * i);
    }
}

}  // namespace

void Md5Init(Md5Context& ctx) {
    ctx.A = 0x67452301;
    ctx.B = 0xefcdab89;
    ctx.C = 0x98badcfe;
    ctx.D = 0x10325476;
    std::memset(ctx.PendingBlock, 0, sizeof ctx.PendingBlock);
    std::memset(ctx.BlockWords, 0, sizeof ctx.BlockWords);
}

void Md5Transform(Md5Context& ctx) {
    if (ctx.BlockFromPending) LoadBlockWords(ctx.BlockWords, ctx.PendingBlock);
    const std::uint32_t* words = ctx.BlockWords;
    Compress(ctx.A, ctx.B, ctx.C, ctx.D, [words](int k) { return words[k]; });
}

void Md5FeedBlocks(Md5Context& ctx, const unsigned char* data, std::size_t blocks) {
    if (blocks == 0) return;
    // The chaining words stay in registers across the whole run of blocks; the words of each
    // block are read straight from the caller's buffer.
    std::uint32_t A = ctx.A, B = ctx.B, C = ctx.C, D = ctx.D;
    const unsigned char* p = data;
    for (std::size_t i = 0; i < blocks; ++i, p += 64) {
        Compress(A, B, C, D, [p](int k) { return LoadWord(p + 4 * k); });
    }
    ctx.A = A;
    ctx.B = B;
    ctx.C = C;
    ctx.D = D;
    LoadBlockWords(ctx.BlockWords, p - 64);
}

void Md5Final(Md5Context& ctx, unsigned t) {
    ctx.BlockFromPending = true;
    unsigned char* block = ctx.PendingBlock;
    block[t] = 0x80;
    if (t >= 56) {
        std::memset(block + t + 1, 0, 63 - t);
        Md5Transform(ctx);
        std::memset(block, 0, 56);
    } else {
        std::memset(block + t + 1, 0, 55 - t);
    }
    std::uint64_t bits = ctx.MessageLength * 8;
    for (int i = 0; i < 8; ++i) {
        block[56 + i] = static_cast<unsigned char>(bits & 0xFF);
        bits >>= 8;
    }
    Md5Transform(ctx);
}

namespace {
// Two lower-case hex digits per byte, least significant byte first, as "%.2x" writes them.
// A table, not a formatter: on discs of many small files the text costs more than the digest.
void PutWordText(std::uint32_t word, char* out) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (int i = 0; i < 4; ++i) {
        const unsigned byte = (word >> (8 * i)) & 0xFF;
        out[2 * i] = kHex[byte >> 4];
        out[2 * i + 1] = kHex[byte & 0xF];
    }
}
}  // namespace

std::string Md5WordText(std::uint32_t word) {
    char text[8];
    PutWordText(word, text);
    return std::string(text, 8);
}

void Md5Stream::Begin(std::uint64_t length) {
    ctx_.MessageLength = length;
    Md5Init(ctx_);
    pending_ = 0;
    fed_ = 0;
}

void Md5Stream::Feed(const unsigned char* data, std::size_t n) {
    fed_ += n;
    if (pending_ > 0) {
        const std::size_t take = std::min<std::size_t>(64 - pending_, n);
        std::memcpy(ctx_.PendingBlock + pending_, data, take);
        pending_ += take;
        data += take;
        n -= take;
        if (pending_ < 64) return;
        ctx_.BlockFromPending = true;
        Md5Transform(ctx_);
        pending_ = 0;
    }
    ctx_.BlockFromPending = false;
    const std::size_t blocks = n / 64;
    Md5FeedBlocks(ctx_, data, blocks);
    pending_ = n % 64;
    if (pending_ > 0) std::memcpy(ctx_.PendingBlock, data + blocks * 64, pending_);
}

std::string Md5Stream::Finish() {
    Md5Final(ctx_, static_cast<unsigned>(pending_));
    return Md5DigestText(ctx_);
}

std::string Md5DigestText(const Md5Context& ctx) {
    std::string text(32, '0');
    PutWordText(ctx.A, &text[0]);
    PutWordText(ctx.B, &text[8]);
    PutWordText(ctx.C, &text[16]);
    PutWordText(ctx.D, &text[24]);
    return text;
}

}  // namespace korvane

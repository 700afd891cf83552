// RFC 1321 MD5 over one whole message whose length is known before its first byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvane {

// The one digest working state of a session. Field order and roles are fixed: the file reader
// stores MessageLength, feeds whole blocks through BlockWords, leaves the tail in PendingBlock.
struct Md5Context {
    std::uint32_t A = 0, B = 0, C = 0, D = 0;
    std::uint64_t MessageLength = 0;  // bytes of the whole message
    unsigned char PendingBlock[64] = {};
    std::uint32_t BlockWords[16] = {};
    bool BlockFromPending = false;
};

// Chaining words to the RFC values; PendingBlock and BlockWords to zero.
void Md5Init(Md5Context& ctx);
// Loads BlockWords from PendingBlock when BlockFromPending is set, then compresses BlockWords.
void Md5Transform(Md5Context& ctx);
// Pads the t tail bytes already in PendingBlock, appends the bit length, compresses.
void Md5Final(Md5Context& ctx, unsigned t);
// Feeds `blocks` whole 64-byte blocks from `data` in order: each is loaded into BlockWords
// (little-endian words) and compressed, exactly as Md5Transform with BlockFromPending clear.
void Md5FeedBlocks(Md5Context& ctx, const unsigned char* data, std::size_t blocks);
// Eight hex digits: the word's bytes, least significant first.
std::string Md5WordText(std::uint32_t word);
// 32 lower-case hex digits from A, B, C, D.
std::string Md5DigestText(const Md5Context& ctx);

// One message fed to a digest record in pieces of any size: whole blocks go straight from the
// caller's bytes, and a block cut across pieces waits in PendingBlock. A copy carries on where
// the original stood, so a digest begun on one thread can be finished on another.
class Md5Stream {
  public:
    // Starts the message of `length` bytes.
    void Begin(std::uint64_t length);
    void Feed(const unsigned char* data, std::size_t n);
    // Bytes fed since Begin.
    std::uint64_t Fed() const { return fed_; }
    // The digest text of the message; only once all of its bytes were fed.
    std::string Finish();

  private:
    Md5Context ctx_;
    std::size_t pending_ = 0;  // bytes waiting in ctx_.PendingBlock
    std::uint64_t fed_ = 0;
};

}  // namespace korvane

// Reference digests for the digest tests: the whole message at once, and md5sum's answer.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "digest/Md5.h"

namespace korvane::test {

// The message in one piece: every whole block in a single feed, then the tail. No chunking is
// involved, so it is the yardstick for where chunk boundaries may fall.
inline std::string OneShotMd5(std::string_view message) {
    Md5Context ctx;
    ctx.MessageLength = message.size();
    Md5Init(ctx);
    ctx.BlockFromPending = false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(message.data());
    const std::size_t blocks = message.size() / 64;
    Md5FeedBlocks(ctx, bytes, blocks);
    const unsigned tail = static_cast<unsigned>(message.size() % 64);
    std::memcpy(ctx.PendingBlock, bytes + blocks * 64, tail);
    Md5Final(ctx, tail);
    return Md5DigestText(ctx);
}

// What the system's md5sum says of a host file; empty when md5sum cannot be run.
inline std::string Md5sumOf(const std::string& hostPath) {
    std::string quoted = "'";
    for (char c : hostPath) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += "'";
    std::FILE* pipe = ::popen(("md5sum < " + quoted + " 2>/dev/null").c_str(), "r");
    if (!pipe) return {};
    char out[33] = {};
    const std::size_t got = std::fread(out, 1, 32, pipe);
    ::pclose(pipe);
    return got == 32 ? std::string(out, 32) : std::string();
}

}  // namespace korvane::test

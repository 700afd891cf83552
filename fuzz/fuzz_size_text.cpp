// Fuzzes the size conversion: it returns or throws the run's error, never anything else, and
// agrees with a second, independent reading of the same syntax.
#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "core/RunError.h"
#include "verify/SizeText.h"

namespace {

// Leading spaces, an optional sign, decimal digits or hexadecimal after '$', 'x' or "0x" in
// either case, and nothing else; within the signed 64-bit range.
std::optional<std::int64_t> Reference(std::string_view text) {
    text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with("$") || text.starts_with("x") || text.starts_with("X")) {
        base = 16;
        text.remove_prefix(1);
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    // from_chars takes no sign for an unsigned value, so a second sign fails here as it should.
    std::uint64_t magnitude = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
    const std::uint64_t largest = std::numeric_limits<std::int64_t>::max();
    if (!negative) {
        if (magnitude > largest) return {};
        return static_cast<std::int64_t>(magnitude);
    }
    if (magnitude > largest + 1) return {};
    if (magnitude == largest + 1) return std::numeric_limits<std::int64_t>::min();
    return -static_cast<std::int64_t>(magnitude);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<std::int64_t> expected = Reference(text);
    try {
        const std::int64_t value = korvane::SizeTextToInt(text);
        if (!expected || *expected != value) std::abort();
    } catch (const korvane::RunError& e) {
        // what() is a C string: the message reads up to the first NUL of the text.
        std::string message = "'" + text + "' は整数ではありません";
        message.resize(std::min(message.find('\0'), message.size()));
        if (expected || e.what() != message) std::abort();
    }
    return 0;
}

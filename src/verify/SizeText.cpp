// The integer syntax of the size column, with the error that ends a run on anything else.
#include "verify/SizeText.h"

#include <limits>

#include "core/RunError.h"
#include "core/Texts.h"

namespace korvane {

namespace {

[[noreturn]] void ThrowNotInteger(const std::string& text) {
    throw RunError(text::NotAnInteger(text));
}

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') {
        v = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
        v = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
        v = c - 'A' + 10;
    }
    return v < base ? v : -1;
}

}  // namespace

std::int64_t SizeTextToInt(const std::string& text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;

    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    int base = 10;
    if (i < n && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < n && (text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }

    if (i == n) ThrowNotInteger(text);

    // The magnitude is gathered unsigned so that the most negative value still fits.
    const std::uint64_t limit =
        negative ? static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1
                 : static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    const auto ubase = static_cast<std::uint64_t>(base);
    std::uint64_t magnitude = 0;
    for (; i < n; ++i) {
        const int d = DigitValue(text[i], base);
        if (d < 0) ThrowNotInteger(text);
        const auto ud = static_cast<std::uint64_t>(d);
        if (magnitude > (limit - ud) / ubase) ThrowNotInteger(text);
        magnitude = magnitude * ubase + ud;
    }

    if (!negative) return static_cast<std::int64_t>(magnitude);
    if (magnitude == limit) return std::numeric_limits<std::int64_t>::min();
    return -static_cast<std::int64_t>(magnitude);
}

}  // namespace korvane

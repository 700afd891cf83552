// Reading a row's SizeText back as a number.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// Leading spaces, an optional sign, then decimal digits or a hexadecimal number after '$', 'x'
// or '0x' (either case), and nothing after. Anything else, or a value outside the signed 64-bit
// range, throws RunError "'<text>' は整数ではありません".
std::int64_t SizeTextToInt(const std::string& text);

}  // namespace korvane

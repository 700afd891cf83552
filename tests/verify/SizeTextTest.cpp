// The integer syntax of the size column.
#include "verify/SizeText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "core/RunError.h"

namespace korvane {
namespace {

struct Good {
    std::string text;
    std::int64_t value;
};

class SizeTextGood : public ::testing::TestWithParam<Good> {};

TEST_P(SizeTextGood, Converts) {
    EXPECT_EQ(SizeTextToInt(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SizeTextGood,
    ::testing::Values(Good{"0", 0}, Good{"1234", 1234}, Good{"  42", 42}, Good{"+7", 7},
                      Good{"-7", -7}, Good{"007", 7}, Good{"$1F", 31}, Good{"$ff", 255},
                      Good{"x10", 16}, Good{"X10", 16}, Good{"0x1a", 26}, Good{"0XA", 10},
                      Good{"-$10", -16}, Good{"4294967296", 4294967296LL},
                      Good{"2147483648", 2147483648LL},
                      Good{"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
                      Good{"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
                      Good{"$7FFFFFFFFFFFFFFF", std::numeric_limits<std::int64_t>::max()}));

class SizeTextBad : public ::testing::TestWithParam<std::string> {};

TEST_P(SizeTextBad, ThrowsNotInteger) {
    try {
        SizeTextToInt(GetParam());
        ADD_FAILURE() << "converted '" << GetParam() << "'";
    } catch (const RunError& e) {
        EXPECT_EQ(std::string(e.what()), "'" + GetParam() + "' は整数ではありません");
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, SizeTextBad,
                         ::testing::Values("", " ", "-", "+", "12 ", "1,234", "12a", "$", "0x", "x",
                                           "$G", "1e3", "\t5", "--5", "$-5", "0x 1",
                                           "9223372036854775808", "-9223372036854775809",
                                           "$8000000000000000", "99999999999999999999"));

}  // namespace
}  // namespace korvane

// UTF-8 validation and the Shift-JIS conversion used for lists made on Japanese systems.
#include "platform/TextEncoding.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

struct Utf8Case {
    std::string text;
    bool valid;
};

class Utf8Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Test, Validity) {
    EXPECT_EQ(IsValidUtf8(GetParam().text), GetParam().valid)
        << ::testing::PrintToString(GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8Test,
    ::testing::Values(Utf8Case{"", true}, Utf8Case{"A.BIN\tok", true},
                      Utf8Case{std::string("a\0b", 3), true}, Utf8Case{"\xc3\xa9", true},  // U+00E9
                      Utf8Case{"\xe6\x97\xa5\xe6\x9c\xac", true},  // two CJK characters
                      Utf8Case{"\xef\xbf\xbf", true},              // U+FFFF
                      Utf8Case{"\xf4\x8f\xbf\xbf", true},          // U+10FFFF
                      Utf8Case{"\x80", false},                     // lone continuation
                      Utf8Case{"\xc3", false},                     // cut off
                      Utf8Case{"\xe6\x97", false},                 // cut off
                      Utf8Case{"\xc3\x41", false},                 // bad continuation
                      Utf8Case{"\xc0\xaf", false},                 // overlong '/'
                      Utf8Case{"\xe0\x80\xaf", false},             // overlong '/'
                      Utf8Case{"\xf0\x82\x82\xac", false},         // overlong U+20AC
                      Utf8Case{"\xed\xa0\x80", false},             // surrogate U+D800
                      Utf8Case{"\xed\xbf\xbf", false},             // surrogate U+DFFF
                      Utf8Case{"\xf4\x90\x80\x80", false},         // U+110000
                      Utf8Case{"\xf8\x88\x80\x80\x80", false},     // five-byte form
                      Utf8Case{"\xff", false},
                      Utf8Case{"\x93\xfa\x96\x7b", false}));  // Shift-JIS text

struct SjisCase {
    std::string sjis;
    std::optional<std::string> utf8;
};

class ShiftJisTest : public ::testing::TestWithParam<SjisCase> {};

TEST_P(ShiftJisTest, ToUtf8) {
    EXPECT_EQ(ShiftJisToUtf8(GetParam().sjis), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShiftJisTest,
    ::testing::Values(SjisCase{"", ""}, SjisCase{"A.BIN", "A.BIN"},
                      // "ファイル.txt"
                      SjisCase{"\x83\x74\x83\x40\x83\x43\x83\x8b.txt",
                               "\xe3\x83\x95\xe3\x82\xa1\xe3\x82\xa4\xe3\x83\xab.txt"},
                      SjisCase{"\x93\xfa\x96\x7b\x8c\xea",
                               "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"},  // "日本語"
                      // Characters the Windows code page has beyond plain Shift-JIS: circled one,
                      // and the wave dash it maps to the fullwidth tilde.
                      SjisCase{"\x87\x40", "\xe2\x91\xa0"}, SjisCase{"\x81\x60", "\xef\xbd\x9e"},
                      SjisCase{"\x83", std::nullopt},        // lead byte cut off
                      SjisCase{"\x83\x20", std::nullopt}));  // lead byte without a trail byte

TEST(ShiftJisTest, LongTextGrowsTheOutput) {
    std::string sjis;
    std::string utf8;
    for (int i = 0; i < 5000; ++i) {
        sjis += "\x83\x74";
        utf8 += "\xe3\x83\x95";
    }
    EXPECT_EQ(ShiftJisToUtf8(sjis), utf8);
}

}  // namespace
}  // namespace korvane

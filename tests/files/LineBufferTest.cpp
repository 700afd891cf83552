// The line buffer: how texts become lines and how loaded text is split again.
#include "files/LineBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

std::vector<std::string> Lines(const LineBuffer& b) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < b.LineCount(); ++i) out.emplace_back(b.Line(i));
    return out;
}

struct SplitCase {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
};

class LineSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(LineSplit, BreaksAndCount) {
    LineBuffer b;
    b.Load(GetParam().text);
    EXPECT_EQ(Lines(b), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Texts, LineSplit,
                         ::testing::Values(SplitCase{"Empty", "", {}},
                                           SplitCase{"OneBreakOnly", "\r\n", {""}},

                                           SplitCase{"NoFinalBreak", "a\r\nb", {"a", "b"}},

                                           SplitCase{"CrThenCrLf", "a\r\r\nb", {"a", "", "b"}},
                                           SplitCase{"LfThenCr", "a\n\rb", {"a", "", "b"}},
                                           SplitCase{"EmptyLastLine", "a\r\n\r\n", {"a", ""}}),
                         [](const auto& p) { return p.param.name; });

TEST(LineBuffer, AddPutsCrLfAfterEveryText) {
    LineBuffer b;
    b.Add("one");
    b.Add("");
    b.Add("two\r\nthree");
    EXPECT_EQ(b.Text(), "one\r\n\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(Lines(b), (std::vector<std::string>{"one", "", "two", "three"}));
    b.Clear();
    EXPECT_EQ(b.Text(), "");
    EXPECT_EQ(b.LineCount(), 0u);
}

}  // namespace
}  // namespace korvane

// md5sum and BSD-tag lists loaded by "load data": rows, names, refusals, format detection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/RunError.h"
#include "core/Steps.h"
#include "support/SessionFixture.h"

namespace korvane::test {
namespace {

const std::string kHash = "5d41402abc4b2a76b9719d911017c592";
const std::string kUpper = "5D41402ABC4B2A76B9719D911017C592";
const FileRow kPrevious{"previous", "Q:\\", "1", "OK"};

class ForeignList : public SessionFixture {
  protected:
    ForeignList() { s.table.Append(kPrevious); }

    // Loads the text as a list; the refusal's text, or empty when it loaded.
    std::string Load(const std::string& content) {
        tree.WriteFile("list.md5", content);
        window.openAnswers.push_back(tree.Host("list.md5"));
        try {
            StepLoadData(s);
        } catch (const RunError& e) {
            return e.what();
        }
        return {};
    }
};

struct LineCase {
    const char* name;
    std::string line;
    FileRow row;  // FileName empty: the line is refused
};

class ForeignListLine : public ForeignList, public ::testing::WithParamInterface<LineCase> {};

// Each line comes after a good one, so that the list is taken for an md5sum list.
TEST_P(ForeignListLine, BecomesRowOrIsRefused) {
    const LineCase& c = GetParam();
    const std::string error = Load("# made by md5sum\r\n" + kHash + "  first\n\n" + c.line + "\n");
    if (c.row.FileName.empty()) {
        std::string shown = c.line;
        if (const auto nul = shown.find('\0'); nul != std::string::npos)
            shown.replace(nul, 1, "\\0");
        EXPECT_EQ(error, "リストの 4 行目は読み込めません: " + shown);
        EXPECT_EQ(s.table.Rows(), std::vector<FileRow>{kPrevious});
        return;
    }
    ASSERT_EQ(error, "");
    EXPECT_EQ(s.table.Rows(), (std::vector<FileRow>{{"first", "Q:\\", "", kHash}, c.row}));
    EXPECT_FALSE(s.table.SizesListed());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ForeignListLine,
    ::testing::Values(
        LineCase{"TextMarkAndDotSlash", kHash + "  ./a b/c.txt", {"c.txt", "Q:\\a b\\", "", kHash}},
        LineCase{"BinaryMarkUpperCase", kUpper + " *x.bin", {"x.bin", "Q:\\", "", kHash}},
        LineCase{
            "Escaped", "\\" + kHash + "  d/new\\nline\\r", {"new\nline\r", "Q:\\d\\", "", kHash}},
        LineCase{"Tag", "MD5 (d/x) = y) = " + kUpper, {"x) = y", "Q:\\d\\", "", kHash}},
        LineCase{"EscapedTag", "\\MD5 (a\\nb) = " + kHash, {"a\nb", "Q:\\", "", kHash}},
        LineCase{"WindowsSeparators",
                 kHash + " *DATA\\SUB\\A.BIN",
                 {"A.BIN", "Q:\\DATA\\SUB\\", "", kHash}},
        // 表 in code page 932 ends in the byte of a backslash.
        LineCase{"ShiftJis", kHash + "  \x93\xFA/\x95\x5C.txt", {"表.txt", "Q:\\日\\", "", kHash}},
        LineCase{"NeitherEncoding", kHash + "  \xFF\xFE.bin", {"\xFF\xFE.bin", "Q:\\", "", kHash}},
        LineCase{"OneSpace", kHash + " x", {}},
        LineCase{"ShortDigest", kHash.substr(1) + "  x", {}}, LineCase{"NoName", kHash + "  ", {}},
        LineCase{"ParentFolder", kHash + "  ../etc/passwd", {}},
        LineCase{"AbsolutePath", kHash + "  /etc/passwd", {}},
        LineCase{"EmptyPart", kHash + "  a//b", {}},
        LineCase{"BackslashInName", "\\" + kHash + "  a\\\\b", {}},
        LineCase{"UnknownEscape", "\\" + kHash + "  a\\tb", {}},
        LineCase{"Nul", kHash + "  a" + std::string(1, '\0') + "b", {}},
        LineCase{"OwnFormatLine", "Q:\\docs\\", {}}),
    [](const auto& p) { return p.param.name; });

TEST_F(ForeignList, OwnFormatWinsOverALookAlikeName) {
    // A first file whose name reads like an md5sum line: the folder line says whose list it is.
    const std::string name = kHash + "  x";
    EXPECT_EQ(Load(name + "\r\nQ:\\\r\n5\r\n" + kHash + "\r\n"), "");
    EXPECT_EQ(s.table.Rows(), (std::vector<FileRow>{{name, "Q:\\", "5", kHash}}));
    EXPECT_TRUE(s.table.SizesListed());
}

TEST_F(ForeignList, OnlyCommentsIsAnEmptyList) {
    EXPECT_EQ(Load("\xEF\xBB\xBF# nothing\r\n\r\n#\r\n# here\r\n#\r\n"), "");
    EXPECT_EQ(s.table.Count(), 0u);
}

TEST_F(ForeignList, LongRefusedLineIsCut) {
    const std::string error = Load(kHash + "  a\n" + std::string(500, 'x') + "\n");
    EXPECT_EQ(error, "リストの 2 行目は読み込めません: " + std::string(120, 'x') + "...");
}

}  // namespace
}  // namespace korvane::test

// md5sum and BSD-tag lists loaded by "load data": names, refusals, and which format a file is.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/Commands.h"
#include "core/RunError.h"
#include "core/Steps.h"
#include "support/SessionFixture.h"

namespace korvane::test {
namespace {

const std::string kHash = "5d41402abc4b2a76b9719d911017c592";
const FileRow kPrevious{"previous", "Q:\\", "1", "OK"};

struct LineCase {
    const char* name;
    std::string line;
    FileRow row;  // FileName empty: the line is refused
};

class ForeignList : public SessionFixture, public ::testing::WithParamInterface<LineCase> {
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

// After a comment, a blank line and a good line, so that the list is taken for an md5sum list.
TEST_P(ForeignList, LineBecomesRowOrIsRefused) {
    const LineCase& c = GetParam();
    const std::string error = Load("# md5\r\n" + kHash + "  first\n\n" + c.line + "\n");
    if (c.row.FileName.empty()) {
        EXPECT_EQ(error, "リストの 4 行目は読み込めません: " + c.line);
        EXPECT_EQ(s.table.Rows(), std::vector<FileRow>{kPrevious});
    } else {
        EXPECT_EQ(s.table.Rows(), (std::vector<FileRow>{{"first", "Q:\\", "", kHash}, c.row}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ForeignList,
    ::testing::Values(
        LineCase{"UpperCaseTagNameWithTagText",
                 "MD5 (d/x) = y) = 5D41402ABC4B2A76B9719D911017C592",
                 {"x) = y", "Q:\\d\\", "", kHash}},
        LineCase{"WindowsSeparators", kHash + " *.\\A\\B.BIN", {"B.BIN", "Q:\\A\\", "", kHash}},
        // 表 in code page 932 ends in the byte of a backslash.
        LineCase{"ShiftJis", kHash + "  \x93\xFA/\x95\x5C.txt", {"表.txt", "Q:\\日\\", "", kHash}},
        LineCase{"NeitherEncoding", kHash + "  \xFF\xFE", {"\xFF\xFE", "Q:\\", "", kHash}},
        LineCase{"ParentFolder", kHash + "  ../etc/passwd", {}},
        LineCase{"AbsolutePath", kHash + "  /etc/passwd", {}},
        LineCase{"EscapedBackslashInName", "\\" + kHash + "  a\\\\b", {}},
        LineCase{"UnknownEscape", "\\" + kHash + "  a\\tb", {}}),
    [](const auto& p) { return p.param.name; });

TEST_F(ForeignList, OwnFormatWinsAndCommentsAloneNameNoFile) {
    // A first file whose name reads like an md5sum line: the folder line says whose list it is.
    const std::string name = kHash + "  x";
    EXPECT_EQ(Load(name + "\r\nQ:\\\r\n5\r\n" + kHash + "\r\n"), "");
    EXPECT_EQ(s.table.Rows(), (std::vector<FileRow>{{name, "Q:\\", "5", kHash}}));
    // Comments alone name no file: refused like an empty list, the table kept.
    EXPECT_EQ(Load("\xEF\xBB\xBF# nothing\r\n\r\n#\r\n#\r\n#\r\n"),
              "ファイル " + tree.Host("list.md5") + " には比較するファイルがありません");
    EXPECT_EQ(s.table.Count(), 1u);
}

// Files whose first line is no digest line are still digest lists, not lists of the program's
// own: that line is refused by its number.
TEST_F(ForeignList, FirstLineThatIsNoDigestLineIsRefusedByNumber) {
    const std::string entry = kHash + "  a.txt\n";
    const std::vector<std::pair<std::string, std::string>> files = {
        {"MD5 checksums of the disc", entry + entry},
        {"-----BEGIN PGP SIGNED MESSAGE-----",
         "Hash: SHA256\n\n" + entry + "-----BEGIN PGP SIGNATURE-----\n\nabc=\n"},
        {"CRC32 (a.txt) = 3610a686", "MD5 (a.txt) = " + kHash + "\nSHA1 (a.txt) = 0\n"},
        {kHash + "0  a.txt", entry + entry + entry},
    };
    for (const auto& [first, rest] : files) {
        EXPECT_EQ(Load(first + "\n" + rest), "リストの 1 行目は読み込めません: " + first);
        EXPECT_EQ(s.table.Rows(), std::vector<FileRow>{kPrevious});
    }
}

// Names of a disc partly not UTF-8 (Shift-JIS bytes) and partly UTF-8, listed by md5sum: the
// file's encoding is judged as for the program's own list, and both files are found again.
TEST_F(ForeignList, Md5sumListWithMixedNamesVerifiesTheSameDisc) {
    tree.WriteFile("disc/\x82\xa0.txt", "a");
    tree.WriteFile("disc/ファイル.txt", "b");
    drives.Set('Q', tree.Host("disc"));
    tree.WriteFile("list.md5",
                   "0cc175b9c0f1b6a831c399e269772661  \x82\xa0.txt\n"
                   "92eb5ffee6ae2fec3ad71c777531578f  ファイル.txt\n");
    window.openAnswers.push_back(tree.Host("list.md5"));
    CRC322Click(s);
    ASSERT_EQ(s.table.Count(), 2u);
    EXPECT_EQ(s.table.Row(0).ResultText + s.table.Row(1).ResultText, "OKOK");
    EXPECT_EQ(window.panels[2], "正常に終了しました");
}

}  // namespace
}  // namespace korvane::test

// The source scan: depth-first order, sizes, totals, folders that cannot be listed.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/Commands.h"
#include "core/ReadMaster.h"
#include "core/Steps.h"
#include "core/Texts.h"
#include "support/SessionFixture.h"

namespace korvane::test {
namespace {

class ReadMasterTest : public SessionFixture {
  protected:
    std::vector<std::string> Paths() const {
        std::vector<std::string> out;
        for (const FileRow& r : s.table.Rows()) out.push_back(r.Path());
        return out;
    }
};

TEST_F(ReadMasterTest, WalksDepthFirstInEnumerationOrder) {
    tree.WriteFile("DIR/B.TXT", "bb");
    tree.WriteFile("DIR/SUB/C.TXT", "ccc");
    tree.WriteFile("A.TXT", "a");
    tree.WriteFile(".hidden", "hhhh");
    tree.MakeFolder("EMPTY");
    tree.WriteFile("ZERO", "");
    ReadMaster(s);

    // Each folder's files must come right where the folder was met among its parent's entries,
    // whatever order the directory returns; rebuild that expectation from the listing itself.
    std::vector<std::string> expected;
    std::function<void(const std::string&)> walk = [&](const std::string& folder) {
        std::vector<DirEntry> list;
        host->ListFolder(folder, list);
        for (const DirEntry& e : list) {
            if (e.isFolder)
                walk(folder + e.name + "\\");
            else
                expected.push_back(folder + e.name);
        }
    };
    walk("Q:\\");
    EXPECT_EQ(Paths(), expected);
    EXPECT_EQ(expected.size(), 5u);

    for (const FileRow& r : s.table.Rows()) {
        EXPECT_EQ(r.ResultText, "");
        EXPECT_EQ(r.Folder.back(), '\\');
        if (r.FileName == "C.TXT") {
            EXPECT_EQ(r.Folder, "Q:\\DIR\\SUB\\");
        } else if (r.FileName == "ZERO") {
            EXPECT_EQ(r.SizeText, "0");
        } else if (r.FileName == ".hidden") {
            EXPECT_EQ(r.SizeText, "4");
        }
    }
    EXPECT_EQ(s.TotalBytes, 10u);
    EXPECT_EQ(window.panels[1], "全容量:10");
    EXPECT_TRUE(window.readErrors.empty());
}

TEST_F(ReadMasterTest, EveryScanStartsFromAnEmptyTable) {
    s.table.Append({"OLD", "E:\\", "1", "OK"});
    tree.WriteFile("A.TXT", "a");
    ReadMaster(s);
    ReadMaster(s);
    EXPECT_EQ(Paths(), std::vector<std::string>{"Q:\\A.TXT"});
    EXPECT_EQ(s.TotalBytes, 1u);
}

TEST_F(ReadMasterTest, SizesAbove4GiBAreKeptWhole) {
    tree.WriteSparse("BIG.ISO", 5'000'000'123ull);
    tree.WriteSparse("BIG2.ISO", 4'294'967'296ull);
    ReadMaster(s);
    ASSERT_EQ(s.table.Count(), 2u);
    for (const FileRow& r : s.table.Rows()) {
        EXPECT_EQ(r.SizeText, r.FileName == "BIG.ISO" ? "5000000123" : "4294967296");
    }
    EXPECT_EQ(s.TotalBytes, 9'294'967'419ull);
    EXPECT_EQ(window.panels[1], "全容量:9,294,967,419");
}

TEST_F(ReadMasterTest, EmptyOrMissingSource) {
    ReadMaster(s);
    EXPECT_EQ(s.table.Count(), 0u);
    EXPECT_EQ(window.panels[1], "全容量:0");
    EXPECT_TRUE(s.unlistedFolders.empty());

    // A drive with nothing behind it is a folder that cannot be listed, and is reported.
    window.master = "R:\\";
    ReadMaster(s);
    EXPECT_EQ(window.panels[1], "全容量:0");
    EXPECT_EQ(s.unlistedFolders, std::vector<std::string>{"R:\\"});
    EXPECT_EQ(window.readErrors, std::vector<std::string>{"R:\\"});
    EXPECT_EQ(window.panels[2], text::kReadErrorNotice);
}

TEST_F(ReadMasterTest, UnlistableSubfolderIsReportedAndTheWalkGoesOn) {
    tree.WriteFile("BAD/X.TXT", "x");
    tree.WriteFile("GOOD/Y.TXT", "y");
    tree.WriteFile("HALF/Z1.TXT", "z");
    fs.FailListing("Q:\\BAD\\");
    fs.FailListing("Q:\\HALF\\", /*keepEntries=*/true);
    ReadMaster(s);
    EXPECT_EQ(s.table.Count(), 2u);  // Y.TXT and Z1.TXT
    std::vector<std::string> unlisted = s.unlistedFolders;
    std::sort(unlisted.begin(), unlisted.end());
    EXPECT_EQ(unlisted, (std::vector<std::string>{"Q:\\BAD\\", "Q:\\HALF\\"}));
    EXPECT_EQ(window.readErrors.size(), 2u);
    EXPECT_EQ(window.panels[2], text::kReadErrorNotice);
}

TEST_F(ReadMasterTest, UnlistedFoldersSurviveTheReadTestsClearingAndBlockSuccess) {
    tree.WriteFile("BAD/X.TXT", "x");
    tree.WriteFile("GOOD/Y.TXT", "y");
    fs.FailListing("Q:\\BAD\\");
    N2Click(s);
    EXPECT_EQ(window.readErrors, std::vector<std::string>{"Q:\\BAD\\"});
    EXPECT_EQ(window.panels[2], text::kReadErrorNotice);

    TempTree copy;
    copy.WriteFile("BAD/X.TXT", "x");
    copy.WriteFile("GOOD/Y.TXT", "y");
    drives.Set('C', copy.root());
    window.copy = "C:\\";
    window.driveCount = 1;
    N11Click(s);  // every listed row compares OK, yet a folder was never checked
    EXPECT_NE(window.panels[2], text::kSuccess);
}

// "a\\b" would stand for the file b in the folder a: reported instead, and the run cannot pass.
TEST_F(ReadMasterTest, NameWithABackslashIsReportedAndNeverReadsAnotherFile) {
    tree.WriteFile("src/a\\b", "XXXXX");
    tree.WriteFile("src/a/b", "other");
    tree.WriteFile("copy/a/b", "other");
    drives.Set('Q', tree.Host("src"));
    drives.Set('C', tree.Host("copy"));
    window.copy = "C:\\";
    window.driveCount = 1;
    N11Click(s);
    EXPECT_EQ(s.table.Rows(), (std::vector<FileRow>{{"b", "Q:\\a\\", "5", "OK"}}));
    EXPECT_EQ(window.readErrors, std::vector<std::string>{"Q:\\a\\b"});
    EXPECT_EQ(window.panels[2], text::kReadErrorNotice);
}

TEST_F(ReadMasterTest, FolderNamedToClimbOutIsNeverWalked) {
    tree.WriteFile("outside/secret", "s");
    tree.MakeFolder("d/d/..\\..\\outside");
    drives.Set('Q', tree.Host("d/d"));
    ReadMaster(s);
    EXPECT_EQ(s.table.Count(), 0u);
    EXPECT_EQ(window.readErrors, std::vector<std::string>{"Q:\\..\\..\\outside"});
}

TEST_F(ReadMasterTest, SkipsThingsThatAreNotFilesOrFolders) {
    tree.WriteFile("REAL.TXT", "r");
    ASSERT_EQ(mkfifo(tree.Host("PIPE").c_str(), 0600), 0);
    ReadMaster(s);
    EXPECT_EQ(Paths(), std::vector<std::string>{"Q:\\REAL.TXT"});
}

// A drive of more entries than any disc holds ends the run, as one whose folders never end does.
TEST_F(ReadMasterTest, AScanPastTheEntryLimitEndsTheRun) {
    tree.WriteFile("A.TXT", "a");
    tree.WriteFile("DIR/B.TXT", "b");
    tree.WriteFile("DIR/C.TXT", "c");
    s.scanLimits.entries = 3;  // A.TXT, DIR, B.TXT and C.TXT are four
    CRC321Click(s);
    EXPECT_EQ(window.messages,
              std::vector<std::string>{"ドライブ Q:\\ のファイルとフォルダが 3 個を超えています"});
    EXPECT_FALSE(s.runActive);
}

struct ThousandsCase {
    std::int64_t value;
    const char* text;
};

class FormatThousandsTest : public ::testing::TestWithParam<ThousandsCase> {};

TEST_P(FormatThousandsTest, GroupsByThreeFromTheRight) {
    EXPECT_EQ(FormatThousands(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatThousandsTest,
    ::testing::Values(ThousandsCase{0, "0"}, ThousandsCase{12, "12"}, ThousandsCase{123, "123"},
                      ThousandsCase{1234, "1,234"}, ThousandsCase{123456, "123,456"},
                      ThousandsCase{1234567, "1,234,567"}, ThousandsCase{650123456, "650,123,456"},
                      ThousandsCase{4294967295, "4,294,967,295"},
                      ThousandsCase{9223372036854775807, "9,223,372,036,854,775,807"}));

}  // namespace
}  // namespace korvane::test

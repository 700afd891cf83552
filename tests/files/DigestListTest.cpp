// Saving the table as a digest list and loading it back.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Commands.h"
#include "core/RunError.h"
#include "core/Steps.h"
#include "support/SessionFixture.h"

namespace korvane::test {
namespace {

const char kDigest[] = "5d41402abc4b2a76b9719d911017c592";

class DigestList : public SessionFixture {
  protected:
    std::vector<FileRow> Rows() const { return s.table.Rows(); }

    void Fill(const std::vector<FileRow>& rows) {
        s.table.Clear();
        for (const FileRow& r : rows) s.table.Append(r);
    }

    void Save(const std::string& hostPath) {
        window.saveAnswers.push_back(hostPath);
        StepSaveData(s);
    }

    void Load(const std::string& hostPath) {
        window.openAnswers.push_back(hostPath);
        StepLoadData(s);
    }

    std::string list = tree.Host("list.txt");
};

TEST_F(DigestList, SaveWritesFourCrLfLinesPerRow) {
    Fill({{"readme.txt", "Q:\\docs\\", "1234", kDigest}, {"a b", "Q:\\", "0", ""}});
    Save(list);
    ASSERT_EQ(window.saveRequests.size(), 1u);
    EXPECT_EQ(window.saveRequests[0].filter, "*.txt(*.txt)|*.txt");
    EXPECT_EQ(window.saveRequests[0].fileName, ".txt");
    EXPECT_EQ(tree.ReadFile("list.txt"), std::string("readme.txt\r\nQ:\\docs\\\r\n1234\r\n") +
                                             kDigest + "\r\na b\r\nQ:\\\r\n0\r\n\r\n");
}

TEST_F(DigestList, EmptyTableSavesEmptyFile) {
    tree.WriteFile("list.txt", "old");
    Save(list);
    EXPECT_EQ(tree.ReadFile("list.txt"), "");
}

TEST_F(DigestList, CancelledSaveWritesNothing) {
    Fill({{"a", "Q:\\", "1", kDigest}});
    StepSaveData(s);
    EXPECT_EQ(window.saveRequests.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(list));
}

TEST_F(DigestList, RoundTripKeepsEveryField) {
    const std::vector<FileRow> rows = {
        {"readme.txt", "Q:\\docs\\", "1234", kDigest},
        {"日本語 ファイル.txt", "Q:\\データ\\表\\", "0", "Read Error"},
        {".hidden", "Q:\\", "$1F", "abcNG(リードエラー)"},
        {"", "", "", ""},
        {"last", "Q:\\x\\", "5", ""},
    };
    Fill(rows);
    Save(list);
    s.table.Clear();
    Load(list);
    ASSERT_EQ(window.openRequests.size(), 1u);
    EXPECT_EQ(window.openRequests[0].filter, "");
    EXPECT_EQ(window.openRequests[0].fileName, "");
    EXPECT_EQ(Rows(), rows);
}

struct LoadCase {
    const char* name;
    std::string content;
    std::vector<FileRow> rows;
    std::string refusal = {};  // the error's text after the list's path; the table then stays
};

const FileRow kPrevious{"previous", "Q:\\", "1", "OK"};

class DigestListLoad : public DigestList, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(DigestListLoad, GroupsFourLinesPerRow) {
    Fill({kPrevious});
    tree.WriteFile("list.txt", GetParam().content);
    std::string refusal;
    try {
        Load(list);
    } catch (const RunError& e) {
        refusal = e.what();
    }
    EXPECT_EQ(refusal, GetParam().refusal.empty() ? "" : "ファイル " + list + GetParam().refusal);
    EXPECT_EQ(Rows(), GetParam().rows);
}

const FileRow kRowA{"a", "E:\\d\\", "5", kDigest};
const std::string kGroupA = std::string("a\r\nE:\\d\\\r\n5\r\n") + kDigest + "\r\n";
const std::string kNoFiles = " には比較するファイルがありません";

INSTANTIATE_TEST_SUITE_P(
    Files, DigestListLoad,
    ::testing::Values(LoadCase{"Empty", "", {kPrevious}, kNoFiles},
                      LoadCase{"ThreeLines", "a\r\nb\r\nc\r\n", {kPrevious}, kNoFiles},
                      LoadCase{"NulInName",
                               "A.TXT" + std::string(1, '\0') + "X\r\n" + kGroupA,
                               {kPrevious},
                               " の 1 行目はNUL文字を含むため読み込めません"},
                      LoadCase{"OneGroup", kGroupA, {kRowA}},
                      LoadCase{"NoFinalBreak", kGroupA.substr(0, kGroupA.size() - 2), {kRowA}},
                      LoadCase{"LfOnly", std::string("a\nE:\\d\\\n5\n") + kDigest + "\n", {kRowA}},
                      LoadCase{"CrOnly", std::string("a\rE:\\d\\\r5\r") + kDigest + "\r", {kRowA}},
                      LoadCase{"PlusOne", kGroupA + kGroupA + "x\r\n", {kRowA, kRowA}},
                      LoadCase{"PlusTwo", kGroupA + "x\r\ny\r\n", {kRowA}},
                      LoadCase{"PlusThree", kGroupA + "x\r\ny\r\nz", {kRowA}},
                      LoadCase{"EmptyLines", "\r\n\r\n\r\n\r\n", {{"", "", "", ""}}},
                      LoadCase{"Utf8Bom", "\xEF\xBB\xBF" + kGroupA, {kRowA}}),
    [](const auto& p) { return p.param.name; });

TEST_F(DigestList, ShiftJisListIsConverted) {
    // 表.txt in E:\日本語\データ\, in code page 932; the second byte of 表 is a backslash.
    tree.WriteFile("list.txt",
                   "\x95\x5C.txt\r\nE:\\\x93\xFA\x96\x7B\x8C\xEA\\\x83\x66\x81\x5B\x83\x5E\\\r\n"
                   "3\r\n" +
                       std::string(kDigest) + "\r\n");
    Load(list);
    EXPECT_EQ(Rows(), (std::vector<FileRow>{{"表.txt", "E:\\日本語\\データ\\", "3", kDigest}}));
}

// Names that are not UTF-8 (Shift-JIS bytes, as old discs carry) beside UTF-8 ones whose bytes
// would pass for Shift-JIS too: the program's own list must find both again.
TEST_F(DigestList, OwnListWithMixedNamesVerifiesTheSameDisc) {
    tree.WriteFile("disc/\x82\xa0.txt", "a");
    tree.WriteFile("disc/ファイル.txt", "b");
    drives.Set('Q', tree.Host("disc"));
    window.saveAnswers.push_back(list);
    CRC321Click(s);
    window.openAnswers.push_back(list);
    CRC322Click(s);
    ASSERT_EQ(s.table.Count(), 2u);
    EXPECT_EQ(s.table.Row(0).ResultText + s.table.Row(1).ResultText, "OKOK");
    EXPECT_EQ(window.panels[2], "正常に終了しました");
}

TEST_F(DigestList, CancelledLoadKeepsTable) {
    Fill({{"kept", "Q:\\", "1", "OK"}});
    StepLoadData(s);
    EXPECT_EQ(window.openRequests.size(), 1u);
    EXPECT_EQ(Rows(), (std::vector<FileRow>{{"kept", "Q:\\", "1", "OK"}}));
}

TEST_F(DigestList, FailedLoadKeepsTable) {
    Fill({{"kept", "Q:\\", "1", "OK"}});
    for (const std::string& path : {tree.Host("missing.txt"), tree.MakeFolder("folder")}) {
        window.openAnswers.push_back(path);
        try {
            StepLoadData(s);
            ADD_FAILURE() << "no error for " << path;
        } catch (const RunError& e) {
            EXPECT_EQ(std::string(e.what()), "ファイル " + path + " は開けません");
        }
        EXPECT_EQ(Rows(), (std::vector<FileRow>{{"kept", "Q:\\", "1", "OK"}}));
    }
}

TEST_F(DigestList, FailedSaveLeavesTargetsAlone) {
    Fill({{"a", "Q:\\", "1", kDigest}});
    const std::string folder = tree.MakeFolder("folder");
    for (const std::string& path : {tree.Host("nofolder/list.txt"), folder}) {
        window.saveAnswers.push_back(path);
        try {
            StepSaveData(s);
            ADD_FAILURE() << "no error for " << path;
        } catch (const RunError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("ファイル " + path + " に書き込めません (", 0),
                      0u)
                << e.what();
        }
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_FALSE(std::filesystem::exists(tree.Host("nofolder")));
}

// A write that fails partway (as on a full disk) must leave the old list whole. A file size
// limit makes the write fail for real, also when the tests run with every permission.
TEST_F(DigestList, WriteFailureKeepsOldFileByteIdentical) {
    const std::string old = "old list\r\nkept\r\n";
    tree.WriteFile("list.txt", old);
    Fill({{std::string(4096, 'n'), "Q:\\", "1", kDigest}});
    window.saveAnswers.push_back(list);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        StepSaveData(s);
    } catch (const RunError&) {
        threw = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(threw);
    EXPECT_EQ(tree.ReadFile("list.txt"), old);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(tree.root())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u) << "a temporary file was left behind";
}

TEST_F(DigestList, LineBreakInNameIsRefused) {
    tree.WriteFile("list.txt", "old");
    Fill({{"fine", "Q:\\", "1", kDigest}, {"bad\nname", "Q:\\d\\", "2", kDigest}});
    Save(list);
    EXPECT_EQ(
        window.messages,
        (std::vector<std::string>{"ファイル名 Q:\\d\\bad\nname は改行を含むため保存できません"}));
    EXPECT_EQ(window.saveRequests.size(), 1u);
    EXPECT_EQ(tree.ReadFile("list.txt"), "old");
    // A declined save is no refusal: the terminal program then writes md5sum's escaped list.
    window.messages.clear();
    StepSaveData(s);
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(DigestList, LargeListLoads) {
    std::string content;
    const std::size_t n = 100000;
    for (std::size_t i = 0; i < n; ++i) {
        content += "file" + std::to_string(i) + "\r\nE:\\folder\\\r\n" + std::to_string(i) +
                   "\r\n" + kDigest + "\r\n";
    }
    tree.WriteFile("list.txt", content);
    Load(list);
    ASSERT_EQ(s.table.Count(), n);
    EXPECT_EQ(s.table.Row(n - 1), (FileRow{"file99999", "E:\\folder\\", "99999", kDigest}));
}

}  // namespace
}  // namespace korvane::test

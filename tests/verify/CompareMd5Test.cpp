// Checking the copy against the stored digests, with and without a loaded list.
#include <gtest/gtest.h>

#include <string>

#include "core/Commands.h"
#include "core/RunError.h"
#include "core/Steps.h"
#include "core/Texts.h"
#include "verify/TwoDrives.h"

namespace korvane::test {
namespace {

// md5sum of "hello" and of the empty file.
const std::string kHello = "5d41402abc4b2a76b9719d911017c592";
const std::string kEmpty = "d41d8cd98f00b204e9800998ecf8427e";

enum class FileKind { Hello, Missing, Folder, Empty };

struct Md5Case {
    const char* name;
    FileKind file;
    std::string sizeText;
    std::string stored;
    std::string expected;
    bool alarm;
};

class CompareMd5Verdict : public TwoDrives, public ::testing::WithParamInterface<Md5Case> {};

TEST_P(CompareMd5Verdict, WritesVerdict) {
    const Md5Case& c = GetParam();
    if (c.file == FileKind::Hello) tree.WriteFile(OnMaster("a.txt"), "hello");
    if (c.file == FileKind::Empty) tree.WriteFile(OnMaster("a.txt"), "");
    if (c.file == FileKind::Folder) tree.MakeFolder(OnMaster("a.txt"));
    AddRow("a.txt", c.sizeText, c.stored);
    window.panels[0] = text::kCmdCompare;

    StepCompareMd5(s);
    EXPECT_EQ(Result(0), c.expected);
    EXPECT_EQ(Outcome(), c.alarm ? text::kNotCopied : "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareMd5Verdict,
    ::testing::Values(
        Md5Case{"Match", FileKind::Hello, "5", kHello, "OK", false},
        Md5Case{"EmptyFileMatch", FileKind::Empty, "0", kEmpty, "OK", false},
        Md5Case{"Missing", FileKind::Missing, "5", kHello, "File Not Found", true},
        Md5Case{"FolderInPlace", FileKind::Folder, "5", kHello, "File Not Found", true},
        Md5Case{"Larger", FileKind::Hello, "4", kHello, "Size mismatchcopy 5", true},
        Md5Case{"Smaller", FileKind::Hello, "1200", kHello, "Size mismatchcopy 5", true},
        Md5Case{"HexSizeText", FileKind::Hello, "$5", kHello, "OK", false},
        Md5Case{"OtherDigest", FileKind::Hello, "5", kEmpty, kEmpty + "NG(" + kHello + ")", true},
        Md5Case{"UpperCaseStored", FileKind::Hello, "5", "5D41402ABC4B2A76B9719D911017C592",
                "5D41402ABC4B2A76B9719D911017C592NG(" + kHello + ")", true},
        Md5Case{"EmptyStored", FileKind::Hello, "5", "", "NG(" + kHello + ")", true},
        Md5Case{"VerdictStored", FileKind::Hello, "5", "OK", "OKNG(" + kHello + ")", true}),
    [](const auto& p) { return p.param.name; });

class CompareMd5 : public TwoDrives {};

TEST_F(CompareMd5, LoadedListIsRedirectedToSourceDrive) {
    tree.WriteFile(OnMaster("docs/a.txt"), "hello");
    AddRow("a.txt", "5", kHello, "E:\\docs\\");
    window.panels[0] = text::kCmdLoadCompare;
    StepCompareMd5(s);
    EXPECT_EQ(Result(0), "OK");
    EXPECT_EQ(s.table.Row(0).Folder, "E:\\docs\\");
}

TEST_F(CompareMd5, OtherCommandsUsePathsAsListed) {
    tree.WriteFile(OnMaster("docs/a.txt"), "hello");
    AddRow("a.txt", "5", kHello, "E:\\docs\\");
    window.panels[0] = text::kCmdCompare;
    StepCompareMd5(s);
    EXPECT_EQ(Result(0), "File Not Found");
}

TEST_F(CompareMd5, AlarmStaysOnceARowFailed) {
    tree.WriteFile(OnMaster("a.txt"), "hello");
    AddRow("gone.txt", "5", kHello);
    AddRow("a.txt", "5", kHello);
    StepCompareMd5(s);
    EXPECT_EQ(Result(0), "File Not Found");
    EXPECT_EQ(Result(1), "OK");
    EXPECT_EQ(Outcome(), text::kNotCopied);
}

TEST_F(CompareMd5, ReadErrorBecomesNgSuffix) {
    tree.WritePattern(OnMaster("a.bin"), 200000);
    AddRow("a.bin", "200000", kHello);
    fs.FailReadAfter("Q:\\a.bin", 100000);
    StepCompareMd5(s);
    EXPECT_EQ(Result(0), kHello + "NG(リードエラー)");
    EXPECT_EQ(Outcome(), text::kNotCopied);
    EXPECT_EQ(window.readErrors, (std::vector<std::string>{"Q:\\a.bin"}));
}

// The list says the source could not be read; an unreadable copy is no match for that.
TEST_F(CompareMd5, StoredReadErrorNeverMatchesAnUnreadableCopy) {
    tree.WritePattern(OnMaster("a.bin"), 200000);
    tree.WriteFile("list.txt", "a.bin\r\nQ:\\\r\n200000\r\nリードエラー\r\n");
    fs.FailReadAfter("Q:\\a.bin", 100000);
    window.openAnswers.push_back(tree.Host("list.txt"));
    CRC322Click(s);
    EXPECT_EQ(Result(0), "リードエラーNG(リードエラー)");
    EXPECT_EQ(Outcome(), text::kNotCopied);
}

TEST_F(CompareMd5, ListRowClimbingOutOfTheDriveIsNotFound) {
    std::string up;
    for (int i = 0; i < 32; ++i) up += "..\\";
    AddRow("passwd", "1", kHello, "E:\\" + up + "etc\\");
    window.panels[0] = text::kCmdLoadCompare;
    StepCompareMd5(s);
    EXPECT_EQ(Result(0), "File Not Found");
}

TEST_F(CompareMd5, AbortDuringDigestKeepsRow) {
    tree.WritePattern(OnMaster("a.bin"), 640000);
    AddRow("a.bin", "640000", kHello);
    AddRow("a.bin", "640000", kHello);
    // Pump 1 opens row 0; the digest reader pumps next.
    window.onPump = [&](int n) {
        if (n == 2) s.AbortRequested = true;
    };
    StepCompareMd5(s);
    EXPECT_EQ(Result(0), kHello);
    EXPECT_EQ(Result(1), kHello);
    EXPECT_EQ(Outcome(), "");
}

TEST_F(CompareMd5, BadSizeTextEndsRun) {
    tree.WriteFile(OnMaster("a.txt"), "hello");
    AddRow("a.txt", "", kHello);
    EXPECT_THROW(StepCompareMd5(s), RunError);
    EXPECT_EQ(Result(0), kHello);
}

// A list written on a Japanese system (Shift-JIS, drive E:) verifies the disc now in Q:.
TEST_F(CompareMd5, ShiftJisListVerifiesOnSourceDrive) {
    tree.WriteFile(OnMaster("日本語/表.txt"), "hello");
    tree.WriteFile("list.txt",
                   "\x95\x5C.txt\r\nE:\\\x93\xFA\x96\x7B\x8C\xEA\\\r\n5\r\n" + kHello + "\r\n");
    window.openAnswers.push_back(tree.Host("list.txt"));
    window.panels[0] = text::kCmdLoadCompare;
    StepLoadData(s);
    StepCompareMd5(s);
    ASSERT_EQ(s.table.Count(), 1u);
    EXPECT_EQ(s.table.Row(0).Path(), "E:\\日本語\\表.txt");
    EXPECT_EQ(Result(0), "OK");
}

// A disc that carries its own list verifies against it: the list is no extra file of it.
TEST_F(CompareMd5, ListOnTheDiscItListsIsNoExtraFile) {
    tree.WriteFile(OnMaster("a.txt"), "hello");
    tree.WriteFile(OnMaster("MD5SUMS"), kHello + "  a.txt\n");
    window.openAnswers.push_back(tree.Host(OnMaster("MD5SUMS")));
    window.panels[0] = text::kCmdLoadCompare;
    StepLoadData(s);
    StepCompareMd5(s);
    ASSERT_EQ(s.table.Count(), 1u);
    EXPECT_EQ(Result(0), "OK");
    EXPECT_EQ(Outcome(), "");
}

}  // namespace
}  // namespace korvane::test

// Byte-for-byte comparison of the source drive with the copy drive.
#include "verify/CompareBinary.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "core/Commands.h"
#include "core/RunError.h"
#include "core/Steps.h"
#include "core/Texts.h"
#include "verify/TwoDrives.h"

namespace korvane::test {
namespace {

enum class CopyKind { Same, Missing, Folder, OneByteShorter, LastByteDiffers, NonEmpty, LinkBack };

struct BinaryCase {
    const char* name;
    std::uint64_t size;  // of the source file, also the listed size
    CopyKind copy;
    std::string expected;
    bool alarm;
};

class CompareBinaryVerdict : public TwoDrives, public ::testing::WithParamInterface<BinaryCase> {};

TEST_P(CompareBinaryVerdict, WritesVerdict) {
    const BinaryCase& c = GetParam();
    const std::string source = PatternBytes(c.size, 7);
    tree.WriteFile(OnMaster("A.BIN"), source);
    std::string copy = source;
    switch (c.copy) {
        case CopyKind::Same:
            break;
        case CopyKind::Missing:
            copy.clear();
            break;
        case CopyKind::Folder:
            tree.MakeFolder(OnCopy("A.BIN"));
            break;
        case CopyKind::OneByteShorter:
            copy.pop_back();
            break;
        case CopyKind::LastByteDiffers:
            copy.back() = static_cast<char>(copy.back() ^ 1);
            break;
        case CopyKind::NonEmpty:
            copy = "x";
            break;
        case CopyKind::LinkBack:  // a copy made of links into the source
            ASSERT_EQ(symlink("../master/A.BIN", tree.Host(OnCopy("A.BIN")).c_str()), 0);
            break;
    }
    if (c.copy != CopyKind::Missing && c.copy != CopyKind::Folder && c.copy != CopyKind::LinkBack) {
        tree.WriteFile(OnCopy("A.BIN"), copy);
    }
    AddRow("A.BIN", std::to_string(c.size), "previous");

    StepCompareBinary(s);
    EXPECT_EQ(Result(0), c.expected);
    EXPECT_EQ(Outcome(), c.alarm ? text::kNotCopied : "");
    EXPECT_FALSE(s.ReadFailed);
    EXPECT_FALSE(s.CopyReadFailed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareBinaryVerdict,
    ::testing::Values(
        BinaryCase{"Identical", 5000, CopyKind::Same, "OK", false},
        BinaryCase{"ExactlyOneBlock", 1000000, CopyKind::Same, "OK", false},
        BinaryCase{"ExactlyTwoBlocks", 2000000, CopyKind::Same, "OK", false},
        BinaryCase{"Missing", 5000, CopyKind::Missing, "File Not Found", true},
        BinaryCase{"FolderInPlace", 5000, CopyKind::Folder, "File Not Found", true},
        BinaryCase{"OneByteShorter", 5000, CopyKind::OneByteShorter, "Size mismatch", true},
        BinaryCase{"LastByteDiffers", 1500000, CopyKind::LastByteDiffers, "binary mismatch", true},
        BinaryCase{"ZeroSizeEmptyCopy", 0, CopyKind::Same, "OK", false},
        BinaryCase{"ZeroSizeMissingCopy", 0, CopyKind::Missing, "File Not Found", true},
        BinaryCase{"ZeroSizeNonEmptyCopy", 0, CopyKind::NonEmpty, "Size mismatch", true},
        BinaryCase{"LinkToTheSource", 5000, CopyKind::LinkBack, "Link -> ../master/A.BIN", true}),
    [](const auto& p) { return p.param.name; });

class CompareBinary : public TwoDrives {
  protected:
    // Identical files of `size` bytes on both drives, listed as one row.
    void Pair(std::uint64_t size) {
        tree.WritePattern(OnMaster("A.BIN"), size, 3);
        tree.WritePattern(OnCopy("A.BIN"), size, 3);
        AddRow("A.BIN", std::to_string(size));
    }
};

struct FailureCase {
    const char* name;
    std::uint64_t size;
    std::int64_t sourceLimit;  // bytes before the source's reads fail; -1 for none
    std::int64_t copyLimit;
    std::string expected;
};

class CompareBinaryReadFailure : public CompareBinary,
                                 public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CompareBinaryReadFailure, NamesTheFailedSide) {
    const FailureCase& c = GetParam();
    Pair(c.size);
    if (c.sourceLimit >= 0) {
        fs.FailReadAfter("Q:\\A.BIN", static_cast<std::uint64_t>(c.sourceLimit));
    }
    if (c.copyLimit >= 0) fs.FailReadAfter("R:\\A.BIN", static_cast<std::uint64_t>(c.copyLimit));
    StepCompareBinary(s);
    EXPECT_EQ(Result(0), c.expected);
    EXPECT_EQ(Outcome(), text::kNotCopied);
    EXPECT_TRUE(window.readErrors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Sides, CompareBinaryReadFailure,
    ::testing::Values(
        FailureCase{"Source", 2500000, 1500000, -1, "binary mismatch M rd err"},
        FailureCase{"Copy", 2500000, -1, 1000000, "binary mismatch C rd err"},
        FailureCase{"BothSameBlock", 2500000, 1200000, 1700000,
                    "binary mismatch M rd err C rd err"},
        // The failing read of the last block still delivers bytes; only the position shows
        // that the file was not read to its end.
        FailureCase{"SourceInLastBlock", 1500000, 1200000, -1, "binary mismatch M rd err"},
        FailureCase{"CopyInLastBlock", 1500000, -1, 1200000, "binary mismatch C rd err"},
        FailureCase{"SourceAtStart", 10, 0, -1, "binary mismatch M rd err"}),
    [](const auto& p) { return p.param.name; });

// Folders and the entries that are no files are compared by what they are and never read; each
// one that differs is a row of its own, and the run is no success.
TEST_F(CompareBinary, FoldersAndOtherEntriesThatDifferGetRowsOfTheirOwn) {
    tree.WriteFile(OnMaster("KEEP/A.TXT"), "abc");
    tree.WriteFile(OnCopy("KEEP/A.TXT"), "abc");
    tree.MakeFolder(OnMaster("EMPTY"));
    tree.MakeFolder(OnMaster("GONE/SUB"));
    tree.MakeFolder(OnCopy("NEW/SUB"));
    const auto link = [&](const char* target, const std::string& at) {
        ASSERT_EQ(symlink(target, tree.Host(at).c_str()), 0);
    };
    for (const std::string side : {"master/", "copy/"}) {
        ASSERT_EQ(mkfifo(tree.Host(side + "PIPE").c_str(), 0644), 0);
        link("KEEP/A.TXT", side + "SAME");
    }
    link("KEEP/A.TXT", OnMaster("MOVED"));
    link("EMPTY", OnCopy("MOVED"));
    ASSERT_EQ(mkfifo(tree.Host(OnCopy("EXTRA.PIPE")).c_str(), 0644), 0);
    link("nowhere", OnCopy("DANGLING"));
    link("..", OnCopy("UP"));

    N11Click(s);
    std::map<std::string, std::string> rows;
    for (const FileRow& row : s.table.Rows()) rows[row.Path()] = row.ResultText;
    EXPECT_EQ(rows, (std::map<std::string, std::string>{
                        {"Q:\\KEEP\\A.TXT", "OK"},
                        {"Q:\\EMPTY", "Folder Not Found"},
                        {"Q:\\GONE", "Folder Not Found"},
                        {"R:\\NEW", "Extra folder"},
                        {"R:\\MOVED", "Link mismatch -> EMPTY"},
                        {"R:\\EXTRA.PIPE", "Extra FIFO"},
                        {"R:\\DANGLING", "Extra link -> nowhere"},
                        {"R:\\UP", "Extra link -> .."},
                    }));
    EXPECT_EQ(Outcome(), text::kNotCopied);
}

TEST_F(CompareBinary, DifferenceInFirstBlockStillReadsWholeFile) {
    const std::uint64_t size = 2500000;
    tree.WritePattern(OnMaster("A.BIN"), size, 3);
    std::string copy = PatternBytes(size, 3);
    copy[10] = static_cast<char>(copy[10] ^ 0x55);
    tree.WriteFile(OnCopy("A.BIN"), copy);
    AddRow("A.BIN", std::to_string(size));
    s.DoneBytes = 100;

    StepCompareBinary(s);
    EXPECT_EQ(Result(0), "binary mismatch");
    EXPECT_EQ(s.DoneBytes, 100 + size);
    EXPECT_EQ(window.EventsWith("gauge:file:"),
              (std::vector<std::string>{"gauge:file:33", "gauge:file:66", "gauge:file:100"}));
    // One pump at the row's start, one per block, one after the row.
    EXPECT_EQ(window.pumps, 5);
}

TEST_F(CompareBinary, ShortCopyBlockIsNeverComparedWithStaleBytes) {
    // The file repeats its first block, so after a copy read that breaks off partway through
    // the second block, the bytes left in the copy buffer from the first block would match.
    const std::string block = PatternBytes(1000000, 3);
    const std::string content = block + block.substr(0, 500000);
    tree.WriteFile(OnMaster("A.BIN"), content);
    tree.WriteFile(OnCopy("A.BIN"), content);
    AddRow("A.BIN", "1500000");
    fs.FailReadAfter("R:\\A.BIN", 1200000);
    StepCompareBinary(s);
    EXPECT_EQ(Result(0), "binary mismatch C rd err");
}

TEST_F(CompareBinary, SameDriveEndsRunWithOpenError) {
    Pair(10);
    window.copy = "Q:\\";
    try {
        StepCompareBinary(s);
        ADD_FAILURE() << "no error";
    } catch (const RunError& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル Q:\\A.BIN は開けません");
    }
    EXPECT_EQ(Result(0), "checking binary...");
    // The source opened first was closed again on the way out.
    EXPECT_NE(fs.Open("Q:\\A.BIN", ShareMode::Exclusive), nullptr);
}

TEST_F(CompareBinary, UnopenableCopyNamesCopyPath) {
    Pair(10);
    fs.FailOpen("R:\\A.BIN");
    EXPECT_THROW(
        {
            try {
                FilesEqual(s, "Q:\\A.BIN", "R:\\A.BIN");
            } catch (const RunError& e) {
                EXPECT_EQ(std::string(e.what()), "ファイル R:\\A.BIN は開けません");
                throw;
            }
        },
        RunError);
    EXPECT_NE(fs.Open("Q:\\A.BIN", ShareMode::Exclusive), nullptr);
}

TEST_F(CompareBinary, BadSizeTextEndsRun) {
    Pair(10);
    s.table.Clear();
    AddRow("A.BIN", "10 bytes");
    EXPECT_THROW(StepCompareBinary(s), RunError);
}

TEST_F(CompareBinary, AlarmStaysAndAbortKeepsLaterRows) {
    AddRow("MISSING", "5");
    tree.WriteFile(OnMaster("A.BIN"), "hello");
    tree.WriteFile(OnCopy("A.BIN"), "hello");
    AddRow("A.BIN", "5");
    AddRow("A.BIN", "5", "untouched");
    // Pumps: row 0 start; row 1 start, its one block, after it; row 2 start.
    window.onPump = [&](int n) {
        if (n == 5) s.AbortRequested = true;
    };
    StepCompareBinary(s);
    EXPECT_EQ(Result(0), "File Not Found");
    EXPECT_EQ(Result(1), "OK");
    EXPECT_EQ(Result(2), "untouched");
    EXPECT_EQ(Outcome(), text::kNotCopied);
}

}  // namespace
}  // namespace korvane::test

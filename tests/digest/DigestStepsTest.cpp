// The digest and read-test steps over a table of real files: results, reporting, abort, errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/Commands.h"
#include "core/RunError.h"
#include "core/Steps.h"
#include "core/Texts.h"
#include "digest/DigestTestUtil.h"
#include "digest/FileReaders.h"
#include "support/SessionFixture.h"

namespace korvane::test {
namespace {

using Strings = std::vector<std::string>;

class DigestStepsTest : public SessionFixture {
  protected:
    // Rows in table order; each file holds its own pattern, each row a previous result.
    void AddFile(const std::string& folder, const std::string& name, std::uint64_t size) {
        std::string relative = folder.substr(3);  // past "Q:\"
        for (char& c : relative) {
            if (c == '\\') c = '/';
        }
        const std::string bytes =
            PatternBytes(size, static_cast<std::uint32_t>(contents.size() + 1));
        tree.WriteFile(relative + name, bytes);
        contents.push_back(bytes);
        s.table.Append(
            FileRow{name, folder, std::to_string(size), "prev" + std::to_string(s.table.Count())});
    }

    Strings Results() const {
        Strings out;
        for (const FileRow& row : s.table.Rows()) out.push_back(row.ResultText);
        return out;
    }

    void Fill() {
        AddFile("Q:\\", "A.BIN", 1000);
        AddFile("Q:\\DATA\\SUB\\", "b c.dat", 130000);
        AddFile("Q:\\データ\\", "空.txt", 0);
        AddFile("Q:\\DATA\\", ".hidden", 2500000);
    }

    std::vector<std::string> contents;
};

TEST_F(DigestStepsTest, EmptyTableReadsAndWritesNothing) {
    StepCalcMd5(s);
    StepReadTest(s);
    EXPECT_TRUE(window.events.empty());
}

TEST_F(DigestStepsTest, CalcPutsEveryFilesDigestInItsRow) {
    Fill();
    StepCalcMd5(s);
    Strings expected;
    for (const std::string& bytes : contents) expected.push_back(OneShotMd5(bytes));
    EXPECT_EQ(Results(), expected);
    // Row 2 is an empty file: the RFC 1321 digest of the empty message.
    EXPECT_EQ(Results()[2], "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(window.EventsWith("scroll:"),
              (Strings{"scroll:0", "scroll:1", "scroll:2", "scroll:3"}));
    EXPECT_TRUE(window.EventsWith("focus:").empty());
    EXPECT_EQ(s.DoneBytes, 1000u + 130000 + 0 + 2500000);
}

// A large file is started early on a worker and the row after it is done first; still every
// row is filled in its turn, and the large row's gauge and pumps are those of a file read the
// usual way.
TEST_F(DigestStepsTest, LargeFileStartedEarlyIsShownInItsTurnAsIfReadInIt) {
    AddFile("Q:\\", "A", 1000);
    AddFile("Q:\\", "LARGE", 33000000);
    AddFile("Q:\\", "B", 1000);
    struct Order : FileTableObserver {
        std::vector<std::size_t> rows;
        void TableCleared() override {}
        void RowAppended(std::size_t) override {}
        void ResultChanged(std::size_t row) override { rows.push_back(row); }
    } order;
    s.table.SetObserver(&order);

    StepCalcMd5(s);

    EXPECT_EQ(order.rows, (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(Results(),
              (Strings{OneShotMd5(contents[0]), OneShotMd5(contents[1]), OneShotMd5(contents[2])}));
    EXPECT_EQ(s.DoneBytes, 33002000u);
    const auto scroll1 = std::find(window.events.begin(), window.events.end(), "scroll:1");
    const auto scroll2 = std::find(window.events.begin(), window.events.end(), "scroll:2");
    const Strings shown(scroll1 + 1, scroll2 - 1);  // up to the row loop's pump for row 2
    window.events.clear();
    FileMd5(s, "Q:\\LARGE");
    EXPECT_EQ(shown, window.events);
}

TEST_F(DigestStepsTest, ReadTestMarksEveryRowOkAndFocusesEach) {
    Fill();
    StepReadTest(s);
    EXPECT_EQ(Results(), (Strings{"OK", "OK", "OK", "OK"}));
    EXPECT_EQ(window.EventsWith("focus:"), (Strings{"focus:0", "focus:1", "focus:2", "focus:3"}));
    EXPECT_EQ(window.focusedRow, 3u);
    EXPECT_TRUE(window.panels[2].empty());
    EXPECT_TRUE(window.readErrors.empty());
}

TEST_F(DigestStepsTest, RowLoopPumpsBeforeShowingEachRow) {
    AddFile("Q:\\", "A", 10);
    AddFile("Q:\\", "B", 10);
    StepReadTest(s);
    // The read test itself pumps once per step of the file.
    EXPECT_EQ(window.events, (Strings{"pump", "scroll:0", "focus:0", "gauge:file:100", "pump",
                                      "pump", "scroll:1", "focus:1", "gauge:file:100", "pump"}));
}

// A read failing in the middle row: reported once, the rows around it done normally.
TEST_F(DigestStepsTest, CalcReadErrorOnOneRow) {
    Fill();
    fs.FailReadAfter("Q:\\DATA\\SUB\\b c.dat", 70000);
    StepCalcMd5(s);
    EXPECT_EQ(Results(), (Strings{OneShotMd5(contents[0]), "Read Error", OneShotMd5(contents[2]),
                                  OneShotMd5(contents[3])}));
    EXPECT_EQ(window.panels[2], text::kReadErrorNotice);
    EXPECT_EQ(window.readErrors, Strings{"Q:\\DATA\\SUB\\b c.dat"});
    EXPECT_EQ(window.EventsWith("panel:").size(), 1u);
    EXPECT_EQ(s.DoneBytes, 1000u + 70000 + 0 + 2500000);
    EXPECT_FALSE(s.ReadFailed);  // cleared again for the rows after it
}

// Files that grew or shrank after the scan, one read by the row loop and one by a worker ahead
// of it: neither gets a digest the list would pair with the scanned size.
TEST_F(DigestStepsTest, CalcFileResizedSinceTheScanIsAReadError) {
    AddFile("Q:\\", "GREW", 500);
    AddFile("Q:\\", "SHRANK", 300000);
    AddFile("Q:\\", "SAME", 2000);
    tree.WriteFile("GREW", PatternBytes(501, 7));
    tree.WriteFile("SHRANK", PatternBytes(200000, 7));
    StepCalcMd5(s);
    EXPECT_EQ(Results(), (Strings{"Read Error", "Read Error", OneShotMd5(contents[2])}));
    EXPECT_EQ(window.readErrors, (Strings{"Q:\\GREW", "Q:\\SHRANK"}));
    EXPECT_EQ(window.panels[2], text::kReadErrorNotice);
}

TEST_F(DigestStepsTest, ReadTestReadErrorOnOneRow) {
    Fill();
    fs.FailReadAfter("Q:\\DATA\\.hidden", 1500000);
    window.readErrors = {"Q:\\EARLIER"};
    StepReadTest(s);
    EXPECT_EQ(Results(), (Strings{"OK", "OK", "OK", "Read Error"}));
    EXPECT_EQ(window.panels[2], text::kReadErrorNotice);
    EXPECT_EQ(window.readErrors, (Strings{"Q:\\EARLIER", "Q:\\DATA\\.hidden"}));
    EXPECT_EQ(window.EventsWith("panel:").size(), 1u);
}

// An abort handled at the n-th pump: the row being read and every later row keep their text.
struct AbortCase {
    const char* name;
    void (*step)(Session&);
    int pump;
    Strings results;  // given the file contents of Fill()
};

class StepAbortTest : public DigestStepsTest, public ::testing::WithParamInterface<AbortCase> {};

// Pumps of "calc MD5" over Fill(): 1 row 0 (1,000 bytes, one chunk, no reader pump), 2 row 1
// (130,000 bytes: chunks at 0, 49 and 98 percent), 3 before row 1's last chunk, 4 row 2, 5 row 3
// (2,500,000 bytes), 6 at its 2 percent. Pumps of "rd test": row loop and one per million bytes
// plus one: 1 row 0, 2 its step, 3 row 1, 4 its step, 5 row 2, 6 its step, 7 row 3, 8 its first.
INSTANTIATE_TEST_SUITE_P(
    Pumps, StepAbortTest,
    ::testing::Values(
        AbortCase{"CalcAtFirstRow", StepCalcMd5, 1, {"prev0", "prev1", "prev2", "prev3"}},
        AbortCase{"CalcAtSecondRow", StepCalcMd5, 2, {"digest", "prev1", "prev2", "prev3"}},
        // The last chunk follows the pump without another abort test: the file is read whole.
        AbortCase{"CalcBeforeLastChunk", StepCalcMd5, 3, {"digest", "digest", "prev2", "prev3"}},
        AbortCase{"CalcInsideLastFile", StepCalcMd5, 6, {"digest", "digest", "digest", "prev3"}},
        AbortCase{"ReadTestAtSecondRow", StepReadTest, 3, {"OK", "prev1", "prev2", "prev3"}},
        AbortCase{"ReadTestInsideSecondFile", StepReadTest, 4, {"OK", "prev1", "prev2", "prev3"}},
        AbortCase{"ReadTestInsideLastFile", StepReadTest, 8, {"OK", "OK", "OK", "prev3"}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_P(StepAbortTest, RowInProgressAndLaterRowsKeepTheirText) {
    Fill();
    const AbortCase& c = GetParam();
    window.onPump = [this, &c](int n) {
        if (n == c.pump) s.AbortRequested = true;
    };
    c.step(s);
    Strings expected = c.results;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == "digest") expected[i] = OneShotMd5(contents[i]);
    }
    EXPECT_EQ(Results(), expected);
    EXPECT_FALSE(s.ReadFailed);
    EXPECT_TRUE(window.readErrors.empty());
}

TEST_F(DigestStepsTest, DispatcherEndsAnAbortedDigestRunWithItsMessage) {
    Fill();
    s.queue = {{keyword::kCalcMd5, false}, {keyword::kReadTest, false}};
    window.onPump = [this](int n) {
        if (n == 6) s.AbortRequested = true;
    };
    RunSteps(s);
    EXPECT_EQ(window.messages, Strings{"中断しました"});
    EXPECT_FALSE(s.AbortRequested);
    EXPECT_EQ(Results(), (Strings{OneShotMd5(contents[0]), OneShotMd5(contents[1]),
                                  OneShotMd5(contents[2]), "prev3"}));
    EXPECT_FALSE(s.queue[1].done);
}

TEST_F(DigestStepsTest, FileHeldByAnotherOpenEndsTheReadTestAtItsRow) {
    Fill();
    auto other = MakeHostFileSystem(drives);
    auto held = other->Open("Q:\\データ\\空.txt", ShareMode::Read);
    ASSERT_TRUE(held);
    try {
        StepReadTest(s);
        FAIL() << "no error";
    } catch (const RunError& e) {
        EXPECT_STREQ(e.what(), "ファイル Q:\\データ\\空.txt は開けません");
    }
    EXPECT_EQ(Results(), (Strings{"OK", "OK", "prev2", "prev3"}));
}

}  // namespace
}  // namespace korvane::test

// A drive that retries a damaged sector for seconds and then gives up, through korvane-faultfs:
// the run reports the read error, an abort during the retrying ends the run without touching the
// row, and the next command waits for the stalled read to let the file go. A drive that stalls on
// a folder listing, or whose folders never end, holds up no scan.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Commands.h"
#include "core/Texts.h"
#include "e2e/DiscScenario.h"
#include "reading/Engine.h"
#include "reading/PacedRead.h"

namespace korvane::test {
namespace {

using Strings = std::vector<std::string>;

// The fifth digest chunk: the worker is reading it ahead when the stall begins.
constexpr std::uint64_t kDamagedAt = 4 * 64000;
constexpr double kStallSeconds = 2;

class StalledDrive : public Scenario {
  protected:
    void SetUp() override {
        // The window is let through as time passes while the drive retries.
        s.reading().pacer.SetClock(&SteadyClock());
        const std::string problem = FaultFsProblem();
        if (problem.empty()) return;
        if (UnderCi()) GTEST_FAIL() << "faulty-drive tests cannot run under CI: " << problem;
        GTEST_SKIP() << "faulty-drive tests skipped: " << problem;
    }
};

// A name the folder lists but the drive cannot find when it is looked up is a read error.
TEST_F(StalledDrive, ListedFileThatCannotBeLookedUpIsAReadError) {
    TempTree tree;
    tree.WriteFile("A.TXT", "a");
    tree.WriteFile("DATA/GONE.BIN", "gone");
    DriveFaults faults;
    faults.vanishFile = "DATA/GONE.BIN";
    FaultyDrive drive(drives, 'D', tree.root(), faults);
    window.master = "D:\\";
    N2Click(s);
    ASSERT_EQ(s.table.Count(), 1u);
    EXPECT_EQ(s.table.Row(0).ResultText, text::kOK);
    EXPECT_EQ(window.readErrors, Strings{"D:\\DATA\\GONE.BIN"});
    EXPECT_EQ(s.unlistedFolders, Strings{"D:\\DATA\\GONE.BIN"});
    EXPECT_EQ(Outcome(), text::kReadErrorNotice);
}

TEST_F(StalledDrive, ReadErrorAfterTheStallAbortDuringItAndTheNextCommand) {
    TempTree tree;
    tree.WritePattern("BAD.BIN", 1000000);
    DriveFaults faults;
    faults.stallFile = faults.eioFile = "BAD.BIN";
    faults.stallAt = faults.eioAt = kDamagedAt;
    faults.stallSeconds = kStallSeconds;
    FaultyDrive drive(drives, 'D', tree.root(), faults);
    window.master = "D:\\";
    const Strings badPath{"D:\\BAD.BIN"};

    // Left alone: the error the drive gives up with is reported as for any damaged disc.
    CRC321Click(s);
    ASSERT_EQ(s.table.Count(), 1u);
    EXPECT_EQ(s.table.Row(0).ResultText, text::kReadError);
    EXPECT_EQ(window.readErrors, badPath);
    EXPECT_EQ(Outcome(), text::kReadErrorNotice);

    // Aborted while the drive retries: the run ends and the row keeps its text.
    window.readErrors.clear();
    window.messages.clear();
    s.table.SetResult(0, "before", Outcome::Unjudged);
    s.queue = {{"calc MD5", false}};
    window.onPump = [this](int) {
        if (s.DoneBytes >= kDamagedAt) s.AbortRequested = true;
    };
    RunSteps(s);
    window.onPump = nullptr;
    EXPECT_EQ(window.messages, Strings{"中断しました"});
    EXPECT_EQ(s.DoneBytes, kDamagedAt);
    EXPECT_EQ(s.table.Row(0).ResultText, "before");
    EXPECT_FALSE(s.ReadFailed);

    // The next command opens the file for itself alone: it waits, saying so, until the stalled
    // read has given up and let the file go, then reads the drive again. What the stalled read
    // brought back reached nothing: the one error reported is this command's.
    window.messages.clear();
    N2Click(s);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_NE(std::find(window.log.begin(), window.log.end(), kWaitingForStalledRead),
              window.log.end());
    EXPECT_EQ(s.table.Row(0).ResultText, text::kReadError);
    EXPECT_EQ(window.readErrors, badPath);
}

TEST_F(StalledDrive, AbortWhileAFolderListingStallsEndsTheScan) {
    TempTree tree;
    tree.WriteFile("A.TXT", "a");
    tree.WriteFile("SLOW/B.TXT", "b");
    DriveFaults faults;
    faults.stallFolder = "SLOW";
    faults.stallFolderSeconds = 120;
    FaultyDrive drive(drives, 'D', tree.root(), faults);
    window.master = "D:\\";
    // Only the stalled listing lets so many pumps go by.
    window.onPump = [this](int n) {
        if (n == 10) s.AbortRequested = true;
    };
    const auto start = std::chrono::steady_clock::now();
    CRC321Click(s);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    EXPECT_EQ(window.messages, Strings{"中断しました"});
    EXPECT_FALSE(s.runActive);
    EXPECT_EQ(s.reading().listAhead.StalledListings(), 1);
}

TEST_F(StalledDrive, AFolderTreeWithoutEndEndsTheScanWithTheLimit) {
    TempTree tree;
    tree.WriteFile("A.TXT", "a");
    tree.MakeFolder("E");
    DriveFaults faults;
    faults.endlessFolder = "E";
    FaultyDrive drive(drives, 'D', tree.root(), faults);
    window.master = "D:\\";
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    CRC321Click(s);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(window.messages, Strings{"ドライブ D:\\ のフォルダの階層が 1,000 を超えています"});
    EXPECT_FALSE(s.runActive);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 256 * 1024);  // kilobytes
}

}  // namespace
}  // namespace korvane::test

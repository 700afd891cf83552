// The dispatcher and the menu commands: refusals, step order, log lines, timer, abort, failure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Commands.h"
#include "core/Texts.h"
#include "support/SessionFixture.h"

namespace korvane::test {
namespace {

using Events = std::vector<std::string>;

// The events a user would notice: log lines, timer switching, message boxes.
Events Visible(const FakeWindow& w) {
    Events out;
    for (const std::string& e : w.events) {
        if (e.rfind("log:", 0) == 0 || e.rfind("timer:", 0) == 0 || e.rfind("msg:", 0) == 0) {
            out.push_back(e);
        }
    }
    return out;
}

class RunStepsTest : public SessionFixture {};

struct CommandCase {
    const char* name;
    void (*handler)(Session&);
    int driveCount;
    const char* panel;
    std::vector<std::string> keywords;
    Events visible;  // on an empty source with every dialog cancelled
};

class CommandTest : public RunStepsTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandTest, BuildsItsQueueAndFramesEachStep) {
    const CommandCase& c = GetParam();
    window.driveCount = c.driveCount;
    window.copy = "Q:\\";
    c.handler(s);

    EXPECT_EQ(window.panels[0], c.panel);
    std::vector<std::string> keywords;
    for (const StepEntry& e : s.queue) {
        keywords.push_back(e.keyword);
        EXPECT_TRUE(e.done) << e.keyword;
    }
    EXPECT_EQ(keywords, c.keywords);
    EXPECT_EQ(Visible(window), c.visible);
    EXPECT_FALSE(window.timerOn);
    EXPECT_EQ(window.gauges[0], 100);
    EXPECT_EQ(window.gauges[1], 100);
    EXPECT_FALSE(s.runActive);
}

const Events kScan = {"log:比較元CDを読み取っています", "log:読み取り終了"};

Events Join(std::initializer_list<Events> parts) {
    Events out;
    for (const Events& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandTest,
    ::testing::Values(
        CommandCase{"CompareOneDrive",
                    N11Click,
                    0,
                    "比較",
                    {"master read", "calc MD5", "exchange disc", "compare MD5", "kekka"},
                    Join({kScan,
                          {"timer:on", "log:ファイル個別のMD5計算中", "log:計算終了", "timer:off",
                           "msg:コピーCDと入れ替えてください", "timer:on", "log:MD5比較中",
                           "log:比較終了", "timer:off"}})},
        CommandCase{
            "CompareTwoDrives",
            N11Click,
            1,
            "比較",
            {"master read", "compare bin.", "kekka"},
            Join({kScan,
                  {"timer:on", "log:ファイル間のバイナリ比較中", "log:比較終了", "timer:off"}})},
        CommandCase{
            "CalcMd5",
            CRC321Click,
            0,
            "MD5計算",
            {"master read", "calc MD5", "save data"},
            Join({kScan,
                  {"timer:on", "log:ファイル個別のMD5計算中", "log:計算終了", "timer:off"}})},
        CommandCase{"LoadMd5",
                    CRC322Click,
                    0,
                    "MD5読込-比較",
                    {"load data", "compare MD5", "kekka"},
                    {"log:MD5比較中", "log:比較終了", "timer:off"}},
        CommandCase{"ReadTest",
                    N2Click,
                    0,
                    "リードエラーテスト",
                    {"master read", "rd test"},
                    Join({kScan, {"timer:on", "log:リードエラーテスト", "log:終了", "timer:off"}})},
        CommandCase{"Csv",
                    CSV1Click,
                    0,
                    "CSV出力",
                    {"csv"},
                    {"timer:off", "msg:保存するデータがありません", "timer:off"}}),
    [](const auto& c) { return std::string(c.param.name); });

TEST_F(RunStepsTest, RefusalsChangeNothingButPanelAndQueue) {
    struct Refusal {
        std::string master, copy;
        int driveCount;
        const char* message;
    };
    for (const Refusal& r : {Refusal{"", "", 0, "比較元ドライブを指定してください"},
                             Refusal{"", "Q:\\", 1, "比較元ドライブを指定してください"},
                             Refusal{"Q:\\", "", 1, "比較先ドライブを指定してください"}}) {
        for (auto handler : {N11Click, CRC321Click, CRC322Click, N2Click, CSV1Click}) {
            FakeWindow w;
            w.master = r.master;
            w.copy = r.copy;
            w.driveCount = r.driveCount;
            w.panels[1] = "全容量:5";
            w.panels[2] = "正しくコピーされていません";
            w.log = {"earlier"};
            w.gauges[0] = 40;
            w.gauges[1] = 60;
            Session run(w, fs);
            run.TotalBytes = 7;
            run.DoneBytes = 3;
            run.ElapsedSeconds = 9;
            run.table.Append({"A", "Q:\\", "1", "OK"});
            handler(run);
            EXPECT_EQ(w.messages, std::vector<std::string>{r.message});
            EXPECT_EQ(w.panels[1], "全容量:5");
            EXPECT_EQ(w.panels[2], "正しくコピーされていません");
            EXPECT_EQ(w.log, std::vector<std::string>{"earlier"});
            EXPECT_EQ(w.gauges[0], 40);
            EXPECT_EQ(w.gauges[1], 60);
            EXPECT_EQ(w.EventsWith("timer:").size(), 0u);
            EXPECT_EQ(run.TotalBytes, 7u);
            EXPECT_EQ(run.DoneBytes, 3u);
            EXPECT_EQ(run.ElapsedSeconds, 9u);
            EXPECT_EQ(run.table.Count(), 1u);
            for (const StepEntry& e : run.queue) EXPECT_FALSE(e.done);
            EXPECT_FALSE(run.queue.empty());
        }
    }
}

TEST_F(RunStepsTest, StartOfRunResetsCountersLogAndOutcome) {
    s.TotalBytes = 11;
    s.DoneBytes = 12;
    s.ElapsedSeconds = 13;
    window.log = {"old line"};
    window.panels[2] = "正しくコピーされていません";
    s.queue = {{"no such step", false}};
    RunSteps(s);
    EXPECT_EQ(s.TotalBytes, 0u);
    EXPECT_EQ(s.DoneBytes, 0u);
    EXPECT_EQ(s.ElapsedSeconds, 0u);
    EXPECT_TRUE(window.log.empty());
    EXPECT_EQ(window.panels[2], "");
    EXPECT_TRUE(s.queue[0].done);  // an unknown keyword performs nothing
}

TEST_F(RunStepsTest, EmptyQueueStillEndsTheRun) {
    s.queue.clear();
    RunSteps(s);
    EXPECT_EQ(window.EventsWith("timer:"), Events{"timer:off"});
    EXPECT_EQ(window.gauges[0], 100);
    EXPECT_EQ(window.gauges[1], 100);
}

TEST_F(RunStepsTest, AbortWhileIdleIsDroppedAndTheNextRunStartsClean) {
    tree.WriteFile("A.TXT", "abc");
    N9Click(s);
    EXPECT_FALSE(s.AbortRequested);
    window.timeLabel = "経過 00:32/残り 00:00";  // left by the last run
    CRC321Click(s);
    EXPECT_EQ(s.table.Count(), 1u);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(s.queue[1].done);  // the digests were computed, then the save was asked for
    EXPECT_EQ(window.saveRequests.size(), 1u);
    EXPECT_EQ(window.timeLabel, "");
}

TEST_F(RunStepsTest, AbortDuringDigestsEndsTheRunAfterThatStep) {
    tree.WriteFile("A.TXT", "abc");
    tree.WriteFile("B.TXT", "def");
    window.onPump = [this](int n) {
        if (n == 1) N9Click(s);
    };
    N11Click(s);
    ASSERT_GE(window.log.size(), 2u);
    EXPECT_EQ(window.log[window.log.size() - 2], "ファイル個別のMD5計算中");
    EXPECT_EQ(window.log.back(), "計算終了");
    EXPECT_EQ(window.messages, Events{"中断しました"});  // never asked for the copy disc
    EXPECT_EQ(s.table.Row(1).ResultText, "");            // rows after the abort untouched
    EXPECT_TRUE(s.queue[0].done);
    EXPECT_FALSE(s.queue[1].done);
    EXPECT_FALSE(window.timerOn);
    EXPECT_EQ(window.gauges[0], 100);
    EXPECT_EQ(window.gauges[1], 100);
}

TEST_F(RunStepsTest, SecondCommandDuringARunIsRefusedButAbortWorks) {
    tree.WriteFile("A.TXT", "abc");
    tree.WriteFile("B.TXT", "def");
    StepQueue queueDuringRun;
    window.onPump = [&](int n) {
        if (n != 1) return;
        queueDuringRun = s.queue;
        for (auto handler : {N11Click, CRC321Click, CRC322Click, N2Click, CSV1Click}) handler(s);
        EXPECT_EQ(window.beeps, 5);
        EXPECT_EQ(window.panels[0], "リードエラーテスト");
        EXPECT_EQ(s.queue.size(), queueDuringRun.size());
        N9Click(s);
    };
    N2Click(s);
    EXPECT_EQ(window.messages, Events{"中断しました"});
    EXPECT_FALSE(s.runActive);
}

TEST_F(RunStepsTest, FailedRunShowsTheErrorAndLeavesTheSessionUsable) {
    tree.WriteFile("A.TXT", "abc");
    tree.WriteFile("B.TXT", "def");
    fs.FailOpen("Q:\\B.TXT");
    window.onPump = [this](int) { window.gauges[1] = 37; };
    N11Click(s);
    EXPECT_EQ(window.messages, Events{"ファイル Q:\\B.TXT は開けません"});
    EXPECT_FALSE(s.runActive);
    EXPECT_FALSE(window.timerOn);
    EXPECT_EQ(window.log.back(), "ファイル個別のMD5計算中");  // no closing line, no later step
    EXPECT_FALSE(s.queue[1].done);
    EXPECT_EQ(window.gauges[1], 37);  // the end-of-run actions did not happen
    EXPECT_EQ(s.table.Row(1).ResultText, "");

    // The session takes the next command as usual.
    window.messages.clear();
    window.onPump = nullptr;
    CSV1Click(s);
    EXPECT_FALSE(s.runActive);
    EXPECT_EQ(window.saveRequests.size(), 1u);
    EXPECT_TRUE(window.messages.empty());
}

// The list format is the command's choice: md5sum's goes out through the same dialog, with no
// declined save in between.
TEST_F(RunStepsTest, CalcMd5SavesTheListInTheFormatItIsGiven) {
    tree.WriteFile("SUB/A.TXT", "x");
    TempTree out;
    window.saveAnswers.push_back(out.Host("list.md5"));
    CalcMd5Command(s, ListFormat::Md5sum);
    EXPECT_EQ(out.ReadFile("list.md5"), "9dd4e461268c8034f5c8564e155c67a6  SUB/A.TXT\n");
    ASSERT_EQ(window.saveRequests.size(), 1u);
    EXPECT_EQ(window.saveRequests[0].filter, "*.txt(*.txt)|*.txt");
    EXPECT_TRUE(window.messages.empty());
}

}  // namespace
}  // namespace korvane::test

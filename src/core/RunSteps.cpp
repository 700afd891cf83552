// The dispatcher: pre-checks, reset, each step framed by its log lines and timer switching,
// the abort test after every step, and the end-of-run actions.
#include <string>

#include "core/Commands.h"
#include "core/Session.h"
#include "core/Steps.h"
#include "core/Texts.h"

namespace korvane {

namespace {

// Marks the session busy for the run's whole life, also when a step throws.
class ActiveRun {
public:
    explicit ActiveRun(Session& s) : s_(s) { s_.runActive = true; }
    ~ActiveRun() { s_.runActive = false; }
    ActiveRun(const ActiveRun&) = delete;
    ActiveRun& operator=(const ActiveRun&) = delete;

private:
    Session& s_;
};

void EndGauges(Window& w) {
    w.SetGauge(GaugeId::File, 100);
    w.SetGauge(GaugeId::Disc, 100);
}

void RunOneStep(Session& s, const std::string& k) {
    using namespace keyword;
    Window& w = s.window;
    if (k == kMasterRead) {
        w.AppendLog("比較元CDを読み取っています");
        ReadMaster(s);
        w.AppendLog("読み取り終了");
    }
    if (k == kCalcMd5) {
        w.SetTimerEnabled(true);
        w.AppendLog("ファイル個別のMD5計算中");
        w.SetTimeLabel("");
        StepCalcMd5(s);
        w.AppendLog("計算終了");
    }
    if (k == kReadTest) {
        w.SetTimerEnabled(true);
        w.AppendLog("リードエラーテスト");
        w.ClearReadErrors();
        // Folders this run's scan could not list stay reported.
        for (const std::string& folder : s.unlistedFolders) w.AppendReadError(folder);
        StepReadTest(s);
        w.AppendLog("終了");
    }
    if (k == kCompareMd5) {
        w.AppendLog("MD5比較中");
        StepCompareMd5(s);
        w.AppendLog("比較終了");
    }
    if (k == kCompareBin) {
        w.SetTimerEnabled(true);
        w.AppendLog("ファイル間のバイナリ比較中");
        StepCompareBinary(s);
        w.AppendLog("比較終了");
    }
    if (k == kExchangeDisc) {
        w.SetTimerEnabled(false);
        w.ShowMessage("コピーCDと入れ替えてください");
        s.DoneBytes = 0;
        s.ElapsedSeconds = 0;
        w.SetTimerEnabled(true);
    }
    if (k == kSaveData) StepSaveData(s);
    if (k == kLoadData) StepLoadData(s);
    if (k == kSummary) StepSummary(s);
    if (k == kCsv) {
        w.SetTimerEnabled(false);
        StepExportCsv(s);
    }
}

}  // namespace

void RunSteps(Session& s) {
    Window& w = s.window;
    if (w.MasterRoot().empty()) {
        w.ShowMessage("比較元ドライブを指定してください");
        return;
    }
    if (w.DriveCountIndex() == 1 && w.CopyRoot().empty()) {
        w.ShowMessage("比較先ドライブを指定してください");
        return;
    }
    ActiveRun active(s);
    s.ElapsedSeconds = 0;
    s.DoneBytes = 0;
    s.TotalBytes = 0;
    s.unlistedFolders.clear();
    const std::size_t count = s.queue.size();
    w.ClearLog();
    w.SetPanelText(StatusPanel::Outcome, "");

    for (std::size_t i = 0; i < count; ++i) {
        const std::string k = s.queue[i].keyword;
        RunOneStep(s, k);
        if (s.AbortRequested) {
            w.ShowMessage("中断しました");
            s.AbortRequested = false;
            w.SetTimerEnabled(false);
            EndGauges(w);
            return;
        }
        s.queue[i].done = true;
    }
    w.SetTimerEnabled(false);
    EndGauges(w);
}

}  // namespace korvane

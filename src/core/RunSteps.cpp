// The dispatcher: pre-checks, reset, each step framed by its log lines and timer switching,
// the abort test after every step, and the end-of-run actions.
#include <chrono>
#include <optional>
#include <string>

#include "core/Commands.h"
#include "core/RunError.h"
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

// Waits for a disc to come up behind the letter: nothing when the user aborted meanwhile.
std::optional<MountIdentity> AwaitDisc(Session& s, DriveMap& drives, char letter) {
    Window& w = s.window;
    w.AppendLog(text::kWaitingForCopy);
    const auto until = std::chrono::steady_clock::now() + s.discWait;
    for (;;) {
        w.Wait(250);
        if (s.AbortRequested) return std::nullopt;
        drives.Refresh();
        if (auto now = drives.MountOf(letter)) return now;
        if (std::chrono::steady_clock::now() >= until) throw RunError(text::kNoCopyDisc);
    }
}

// The copy disc goes into the drive the source came from. Where the letter follows a drive, the
// copy may come up at another folder, or only once the system has mounted it; and the very
// mount the source was read from means the discs were not exchanged, so the user is asked again.
void ExchangeDisc(Session& s) {
    Window& w = s.window;
    const char letter = w.MasterRoot()[0];
    DriveMap* drives = s.drives != nullptr && s.drives->Follows(letter) ? s.drives : nullptr;
    const std::optional<MountIdentity> source = drives ? drives->MountOf(letter) : std::nullopt;
    for (;;) {
        if (!w.AskExchangeDisc(text::kExchangePrompt)) {
            s.AbortRequested = true;
            return;
        }
        if (drives == nullptr) return;
        drives->Refresh();
        std::optional<MountIdentity> now = drives->MountOf(letter);
        if (!now) now = AwaitDisc(s, *drives, letter);
        if (!now || now != source) return;
    }
}

void RunOneStep(Session& s, const std::string& k) {
    using namespace keyword;
    Window& w = s.window;
    if (k == kMasterRead) {
        w.AppendLog(text::kLogMasterRead);
        ReadMaster(s);
        w.AppendLog(text::kLogMasterReadDone);
    }
    if (k == kCalcMd5) {
        w.SetTimerEnabled(true);
        w.AppendLog(text::kLogCalcMd5);
        w.SetTimeLabel("");
        StepCalcMd5(s);
        w.AppendLog(text::kLogCalcMd5Done);
    }
    if (k == kReadTest) {
        w.SetTimerEnabled(true);
        w.AppendLog(text::kLogReadTest);
        w.ClearReadErrors();
        // Folders this run's scan could not list stay reported.
        for (const std::string& folder : s.unlistedFolders) w.AppendReadError(folder);
        StepReadTest(s);
        w.AppendLog(text::kLogReadTestDone);
    }
    if (k == kCompareMd5) {
        w.AppendLog(text::kLogCompareMd5);
        StepCompareMd5(s);
        w.AppendLog(text::kLogCompareDone);
    }
    if (k == kCompareBin) {
        w.SetTimerEnabled(true);
        w.AppendLog(text::kLogCompareBinary);
        StepCompareBinary(s);
        w.AppendLog(text::kLogCompareDone);
    }
    if (k == kExchangeDisc) {
        w.SetTimerEnabled(false);
        ExchangeDisc(s);
        s.DoneBytes = 0;
        s.ElapsedSeconds = 0;
        w.SetTimerEnabled(true);
    }
    if (k == kSaveData) StepSaveData(s);
    if (k == kSaveMd5sum) StepSaveMd5sum(s);
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
        w.ShowMessage(text::kNoMasterDrive);
        return;
    }
    if (w.DriveCountIndex() == 1 && w.CopyRoot().empty()) {
        w.ShowMessage(text::kNoCopyDrive);
        return;
    }
    ActiveRun active(s);
    // Discs may have come, gone or moved since the last run.
    if (s.drives != nullptr) s.drives->Refresh();
    s.ElapsedSeconds = 0;
    s.DoneBytes = 0;
    s.TotalBytes = 0;
    s.unlistedFolders.clear();
    s.sourceEntries.clear();
    s.sourceScanned = false;
    const std::size_t count = s.queue.size();
    w.ClearLog();
    w.SetPanelText(StatusPanel::Outcome, "");
    // The last run's time would otherwise stay up when this one ends within its first second.
    w.SetTimeLabel("");

    for (std::size_t i = 0; i < count; ++i) {
        const std::string k = s.queue[i].keyword;
        RunOneStep(s, k);
        if (s.AbortRequested) {
            w.ShowAborted(text::kAborted);
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

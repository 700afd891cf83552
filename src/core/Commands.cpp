// Menu commands: each names itself in the command panel, builds its queue and runs it.
#include "core/Commands.h"

#include <exception>
#include <initializer_list>

#include "core/RunError.h"
#include "core/Session.h"
#include "core/Texts.h"

namespace korvane {

namespace {

// Runs the queue; an error that ends the run is shown here and never leaves the handler.
void RunQueue(Session& s) {
    std::string failure;
    try {
        RunSteps(s);
        return;
    } catch (const RunError& e) {
        failure = e.what();
    } catch (const std::bad_alloc&) {
        failure = text::kOutOfMemory;
    } catch (const std::exception& e) {
        failure = e.what();
    }
    s.runActive = false;
    s.window.SetTimerEnabled(false);
    s.window.ShowMessage(failure);
}

void StartCommand(Session& s, const char* panelText, std::initializer_list<const char*> steps) {
    if (s.runActive) {
        s.window.Beep();
        return;
    }
    s.queue.clear();
    s.window.SetPanelText(StatusPanel::Command, panelText);
    for (const char* k : steps) s.queue.push_back({k, false});
    RunQueue(s);
}

}  // namespace

void N11Click(Session& s) {
    using namespace keyword;
    if (s.window.DriveCountIndex() == 1) {
        StartCommand(s, text::kCmdCompare, {kMasterRead, kCompareBin, kSummary});
    } else {
        StartCommand(s, text::kCmdCompare,
                     {kMasterRead, kCalcMd5, kExchangeDisc, kCompareMd5, kSummary});
    }
}

void CalcMd5Command(Session& s, ListFormat format) {
    using namespace keyword;
    StartCommand(s, text::kCmdCalcMd5,
                 {kMasterRead, kCalcMd5, format == ListFormat::Md5sum ? kSaveMd5sum : kSaveData});
}

void CRC321Click(Session& s) {
    CalcMd5Command(s, ListFormat::Own);
}

void CRC322Click(Session& s) {
    using namespace keyword;
    StartCommand(s, text::kCmdLoadCompare, {kLoadData, kCompareMd5, kSummary});
}

void N2Click(Session& s) {
    using namespace keyword;
    StartCommand(s, text::kCmdReadTest, {kMasterRead, kReadTest});
}

void CSV1Click(Session& s) {
    StartCommand(s, text::kCmdCsv, {keyword::kCsv});
}

// A request made while nothing runs is dropped: kept, it would stop the next command the user
// starts after its first step.
void N9Click(Session& s) {
    if (s.runActive) s.AbortRequested = true;
}

}  // namespace korvane

// A Window that records every call and can inject events at the n-th message pump.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/Window.h"

namespace korvane::test {

class FakeWindow : public Window {
  public:
    // State as a user would see it.
    std::string panels[3];
    std::vector<std::string> log;
    std::vector<std::string> readErrors;
    int gauges[2] = {0, 0};  // File, Disc
    std::string timeLabel;
    bool timerOn = false;
    std::vector<std::string> messages;  // every message box, in order
    int pumps = 0;
    int beeps = 0;
    std::size_t scrolledRow = static_cast<std::size_t>(-1);
    std::size_t focusedRow = static_cast<std::size_t>(-1);

    // Drive choice.
    std::string master;
    std::string copy;
    int driveCount = 0;

    // Every call in order, as short texts: "log:...", "msg:...", "timer:on", "pump",
    // "gauge:file:50", "gauge:disc:100", "scroll:3", "focus:3", "panel:2:...", "beep",
    // "readerr:...", "save?", "open?", "time:...".
    std::vector<std::string> events;
    bool recordGauges = true;  // large runs may switch gauge events off

    // Injection: called after a pump is counted, with the 1-based pump number.
    std::function<void(int)> onPump;
    // Called when a message box is shown, before it "closes".
    std::function<void(const std::string&)> onMessage;
    // Answers of the boxes with a 中断 button, in order; an empty queue answers OK.
    std::deque<bool> continueAnswers;
    // Called at every Wait, before Wait sleeps its time.
    std::function<void()> onWait;

    // Scripted dialogs: each ask pops the next answer; an empty queue answers "cancelled".
    std::deque<std::string> saveAnswers;
    std::deque<std::string> openAnswers;
    std::vector<FileDialogRequest> saveRequests;
    std::vector<FileDialogRequest> openRequests;

    void SetPanelText(StatusPanel panel, const std::string& text) override;
    std::string PanelText(StatusPanel panel) const override;
    void AppendLog(const std::string& line) override;
    void ClearLog() override;
    void AppendReadError(const std::string& line) override;
    void ClearReadErrors() override;
    void SetGauge(GaugeId gauge, int percent) override;
    void SetTimeLabel(const std::string& text) override;
    void SetTimerEnabled(bool on) override;
    void ProcessMessages() override;
    void ShowMessage(const std::string& text) override;
    bool AskContinue(const std::string& text) override;
    void Wait(int ms) override;
    void Beep() override;
    std::string AskSavePath(const FileDialogRequest& request) override;
    std::string AskOpenPath(const FileDialogRequest& request) override;
    void ScrollRowIntoView(std::size_t row) override;
    void FocusRow(std::size_t row) override;
    std::string MasterRoot() const override { return master; }
    std::string CopyRoot() const override { return copy; }
    int DriveCountIndex() const override { return driveCount; }

    // Events that start with `prefix`, in order.
    std::vector<std::string> EventsWith(const std::string& prefix) const;
};

}  // namespace korvane::test

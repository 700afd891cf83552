// The Window of the terminal program: results stay in memory for the report, messages go to
// standard error, and a progress line is drawn there when it is a terminal.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "core/Window.h"

namespace korvane {
class Session;
}

namespace korvane::cli {

// How the disc is exchanged in a one-drive comparison.
struct SwapSettings {
    std::string command;       // run through the shell; empty for none
    bool interactive = false;  // ask on the terminal and wait for Enter
};

class TerminalWindow : public Window {
  public:
    TerminalWindow(bool progress, SwapSettings swap);

    // The session whose timer ticks and abort flag this window drives.
    void Attach(Session& s) { session_ = &s; }

    // What the command line chose, read by the run as the window's drive choice and dialogs.
    std::string master;
    std::string copy;
    int driveCount = 0;
    std::string savePath;  // empty: the save is declined
    std::string openPath;
    // Called after the disc was exchanged, before the copy is read.

    // What the run left for the report.
    bool saveAsked = false;
    std::vector<std::string>
        failures;  // message boxes other than the exchange and the abort notice
    const std::vector<std::string>& ReadErrors() const { return readErrors_; }

    // Wipes the progress line so that other output starts on a clean line.
    void ClearProgress();

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
    void ShowAborted(const std::string& text) override;
    bool AskExchangeDisc(const std::string& prompt) override;
    void Beep() override {}
    std::string AskSavePath(const FileDialogRequest& request) override;
    std::string AskOpenPath(const FileDialogRequest& request) override;
    void ScrollRowIntoView(std::size_t row) override { currentRow_ = row; }
    void FocusRow(std::size_t row) override { currentRow_ = row; }
    std::string MasterRoot() const override { return master; }
    std::string CopyRoot() const override { return copy; }
    int DriveCountIndex() const override { return driveCount; }

  private:
    using Clock = std::chrono::steady_clock;

    // Ctrl-C is the abort command: handed to the session the first time it is seen.
    void PassInterrupt();
    void ExchangeDisc(const std::string& prompt);

    int exchanges_ = 0;
    void DrawProgress();

    Session* session_ = nullptr;
    bool progress_;
    SwapSettings swap_;
    bool interruptPassed_ = false;

    std::string panels_[3];
    std::vector<std::string> log_;
    std::vector<std::string> readErrors_;

    bool timerOn_ = false;
    Clock::time_point lastTick_{};
    Clock::time_point lastDraw_{};
    int discPercent_ = -1;  // -1 until the timer has formed a percentage in this run
    std::string timeLabel_;
    static constexpr std::size_t kNoRow = static_cast<std::size_t>(-1);
    std::size_t currentRow_ = kNoRow;
    bool drawn_ = false;
};

}  // namespace korvane::cli

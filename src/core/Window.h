// Everything a run shows or asks goes through this interface; the Qt window implements it.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <thread>

namespace korvane {

enum class StatusPanel : int {
    Command = 0,  // the last command's name, read back as the current mode
    Total = 1,    // "全容量:" and the source total
    Outcome = 2,  // read-error notice, alarm or success text
};

enum class GaugeId {
    File,  // Gauge1: percent of the file being read
    Disc,  // Gauge2: percent of the whole run
};

// A save or open dialog as a step asks for it. The window chooses the starting folder: the
// program's folder when it is writable, otherwise the user's home folder.
struct FileDialogRequest {
    std::string filter;    // "*.txt(*.txt)|*.txt" (shown text | pattern), or empty for all files
    std::string fileName;  // preset of the file name box, such as ".txt"
};

class Window {
  public:
    virtual ~Window() = default;

    // Status bar panels.
    virtual void SetPanelText(StatusPanel panel, const std::string& text) = 0;
    virtual std::string PanelText(StatusPanel panel) const = 0;

    // Processing log (Memo2) and read-error list (Memo3), one line per call.
    virtual void AppendLog(const std::string& line) = 0;
    virtual void ClearLog() = 0;
    virtual void AppendReadError(const std::string& line) = 0;
    virtual void ClearReadErrors() = 0;

    // Gauges take 0..100 (values outside are clamped by the gauge); the time label its text.
    virtual void SetGauge(GaugeId gauge, int percent) = 0;
    virtual void SetTimeLabel(const std::string& text) = 0;
    // The one-second progress timer; switching on a running timer does not restart it.
    virtual void SetTimerEnabled(bool on) = 0;

    // Handles all pending window messages (repaints, timer ticks, menu clicks) and returns.
    virtual void ProcessMessages() = 0;
    // Handles window messages as they come for about `ms` milliseconds; a window that learns of
    // mounts and unmounts may return as soon as one happens.
    virtual void Wait(int ms) {
        ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    // Modal prompts, captioned with the application title, one OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // The same with a second button, "中断", that ends the run: false when the user chose it.
    virtual bool AskContinue(const std::string& text) {
        ShowMessage(text);
        return true;
    }
    // What happened is told by the call, not by its text: a window that reacts to either (a
    // terminal that runs a swap command, a script that counts failures) needs no wording.
    // The exchange prompt of the one-drive comparison: false when the user chose 中断.
    virtual bool AskExchangeDisc(const std::string& prompt) { return AskContinue(prompt); }
    // The notice that the run ended on the user's 中断, as opposed to a failure.
    virtual void ShowAborted(const std::string& text) { ShowMessage(text); }
    // Refusal of input during a run.
    virtual void Beep() = 0;
    // Host path the user chose, or empty when the dialog was cancelled. The save dialog asks
    // before replacing an existing file.
    virtual std::string AskSavePath(const FileDialogRequest& request) = 0;
    virtual std::string AskOpenPath(const FileDialogRequest& request) = 0;

    // The result table view.
    virtual void ScrollRowIntoView(std::size_t row) = 0;
    virtual void FocusRow(std::size_t row) = 0;

    // Drive choice: roots of three characters ("Q:\") or empty; RadioGroup1's index.
    virtual std::string MasterRoot() const = 0;
    virtual std::string CopyRoot() const = 0;
    virtual int DriveCountIndex() const = 0;  // 0 = one drive, 1 = two drives
};

}  // namespace korvane

// The terminal's side of a run: channels kept for the report, prompts answered from the command
// line, Ctrl-C passed on as 中断, and the progress line driven by the window's timer logic.
#include "TerminalWindow.h"

#include <cstdio>
#include <string_view>
#include <utility>

#include "core/Commands.h"
#include "core/ProgressTimer.h"
#include "core/RunError.h"
#include "core/Session.h"
#include "platform/Terminal.h"

namespace korvane::cli {

namespace {

bool StartsCodePoint(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

// Terminal columns of UTF-8 text, close enough for a status line: characters of three or more
// bytes (Japanese among them) take two.
int Columns(std::string_view text) {
    int columns = 0;
    for (char c : text) {
        if (!StartsCodePoint(c)) continue;
        columns += static_cast<unsigned char>(c) >= 0xE0 ? 2 : 1;
    }
    return columns;
}

// The tail of `text` that fits in `columns`, marked with "..." when cut.
std::string FitTail(std::string text, int columns) {
    if (Columns(text) <= columns) return text;
    std::size_t start = 0;
    while (start < text.size() && Columns(std::string_view(text).substr(start)) + 3 > columns) {
        ++start;
        while (start < text.size() && !StartsCodePoint(text[start])) ++start;
    }
    return columns >= 3 ? "..." + text.substr(start) : std::string();
}

}  // namespace

TerminalWindow::TerminalWindow(bool progress, SwapSettings swap)
    : progress_(progress), swap_(std::move(swap)) {}

void TerminalWindow::PassInterrupt() {
    if (interruptPassed_ || session_ == nullptr || !Interrupted()) return;
    interruptPassed_ = true;
    N9Click(*session_);
}

void TerminalWindow::SetPanelText(StatusPanel panel, const std::string& text) {
    panels_[static_cast<int>(panel)] = text;
}

std::string TerminalWindow::PanelText(StatusPanel panel) const {
    return panels_[static_cast<int>(panel)];
}

void TerminalWindow::AppendLog(const std::string& line) {
    log_.push_back(line);
    PassInterrupt();
}

void TerminalWindow::ClearLog() {
    // A run starts: the progress of the last one is gone.
    log_.clear();
    discPercent_ = -1;
    timeLabel_.clear();
    currentRow_ = kNoRow;
}

void TerminalWindow::AppendReadError(const std::string& line) {
    readErrors_.push_back(line);
}

void TerminalWindow::ClearReadErrors() {
    readErrors_.clear();
}

void TerminalWindow::SetGauge(GaugeId gauge, int percent) {
    if (gauge == GaugeId::Disc && timerOn_) discPercent_ = percent;
}

void TerminalWindow::SetTimeLabel(const std::string& text) {
    timeLabel_ = text;
}

void TerminalWindow::SetTimerEnabled(bool on) {
    if (on && !timerOn_) lastTick_ = Clock::now();
    timerOn_ = on;
    PassInterrupt();
}

void TerminalWindow::ProcessMessages() {
    PassInterrupt();
    if (!progress_ && !timerOn_) return;
    const Clock::time_point now = Clock::now();
    bool draw = currentRow_ != kNoRow && now - lastDraw_ >= std::chrono::milliseconds(200);
    // A tick that falls due while a block is read is handled late, once; missed seconds are
    // not made up, as in the window.
    if (timerOn_ && now - lastTick_ >= std::chrono::seconds(1)) {
        lastTick_ = now;
        if (session_ != nullptr) Timer1Timer(*session_);
        draw = true;
    }
    if (draw && progress_) {
        lastDraw_ = now;
        DrawProgress();
    }
}

void TerminalWindow::DrawProgress() {
    std::string head;
    if (discPercent_ >= 0) head = std::to_string(discPercent_) + "% ";
    if (!timeLabel_.empty()) head += timeLabel_ + " ";
    std::string file;
    if (session_ != nullptr && currentRow_ < session_->table.Count()) {
        file = session_->table.Row(currentRow_).Path();
    }
    // A name with control characters must not move the cursor.
    for (char& c : file) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    const int width = TerminalWidth(2) - 1;
    const std::string line = "\r" + head + FitTail(file, width - Columns(head)) + "\033[K";
    std::fwrite(line.data(), 1, line.size(), stderr);
    drawn_ = true;
}

void TerminalWindow::ClearProgress() {
    if (!drawn_) return;
    std::fputs("\r\033[K", stderr);
    drawn_ = false;
}

void TerminalWindow::ShowMessage(const std::string& text) {
    ClearProgress();
    failures.push_back(text);
    std::fprintf(stderr, "korvane-cli: %s\n", text.c_str());
}

void TerminalWindow::ShowAborted(const std::string& text) {
    ClearProgress();
    std::fprintf(stderr, "korvane-cli: %s\n", text.c_str());
}

bool TerminalWindow::AskExchangeDisc(const std::string& prompt) {
    ClearProgress();
    // The prompt comes again when the drive still shows the source's mount: a swap command
    // that did not exchange the disc would do the same again, so the run ends instead.
    if (exchanges_++ > 0 && !swap_.command.empty()) {
        throw RunError("the swap command left the source disc in the drive: " + swap_.command);
    }
    ExchangeDisc(prompt);
    return true;
}

void TerminalWindow::ExchangeDisc(const std::string& prompt) {
    if (!swap_.command.empty()) {
        std::fprintf(stderr, "korvane-cli: %s\n", prompt.c_str());
        const int status = RunShellCommand(swap_.command);
        if (Interrupted()) return PassInterrupt();
        if (status != 0) {
            throw RunError("the swap command failed (exit status " + std::to_string(status) +
                           "): " + swap_.command);
        }
    } else if (swap_.interactive) {
        std::fprintf(stderr, "korvane-cli: %s [Enter] ", prompt.c_str());
        const bool answered = WaitForLine();
        if (Interrupted()) {
            std::fputc('\n', stderr);
            return PassInterrupt();
        }
        if (!answered) throw RunError("no answer on standard input to: " + prompt);
    } else {
        throw RunError("no way to exchange the disc: give --interactive or --swap-command");
    }
}

std::string TerminalWindow::AskSavePath(const FileDialogRequest&) {
    saveAsked = true;
    return savePath;
}

std::string TerminalWindow::AskOpenPath(const FileDialogRequest&) {
    return openPath;
}

}  // namespace korvane::cli

// The recording window used by the core tests.
#include "support/FakeWindow.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace korvane::test {

void FakeWindow::SetPanelText(StatusPanel panel, const std::string& text) {
    panels[static_cast<int>(panel)] = text;
    events.push_back("panel:" + std::to_string(static_cast<int>(panel)) + ":" + text);
}

std::string FakeWindow::PanelText(StatusPanel panel) const {
    return panels[static_cast<int>(panel)];
}

void FakeWindow::AppendLog(const std::string& line) {
    log.push_back(line);
    events.push_back("log:" + line);
}

void FakeWindow::ClearLog() {
    log.clear();
    events.push_back("clearlog");
}

void FakeWindow::AppendReadError(const std::string& line) {
    readErrors.push_back(line);
    events.push_back("readerr:" + line);
}

void FakeWindow::ClearReadErrors() {
    readErrors.clear();
    events.push_back("clearreaderr");
}

void FakeWindow::SetGauge(GaugeId gauge, int percent) {
    percent = std::clamp(percent, 0, 100);
    gauges[gauge == GaugeId::File ? 0 : 1] = percent;
    if (recordGauges) {
        events.push_back(std::string(gauge == GaugeId::File ? "gauge:file:" : "gauge:disc:") +
                         std::to_string(percent));
    }
}

void FakeWindow::SetTimeLabel(const std::string& text) {
    timeLabel = text;
    events.push_back("time:" + text);
}

void FakeWindow::SetTimerEnabled(bool on) {
    timerOn = on;
    events.push_back(on ? "timer:on" : "timer:off");
}

void FakeWindow::ProcessMessages() {
    ++pumps;
    events.push_back("pump");
    if (onPump) onPump(pumps);
}

void FakeWindow::ShowMessage(const std::string& text) {
    messages.push_back(text);
    events.push_back("msg:" + text);
    if (onMessage) onMessage(text);
}

bool FakeWindow::AskContinue(const std::string& text) {
    ShowMessage(text);
    const bool answer = continueAnswers.empty() || continueAnswers.front();
    if (!continueAnswers.empty()) continueAnswers.pop_front();
    return answer;
}

void FakeWindow::Wait(int ms) {
    events.push_back("wait");
    if (onWait) onWait();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void FakeWindow::Beep() {
    ++beeps;
    events.push_back("beep");
}

std::string FakeWindow::AskSavePath(const FileDialogRequest& request) {
    saveRequests.push_back(request);
    events.push_back("save?");
    if (saveAnswers.empty()) return {};
    std::string answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

std::string FakeWindow::AskOpenPath(const FileDialogRequest& request) {
    openRequests.push_back(request);
    events.push_back("open?");
    if (openAnswers.empty()) return {};
    std::string answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

void FakeWindow::ScrollRowIntoView(std::size_t row) {
    scrolledRow = row;
    events.push_back("scroll:" + std::to_string(row));
}

void FakeWindow::FocusRow(std::size_t row) {
    focusedRow = row;
    events.push_back("focus:" + std::to_string(row));
}

std::vector<std::string> FakeWindow::EventsWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& e : events) {
        if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
    }
    return out;
}

}  // namespace korvane::test

// Starts the window's run commands from a queued call, one run at a time.
#pragma once

#include <QObject>
#include <functional>

namespace korvane {
class Session;
}

namespace korvane::ui {

// A menu click, a key or an accessibility action that chooses a command returns at once: the run
// starts from the event loop right after it, so whoever asked (a screen reader among them) gets
// its answer and can go on reading the window during the run.
class CommandLauncher : public QObject {
    Q_OBJECT

  public:
    CommandLauncher(Session& session, QObject* parent);

    // Queues `command`. While one is queued or a run is active the request is refused with a
    // beep.
    void Request(std::function<void()> command);
    // Nothing queued and no run active.
    bool Idle() const;

  signals:
    // A queued command has returned (run over, refused or failed).
    void done();

  private:
    Session& session_;
    bool queued_ = false;
};

}  // namespace korvane::ui

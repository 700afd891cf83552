// The queued start of run commands and the one-run-at-a-time guard around it.
#include "ui/CommandLauncher.h"

#include <utility>

#include "core/Session.h"

namespace korvane::ui {

CommandLauncher::CommandLauncher(Session& session, QObject* parent)
    : QObject(parent), session_(session) {}

void CommandLauncher::Request(std::function<void()> command) {
    if (!Idle()) {
        session_.window.Beep();
        return;
    }
    queued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this, command = std::move(command)] {
            queued_ = false;
            command();
            emit done();
        },
        Qt::QueuedConnection);
}

bool CommandLauncher::Idle() const {
    return !queued_ && !session_.runActive;
}

}  // namespace korvane::ui

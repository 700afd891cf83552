// The mount table watched through the event loop: a change shows as priority data on its handle.
#include "ui/DriveWatcher.h"

#include <QSocketNotifier>
#include <QTimer>

namespace korvane::ui {

DriveWatcher::DriveWatcher(QObject* parent) : QObject(parent) {
    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    settle_->setInterval(200);
    connect(settle_, &QTimer::timeout, this, &DriveWatcher::drivesChanged);
    if (watch_.Handle() < 0) return;  // no signal here: the lists follow at "ドライブ再読" only
    notifier_ = new QSocketNotifier(watch_.Handle(), QSocketNotifier::Exception, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        emit mountsChanged();
        settle_->start();
    });
}

}  // namespace korvane::ui

// The drives' changes watched through the event loop: a change shows as priority data on the
// signal's handle, or, where it has none, as a window message the application is handed.
#include "ui/DriveWatcher.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

namespace korvane::ui {

// Every top-level window is sent the drives' broadcasts; the filter sees them all before Qt
// does and lets them through.
class DriveWatcher::MessageFilter : public QAbstractNativeEventFilter {
  public:
    explicit MessageFilter(DriveWatcher& watcher) : watcher_(watcher) {}
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType == "windows_generic_MSG" && IsDriveChangeMessage(message)) {
            watcher_.Changed();
        }
        return false;
    }

  private:
    DriveWatcher& watcher_;
};

DriveWatcher::DriveWatcher(QObject* parent) : QObject(parent) {
    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    settle_->setInterval(200);
    connect(settle_, &QTimer::timeout, this, &DriveWatcher::drivesChanged);
    if (signal_.Handle() >= 0) {
        notifier_ = new QSocketNotifier(signal_.Handle(), QSocketNotifier::Exception, this);
        connect(notifier_, &QSocketNotifier::activated, this, &DriveWatcher::Changed);
        return;
    }
    // Without a handle the changes may still come as window messages (Windows); where they do
    // not either, the lists follow at "ドライブ再読" only.
    if (QCoreApplication::instance() != nullptr) {
        filter_ = new MessageFilter(*this);
        QCoreApplication::instance()->installNativeEventFilter(filter_);
    }
}

DriveWatcher::~DriveWatcher() {
    if (filter_ == nullptr) return;
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(filter_);
    }
    delete filter_;
}

void DriveWatcher::Changed() {
    emit mountsChanged();
    settle_->start();
}

}  // namespace korvane::ui

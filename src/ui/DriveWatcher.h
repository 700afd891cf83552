// Tells the window when discs are mounted or unmounted, so that its drive lists follow them.
#pragma once

#include <QObject>

#include "platform/Drives.h"

class QSocketNotifier;
class QTimer;

namespace korvane::ui {

class DriveWatcher : public QObject {
    Q_OBJECT

  public:
    explicit DriveWatcher(QObject* parent = nullptr);

  signals:
    // At once, at every change of the mount table.
    void mountsChanged();
    // Once a burst of changes has settled: an automounter mounts in several steps.
    void drivesChanged();

  private:
    MountWatch watch_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* settle_ = nullptr;
};

}  // namespace korvane::ui

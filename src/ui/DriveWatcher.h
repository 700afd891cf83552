// Tells the window when discs are mounted or unmounted, so that its drive lists follow them.
#pragma once

#include <QObject>

#include "platform/DriveSignal.h"

class QSocketNotifier;
class QTimer;

namespace korvane::ui {

class DriveWatcher : public QObject {
    Q_OBJECT

  public:
    explicit DriveWatcher(QObject* parent = nullptr);
    ~DriveWatcher() override;

  signals:
    // At once, at every change of the drives.
    void mountsChanged();
    // Once a burst of changes has settled: an automounter mounts in several steps.
    void drivesChanged();

  private:
    void Changed();

    DriveSignal signal_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* settle_ = nullptr;
    class MessageFilter;
    MessageFilter* filter_ = nullptr;
};

}  // namespace korvane::ui

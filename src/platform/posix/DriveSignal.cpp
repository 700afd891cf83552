// The drives' changes seen as changes of the mount table (POSIX).
#include "platform/DriveSignal.h"

#include "platform/Drives.h"

namespace korvane {

DriveSignal::DriveSignal() : watch_(std::make_unique<MountWatch>()) {}

DriveSignal::~DriveSignal() = default;

int DriveSignal::Handle() const {
    return watch_->Handle();
}

bool IsDriveChangeMessage(const void*) {
    return false;
}

}  // namespace korvane

// The drives' changes as the system broadcasts them to every top-level window (Windows).
#include "platform/DriveSignal.h"

#include <windows.h>

#include <dbt.h>

#include "platform/Drives.h"

namespace korvane {

DriveSignal::DriveSignal() = default;

DriveSignal::~DriveSignal() = default;

int DriveSignal::Handle() const {
    return -1;
}

bool IsDriveChangeMessage(const void* message) {
    if (message == nullptr) return false;
    const MSG& msg = *static_cast<const MSG*>(message);
    if (msg.message != WM_DEVICECHANGE) return false;
    if (msg.wParam != DBT_DEVICEARRIVAL && msg.wParam != DBT_DEVICEREMOVECOMPLETE) return false;
    // Other devices (ports, interfaces) come and go through the same message; only a volume is
    // a drive, and a disc put into a drive arrives as its volume.
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(msg.lParam);
    return header != nullptr && header->dbch_devicetype == DBT_DEVTYP_VOLUME;
}

}  // namespace korvane

// The session on Windows: a window program is asked to end by its messages, not by signals.
#include "platform/EndSignals.h"

namespace korvane {

// Logging off or shutting down reaches the window as WM_QUERYENDSESSION and WM_CLOSE, which
// close it as the user would: there is nothing to turn into a file to watch.
int EndSignalsFd() {
    return -1;
}

void DrainEndSignals() {}

// Every user has a profile, and the system's libraries keep what they need in it.
const char* RuntimeFolderVariable() {
    return nullptr;
}

bool HasDisplay() {
    return true;
}

}  // namespace korvane

// The stop and restart of the reading ahead.
#include "reading/AheadBackoff.h"

#include <algorithm>

namespace korvane {

void AheadBackoff::JobRan(bool fromMemory) {
    if (!fromMemory) {
        if (notInMemoryRun_.fetch_add(1) + 1 >= 2) stop_.store(true);
    } else {
        notInMemoryRun_.store(0);
    }
}

bool AheadBackoff::Ahead() {
    if (ahead_ && Stopping()) {
        ahead_ = false;
        rowsWanted_ = wait_;
        wait_ = std::min(wait_ * 2, kLongestWait);
    }
    return ahead_;
}

void AheadBackoff::RowReadHere(bool fromMemory) {
    if (ahead_) return;
    if (!fromMemory) {
        rowsWanted_ = wait_;
        return;
    }
    if (rowsWanted_ > 0) --rowsWanted_;
    if (rowsWanted_ == 0) {
        ahead_ = true;
        notInMemoryRun_.store(0);
        stop_.store(false);
    }
}

void AheadBackoff::Never() {
    ahead_ = false;
    wait_ = rowsWanted_ = static_cast<std::size_t>(-1);
}

}  // namespace korvane

// System calls started again when a signal cuts them short.
#pragma once

#include <cerrno>

namespace korvane {

// Calls `call` until it gives anything but -1 with errno EINTR, and returns what it gave last:
// a signal that arrives while a read or lock waits is no failure of the file.
template <typename Call>
auto RetryInterrupted(Call call) {
    for (;;) {
        auto result = call();
        if (result != -1 || errno != EINTR) return result;
    }
}

}  // namespace korvane

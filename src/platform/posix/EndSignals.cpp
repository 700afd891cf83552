// The end signals turned into bytes on a pipe, the session's runtime folder and display (POSIX).
#include "platform/EndSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <initializer_list>

namespace korvane {

namespace {

int writeEnd = -1;

void Note(int) {
    const char byte = 1;
    // Nothing else is safe in a signal handler; a full pipe already holds a request.
    [[maybe_unused]] const ssize_t n = ::write(writeEnd, &byte, 1);
}

int readEnd = -1;

}  // namespace

int EndSignalsFd() {
    if (readEnd >= 0) return readEnd;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    readEnd = fds[0];
    writeEnd = fds[1];
    struct sigaction action {};
    action.sa_handler = Note;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the starter chose to ignore (Ctrl-C for a job in the background) stays so.
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
    return readEnd;
}

void DrainEndSignals() {
    char bytes[16];
    while (readEnd >= 0 && ::read(readEnd, bytes, sizeof bytes) > 0) {
    }
}

const char* RuntimeFolderVariable() {
    return "XDG_RUNTIME_DIR";
}

bool HasDisplay() {
    const auto named = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return named("DISPLAY") || named("WAYLAND_DISPLAY");
}

}  // namespace korvane

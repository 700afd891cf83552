// Terminal, signal and process calls of the terminal program (POSIX).
#include "platform/Terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace korvane::cli {

namespace {

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
}

}  // namespace

void ReserveStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        // The lowest free number is fd itself, as every lower one is open.
        const int opened = ::open("/dev/null", fd == STDERR_FILENO ? O_WRONLY : O_RDONLY);
        if (opened >= 0 && opened != fd) ::close(opened);
    }
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    if (argc < 1) return {};
    return {argv + 1, argv + argc};
}

bool IsTerminal(int fd) {
    return ::isatty(fd) == 1;
}

int TerminalWidth(int fd) {
    struct winsize size {};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void CatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a prompt waiting on the terminal must wake up. The handler is reset after
    // the first signal, so a second Ctrl-C ends a run that no longer answers.
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    ::sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() {
    return interrupted != 0;
}

bool WaitForLine() {
    char c = 0;
    while (!Interrupted()) {
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n == 1 && c == '\n') return true;
        if (n == 0) return false;
        if (n < 0 && errno != EINTR) return false;
    }
    return false;
}

int RunShellCommand(const std::string& commandLine) {
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        ::dup2(STDERR_FILENO, STDOUT_FILENO);
        ::execl("/bin/sh", "sh", "-c", commandLine.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    char folder[PATH_MAX];
    if (::getcwd(folder, sizeof folder) == nullptr) return path;
    return std::string(folder) + "/" + path;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return {};
    return resolved;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string OutputTarget(const std::string& path) {
    if (std::string real = RealPath(path); !real.empty()) return real;
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string folder = RealPath(slash == std::string::npos ? std::string(".")
                                        : slash == 0               ? std::string("/")
                                                                   : path.substr(0, slash));
    if (folder.empty() || name.empty()) return {};
    return (folder == "/" ? folder : folder + "/") + name;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace korvane::cli

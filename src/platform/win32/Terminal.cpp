// What the terminal program asks of Windows: the console, Ctrl-C, child commands, paths.
#include <windows.h>

#include <shellapi.h>

#include <io.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/Terminal.h"
#include "platform/win32/Wide.h"

namespace korvane::cli {

namespace {

std::atomic<bool> interrupted{false};

BOOL WINAPI OnControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    // A second Ctrl-C ends a run that no longer answers.
    if (interrupted.exchange(true)) return FALSE;
    return TRUE;
}

std::wstring FullPathW(const std::string& path) {
    const std::wstring wide = win32::HostPathW(path);
    if (wide.empty()) return {};
    const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return {};
    std::wstring full(n, L'\0');
    const DWORD got = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    full.resize(got);
    return full;
}

}  // namespace

std::vector<std::string> CommandLineArguments(int /*argc*/, char** /*argv*/) {
    // argv went through the ANSI code page, where a Japanese name is lost to '?'.
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return {};
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(win32::Narrow(wide[i]));
    LocalFree(wide);
    return args;
}

void ReserveStandardStreams() {
    // Results are written as UTF-8, as the program holds them.
    SetConsoleOutputCP(CP_UTF8);
}

bool IsTerminal(int fd) {
    return _isatty(fd) != 0;
}

int TerminalWidth(int /*fd*/) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
        const int width = info.srWindow.Right - info.srWindow.Left + 1;
        if (width > 0) return width;
    }
    return 80;
}

void CatchInterrupt() {
    SetConsoleCtrlHandler(OnControl, TRUE);
}

bool Interrupted() {
    return interrupted.load();
}

bool WaitForLine() {
    while (!Interrupted()) {
        const int c = std::getchar();
        if (c == '\n') return true;
        if (c == EOF) return false;
    }
    return false;
}

int RunShellCommand(const std::string& commandLine) {
    std::wstring line = L"cmd.exe /c " + win32::Widen(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_ERROR_HANDLE);  // standard output carries results only
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &child)) {
        return -1;
    }
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD status = 0;
    const bool known = GetExitCodeProcess(child.hProcess, &status) != 0;
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return known ? static_cast<int>(status) : -1;
}

std::string AbsolutePath(const std::string& path) {
    const std::wstring full = FullPathW(path);
    return full.empty() ? path : win32::Narrow(full);
}

std::string RealPath(const std::string& path) {
    const std::wstring full = FullPathW(path);
    if (full.empty() || GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
    return win32::Narrow(full);
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(win32::HostPathW(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string OutputTarget(const std::string& path) {
    const std::wstring full = FullPathW(path);
    return full.empty() ? std::string() : win32::Narrow(full);
}

bool SameFile(const std::string& a, const std::string& b) {
    const std::wstring first = FullPathW(a);
    return !first.empty() && RealPath(a) != "" && first == FullPathW(b);
}

}  // namespace korvane::cli

// korvane-cli: the window's commands from a terminal and from scripts, run on the same core.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "DriveChoice.h"
#include "ImageCommands.h"
#include "Options.h"
#include "Report.h"
#include "Terminal.h"
#include "TerminalWindow.h"
#include "core/Commands.h"
#include "core/Session.h"
#include "core/Texts.h"
#include "files/Md5sumList.h"
#include "platform/image/ImageDrives.h"

namespace korvane::cli {

namespace {

constexpr int kUsageError = 2;
constexpr int kFailed = 2;
constexpr int kInterrupted = 130;

int UsageError(const std::string& error) {
    std::fprintf(stderr, "korvane-cli: %s\nTry 'korvane-cli --help'.\n", error.c_str());
    return kUsageError;
}

// A run that cannot start: a drive that is not there, a disc that is not mounted.
int CannotStart(const std::string& error) {
    std::fprintf(stderr, "korvane-cli: %s\n", error.c_str());
    return kFailed;
}

int ListDrives(const Options& o) {
    DriveChoice drives;
    drives.Discover();
    for (const ListedDrive& d : drives.Listed()) {
        const std::string root{d.letter, ':', '\\'};
        std::string line;
        if (o.json) {
            line = nlohmann::ordered_json{{"root", root},
                                          {"device", d.device},
                                          {"mount_point", d.mountPoint},
                                          {"label", d.label}}
                       .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        } else {
            auto field = [](const std::string& text) { return text.empty() ? "-" : text; };
            line = root + "\t" + field(d.device) + "\t" + field(d.mountPoint) + "\t" + d.label;
        }
        std::printf("%s\n", line.c_str());
    }
    return 0;
}

bool AllDone(const Session& s) {
    for (const StepEntry& entry : s.queue) {
        if (!entry.done) return false;
    }
    return true;
}

int RunCommand(const Options& o) {
    DriveChoice drives;
    drives.Discover();
    std::string error;
    const std::string& sourceArgument =
        o.command == Command::Verify ? o.operands[1] : o.operands[0];
    const std::optional<char> source = drives.Choose(sourceArgument, error);
    if (!source) return CannotStart(error);
    if (o.swap && drives.Images().Has(*source)) return CannotStart(kImageNoSwap);
    std::optional<char> copy;
    if (o.command == Command::Compare && !o.swap) {
        copy = drives.Choose(o.operands[1], error);
        if (!copy) return CannotStart(error);
        if (*copy == *source) return UsageError("SOURCE and COPY are the same drive");
    }
    if (o.swap && o.swapCommand.empty() && !IsTerminal(0)) {
        return UsageError("--interactive needs a terminal on standard input");
    }

    TerminalWindow window(IsTerminal(2), SwapSettings{o.swapCommand, o.interactive});
    std::unique_ptr<FileSystem> files = MakeImageAwareFileSystem(drives.Map(), drives.Images());
    Session s(window, *files, &drives.Map());
    window.Attach(s);
    window.master = std::string{*source, ':', '\\'};
    if (copy) window.copy = std::string{*copy, ':', '\\'};
    window.driveCount = copy ? 1 : 0;
    CatchInterrupt();

    RunReport report;
    const char* successText = text::kSuccess;
    switch (o.command) {
        case Command::Compare:
            N11Click(s);
            break;
        case Command::Calc:
            window.savePath = o.md5sumFormat ? std::string() : AbsolutePath(o.output);
            report.digestRun = true;
            successText = nullptr;
            CRC321Click(s);
            break;
        case Command::Verify:
            window.openPath = AbsolutePath(o.operands[0]);
            CRC322Click(s);
            break;
        case Command::ReadTest:
            successText = nullptr;
            N2Click(s);
            break;
        default:
            return kUsageError;
    }
    const bool completed = AllDone(s) && window.failures.empty();
    report.command = window.PanelText(StatusPanel::Command);
    report.outcome = window.PanelText(StatusPanel::Outcome);
    report.readErrors = window.ReadErrors();
    window.ClearProgress();
    if (Interrupted()) return kInterrupted;
    if (!completed) return kFailed;

    if (o.command == Command::Calc) {
        // The save step was reached and declined: the list goes out in md5sum's format.
        if (o.md5sumFormat && window.saveAsked) {
            const WriteResult written = files->WriteWholeAtomically(
                AbsolutePath(o.output), Md5sumListText(s.table, window.master));
            if (!written.ok) {
                std::fprintf(stderr, "korvane-cli: ファイル %s に書き込めません (%s)\n",
                             AbsolutePath(o.output).c_str(), written.message.c_str());
                return kFailed;
            }
        }
        if (!window.saveAsked) return kFailed;
    }
    if (!o.tsv.empty()) {
        window.savePath = AbsolutePath(o.tsv);
        CSV1Click(s);
        window.ClearProgress();
        if (!window.failures.empty() || !AllDone(s)) return kFailed;
    }

    const int code = ResultCode(s.table, report, successText);
    PrintReport(stdout, s.table, report, o.quiet, o.json, code);
    return Interrupted() ? kInterrupted : code;
}

}  // namespace

int Main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    std::string error;
    if (!ParseOptions(args, options, error)) return UsageError(error);
    switch (options.command) {
        case Command::Help:
            std::fputs(kUsage, stdout);
            return 0;
        case Command::Version:
            std::printf("korvane-cli %s\n", KORVANE_VERSION);
            return 0;
        case Command::Drives:
            return ListDrives(options);
        case Command::Compare:
            if (options.sectors) return CompareSectorsCommand(options);
            return RunCommand(options);
        default:
            return RunCommand(options);
    }
}

}  // namespace korvane::cli

int main(int argc, char** argv) {
    return korvane::cli::Main(argc, argv);
}

// korvane-cli: the window's commands from a terminal and from scripts, run on the same core.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "DriveChoice.h"
#include "ImageCommands.h"
#include "Options.h"
#include "Report.h"
#include "TerminalWindow.h"
#include "core/Commands.h"
#include "core/Session.h"
#include "core/Texts.h"
#include "platform/Terminal.h"
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
            // A mount point with a TAB or a line break would split the line or its fields.
            if (NeedsEscape(d.device, true) || NeedsEscape(d.mountPoint, true) ||
                NeedsEscape(d.label, true)) {
                line = "\\" + Escaped(root, true) + "\t" + Escaped(field(d.device), true) + "\t" +
                       Escaped(field(d.mountPoint), true) + "\t" + Escaped(d.label, true);
            }
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

// Why a file the run writes would destroy what it reads: the list being verified, a file of a
// drive being checked (its comparison would then read the program's own output), or the other
// output file. Empty when nothing is in the way.
std::string RefusedOutput(const Options& o, const DriveMap& map, std::optional<char> source,
                          std::optional<char> copy) {
    auto same = [](const std::string& a, const std::string& b) {
        const std::string target = OutputTarget(a);
        return SameFile(a, b) || (!target.empty() && target == OutputTarget(b));
    };
    std::vector<std::pair<std::string, std::string>> outputs;  // what the help calls it, path
    if (o.command == Command::Calc) outputs.emplace_back("-o LIST", o.output);
    if (!o.tsv.empty()) outputs.emplace_back("--tsv FILE", o.tsv);
    for (const auto& [name, path] : outputs) {
        const std::string target = OutputTarget(path);
        if (o.command == Command::Verify && same(path, o.operands[0])) {
            return name + " is the list being verified: " + path;
        }
        for (const auto& [drive, letter] : {std::pair{"SOURCE", source}, std::pair{"COPY", copy}}) {
            const std::optional<std::string> root = letter ? map.RootOf(*letter) : std::nullopt;
            const std::string folder = root ? RealPath(*root) : std::string();
            if (folder.empty() || target.empty()) continue;
            if (folder == "/" || target == folder || target.rfind(folder + "/", 0) == 0) {
                return name + " lies on " + drive + ", the drive being checked: " + path;
            }
        }
    }
    if (outputs.size() == 2 && same(outputs[0].second, outputs[1].second)) {
        return "-o LIST and --tsv FILE are the same file: " + o.tsv;
    }
    return {};
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
    if (o.swap && !drives.FollowExchange(*source, sourceArgument, error)) return UsageError(error);
    std::optional<char> copy;
    if (o.command == Command::Compare && !o.swap) {
        copy = drives.Choose(o.operands[1], error);
        if (!copy) return CannotStart(error);
        if (*copy == *source) return UsageError("SOURCE and COPY are the same drive");
    }
    if (const std::string refused = RefusedOutput(o, drives.Map(), source, copy);
        !refused.empty()) {
        return UsageError(refused);
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
            window.savePath = AbsolutePath(o.output);
            report.digestRun = true;
            successText = nullptr;
            CalcMd5Command(s, o.md5sumFormat ? ListFormat::Md5sum : ListFormat::Own);
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

int Run(const std::vector<std::string>& args) {
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

}  // namespace

int Main(int argc, char** argv) {
    ReserveStandardStreams();
    const int code = Run(CommandLineArguments(argc, argv));
    // Results that never reached standard output (a full disk, a closed descriptor) must not
    // pass for a finished run.
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (!flushed || std::ferror(stdout) != 0) {
        if (error != 0) {
            std::fprintf(stderr, "korvane-cli: write error: %s\n", std::strerror(error));
        } else {
            std::fputs("korvane-cli: write error\n", stderr);
        }
        return code == kInterrupted ? code : kFailed;
    }
    return code;
}

}  // namespace korvane::cli

int main(int argc, char** argv) {
    return korvane::cli::Main(argc, argv);
}

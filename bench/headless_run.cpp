// Runs one command through the real core over host folders with a window that shows nothing.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Commands.h"
#include "core/Session.h"
#include "core/StepQueue.h"
#include "core/Texts.h"
#include "core/Window.h"
#include "platform/DriveMap.h"
#include "platform/HostFileSystem.h"

namespace {

using korvane::FileDialogRequest;
using korvane::GaugeId;
using korvane::StatusPanel;

// Keeps only what the steps read back (the panels) and counts what a user would have seen,
// so a run that silently did nothing or ended in a message box shows in the summary line.
class NullWindow : public korvane::Window {
  public:
    std::string panels[3];
    std::vector<std::string> messages;
    std::size_t readErrors = 0;
    std::string master = "Q:\\";
    std::string copy;
    int driveCount = 0;

    void SetPanelText(StatusPanel panel, const std::string& text) override {
        panels[static_cast<int>(panel)] = text;
    }
    std::string PanelText(StatusPanel panel) const override {
        return panels[static_cast<int>(panel)];
    }
    void AppendLog(const std::string&) override {}
    void ClearLog() override {}
    void AppendReadError(const std::string&) override { ++readErrors; }
    void ClearReadErrors() override { readErrors = 0; }
    void SetGauge(GaugeId, int) override {}
    void SetTimeLabel(const std::string&) override {}
    void SetTimerEnabled(bool) override {}
    void ProcessMessages() override {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Beep() override {}
    std::string AskSavePath(const FileDialogRequest&) override { return {}; }
    std::string AskOpenPath(const FileDialogRequest&) override { return {}; }
    void ScrollRowIntoView(std::size_t) override {}
    void FocusRow(std::size_t) override {}
    std::string MasterRoot() const override { return master; }
    std::string CopyRoot() const override { return copy; }
    int DriveCountIndex() const override { return driveCount; }
};

int Usage() {
    std::fprintf(stderr,
                 "usage: headless_run <calc|compare2|readtest|scan> <source-dir> [copy-dir]\n"
                 "                    [--rss] [--dump] [--repeat N]\n"
                 "  calc      MD5計算 with the digest list save cancelled\n"
                 "  compare2  two-drive 比較 of source-dir against copy-dir\n"
                 "  readtest  リードエラーテスト\n"
                 "  scan      the source scan alone\n"
                 "  --rss     print the peak resident set size\n"
                 "  --dump    print every row as folder, name, size, result (TAB-separated)\n"
                 "  --repeat  run the command N times in one process, timing each\n");
    return 2;
}

// FNV-1a over every row's texts: equal tables give equal sums from run to run.
std::uint64_t TableSum(const korvane::FileTable& table) {
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&h](const std::string& t) {
        for (const char c : t) {
            h ^= static_cast<unsigned char>(c);
            h *= 1099511628211ull;
        }
        h ^= 0xff;
        h *= 1099511628211ull;
    };
    for (const korvane::FileRow& row : table.Rows()) {
        mix(row.Folder);
        mix(row.FileName);
        mix(row.SizeText);
        mix(row.ResultText);
    }
    return h;
}

// Results grouped: digests are counted as one kind, verdicts by their text.
std::string ResultCounts(const korvane::FileTable& table) {
    std::map<std::string, std::size_t> counts;
    for (const korvane::FileRow& row : table.Rows()) {
        const std::string& r = row.ResultText;
        const bool digest = r.size() == 32 && r.find_first_not_of("0123456789abcdef") == r.npos;
        ++counts[digest ? std::string("<md5>") : r.empty() ? std::string("<empty>") : r];
    }
    std::string out;
    for (const auto& [text, n] : counts) {
        if (!out.empty()) out += ", ";
        out += "\"" + text + "\"=" + std::to_string(n);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> positional;
    bool printRss = false;
    bool dump = false;
    int repeat = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rss") {
            printRss = true;
        } else if (a == "--dump") {
            dump = true;
        } else if (a == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (a.starts_with("--")) {
            return Usage();
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() < 2) return Usage();
    const std::string workload = positional[0];
    const bool twoDrives = workload == "compare2";
    if (workload != "calc" && workload != "compare2" && workload != "readtest" &&
        workload != "scan") {
        return Usage();
    }
    if (twoDrives && positional.size() < 3) return Usage();

    korvane::DriveMap drives;
    drives.Set('Q', positional[1]);
    if (positional.size() >= 3) drives.Set('R', positional[2]);
    const std::unique_ptr<korvane::FileSystem> fs = korvane::MakeHostFileSystem(drives);

    NullWindow window;
    if (twoDrives) {
        window.copy = "R:\\";
        window.driveCount = 1;
    }
    korvane::Session session(window, *fs);

    int status = 0;
    for (int r = 0; r < repeat; ++r) {
        window.messages.clear();
        const auto start = std::chrono::steady_clock::now();
        if (workload == "calc") {
            korvane::CRC321Click(session);
        } else if (workload == "compare2") {
            korvane::N11Click(session);
        } else if (workload == "readtest") {
            korvane::N2Click(session);
        } else {
            session.queue.clear();
            session.queue.push_back({korvane::keyword::kMasterRead, false});
            korvane::RunSteps(session);
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

        std::printf("%s seconds=%.4f rows=%zu done_bytes=%llu total_bytes=%llu sum=%016llx\n",
                    workload.c_str(), took.count(), session.table.Count(),
                    static_cast<unsigned long long>(session.DoneBytes),
                    static_cast<unsigned long long>(session.TotalBytes),
                    static_cast<unsigned long long>(TableSum(session.table)));
    }
    std::printf("results: %s\n", ResultCounts(session.table).c_str());
    std::printf("outcome: \"%s\" read_errors=%zu\n", window.PanelText(StatusPanel::Outcome).c_str(),
                window.readErrors);
    for (const std::string& m : window.messages) {
        std::printf("message: %s\n", m.c_str());
        status = 1;
    }
    if (printRss) {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("peak_rss_kb=%ld\n", usage.ru_maxrss);
    }
    if (dump) {
        for (const korvane::FileRow& row : session.table.Rows()) {
            std::printf("%s\t%s\t%s\t%s\n", row.Folder.c_str(), row.FileName.c_str(),
                        row.SizeText.c_str(), row.ResultText.c_str());
        }
    }
    std::fflush(stdout);
    return status;
}

// Runs one command through the real main window, offscreen, over host folders, and quits.
#include <stdlib.h>
#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QRadioButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/Session.h"
#include "core/Texts.h"
#include "ui/CommandLauncher.h"
#include "ui/Form1.h"
#include "ui/Prompter.h"

namespace {

// Answers every prompt at once: message boxes are noted (a run that ended in one must show),
// the save dialog is cancelled, so no prompt ever waits for a user.
class AnsweringPrompter : public korvane::ui::Prompter {
  public:
    explicit AnsweringPrompter(std::vector<std::string>& messages) : messages_(messages) {}
    void Message(QWidget*, const QString& text) override {
        messages_.push_back(text.toStdString());
    }
    QString AskSave(QWidget*, const korvane::FileDialogRequest&) override { return {}; }
    QString AskOpen(QWidget*, const korvane::FileDialogRequest&) override { return {}; }
    void Beep() override {}

  private:
    std::vector<std::string>& messages_;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: window_run <calc|compare2|readtest> <source-dir> [copy-dir] [--rss]\n"
                 "Shows the main window (offscreen unless QT_QPA_PLATFORM says otherwise), picks\n"
                 "the drives, chooses the command from the menu and quits when the run is over.\n");
    return 2;
}

// Selects the list entry of the drive letter, as a click on it would.
bool ChooseDrive(QListWidget* list, char letter) {
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text().startsWith(QString(QChar(letter)) + QLatin1Char(':'))) {
            list->setCurrentRow(row);
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> positional;
    bool printRss = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rss") {
            printRss = true;
        } else if (a.starts_with("--")) {
            return Usage();
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() < 2) return Usage();
    const std::string workload = positional[0];
    const bool twoDrives = workload == "compare2";
    if (workload != "calc" && workload != "compare2" && workload != "readtest") return Usage();
    if (twoDrives && positional.size() < 3) return Usage();

    // The window lists these folders as drives Q: and R: beside the machine's own.
    std::string drives = "Q=" + positional[1];
    if (positional.size() >= 3) drives += ";R=" + positional[2];
    setenv("KORVANE_EXTRA_DRIVES", drives.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(korvane::text::kAppTitle));
    std::vector<std::string> messages;
    korvane::ui::Form1 window(std::make_unique<AnsweringPrompter>(messages));
    window.show();

    int status = 0;
    QTimer::singleShot(0, &window, [&] {
        if (!ChooseDrive(window.ListBox3, 'Q')) {
            std::fprintf(stderr, "window_run: drive Q: is not listed\n");
            status = 1;
            app.quit();
            return;
        }
        if (twoDrives) {
            window.RadioGroup1Items[1]->click();
            if (!ChooseDrive(window.ListBox1, 'R')) {
                std::fprintf(stderr, "window_run: drive R: is not listed\n");
                status = 1;
                app.quit();
                return;
            }
        }
        QAction* command = workload == "calc"       ? window.CRC321
                           : workload == "readtest" ? window.N2
                                                    : window.N11;
        korvane::Session& s = window.session();
        const auto start = std::chrono::steady_clock::now();
        command->trigger();  // the run starts from the event loop, right after the click
        do {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        } while (!window.launcher()->Idle());
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("%s seconds=%.4f rows=%zu done_bytes=%llu total_bytes=%llu\n", workload.c_str(),
                    took.count(), s.table.Count(), static_cast<unsigned long long>(s.DoneBytes),
                    static_cast<unsigned long long>(s.TotalBytes));
        std::printf("outcome: \"%s\"\n", window.PanelText(korvane::StatusPanel::Outcome).c_str());
        for (const std::string& m : messages) {
            std::printf("message: %s\n", m.c_str());
            status = 1;
        }
        app.quit();
    });
    app.exec();

    if (printRss) {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("peak_rss_kb=%ld\n", usage.ru_maxrss);
    }
    std::fflush(stdout);
    return status;
}

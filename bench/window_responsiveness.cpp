// Measures how long the real window goes without handling its messages during a run, and how
// long 中断 takes to end it: the figures bench/responsiveness prints for slow and stalling drives.
#include <stdlib.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QRadioButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "core/Session.h"
#include "core/Texts.h"
#include "ui/Form1.h"
#include "ui/Prompter.h"
#if __has_include("ui/CommandLauncher.h")
#include "ui/CommandLauncher.h"
#define KORVANE_QUEUED_COMMANDS 1
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::int64_t Micros(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

// What the window thread and the watchdog share.
struct Figures {
    std::atomic<std::int64_t> lastTick{0};    // µs: when the window last handled a timer tick
    std::atomic<std::int64_t> longestGap{0};  // µs: the longest time between two ticks
    std::atomic<std::int64_t> abortAsked{0};  // µs: when 中断 was posted to the window
    std::atomic<std::int64_t> abortShown{0};  // µs: when "中断しました" was shown
    std::atomic<bool> printed{false};

    // The longest silence so far, counting one still going on.
    double LongestSilence(Clock::time_point now) const {
        const std::int64_t ongoing = Micros(now) - lastTick.load();
        return static_cast<double>(std::max(longestGap.load(), ongoing)) / 1e6;
    }
};

class NotingPrompter : public korvane::ui::Prompter {
  public:
    explicit NotingPrompter(Figures& f) : f_(f) {}
    void Message(QWidget*, const QString& text) override {
        if (text == QString::fromUtf8("中断しました") && f_.abortShown.load() == 0) {
            f_.abortShown = Micros(Clock::now());
        } else {
            std::printf("message: %s\n", text.toStdString().c_str());
        }
    }
    QString AskSave(QWidget*, const korvane::FileDialogRequest&) override { return {}; }
    QString AskOpen(QWidget*, const korvane::FileDialogRequest&) override { return {}; }
    void Beep() override {}

  private:
    Figures& f_;
};

bool ChooseDrive(QListWidget* list, char letter) {
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text().startsWith(QString(QChar(letter)) + QLatin1Char(':'))) {
            list->setCurrentRow(row);
            return true;
        }
    }
    return false;
}

void Print(const char* label, Figures& f, double limit) {
    if (f.printed.exchange(true)) return;
    const auto now = Clock::now();
    std::printf("%-16s longest_silence=%.3f", label, f.LongestSilence(now));
    if (f.abortShown.load() != 0) {
        std::printf(" abort=%.3f\n",
                    static_cast<double>(f.abortShown.load() - f.abortAsked.load()) / 1e6);
    } else {
        std::printf(" abort=>%.0f (not ended when measuring stopped)\n", limit);
    }
    std::fflush(stdout);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: window_responsiveness <calc|compare2> <source-dir> [copy-dir]\n"
                 "                             --abort-after=SECONDS [--give-up=SECONDS]\n"
                 "Chooses the command from the menu of the real window, posts 中断 after the\n"
                 "given time and prints the longest time the window went without handling its\n"
                 "messages and the time from 中断 to \"中断しました\".\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string positional[3];
    int count = 0;
    double abortAfter = -1;
    double giveUp = 30;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--abort-after=", 0) == 0) {
            abortAfter = std::atof(a.c_str() + 14);
        } else if (a.rfind("--give-up=", 0) == 0) {
            giveUp = std::atof(a.c_str() + 10);
        } else if (a.rfind("--", 0) == 0 || count == 3) {
            return Usage();
        } else {
            positional[count++] = a;
        }
    }
    const std::string workload = positional[0];
    const bool twoDrives = workload == "compare2";
    if ((workload != "calc" && !twoDrives) || count < (twoDrives ? 3 : 2) || abortAfter < 0) {
        return Usage();
    }
    std::string drives = "Q=" + positional[1];
    if (twoDrives) drives += ";R=" + positional[2];
    setenv("KORVANE_EXTRA_DRIVES", drives.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(korvane::text::kAppTitle));
    Figures figures;
    korvane::ui::Form1 window(std::make_unique<NotingPrompter>(figures));
    window.show();
    const char* label = twoDrives ? "two-drive 比較" : "MD5計算";

    // Ticks as often as the window lets them through: the gap between two is a silence.
    QTimer ticker;
    ticker.setInterval(2);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const std::int64_t now = Micros(Clock::now());
        const std::int64_t gap = now - figures.lastTick.exchange(now);
        if (gap > figures.longestGap.load()) figures.longestGap = gap;
    });

    int status = 0;
    QTimer::singleShot(0, &window, [&] {
        if (!ChooseDrive(window.ListBox3, 'Q') ||
            (twoDrives &&
             (window.RadioGroup1Items[1]->click(), !ChooseDrive(window.ListBox1, 'R')))) {
            std::fprintf(stderr, "window_responsiveness: the drives are not listed\n");
            status = 1;
            app.quit();
            return;
        }
        const auto start = Clock::now();
        figures.lastTick = Micros(start);
        ticker.start();
        // 中断 comes from outside the window's thread, as a user's click waits in the queue of
        // a window that does not answer. A run that does not end is measured up to a limit.
        std::thread([&figures, &window, start, abortAfter, giveUp, label] {
            std::this_thread::sleep_until(start + std::chrono::duration<double>(abortAfter));
            figures.abortAsked = Micros(Clock::now());
            QMetaObject::invokeMethod(window.N9, "trigger", Qt::QueuedConnection);
            std::this_thread::sleep_until(start +
                                          std::chrono::duration<double>(abortAfter + giveUp));
            if (figures.abortShown.load() != 0) return;
            Print(label, figures, giveUp);
            _exit(0);  // the window is still held by the run: nothing else can end it
        }).detach();

        QAction* command = twoDrives ? window.N11 : window.CRC321;
        command->trigger();
#ifdef KORVANE_QUEUED_COMMANDS
        do {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        } while (!window.launcher()->Idle());
#endif
        ticker.stop();
        std::printf("run %.1f s, %llu bytes read\n", Seconds(Clock::now() - start),
                    static_cast<unsigned long long>(window.session().DoneBytes));
        Print(label, figures, giveUp);
        app.quit();
    });
    app.exec();
    // A read left stalled on a worker must not hold the process.
    std::fflush(stdout);
    _exit(status);
}

// Shows the main window, runs a two-drive comparison of two listed drives, and saves a picture
// of the window after the run: the README's screenshot.
#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "core/Texts.h"
#include "ui/Form1.h"
#include "ui/Prompter.h"
#include "ui/StartCompare.h"

namespace {

// Answers every prompt at once, so the run never waits for a user.
class QuietPrompter : public korvane::ui::Prompter {
  public:
    void Message(QWidget*, const QString& text) override {
        std::fprintf(stderr, "window_shot: message: %s\n", text.toUtf8().constData());
    }
    QString AskSave(QWidget*, const korvane::FileDialogRequest&) override { return {}; }
    QString AskOpen(QWidget*, const korvane::FileDialogRequest&) override { return {}; }
    void Beep() override {}
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr,
                     "usage: window_shot <out.png> <source drive> <target drive> (letters or "
                     "labels) [WIDTHxHEIGHT]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString source = QString::fromLocal8Bit(argv[2]);
    const QString target = QString::fromLocal8Bit(argv[3]);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(korvane::text::kAppTitle));
    korvane::ui::Form1 window(std::make_unique<QuietPrompter>());
    // A size of its own, to see how the window uses a screen of that size.
    if (argc == 5) {
        const QStringList size = QString::fromLatin1(argv[4]).split(QLatin1Char('x'));
        if (size.size() == 2) window.resize(size[0].toInt(), size[1].toInt());
    }
    window.show();

    int status = 1;
    // Let the window reach its final size before anything runs.
    QTimer::singleShot(300, &window, [&] {
        korvane::ui::StartTwoDriveCompare(
            window, source, target, [&](bool started, const QString& missing) {
                if (!started) {
                    std::fprintf(stderr, "window_shot: drive %s is not listed\n",
                                 missing.toUtf8().constData());
                    app.quit();
                    return;
                }
                QTimer::singleShot(300, &window, [&] {
                    status = window.grab().save(out) ? 0 : 1;
                    app.quit();
                });
            });
    });
    app.exec();
    return status;
}

// Shows the main window, runs a two-drive comparison of two listed drives, and saves a picture
// of the window after the run: the README's screenshot.
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPixmap>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "core/Texts.h"
#include "ui/CommandLauncher.h"
#include "ui/Form1.h"
#include "ui/Prompter.h"

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

bool Choose(QListWidget* list, char letter) {
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text().startsWith(QString(QChar(letter)) + QLatin1Char(':'))) {
            list->setCurrentRow(row);
            return true;
        }
    }
    std::fprintf(stderr, "window_shot: drive %c: is not listed\n", letter);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: window_shot <out.png> <source letter> <target letter>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const char source = argv[2][0];
    const char target = argv[3][0];

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(korvane::text::kAppTitle));
    korvane::ui::Form1 window(std::make_unique<QuietPrompter>());
    window.show();

    int status = 1;
    // Let the window reach its final size before anything runs.
    QTimer::singleShot(300, &window, [&] {
        window.RadioGroup1Items[1]->click();
        if (Choose(window.ListBox3, source) && Choose(window.ListBox1, target)) {
            window.N11->trigger();  // the run starts from the event loop, right after the click
            do {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            } while (!window.launcher()->Idle());
            QTimer::singleShot(300, &window, [&] {
                status = window.grab().save(out) ? 0 : 1;
                app.quit();
            });
            return;
        }
        app.quit();
    });
    app.exec();
    return status;
}

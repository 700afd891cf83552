// Program entry: the application, its title, the one window.
//
// KORVANE_EXTRA_DRIVES="D=/path/to/folder;E=/other" lists folders as optical drives behind
// those letters, for demos and tests on machines without disc mounts (see Form1::ListDrives).
#include <QApplication>

#include "core/Texts.h"
#include "ui/Form1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The title every message box carries. Set as the application name rather than the display
    // name: a display name would be appended to the window caption by the window system.
    QApplication::setApplicationName(QString::fromUtf8(korvane::text::kAppTitle));
    QApplication::setFont(korvane::ui::WindowFont());  // message boxes and dialogs too
    korvane::ui::Form1 window;
    window.show();
    return app.exec();
}

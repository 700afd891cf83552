// Chooses two listed drives and runs the two-drive comparison of them as a user would.
#include "ui/StartCompare.h"

#include <QAction>
#include <QListWidget>
#include <QRadioButton>
#include <memory>

#include "ui/CommandLauncher.h"
#include "ui/Form1.h"

namespace korvane::ui {

int ListedDrive(const QListWidget& list, const QString& drive) {
    QString letter = drive;
    if (letter.endsWith(QLatin1Char('\\'))) letter.chop(1);
    if (letter.endsWith(QLatin1Char(':'))) letter.chop(1);
    for (int row = 0; row < list.count(); ++row) {
        const QString entry = list.item(row)->text();  // "D:\ LABEL"
        if (letter.size() == 1 && entry.startsWith(letter.toUpper() + QStringLiteral(":\\")))
            return row;
        if (entry.mid(4) == drive) return row;
    }
    return -1;
}

void StartTwoDriveCompare(Form1& window, const QString& source, const QString& copy,
                          std::function<void(bool started, const QString& missing)> finished) {
    const int sourceRow = ListedDrive(*window.ListBox3, source);
    const int copyRow = ListedDrive(*window.ListBox1, copy);
    if (sourceRow < 0 || copyRow < 0) {
        finished(false, sourceRow < 0 ? source : copy);
        return;
    }
    window.RadioGroup1Items[1]->click();
    window.ListBox3->setCurrentRow(sourceRow);
    window.ListBox1->setCurrentRow(copyRow);
    // The launcher says once the queued comparison has returned; only that once is wanted.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(window.launcher(), &CommandLauncher::done, &window,
                                   [connection, finished = std::move(finished)] {
                                       const auto report = finished;
                                       QObject::disconnect(*connection);
                                       report(true, QString());
                                   });
    window.N11->trigger();
}

}  // namespace korvane::ui

// A two-drive comparison started with the window, for a first start that shows what the
// program says about a copy, and for the pictures made of it.
#pragma once

#include <QString>
#include <functional>

class QListWidget;

namespace korvane::ui {

class Form1;

// The row of the list whose drive `drive` names: a letter ("D", "D:", "D:\") or the label
// the entry shows; -1 where none does.
int ListedDrive(const QListWidget& list, const QString& drive);

// With two drives, chooses `source` in the source list and `copy` in the copy list and starts
// 比較. `finished` is called once the run is over, with false, at once, where a drive is not
// listed (`missing` then names it).
void StartTwoDriveCompare(Form1& window, const QString& source, const QString& copy,
                          std::function<void(bool started, const QString& missing)> finished);

}  // namespace korvane::ui

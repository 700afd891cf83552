// The window's modal prompts behind one seam: real dialogs in the program, scripts in tests.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

#include "core/Window.h"

class QFileDialog;
class QWidget;

namespace korvane::ui {

class Prompter {
  public:
    virtual ~Prompter() = default;
    // A message box with one OK button, captioned with the application title.
    virtual void Message(QWidget* parent, const QString& text) = 0;
    // The same with a second button, "中断": false when the user chose it.
    virtual bool AskContinue(QWidget* parent, const QString& text) {
        Message(parent, text);
        return true;
    }
    // The chosen file, or empty when cancelled. Saving confirms before replacing a file.
    virtual QString AskSave(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual QString AskOpen(QWidget* parent, const FileDialogRequest& request) = 0;
    // An existing folder, or empty when cancelled (or where no folder can be asked for).
    virtual QString AskFolder(QWidget* /*parent*/) { return {}; }
    // Refuses an input.
    virtual void Beep() = 0;
    // Shows a host folder in the desktop's file manager; false when none could be started.
    virtual bool OpenFolder(const QString& hostPath);
};

// QMessageBox and QFileDialog.
class DialogPrompter : public Prompter {
  public:
    void Message(QWidget* parent, const QString& text) override;
    bool AskContinue(QWidget* parent, const QString& text) override;
    QString AskSave(QWidget* parent, const FileDialogRequest& request) override;
    QString AskOpen(QWidget* parent, const FileDialogRequest& request) override;
    QString AskFolder(QWidget* parent) override;
    void Beep() override;

  private:
    QString lastOpened_;  // the open dialog starts where the user last chose a file
};

// "shown|pattern|shown|pattern" as the steps give it -> the name filters of a Qt file dialog,
// the shown text with the patterns in parentheses after it unless it already ends in them:
// "*.txt(*.txt)|*.txt" stays "*.txt(*.txt)", "表|*.csv;*.tsv" becomes "表 (*.csv *.tsv)".
// Empty gives no filter.
QStringList NameFilters(const std::string& filter);

// Filter, starting folder and preset name of a file dialog as the step asked for them.
void PrepareFileDialog(QFileDialog& dialog, const FileDialogRequest& request);

// Where a file dialog starts: the program's folder when it is writable, else the home folder.
QString StartFolder();

}  // namespace korvane::ui

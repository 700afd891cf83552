// The real prompts: message boxes and file dialogs captioned with the application title.
#include "ui/Prompter.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QUrl>

#include "core/Texts.h"

namespace korvane::ui {

bool Prompter::OpenFolder(const QString& hostPath) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(hostPath));
}

QStringList NameFilters(const std::string& filter) {
    QStringList out;
    const QStringList parts =
        QString::fromUtf8(filter.data(), qsizetype(filter.size())).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        patterns = patterns.trimmed();
        // Qt takes the patterns from a trailing "(...)"; a shown text that already ends in its
        // own patterns, as "*.txt(*.txt)" does, is shown as it stands.
        const QString own = QLatin1Char('(') + patterns + QLatin1Char(')');
        if (parts[i].endsWith(own)) {
            out << parts[i];
        } else {
            out << parts[i] + QLatin1Char(' ') + own;
        }
    }
    return out;
}

QString StartFolder() {
    const QString own = QCoreApplication::applicationDirPath();
    const QFileInfo info(own);
    if (!own.isEmpty() && info.isDir() && info.isWritable()) return own;
    return QDir::homePath();
}

void DialogPrompter::Message(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(text::kAppTitle), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

bool DialogPrompter::AskContinue(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(text::kAppTitle), text, QMessageBox::Ok,
                    parent);
    QPushButton* abort = box.addButton(QStringLiteral("中断"), QMessageBox::DestructiveRole);
    // Escape and the close box keep their old meaning, OK: a long run is never lost to a slip.
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(box.button(QMessageBox::Ok));
    box.exec();
    return box.clickedButton() != abort;
}

void PrepareFileDialog(QFileDialog& dialog, const FileDialogRequest& request) {
    const QStringList filters = NameFilters(request.filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    dialog.setDirectory(StartFolder());
    dialog.selectFile(
        QString::fromUtf8(request.fileName.data(), qsizetype(request.fileName.size())));
}

QString DialogPrompter::AskSave(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    PrepareFileDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

QString DialogPrompter::AskOpen(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    PrepareFileDialog(dialog, request);
    // The file name box keeps the last list opened, so a second load starts beside it.
    if (!lastOpened_.isEmpty()) {
        dialog.setDirectory(QFileInfo(lastOpened_).absolutePath());
        dialog.selectFile(lastOpened_);
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    const QString chosen = dialog.selectedFiles().value(0);
    if (!chosen.isEmpty()) lastOpened_ = chosen;
    return chosen;
}

QString DialogPrompter::AskFolder(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setDirectory(lastOpened_.isEmpty() ? StartFolder()
                                              : QFileInfo(lastOpened_).absolutePath());
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

void DialogPrompter::Beep() {
    QApplication::beep();
}

}  // namespace korvane::ui

// The window's image files and folders as drives: the menu and buttons that add and remove
// them, drops on the drive lists, and the one-drive comparison they cannot take part in.
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <cstdlib>

#include "core/Window.h"
#include "platform/ExtraDrives.h"
#include "ui/AddedDrives.h"
#include "ui/Form1.h"

namespace korvane::ui {

namespace {

// Images are told by their contents, so any file may be chosen.
const FileDialogRequest kImageDialog{
    "ディスクイメージ (*.iso *.img *.udf)|*.iso;*.img;*.udf|すべてのファイル (*)|*", ""};

QToolButton* MakeDriveButton(QWidget* parent, const char* name, int top, QAction* action) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(808, top, 66, 23);
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

}  // namespace

void Form1::BuildDriveMenu() {
    DriveMenu = MainMenu1->addMenu(QStringLiteral("ドライブ"));
    DriveMenu->setObjectName(QStringLiteral("DriveMenu"));
    auto add = [this](const char* name, const QString& caption, void (Form1::*slot)()) {
        QAction* action = DriveMenu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    AddImage = add("AddImage", QStringLiteral("イメージファイルを追加..."), &Form1::AddImageClick);
    AddFolder = add("AddFolder", QStringLiteral("フォルダを追加..."), &Form1::AddFolderClick);
    RemoveDrive =
        add("RemoveDrive", QStringLiteral("追加したドライブを外す"), &Form1::RemoveDriveClick);

    // One button opens the choice of an image or a folder; the caption is its own.
    auto* addMenu = new QMenu(this);
    addMenu->addAction(AddImage);
    addMenu->addAction(AddFolder);
    auto* addCaption = new QAction(QStringLiteral("追加..."), this);
    AddDriveButton = MakeDriveButton(Panel1, "AddDriveButton", 8, addCaption);
    AddDriveButton->setMenu(addMenu);
    AddDriveButton->setPopupMode(QToolButton::InstantPopup);
    AddDriveButton->setAccessibleName(QStringLiteral("ドライブを追加"));
    auto* removeCaption = new QAction(QStringLiteral("外す"), this);
    connect(removeCaption, &QAction::triggered, RemoveDrive, &QAction::trigger);
    RemoveDriveButton = MakeDriveButton(Panel1, "RemoveDriveButton", 36, removeCaption);
    RemoveDriveButton->setAccessibleName(RemoveDrive->text());

    for (QListWidget* list : {ListBox3, ListBox1}) added_->AcceptDrops(list);
    connect(added_, &AddedDrives::dropped, this,
            [this](QListWidget* list, const QStringList& paths) {
                GuardedCall([this, list, &paths] { AddDrives(paths, list); });
            });
}

void Form1::AddImageClick() {
    GuardedCall([this] {
        if (session_.runActive) return Beep();
        const QString chosen = prompter_->AskOpen(this, kImageDialog);
        if (!chosen.isEmpty()) AddDrives({chosen}, nullptr);
    });
}

void Form1::AddFolderClick() {
    GuardedCall([this] {
        if (session_.runActive) return Beep();
        const QString chosen = prompter_->AskFolder(this);
        if (!chosen.isEmpty()) AddDrives({chosen}, nullptr);
    });
}

void Form1::AddDrives(const QStringList& hostPaths, QListWidget* chosenIn) {
    // The lists and the drive map are what a run reads.
    if (session_.runActive) return Beep();
    char last = 0;
    for (const QString& path : hostPaths) {
        QString error;
        const char letter = added_->Add(
            path, [this](char c) { return LetterTaken(c); }, error);
        if (letter == 0) {
            FillDriveLists(true);
            prompter_->Message(this, error);
            return;
        }
        last = letter;
    }
    FillDriveLists(true);
    if (chosenIn == nullptr || last == 0) return;
    for (int row = 0; row < chosenIn->count(); ++row) {
        if (chosenIn->item(row)->text().startsWith(QStringLiteral("%1:\\").arg(QLatin1Char(last))))
            chosenIn->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    }
}

void Form1::RemoveDriveClick() {
    GuardedCall([this] {
        if (session_.runActive) return Beep();
        QListWidget* list = lastList_ ? lastList_ : ListBox3;
        QListWidgetItem* item = list->currentItem();
        const char letter = item ? item->text().at(0).toLatin1() : '\0';
        if (letter == 0 || !added_->Remove(letter)) return Beep();
        // A caption left on the letter would lead the next run to whatever gets it next.
        const QString root = QStringLiteral("%1:\\").arg(QLatin1Char(letter));
        for (QLabel* caption : {Master, Copy}) {
            if (caption->text() == root) caption->clear();
        }
        FillDriveLists(true);
    });
}

bool Form1::LetterTaken(char letter) const {
    if (driveMap_.RootOf(letter) || driveMap_.Follows(letter) || images_.Has(letter)) return true;
    for (const DriveInfo& drive : discovery_.Drives()) {
        if (drive.letter == letter) return true;
    }
    const char* extraList = std::getenv(kExtraDrivesVariable);
    for (const auto& [extra, folder] : ExtraDrives(extraList ? extraList : "")) {
        if (extra == letter) return true;
    }
    return false;
}

bool Form1::ExchangeRefused() {
    if (session_.runActive || driveCountIndex_ != 0 || Master->text().isEmpty()) return false;
    const AddedDrives::Drive* drive = added_->Find(Master->text().at(0).toLatin1());
    if (drive == nullptr) return false;
    prompter_->Message(this, drive->image
                                 ? QStringLiteral("イメージファイルはディスクを入れ替えられません。"
                                                  "2ドライブで比較してください")
                                 : QStringLiteral("フォルダはディスクを入れ替えられません。"
                                                  "2ドライブで比較してください"));
    return true;
}

}  // namespace korvane::ui

// Image files and folders the user put into the drive lists, each behind a letter of its own
// until the lists are read afresh or the drive is taken out again.
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "platform/DriveMap.h"
#include "platform/image/ImageDrives.h"

class QListWidget;

namespace korvane::ui {

class AddedDrives : public QObject {
    Q_OBJECT

  public:
    struct Drive {
        char letter = 0;
        std::string hostPath;
        std::string label;  // the image's volume id, else the file's or folder's name
        bool image = false;
    };

    // Folders go into `map`, images into `images`: the window's file layer reads both.
    AddedDrives(DriveMap& map, ImageDrives& images, QObject* parent = nullptr);

    // Puts the image file or folder behind the first letter from D: that `taken` leaves free;
    // the same file or folder added again keeps its letter. 0, with `error` set to the text
    // to show, where it is neither, cannot be read, or no letter is free.
    char Add(const QString& hostPath, const std::function<bool(char)>& taken, QString& error);
    // False where the letter is no drive added here.
    bool Remove(char letter);
    void Clear();
    const Drive* Find(char letter) const;
    const std::vector<Drive>& All() const { return drives_; }

    // Image files and folders dropped on the list are handed to `dropped`, with the list.
    void AcceptDrops(QListWidget* list);

  signals:
    void dropped(QListWidget* list, const QStringList& hostPaths);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    DriveMap& map_;
    ImageDrives& images_;
    std::vector<Drive> drives_;
    std::vector<QListWidget*> lists_;
};

}  // namespace korvane::ui

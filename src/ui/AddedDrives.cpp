// Image files and folders as drives of the lists: letters, labels and drops.
#include "ui/AddedDrives.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

#include "platform/image/DiscImage.h"

namespace korvane::ui {

namespace {

std::string HostName(const QString& path) {
    return path.toStdString();
}

// The local files a drag carries; empty where it carries anything else.
QStringList LocalPaths(const QMimeData* data) {
    QStringList out;
    if (data == nullptr || !data->hasUrls()) return out;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        out << url.toLocalFile();
    }
    return out;
}

}  // namespace

AddedDrives::AddedDrives(DriveMap& map, ImageDrives& images, QObject* parent)
    : QObject(parent), map_(map), images_(images) {}

char AddedDrives::Add(const QString& hostPath, const std::function<bool(char)>& taken,
                      QString& error) {
    const QFileInfo info(hostPath);
    // One file or folder is one drive, however it was named.
    const QString real = info.canonicalFilePath();
    if (real.isEmpty()) {
        error = QStringLiteral("%1 が見つかりません").arg(hostPath);
        return 0;
    }
    const std::string host = HostName(real);
    for (const Drive& drive : drives_) {
        if (drive.hostPath == host) return drive.letter;
    }
    const bool folder = info.isDir();
    if (!folder && DetectImage(host) == ImageKind::None) {
        error = QStringLiteral("%1 はディスクイメージでもフォルダでもありません").arg(hostPath);
        return 0;
    }
    char letter = 0;
    for (char c = 'D'; c <= 'Z' && letter == 0; ++c) {
        if (!taken(c) && Find(c) == nullptr) letter = c;
    }
    if (letter == 0) {
        error = QStringLiteral("空いているドライブ文字がありません");
        return 0;
    }
    Drive drive{letter, host, QFileInfo(real).fileName().toStdString(), !folder};
    if (folder) {
        map_.Set(letter, host);
    } else {
        std::string why;
        if (!images_.Add(letter, host, why)) {
            error =
                QStringLiteral("ディスクイメージを読み取れません\n%1").arg(QString::fromUtf8(why));
            return 0;
        }
        const std::string& volumeId = images_.Image(letter)->VolumeId();
        if (!volumeId.empty()) drive.label = volumeId;
    }
    if (drive.label.empty()) drive.label = host;  // the root folder has no name of its own
    drives_.push_back(std::move(drive));
    return letter;
}

bool AddedDrives::Remove(char letter) {
    const auto it = std::find_if(drives_.begin(), drives_.end(),
                                 [letter](const Drive& d) { return d.letter == letter; });
    if (it == drives_.end()) return false;
    if (it->image) {
        images_.Remove(letter);
    } else {
        map_.Remove(letter);
    }
    drives_.erase(it);
    return true;
}

void AddedDrives::Clear() {
    while (!drives_.empty()) Remove(drives_.back().letter);
}

const AddedDrives::Drive* AddedDrives::Find(char letter) const {
    for (const Drive& drive : drives_) {
        if (drive.letter == letter) return &drive;
    }
    return nullptr;
}

void AddedDrives::AcceptDrops(QListWidget* list) {
    list->setAcceptDrops(true);
    list->viewport()->setAcceptDrops(true);
    list->viewport()->installEventFilter(this);
    lists_.push_back(list);
}

bool AddedDrives::eventFilter(QObject* watched, QEvent* event) {
    QListWidget* list = nullptr;
    for (QListWidget* l : lists_) {
        if (l->viewport() == watched) list = l;
    }
    if (list == nullptr) return QObject::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (!LocalPaths(drag->mimeData()).isEmpty()) {
                drag->acceptProposedAction();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList paths = LocalPaths(drop->mimeData());
            if (paths.isEmpty()) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            emit dropped(list, paths);
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
    }
}

}  // namespace korvane::ui

// Table model over the session's file table, with batched publication to the view.
#include "ui/FileTableModel.h"

#include <QFontMetrics>
#include <QString>
#include <string>

namespace korvane::ui {

namespace {

QString Text(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// Display columns of a UTF-8 text in a fixed-pitch Japanese font: ASCII is one column, every
// other character is counted as two. Characters that are really narrow are over-counted, so
// the estimate never loses the widest text; only the winner is measured exactly.
std::size_t EstimatedColumns(const std::string& s) {
    std::size_t cols = 0;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) == 0x80) continue;
        cols += c < 0x80 ? 1 : 2;
    }
    return cols;
}

}  // namespace

FileTableModel::FileTableModel(const FileTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {}

int FileTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(published_);
}

int FileTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant FileTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || std::size_t(index.row()) >= published_) return {};
    if (role == Qt::TextAlignmentRole) {
        return index.column() == kSize ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                       : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const FileRow& row = table_.Row(std::size_t(index.row()));
    switch (index.column()) {
        case kFile:
            return Text(row.FileName);
        case kFolder:
            return Text(row.Folder);
        case kSize:
            return Text(row.SizeText);
        case kResult:
            return Text(row.ResultText);
        default:
            return {};
    }
}

QVariant FileTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole) {
        return section == kSize ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) return {};
    static const char* const kTitles[kColumnCount] = {"File", "Folder", "Size", "Result"};
    return section >= 0 && section < kColumnCount ? QString::fromLatin1(kTitles[section])
                                                  : QVariant();
}

Qt::ItemFlags FileTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;  // never editable
}

void FileTableModel::TableCleared() {
    beginResetModel();
    published_ = 0;
    dirtyFirst_ = 1;
    dirtyLast_ = 0;
    widest_[0] = widest_[1] = 0;
    endResetModel();
}

void FileTableModel::RowAppended(std::size_t) {
    NotePending();
}

void FileTableModel::ResultChanged(std::size_t row) {
    if (row >= published_) return;  // shown with its current text once it is published
    if (dirtyFirst_ > dirtyLast_) {
        dirtyFirst_ = dirtyLast_ = row;
    } else {
        if (row < dirtyFirst_) dirtyFirst_ = row;
        if (row > dirtyLast_) dirtyLast_ = row;
    }
    NotePending();
}

bool FileTableModel::HasPending() const {
    return table_.Count() > published_ || dirtyFirst_ <= dirtyLast_;
}

void FileTableModel::NotePending() {
    if (notified_) return;
    notified_ = true;
    if (notify_) notify_();
}

void FileTableModel::Publish() {
    notified_ = false;
    if (dirtyFirst_ <= dirtyLast_) {
        const std::size_t first = dirtyFirst_;
        const std::size_t last = dirtyLast_;
        dirtyFirst_ = 1;
        dirtyLast_ = 0;
        // A verdict may come with the size read from the disc (lists that carry no sizes).
        emit dataChanged(index(int(first), kSize), index(int(last), kResult),
                         {Qt::DisplayRole, Qt::ToolTipRole});
    }
    const std::size_t count = table_.Count();
    if (count > published_) {
        const std::size_t first = published_;
        beginInsertRows({}, int(first), int(count - 1));
        published_ = count;
        endInsertRows();
        MeasureRows(first, count - 1);
    }
}

void FileTableModel::SetMeasureFont(const QFont& font) {
    measureFont_ = font;
    widest_[0] = widest_[1] = 0;
    if (published_ > 0) MeasureRows(0, published_ - 1);
}

void FileTableModel::MeasureRows(std::size_t first, std::size_t last) {
    std::size_t best[2] = {first, first};
    std::size_t bestCols[2] = {0, 0};
    for (std::size_t i = first; i <= last; ++i) {
        const FileRow& row = table_.Row(i);
        const std::size_t c0 = EstimatedColumns(row.FileName);
        const std::size_t c1 = EstimatedColumns(row.Folder);
        if (c0 > bestCols[0]) {
            bestCols[0] = c0;
            best[0] = i;
        }
        if (c1 > bestCols[1]) {
            bestCols[1] = c1;
            best[1] = i;
        }
    }
    const QFontMetrics metrics(measureFont_);
    bool grew = false;
    for (int c = 0; c < 2; ++c) {
        const FileRow& row = table_.Row(best[c]);
        const int w = metrics.horizontalAdvance(Text(c == 0 ? row.FileName : row.Folder.str()));
        if (w > widest_[c]) {
            widest_[c] = w;
            grew = true;
        }
    }
    if (grew) emit widestTextGrew();
}

}  // namespace korvane::ui

// The result table as the view sees it: rows and result changes published in batches.
#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <cstddef>
#include <functional>

#include "core/FileTable.h"

namespace korvane::ui {

// Appends and result changes are only recorded when the table reports them; Publish() hands
// them to the view in one range each. A scan of a hundred thousand files then becomes one
// insertion instead of a hundred thousand, and the view never does per-row work it would
// throw away before the next repaint.
class FileTableModel : public QAbstractTableModel, public FileTableObserver {
    Q_OBJECT

  public:
    enum Column { kFile = 0, kFolder = 1, kSize = 2, kResult = 3, kColumnCount = 4 };

    FileTableModel(const FileTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void TableCleared() override;
    void RowAppended(std::size_t row) override;
    void ResultChanged(std::size_t row) override;

    // Passes every recorded change on to the views. Cheap when nothing is pending.
    void Publish();
    bool HasPending() const;

    // Called once after the first change that is not yet published, so an idle window can
    // publish without waiting for the next message pump of a run.
    void SetPendingNotifier(std::function<void()> notify) { notify_ = std::move(notify); }

    // Widest "File" and "Folder" text in pixels for the given font, over the published rows.
    // Tracked as rows are published: the widest candidate of each batch is measured once.
    int WidestText(int column) const { return column == kFile ? widest_[0] : widest_[1]; }
    void SetMeasureFont(const QFont& font);

  signals:
    // The widest text of column File or Folder grew.
    void widestTextGrew();

  private:
    void NotePending();
    void MeasureRows(std::size_t first, std::size_t last);

    const FileTable& table_;
    std::size_t published_ = 0;
    std::size_t dirtyFirst_ = 1;  // dirtyFirst_ > dirtyLast_: no result change pending
    std::size_t dirtyLast_ = 0;
    bool notified_ = false;
    std::function<void()> notify_;
    QFont measureFont_;
    int widest_[2] = {0, 0};
};

}  // namespace korvane::ui

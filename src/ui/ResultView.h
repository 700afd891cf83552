// The table as the user looks at it: sorted by a column or in disc order, all rows or only those
// with a problem, the problem rows marked. The table's own rows and texts stay as they are.
#pragma once

#include <QIcon>
#include <QSortFilterProxyModel>

namespace korvane::ui {

class ResultView : public QSortFilterProxyModel {
    Q_OBJECT

  public:
    // `resultColumn` and `sizeColumn` of the source model: the verdict and the numeric sort.
    ResultView(int resultColumn, int sizeColumn, QObject* parent = nullptr);

    void SetProblemsOnly(bool on);
    bool ProblemsOnly() const { return problemsOnly_; }
    // Whether the source row's result is a problem.
    bool IsProblemRow(int sourceRow) const;

    // The problem rows get a background, a mark before the file name and a description that
    // screen readers speak; the texts themselves are the source's.
    QVariant data(const QModelIndex& index, int role) const override;
    // A first click on a title sorts from the smallest up.
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

  private:
    int resultColumn_;
    int sizeColumn_;
    bool problemsOnly_ = false;
    QIcon mark_;
};

}  // namespace korvane::ui

// Filter, order and marks of the result table's rows as shown.
#include "ui/ResultView.h"

#include <QColor>
#include <QPainter>
#include <QPixmap>

#include "ui/RunCounts.h"

namespace korvane::ui {

namespace {

// A red disc with a white exclamation mark: told apart by its shape, not only by its colour.
QIcon ProblemMark() {
    QIcon icon;
    for (int size : {12, 16, 24}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xc0, 0x1c, 0x28));
        p.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
        p.setBrush(Qt::white);
        const qreal w = size / 6.0;
        const qreal x = (size - w) / 2;
        p.drawRect(QRectF(x, size * 0.2, w, size * 0.4));
        p.drawRect(QRectF(x, size * 0.68, w, w));
        icon.addPixmap(pixmap);
    }
    return icon;
}

qulonglong SizeValue(const QString& text) {
    QString digits = text;
    digits.remove(u',');
    return digits.toULongLong();
}

}  // namespace

ResultView::ResultView(int resultColumn, int sizeColumn, QObject* parent)
    : QSortFilterProxyModel(parent),
      resultColumn_(resultColumn),
      sizeColumn_(sizeColumn),
      mark_(ProblemMark()) {
    // A result written during a run moves its row in or out of the filtered view at once.
    setDynamicSortFilter(true);
}

void ResultView::SetProblemsOnly(bool on) {
    if (problemsOnly_ == on) return;
    problemsOnly_ = on;
    invalidateRowsFilter();
}

bool ResultView::IsProblemRow(int sourceRow) const {
    const QModelIndex result = sourceModel()->index(sourceRow, resultColumn_);
    return IsProblem(Classify(result.data().toString()));
}

QVariant ResultView::data(const QModelIndex& index, int role) const {
    switch (role) {
        case Qt::BackgroundRole:
        case Qt::ForegroundRole:
        case Qt::DecorationRole:
        case Qt::AccessibleDescriptionRole: {
            if (!index.isValid() || !IsProblemRow(mapToSource(index).row())) break;
            if (role == Qt::BackgroundRole) return QColor(0xfb, 0xd5, 0xd8);
            if (role == Qt::ForegroundRole) return QColor(Qt::black);
            if (role == Qt::AccessibleDescriptionRole) return QStringLiteral("問題あり");
            if (index.column() == 0) return mark_;
            break;
        }
        default:
            break;
    }
    return QSortFilterProxyModel::data(index, role);
}

QVariant ResultView::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::InitialSortOrderRole) return int(Qt::AscendingOrder);
    return QSortFilterProxyModel::headerData(section, orientation, role);
}

bool ResultView::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    return !problemsOnly_ || IsProblemRow(sourceRow);
}

bool ResultView::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const QString a = left.data().toString();
    const QString b = right.data().toString();
    if (left.column() == sizeColumn_) return SizeValue(a) < SizeValue(b);
    return a < b;
}

}  // namespace korvane::ui

// The verdict of a result text and the run's counts kept per published range.
#include "ui/RunCounts.h"

#include <QAbstractItemModel>

#include "core/Texts.h"
#include "files/Md5sumList.h"

namespace korvane::ui {

namespace {

bool IsDigest(QStringView s) {
    return s.size() == 32 && IsDigestText(s.toLatin1().toStdString());
}

QString Grouped(std::size_t n) {
    QString digits = QString::number(qulonglong(n));
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3) digits.insert(i, u',');
    return digits;
}

}  // namespace

Verdict Classify(QStringView result) {
    if (result.isEmpty() || result == u"checking binary..." || IsDigest(result)) {
        return Verdict::Pending;
    }
    if (result == QLatin1String(text::kOK)) return Verdict::Good;
    if (result == QLatin1String(text::kReadError) || result.endsWith(u" rd err") ||
        result.contains(QString::fromUtf8(text::kReadErrorJa))) {
        return Verdict::ReadError;
    }
    return Verdict::Problem;
}

RunCounts::RunCounts(const QAbstractItemModel& model, int resultColumn, QObject* parent)
    : QObject(parent), model_(model), column_(resultColumn) {
    connect(&model_, &QAbstractItemModel::modelReset, this, &RunCounts::Reset);
    connect(&model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { Inserted(first, last); });
    connect(
        &model_, &QAbstractItemModel::dataChanged, this,
        [this](const QModelIndex& from, const QModelIndex& to) { Changed(from.row(), to.row()); });
    Reset();
}

void RunCounts::Reset() {
    verdicts_.clear();
    for (std::size_t& c : count_) c = 0;
    const int rows = model_.rowCount();
    if (rows > 0) {
        Inserted(0, rows - 1);
    } else {
        emit changed();
    }
}

void RunCounts::Inserted(int first, int last) {
    // Rows are only ever appended.
    verdicts_.reserve(std::size_t(last) + 1);
    for (int row = first; row <= last; ++row) {
        const Verdict v = Classify(model_.index(row, column_).data().toString());
        verdicts_.push_back(v);
        ++count_[int(v)];
    }
    emit changed();
}

void RunCounts::Changed(int first, int last) {
    for (int row = first; row <= last && std::size_t(row) < verdicts_.size(); ++row) {
        const Verdict v = Classify(model_.index(row, column_).data().toString());
        --count_[int(verdicts_[std::size_t(row)])];
        verdicts_[std::size_t(row)] = v;
        ++count_[int(v)];
    }
    emit changed();
}

QString RunCounts::Text() const {
    return QStringLiteral("ファイル %1  OK %2  問題 %3  リードエラー %4")
        .arg(Grouped(files()), Grouped(good()), Grouped(problems()), Grouped(readErrors()));
}

}  // namespace korvane::ui

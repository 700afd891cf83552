// What the rows of the table say about the run: how many files, how many OK, how many not.
#pragma once

#include <QObject>
#include <QString>
#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <vector>

class QAbstractItemModel;

namespace korvane::ui {

// A row's result as the user reads it. Pending: nothing decided yet (empty, a comparison under
// way, or a digest waiting for its comparison). Problem: anything else that is not "OK", the
// texts that keep a run from ending well.
enum class Verdict : std::uint8_t { Pending, Good, Problem, ReadError };

Verdict Classify(QStringView result);
inline bool IsProblem(Verdict v) {
    return v == Verdict::Problem || v == Verdict::ReadError;
}

// Follows the table model's rows as they are published and keeps the counts up to date, per
// changed range rather than over the whole table.
class RunCounts : public QObject {
    Q_OBJECT

  public:
    RunCounts(const QAbstractItemModel& model, int resultColumn, QObject* parent = nullptr);

    std::size_t files() const { return verdicts_.size(); }
    std::size_t good() const { return count_[int(Verdict::Good)]; }
    std::size_t problems() const {
        return count_[int(Verdict::Problem)] + count_[int(Verdict::ReadError)];
    }
    std::size_t readErrors() const { return count_[int(Verdict::ReadError)]; }
    Verdict At(std::size_t row) const { return verdicts_[row]; }

    // "ファイル 2,950  OK 2,946  問題 4  リードエラー 1"
    QString Text() const;

  signals:
    void changed();

  private:
    void Reset();
    void Inserted(int first, int last);
    void Changed(int first, int last);

    const QAbstractItemModel& model_;
    int column_;
    std::vector<Verdict> verdicts_;
    std::size_t count_[4] = {0, 0, 0, 0};
};

}  // namespace korvane::ui

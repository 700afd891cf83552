// The bar gauge of the window: a framed black bar on white with its percentage drawn inverted.
#pragma once

#include <QWidget>

namespace korvane::ui {

class Gauge : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int progress READ progress WRITE setProgress)

  public:
    explicit Gauge(QWidget* parent = nullptr);

    int progress() const { return progress_; }
    // Values outside 0..100 are stored as the nearer bound. An unchanged percentage does not
    // repaint: during a run the readers set the gauge for every block.
    void setProgress(int percent);

    QSize sizeHint() const override { return {201, 17}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int progress_ = 0;
};

}  // namespace korvane::ui

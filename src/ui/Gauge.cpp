// Painting and accessibility of the bar gauge.
#include "ui/Gauge.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QPainter>

namespace korvane::ui {

namespace {

// Assistive technology sees the gauge as a progress bar whose value is the percentage.
class GaugeAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit GaugeAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return QStringLiteral("%1%").arg(gauge()->progress());
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return gauge()->progress(); }
    void setCurrentValue(const QVariant&) override {}  // the user cannot move a gauge
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

  private:
    const Gauge* gauge() const { return static_cast<const Gauge*>(widget()); }
};

QAccessibleInterface* GaugeFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(Gauge::staticMetaObject.className()) && object &&
        object->isWidgetType()) {
        return new GaugeAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

}  // namespace

Gauge::Gauge(QWidget* parent) : QWidget(parent) {
    static const bool factoryInstalled = (QAccessible::installFactory(&GaugeFactory), true);
    (void)factoryInstalled;
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Gauge::setProgress(int percent) {
    const int p = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    if (p == progress_) return;
    progress_ = p;
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, p);
        QAccessible::updateAccessibility(&event);
    }
}

void Gauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect outer = rect();
    painter.fillRect(outer, Qt::black);  // the one-pixel frame is what the inner fill leaves
    const QRect inner = outer.adjusted(1, 1, -1, -1);
    if (inner.isEmpty()) return;
    painter.fillRect(inner, Qt::white);
    const int filled = inner.width() * progress_ / 100;
    const QRect bar(inner.left(), inner.top(), filled, inner.height());
    const QRect rest(inner.left() + filled, inner.top(), inner.width() - filled, inner.height());
    if (filled > 0) painter.fillRect(bar, Qt::black);

    // The text is drawn twice, each time clipped to one part, so it reads inverted over both.
    const QString label = QString::asprintf("%d%%", progress_);
    painter.setFont(font());
    if (!bar.isEmpty()) {
        painter.setClipRect(bar);
        painter.setPen(Qt::white);
        painter.drawText(inner, Qt::AlignCenter, label);
    }
    if (!rest.isEmpty()) {
        painter.setClipRect(rest);
        painter.setPen(Qt::black);
        painter.drawText(inner, Qt::AlignCenter, label);
    }
}

}  // namespace korvane::ui

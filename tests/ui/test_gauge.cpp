// Widget tests of the bar gauge: clamping, inverted text pixels, repaints, accessibility.
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QImage>
#include <QtTest>

#include "ui/Gauge.h"

using korvane::ui::Gauge;

namespace {

class CountingGauge : public Gauge {
  public:
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent* e) override {
        ++paints;
        Gauge::paintEvent(e);
    }
};

struct Counts {
    int white = 0;
    int black = 0;
};

Counts CountIn(const QImage& img, const QRect& r) {
    Counts c;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (qGray(p) > 200) ++c.white;
            if (qGray(p) < 55) ++c.black;
        }
    }
    return c;
}

QImage Render(Gauge& g) {
    return g.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class GaugeTest : public QObject {
    Q_OBJECT

  private slots:
    void clampsToPercentRange_data();
    void clampsToPercentRange();
    void framedBarOnWhite();
    void textIsInvertedOverFillAndBackground();
    void unchangedPercentDoesNotRepaint();
    void exposesValueAsProgressBar();
};

void GaugeTest::clampsToPercentRange_data() {
    QTest::addColumn<int>("given");
    QTest::addColumn<int>("stored");
    QTest::newRow("below") << -5 << 0;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("middle") << 42 << 42;
    QTest::newRow("full") << 100 << 100;
    QTest::newRow("above") << 250 << 100;
}

void GaugeTest::clampsToPercentRange() {
    QFETCH(int, given);
    QFETCH(int, stored);
    Gauge g;
    g.setProgress(7);
    g.setProgress(given);
    QCOMPARE(g.progress(), stored);
}

void GaugeTest::framedBarOnWhite() {
    Gauge g;
    g.resize(201, 17);
    g.setProgress(50);
    const QImage img = Render(g);
    // Frame on all four sides.
    for (QPoint p : {QPoint(0, 0), QPoint(200, 0), QPoint(0, 16), QPoint(200, 16), QPoint(100, 0),
                     QPoint(100, 16), QPoint(0, 8), QPoint(200, 8)}) {
        QCOMPARE(qGray(img.pixel(p)), 0);
    }
    // Inner width 199: 50 % fills 99 pixels (truncated), columns 1..99; the rest is white.
    QCOMPARE(qGray(img.pixel(2, 2)), 0);
    QCOMPARE(qGray(img.pixel(99, 2)), 0);
    QCOMPARE(qGray(img.pixel(100, 2)), 255);
    QCOMPARE(qGray(img.pixel(198, 2)), 255);

    // A fill narrower than one pixel is not drawn.
    Gauge tiny;
    tiny.resize(51, 17);  // inner width 49: 2 % is 0.98 pixel
    tiny.setProgress(2);
    QCOMPARE(qGray(Render(tiny).pixel(1, 2)), 255);
}

void GaugeTest::textIsInvertedOverFillAndBackground() {
    Gauge g;
    g.resize(201, 17);
    const QRect inner(1, 1, 199, 15);

    g.setProgress(0);
    const QImage empty = Render(g);
    QVERIFY2(CountIn(empty, inner).black > 5, "0%: black text on white");

    g.setProgress(100);
    const QImage full = Render(g);
    QVERIFY2(CountIn(full, inner).white > 5, "100%: white text on black");

    // At 50 % the text straddles the edge of the fill: white glyph pixels left of the edge,
    // black ones right of it.
    g.setProgress(50);
    const QImage half = Render(g);
    const QRect fill(1, 1, 99, 15);
    const QRect rest(100, 1, 100, 15);
    QVERIFY(CountIn(half, fill).white > 0);
    QVERIFY(CountIn(half, rest).black > 0);
    // And the text is really there: the two halves differ from a bar without text.
    QVERIFY(CountIn(half, fill).white < fill.width() * fill.height());
}

void GaugeTest::unchangedPercentDoesNotRepaint() {
    CountingGauge g;
    g.resize(201, 17);
    g.show();
    QVERIFY(QTest::qWaitForWindowExposed(&g));
    QCoreApplication::processEvents();
    g.setProgress(30);
    QTRY_COMPARE(g.paints > 0, true);
    QCoreApplication::processEvents();
    const int before = g.paints;
    for (int i = 0; i < 20; ++i) {
        g.setProgress(30);
    }
    QCoreApplication::processEvents();
    QCOMPARE(g.paints, before);
    g.setProgress(31);
    QTRY_COMPARE(g.paints, before + 1);
}

void GaugeTest::exposesValueAsProgressBar() {
    Gauge g;
    g.setAccessibleName(QStringLiteral("ディスクの進捗"));
    g.setProgress(42);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&g);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::ProgressBar);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("ディスクの進捗"));
    QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("42%"));
    QAccessibleValueInterface* value = iface->valueInterface();
    QVERIFY(value);
    QCOMPARE(value->currentValue().toInt(), 42);
    QCOMPARE(value->minimumValue().toInt(), 0);
    QCOMPARE(value->maximumValue().toInt(), 100);
    g.setProgress(77);
    QCOMPARE(value->currentValue().toInt(), 77);
}

QTEST_MAIN(GaugeTest)
#include "test_gauge.moc"

// Widget tests of the window as built: layout, resizing, names, menu wiring, fonts, access.
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QAccessibleTextInterface>
#include <QAccessibleValueInterface>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QtTest>
#include <memory>

#include "ScriptedPrompter.h"
#include "core/Session.h"
#include "support/DiscImage.h"
#include "ui/CommandLauncher.h"
#include "ui/Form1.h"
#include "ui/Gauge.h"

using korvane::StatusPanel;
using korvane::test::ScriptedPrompter;
using korvane::ui::Form1;

namespace {

struct Fixture {
    ScriptedPrompter* prompter;
    std::unique_ptr<Form1> form;

    Fixture() {
        auto p = std::make_unique<ScriptedPrompter>();
        prompter = p.get();
        form = std::make_unique<Form1>(std::move(p));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCoreApplication::processEvents();
    }
};

QWidget* Named(Form1& form, const QString& name) {
    return form.findChild<QWidget*>(name);
}

}  // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        qunsetenv("KORVANE_EXTRA_DRIVES");
        // No drive at all, whatever the machine or other tests have mounted.
        qputenv("KORVANE_MOUNT_PREFIX",
                QByteArray::fromStdString(korvane::test::MountPointPrefix()));
    }
    void opensWithCaptionPlaceAndSize();
    void regionsStackTopToBottom();
    void controlsSitWhereListed_data();
    void controlsSitWhereListed();
    void resizingChangesOnlyTheTable();
    void startStateOfControls();
    void menuItemsAreNamedAndOrdered();
    void menuItemsReachTheirCommands_data();
    void menuItemsReachTheirCommands();
    void abortWhileIdleIsDroppedAndRereadClears();
    void fontsAreTheJapaneseGothics();
    void controlsAreAccessible();
};

void WindowLayoutTest::opensWithCaptionPlaceAndSize() {
    Fixture f;
    QCOMPARE(f.form->windowTitle(), QStringLiteral("Korvane β1"));
    // The listed place where the screen holds it, else centred and at most the screen's size.
    using korvane::ui::FirstGeometry;
    QCOMPARE(FirstGeometry(QRect(0, 0, 1920, 1080)), QRect(200, 215, 882, 493));
    QCOMPARE(FirstGeometry(QRect(0, 0, 1024, 768)), QRect(71, 137, 882, 493));
    QCOMPARE(FirstGeometry(QRect(0, 30, 800, 570)), QRect(0, 68, 800, 493));
    const QRect available = f.form->screen()->availableGeometry();
    QTRY_COMPARE(f.form->frameGeometry(), FirstGeometry(available));
    QVERIFY(available.contains(f.form->frameGeometry()));
}

void WindowLayoutTest::regionsStackTopToBottom() {
    Fixture f;
    Form1& w = *f.form;
    QCOMPARE(w.Panel1->height(), 89);
    QCOMPARE(w.Panel2->height(), 113);
    QCOMPARE(w.StatusBar1->height(), 19);
    const QPoint tableTop = w.ListView1->mapTo(&w, QPoint(0, 0));
    const QPoint panel1Top = w.Panel1->mapTo(&w, QPoint(0, 0));
    const QPoint panel2Top = w.Panel2->mapTo(&w, QPoint(0, 0));
    QCOMPARE(tableTop.y(), panel1Top.y() + 89);
    QCOMPARE(panel2Top.y(), tableTop.y() + w.ListView1->height());
    QCOMPARE(w.StatusBar1->geometry().top(), panel2Top.y() + 113);
    QVERIFY(w.ListView1->height() > 100);
    QCOMPARE(w.ListView1->width(), w.centralWidget()->width());
    // Status panels: 100, 150, the rest.
    QCOMPARE(w.StatusPanels[0]->width(), 100);
    QCOMPARE(w.StatusPanels[1]->width(), 150);
    QVERIFY(w.StatusPanels[2]->width() >= 50);
    QVERIFY(w.StatusPanels[2]->geometry().right() > w.StatusBar1->width() - 40);
}

void WindowLayoutTest::controlsSitWhereListed_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QRect>("place");  // width/height 0: sized by its text
    auto row = [](const char* name, const char* panel, QRect r) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(panel) << r;
    };
    row("Label1", "Panel1", QRect(8, 16, 0, 0));
    row("Master", "Panel1", QRect(16, 32, 17, 17));
    row("ListBox3", "Panel1", QRect(96, 8, 250, 73));
    row("Label2", "Panel1", QRect(360, 16, 0, 0));
    row("Copy", "Panel1", QRect(368, 32, 17, 17));
    row("ListBox1", "Panel1", QRect(440, 8, 250, 73));
    row("RadioGroup1", "Panel1", QRect(704, 8, 97, 65));
    row("Label6", "Panel2", QRect(8, 24, 0, 0));
    row("Gauge1", "Panel2", QRect(88, 24, 201, 17));
    row("Label7", "Panel2", QRect(8, 48, 0, 0));
    row("Gauge2", "Panel2", QRect(88, 48, 201, 17));
    row("Label5", "Panel2", QRect(92, 72, 0, 0));
    row("Label3", "Panel2", QRect(296, 8, 0, 0));
    row("Memo2", "Panel2", QRect(296, 24, 209, 89));
    row("Label4", "Panel2", QRect(512, 8, 0, 0));
    row("Memo3", "Panel2", QRect(512, 24, 353, 89));
}

void WindowLayoutTest::controlsSitWhereListed() {
    QFETCH(QString, name);
    QFETCH(QString, panel);
    QFETCH(QRect, place);
    Fixture f;
    QWidget* w = Named(*f.form, name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->parentWidget(), Named(*f.form, panel));
    QCOMPARE(w->pos(), place.topLeft());
    if (place.width() > 0) QCOMPARE(w->size(), place.size());
}

void WindowLayoutTest::resizingChangesOnlyTheTable() {
    Fixture f;
    Form1& w = *f.form;
    const int table = w.ListView1->height();
    const int tableWidth = w.ListView1->width();
    w.resize(w.width() + 100, w.height() + 150);
    QTRY_COMPARE(w.ListView1->height(), table + 150);
    QCOMPARE(w.ListView1->width(), tableWidth + 100);
    QCOMPARE(w.Panel1->height(), 89);
    QCOMPARE(w.Panel2->height(), 113);
    QCOMPARE(w.StatusBar1->height(), 19);
    QCOMPARE(w.Gauge1->geometry(), QRect(88, 24, 201, 17));
    w.resize(w.width(), w.height() - 250);
    QTRY_COMPARE(w.ListView1->height(), table - 100);
    QCOMPARE(w.Panel1->height(), 89);
    QCOMPARE(w.Panel2->height(), 113);
}

void WindowLayoutTest::startStateOfControls() {
    Fixture f;
    Form1& w = *f.form;
    QCOMPARE(w.Master->text(), QString());
    QCOMPARE(w.Copy->text(), QString());
    QVERIFY(!w.Copy->isEnabled());
    QVERIFY(!w.ListBox1->isEnabled());
    QVERIFY(w.RadioGroup1Items[0]->isChecked());
    QCOMPARE(w.DriveCountIndex(), 0);
    QCOMPARE(w.Gauge1->progress(), 0);
    QCOMPARE(w.Gauge2->progress(), 0);
    for (QLabel* panel : w.StatusPanels) QCOMPARE(panel->text(), QString());
    QVERIFY(w.Memo2->isReadOnly() && w.Memo3->isReadOnly());
    QVERIFY(!w.Timer1->isActive());
    QCOMPARE(w.Timer1->interval(), 1000);
    QCOMPARE(w.ListView1->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(w.ListView1->columnWidth(2), 70);
    QVERIFY(w.ListView1->columnWidth(3) >= 220);
    // The columns fill the table, and follow it when the window grows.
    auto columnsEnd = [&w] { return w.ListView1->horizontalHeader()->length(); };
    QCOMPARE(columnsEnd(), w.ListView1->viewport()->width());
    const int result = w.ListView1->columnWidth(3);
    const int folder = w.ListView1->columnWidth(1);
    w.resize(w.width() + 200, w.height());
    QTRY_COMPARE(columnsEnd(), w.ListView1->viewport()->width());
    QCOMPARE(w.ListView1->columnWidth(1) + w.ListView1->columnWidth(3), folder + result + 200);
    QCOMPARE(w.ListView1->columnWidth(2), 70);
    // The counts are shown from the start.
    QCOMPARE(w.CountsLabel->text(), QStringLiteral("ファイル 0  OK 0  問題 0  リードエラー 0"));
}

void WindowLayoutTest::menuItemsAreNamedAndOrdered() {
    Fixture f;
    Form1& w = *f.form;
    QCOMPARE(w.MainMenu1->objectName(), QStringLiteral("MainMenu1"));
    const QList<QAction*> top = w.MainMenu1->actions();
    QCOMPARE(top.size(), 4);
    QCOMPARE(top[2]->menu(), w.ViewMenu);
    QCOMPARE(top[3]->menu(), w.DriveMenu);
    QCOMPARE(w.DriveMenu->actions(), (QList<QAction*>{w.AddImage, w.AddFolder, w.RemoveDrive}));
    QCOMPARE(w.ViewMenu->title(), QStringLiteral("表示"));
    QCOMPARE(w.ViewMenu->actions(), (QList<QAction*>{w.ProblemsOnly, w.NextProblem, w.DiscOrder}));
    QCOMPARE(w.ProblemsOnly->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    QCOMPARE(w.NextProblem->shortcut(), QKeySequence(Qt::Key_F8));
    QVERIFY(w.ViewBar->actions().contains(w.ProblemsOnly));
    QCOMPARE(top[0]->menu(), w.N1);
    QCOMPARE(w.N1->objectName(), QStringLiteral("N1"));
    QCOMPARE(w.N1->title(), QStringLiteral("処理"));
    QCOMPARE(top[1], w.N6);
    QCOMPARE(w.N6->objectName(), QStringLiteral("N6"));
    QCOMPARE(w.N6->text(), QStringLiteral("ドライブ再読"));

    const QList<QAction*> items = w.N1->actions();
    const QStringList names = {"N11", "CRC321", "CRC322", "N2", "N7", "CSV1", "N8", "N9"};
    const QStringList captions = {"比較", "MD5計算", "MD5読込", "リードエラーテスト",
                                  "",     "CSV出力", "",        "中断"};
    QCOMPARE(items.size(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(items[i]->objectName(), names[i]);
        QCOMPARE(items[i]->isSeparator(), captions[i].isEmpty());
        if (!captions[i].isEmpty()) QCOMPARE(items[i]->text(), captions[i]);
        QVERIFY(items[i]->isEnabled());
    }
}

void WindowLayoutTest::menuItemsReachTheirCommands_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("commandPanel");
    QTest::newRow("N11") << "N11"
                         << "比較";
    QTest::newRow("CRC321") << "CRC321"
                            << "MD5計算";
    QTest::newRow("CRC322") << "CRC322"
                            << "MD5読込-比較";
    QTest::newRow("N2") << "N2"
                        << "リードエラーテスト";
    QTest::newRow("CSV1") << "CSV1"
                          << "CSV出力";
}

void WindowLayoutTest::menuItemsReachTheirCommands() {
    QFETCH(QString, action);
    QFETCH(QString, commandPanel);
    Fixture f;
    // No source drive is chosen: each command names itself and is refused by the dispatcher.
    f.form->findChild<QAction*>(action)->trigger();
    QTRY_VERIFY(f.form->launcher()->Idle());
    QCOMPARE(f.form->StatusPanels[0]->text(), commandPanel);
    QCOMPARE(f.form->PanelText(StatusPanel::Command), commandPanel.toStdString());
    QCOMPARE(f.prompter->messages, QStringList{QStringLiteral("比較元ドライブを指定してください")});
}

void WindowLayoutTest::abortWhileIdleIsDroppedAndRereadClears() {
    Fixture f;
    f.form->N9->trigger();
    QVERIFY(!f.form->session().AbortRequested);
    QVERIFY(f.prompter->messages.isEmpty());
    f.form->session().AbortRequested = true;
    f.form->N6->trigger();
    QVERIFY(!f.form->session().AbortRequested);
}

void WindowLayoutTest::fontsAreTheJapaneseGothics() {
    Fixture f;
    Form1& w = *f.form;
    QCOMPARE(w.font().pointSize(), 9);
    QCOMPARE(w.font().family(), QStringLiteral("IPAPGothic"));
    for (QWidget* fixed : {static_cast<QWidget*>(w.ListView1), static_cast<QWidget*>(w.ListBox3),
                           static_cast<QWidget*>(w.ListBox1)}) {
        QCOMPARE(fixed->font().family(), QStringLiteral("IPAGothic"));
        QCOMPARE(fixed->font().pointSize(), 9);
    }
    QCOMPARE(w.Memo2->font().family(), QStringLiteral("IPAPGothic"));
    if (QFontInfo(w.ListView1->font()).family() != QStringLiteral("IPAGothic")) {
        QSKIP("fonts-ipafont-gothic is not installed; the fallback faces are in use");
    }
    // Digests line up: every hexadecimal digit has the same advance.
    const QFontMetrics m(w.ListView1->font());
    QCOMPARE(m.horizontalAdvance(QStringLiteral("0000000000")),
             m.horizontalAdvance(QStringLiteral("abcdef1234")));
}

void WindowLayoutTest::controlsAreAccessible() {
    Fixture f;
    Form1& w = *f.form;
    w.SetPanelText(StatusPanel::Command, "比較");
    w.SetPanelText(StatusPanel::Total, "全容量:1,024");
    w.SetPanelText(StatusPanel::Outcome, "正常に終了しました");
    w.AppendLog("比較元CDを読み取っています");
    w.AppendLog("読み取り終了");
    w.AppendReadError("Q:\\BAD.BIN");
    w.SetGauge(korvane::GaugeId::File, 42);
    w.SetGauge(korvane::GaugeId::Disc, 7);
    w.Master->setText(QStringLiteral("Q:\\"));
    w.ListBox3->addItem(QStringLiteral("Q:\\ SRC"));
    w.session().table.Append({"A.BIN", "Q:\\DATA\\", "10", "OK"});
    QCoreApplication::processEvents();

    const QStringList panels = {"比較", "全容量:1,024", "正常に終了しました"};
    for (int i = 0; i < 3; ++i) {
        QAccessibleInterface* p = QAccessible::queryAccessibleInterface(w.StatusPanels[i]);
        QVERIFY(p);
        QCOMPARE(p->role(), QAccessible::StaticText);
        QCOMPARE(p->text(QAccessible::Name), panels[i]);
    }

    struct GaugeCase {
        korvane::ui::Gauge* gauge;
        int value;
        QString name;
    };
    for (const GaugeCase& g :
         {GaugeCase{w.Gauge1, 42, "ファイルの進捗"}, GaugeCase{w.Gauge2, 7, "ディスクの進捗"}}) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(g.gauge);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::ProgressBar);
        QCOMPARE(iface->text(QAccessible::Name), g.name);
        QVERIFY(iface->valueInterface());
        QCOMPARE(iface->valueInterface()->currentValue().toInt(), g.value);
    }

    QAccessibleInterface* log = QAccessible::queryAccessibleInterface(w.Memo2);
    QVERIFY(log);
    QVERIFY(log->state().readOnly);
    QCOMPARE(log->text(QAccessible::Name), QStringLiteral("処理ログ"));
    QAccessibleTextInterface* logText = log->textInterface();
    QVERIFY(logText);
    QCOMPARE(logText->text(0, logText->characterCount()),
             QStringLiteral("比較元CDを読み取っています\n読み取り終了"));
    QAccessibleInterface* errors = QAccessible::queryAccessibleInterface(w.Memo3);
    QVERIFY(errors->state().readOnly);
    QCOMPARE(errors->textInterface()->text(0, errors->textInterface()->characterCount()),
             QStringLiteral("Q:\\BAD.BIN"));

    QAccessibleInterface* master = QAccessible::queryAccessibleInterface(w.Master);
    QCOMPARE(master->text(QAccessible::Name), QStringLiteral("Q:\\"));
    QCOMPARE(master->text(QAccessible::Description), QStringLiteral("比較元ドライブ"));

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(w.ListBox3);
    QCOMPARE(list->text(QAccessible::Name), QStringLiteral("比較元ドライブ"));
    bool entryFound = false;
    for (int i = 0; i < list->childCount(); ++i) {
        if (list->child(i)->text(QAccessible::Name) == QStringLiteral("Q:\\ SRC"))
            entryFound = true;
    }
    QVERIFY(entryFound);

    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(w.ListView1);
    QAccessibleTableInterface* cells = table->tableInterface();
    QVERIFY(cells);
    QCOMPARE(cells->rowCount(), 1);
    QCOMPARE(cells->cellAt(0, 0)->text(QAccessible::Name), QStringLiteral("A.BIN"));
    QCOMPARE(cells->cellAt(0, 3)->text(QAccessible::Name), QStringLiteral("OK"));
}

QTEST_MAIN(WindowLayoutTest)
#include "test_window_layout.moc"

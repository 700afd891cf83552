// Widget tests of the window at work: drives, timer, table updates, runs, refused inputs.
#include <QComboBox>
#include <QCryptographicHash>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QUrl>
#include <QtTest>
#include <filesystem>
#include <map>
#include <memory>

#include "ScriptedPrompter.h"
#include "core/Session.h"
#include "support/DiscImage.h"
#include "support/TempTree.h"
#include "ui/CommandLauncher.h"
#include "ui/FileTableModel.h"
#include "ui/Form1.h"
#include "ui/Gauge.h"
#include "ui/Prompter.h"
#include "ui/ResultView.h"

using korvane::FileRow;
using korvane::GaugeId;
using korvane::StatusPanel;
using korvane::test::BuildImage;
using korvane::test::MountPointPrefix;
using korvane::test::PatternBytes;
using korvane::test::ScriptedPrompter;
using korvane::test::TempTree;
using korvane::ui::Form1;

namespace {

const QString kExchange = QStringLiteral("コピーCDと入れ替えてください");
const QString kAborted = QStringLiteral("中断しました");

struct Fixture {
    ScriptedPrompter* prompter;
    std::unique_ptr<Form1> form;

    explicit Fixture(const QByteArray& extraDrives) {
        qputenv("KORVANE_EXTRA_DRIVES", extraDrives);
        // The drives are the folders above alone: discs that other tests mount meanwhile, or the
        // machine's own, must not move a row of the lists.
        qputenv("KORVANE_MOUNT_PREFIX", QByteArray::fromStdString(MountPointPrefix()));
        auto p = std::make_unique<ScriptedPrompter>();
        prompter = p.get();
        form = std::make_unique<Form1>(std::move(p));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
};

int RowStartingWith(QListWidget* list, const QString& prefix) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text().startsWith(prefix)) return i;
    }
    return -1;
}

void ClickRow(QListWidget* list, int row) {
    QVERIFY(row >= 0);
    const QRect r = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

int SelectedRow(QListWidget* list) {
    const auto selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

QString Md5(const std::string& bytes) {
    return QString::fromLatin1(
        QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Md5)
            .toHex());
}

std::map<std::string, FileRow> RowsByName(Form1& form) {
    std::map<std::string, FileRow> out;
    for (const FileRow& row : form.session().table.Rows()) out[row.FileName] = row;
    return out;
}

QStringList LogLines(const QPlainTextEdit* memo) {
    return memo->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A source disc and a copy with one changed byte in one file and one file missing.
struct Discs {
    TempTree tree;
    std::string source;
    std::string copy;
    std::string big;
    std::string bigCopy;

    explicit Discs(bool identical = false) {
        source = tree.MakeFolder("SRC");
        copy = tree.MakeFolder("COPY");
        big = PatternBytes(300000, 7);
        bigCopy = big;
        if (!identical) bigCopy[150000] = char(bigCopy[150000] ^ 0x01);
        tree.WriteFile("SRC/A.TXT", "hello");
        tree.WriteFile("SRC/DATA/B.BIN", big);
        tree.WriteFile("SRC/DATA/SUB/C.TXT", "c");
        tree.WriteFile("SRC/EMPTY.DAT", "");
        tree.WriteFile("COPY/A.TXT", "hello");
        tree.WriteFile("COPY/DATA/B.BIN", bigCopy);
        if (identical) tree.WriteFile("COPY/DATA/SUB/C.TXT", "c");
        tree.WriteFile("COPY/EMPTY.DAT", "");
    }
};

// A one-drive 比較 of the source behind Q:; the exchange prompt puts the copy behind Q:.
void RunOneDriveCompare(Fixture& f, const Discs& discs) {
    Form1& w = *f.form;
    ClickRow(w.ListBox3, RowStartingWith(w.ListBox3, "Q:\\"));
    f.prompter->onMessage = [&](const QString& text) {
        if (text == kExchange) w.driveMap().Set('Q', discs.copy);
    };
    w.N11->trigger();
    QTRY_VERIFY(w.launcher()->Idle());
}

}  // namespace

class WindowRunsTest : public QObject {
    Q_OBJECT

  private slots:
    void extraDrivesParse_data();
    void extraDrivesParse();
    void nameFiltersFromStepFilters_data();
    void nameFiltersFromStepFilters();
    void listsExtraFoldersAsDrives();
    void choosingDrivesSetsCaptions();
    void timerTick_data();
    void timerTick();
    void tablePublishesChangesInBatches();
    void oneDriveCompareFindsTheDamage();
    void oneDriveCompareOfAGoodCopySucceeds();
    void twoDriveCompareThroughTheWindow();
    void addedImageAndFolderCompareAsDrives();
    void addedDriveRefusesTheExchange();
    void digestListSavedAndLoadedThroughDialogs();
    void inputsDuringARunAreRefused();
    void abortDuringARunEndsIt();
    void closingDuringARunWaitsForIt();
};

void WindowRunsTest::extraDrivesParse_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("expected");  // "L=folder" joined by '|'
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("one") << "D=/mnt/a"
                         << "D=/mnt/a";
    QTest::newRow("two, lower case") << "D=/a;e=/b c"
                                     << "D=/a|E=/b c";
    QTest::newRow("malformed parts skipped") << ";X;Q=;1=/z;A=/a;B=/b;R=/r"
                                             << "R=/r";
}

void WindowRunsTest::extraDrivesParse() {
    QFETCH(QString, list);
    QFETCH(QString, expected);
    QStringList got;
    for (const auto& [letter, folder] : korvane::ui::ExtraDrives(list.toStdString())) {
        got << QString(QChar(letter)) + "=" + QString::fromStdString(folder);
    }
    QCOMPARE(got.join('|'), expected);
}

void WindowRunsTest::nameFiltersFromStepFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("digest list") << "*.txt(*.txt)|*.txt" << QStringList{"*.txt(*.txt)"};
    QTest::newRow("table export") << "*.csv(*.csv)|*.csv" << QStringList{"*.csv(*.csv)"};
    QTest::newRow("none") << "" << QStringList{};
    QTest::newRow("two, several patterns")
        << "表(*.csv)|*.csv;*.tsv|全て|*" << QStringList{"表(*.csv) (*.csv *.tsv)", "全て (*)"};
}

void WindowRunsTest::nameFiltersFromStepFilters() {
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(korvane::ui::NameFilters(filter.toStdString()), expected);
    if (expected.size() != 1) return;
    // The dialog shows the text as it stands and lists by the pattern in its parentheses.
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    korvane::ui::PrepareFileDialog(dialog, {filter.toStdString(), ""});
    const auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types);
    QCOMPARE(types->currentText(), expected[0]);
    const auto* model = dialog.findChild<QFileSystemModel*>();
    QVERIFY(model);
    QCOMPARE(model->nameFilters(), QStringList{filter.section(QLatin1Char('|'), 1, 1)});
}

void WindowRunsTest::listsExtraFoldersAsDrives() {
    TempTree tree;
    const std::string src = tree.MakeFolder("SRC");
    const std::string copy = tree.MakeFolder("COPY");
    Fixture f(QByteArray::fromStdString("Q=" + copy + ";E=" + src + ";B=" + src));
    Form1& w = *f.form;
    for (QListWidget* list : {w.ListBox3, w.ListBox1}) {
        const int e = RowStartingWith(list, "E:\\");
        const int q = RowStartingWith(list, "Q:\\");
        QVERIFY(e >= 0 && q > e);
        QCOMPARE(list->item(e)->text(), QStringLiteral("E:\\ SRC"));
        QCOMPARE(list->item(q)->text(), QStringLiteral("Q:\\ COPY"));
        QCOMPARE(list->item(e)->toolTip(), QString::fromStdString(src));
        QCOMPARE(RowStartingWith(list, "B:\\"), -1);
        QCOMPARE(SelectedRow(list), -1);
    }
    QCOMPARE(w.ListBox3->count(), w.ListBox1->count());
    QCOMPARE(w.driveMap().ToHost("Q:\\A.TXT").value_or(""), copy + "/A.TXT");
}

void WindowRunsTest::choosingDrivesSetsCaptions() {
    TempTree tree;
    Fixture f(
        QByteArray::fromStdString("E=" + tree.MakeFolder("SRC") + ";Q=" + tree.MakeFolder("COPY")));
    Form1& w = *f.form;
    ClickRow(w.ListBox3, RowStartingWith(w.ListBox3, "Q:\\"));
    QCOMPARE(w.Master->text(), QStringLiteral("Q:\\"));
    QCOMPARE(w.MasterRoot(), std::string("Q:\\"));
    QVERIFY(w.Master->contentsRect().width() >=
            w.Master->fontMetrics().horizontalAdvance(w.Master->text()));

    // Re-reading keeps the choice but shows no selection.
    w.session().AbortRequested = true;
    w.N6->trigger();
    QCOMPARE(w.Master->text(), QStringLiteral("Q:\\"));
    QCOMPARE(SelectedRow(w.ListBox3), -1);
    QVERIFY(!w.session().AbortRequested);

    // The disabled target list does not take clicks.
    ClickRow(w.ListBox1, RowStartingWith(w.ListBox1, "E:\\"));
    QCOMPARE(w.Copy->text(), QString());

    QTest::mouseClick(w.RadioGroup1Items[1], Qt::LeftButton);
    QCOMPARE(w.DriveCountIndex(), 1);
    QVERIFY(w.ListBox1->isEnabled());
    QVERIFY(w.Copy->isEnabled());
    ClickRow(w.ListBox1, RowStartingWith(w.ListBox1, "E:\\"));
    QCOMPARE(w.CopyRoot(), std::string("E:\\"));

    QTest::mouseClick(w.RadioGroup1Items[0], Qt::LeftButton);
    QCOMPARE(w.DriveCountIndex(), 0);
    QVERIFY(!w.ListBox1->isEnabled());
    QVERIFY(!w.Copy->isEnabled());
    QCOMPARE(w.Copy->text(), QStringLiteral("E:\\"));
    QTest::mouseClick(w.RadioGroup1Items[1], Qt::LeftButton);
    QVERIFY(w.Copy->isEnabled());
    QCOMPARE(w.Copy->text(), QStringLiteral("E:\\"));
    QCOMPARE(f.prompter->beeps, 0);
}

void WindowRunsTest::timerTick_data() {
    QTest::addColumn<qulonglong>("total");
    QTest::addColumn<qulonglong>("done");
    QTest::addColumn<uint>("elapsedBefore");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("gauge");
    QTest::addColumn<QString>("label");
    QTest::addColumn<uint>("elapsedAfter");
    const QString before = QStringLiteral("before");
    QTest::newRow("quarter") << 200ull << 50ull << 74u << "比較" << 25 << "経過 01:15/残り 03:45"
                             << 75u;
    QTest::newRow("all done") << 200ull << 200ull << 9u << "比較" << 100 << "経過 00:10/残り 00:00"
                              << 10u;
    QTest::newRow("over an hour and a half")
        << 200ull << 100ull << 5999u << "比較" << 50 << "経過 100:00/残り 100:00" << 6000u;
    QTest::newRow("nothing done yet") << 200ull << 0ull << 3u << "比較" << 0 << before << 3u;
    QTest::newRow("digest-only run keeps the label")
        << 200ull << 150ull << 3u << "MD5計算" << 75 << before << 3u;
    QTest::newRow("no total") << 0ull << 10ull << 3u << "比較" << 33 << before << 3u;
}

void WindowRunsTest::timerTick() {
    QFETCH(qulonglong, total);
    QFETCH(qulonglong, done);
    QFETCH(uint, elapsedBefore);
    QFETCH(QString, command);
    QFETCH(int, gauge);
    QFETCH(QString, label);
    QFETCH(uint, elapsedAfter);
    Fixture f("");
    Form1& w = *f.form;
    w.SetGauge(GaugeId::Disc, 33);
    w.SetTimeLabel("before");
    w.SetPanelText(StatusPanel::Command, command.toStdString());
    w.session().TotalBytes = total;
    w.session().DoneBytes = done;
    w.session().ElapsedSeconds = elapsedBefore;
    w.Timer1Timer();
    QCOMPARE(w.Gauge2->progress(), gauge);
    QCOMPARE(w.Label5->text(), label);
    QCOMPARE(w.session().ElapsedSeconds, elapsedAfter);
    QCOMPARE(w.Gauge1->progress(), 0);
}

void WindowRunsTest::tablePublishesChangesInBatches() {
    Fixture f("");
    Form1& w = *f.form;
    w.SetPacing(0, 0);
    korvane::ui::FileTableModel* model = w.tableModel();
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);

    korvane::Session& s = w.session();
    s.runActive = true;  // as inside a step: nothing is published before the next pump
    const int n = 2000;
    for (int i = 0; i < n; ++i) {
        s.table.Append({"F" + std::to_string(i) + ".BIN", "Q:\\D\\", std::to_string(i), ""});
    }
    s.table.Append({"とても長い名前のファイル.BIN", "Q:\\D\\", "1", ""});
    QCOMPARE(model->rowCount(), 0);
    w.ProcessMessages();
    QCOMPARE(model->rowCount(), n + 1);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted[0][1].toInt(), 0);
    QCOMPARE(inserted[0][2].toInt(), n);
    // The name column fits its widest entry.
    const QFontMetrics m(w.ListView1->font());
    QVERIFY(w.ListView1->columnWidth(0) >=
            m.horizontalAdvance(QStringLiteral("とても長い名前のファイル.BIN")));

    s.table.SetResult(5, "OK", korvane::Outcome::Good);
    s.table.SetResult(40, "Read Error", korvane::Outcome::ReadError);
    QCOMPARE(changed.size(), 0);
    w.ScrollRowIntoView(1500);
    w.FocusRow(1400);
    w.ProcessMessages();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].toModelIndex().row(), 5);
    QCOMPARE(changed[0][1].toModelIndex().row(), 40);
    QCOMPARE(model->index(40, 3).data().toString(), QStringLiteral("Read Error"));
    QCOMPARE(model->index(7, 2).data(Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignRight | Qt::AlignVCenter));
    const QRect visible = w.ListView1->viewport()->rect();
    QVERIFY(visible.intersects(w.ListView1->visualRect(w.ListView1->model()->index(1500, 0))));
    QCOMPARE(w.ListView1->currentIndex().row(), 1400);
    QVERIFY(w.ListView1->selectionModel()->selectedRows().isEmpty());

    // Emptying the table reaches the view at once.
    s.table.Clear();
    QCOMPARE(model->rowCount(), 0);
    s.runActive = false;

    // Outside a run the event loop publishes without a pump.
    s.table.Append({"X.BIN", "Q:\\", "1", ""});
    QTRY_COMPARE(model->rowCount(), 1);
}

void WindowRunsTest::oneDriveCompareFindsTheDamage() {
    Discs discs;
    Fixture f(QByteArray::fromStdString("Q=" + discs.source));
    Form1& w = *f.form;
    RunOneDriveCompare(f, discs);

    QCOMPARE(f.prompter->messages, QStringList{kExchange});
    auto rows = RowsByName(w);
    QCOMPARE(rows.size(), std::size_t(5));
    // The copy lacks the folder of the missing file as well.
    QCOMPARE(rows["SUB"].ResultText, std::string("Folder Not Found"));
    QCOMPARE(rows["A.TXT"].Folder, std::string("Q:\\"));
    QCOMPARE(rows["A.TXT"].ResultText, std::string("OK"));
    QCOMPARE(rows["EMPTY.DAT"].SizeText, std::string("0"));
    QCOMPARE(rows["EMPTY.DAT"].ResultText, std::string("OK"));
    QCOMPARE(rows["B.BIN"].Folder, std::string("Q:\\DATA\\"));
    QCOMPARE(rows["B.BIN"].SizeText, std::string("300000"));
    QCOMPARE(QString::fromStdString(rows["B.BIN"].ResultText),
             Md5(discs.big) + "NG(" + Md5(discs.bigCopy) + ")");
    QCOMPARE(rows["C.TXT"].Folder, std::string("Q:\\DATA\\SUB\\"));
    QCOMPARE(rows["C.TXT"].ResultText, std::string("File Not Found"));

    QCOMPARE(w.StatusPanels[0]->text(), QStringLiteral("比較"));
    QCOMPARE(w.StatusPanels[1]->text(), QStringLiteral("全容量:300,006"));
    QCOMPARE(w.StatusPanels[2]->text(), QStringLiteral("正しくコピーされていません"));
    QCOMPARE(LogLines(w.Memo2),
             (QStringList{"比較元CDを読み取っています", "読み取り終了", "ファイル個別のMD5計算中",
                          "計算終了", "MD5比較中", "比較終了"}));
    QCOMPARE(w.Gauge1->progress(), 100);
    QCOMPARE(w.Gauge2->progress(), 100);
    QVERIFY(!w.Timer1->isActive());
    QVERIFY(!w.session().runActive);
    // What the table shows is what the run wrote.
    QCOMPARE(w.tableModel()->rowCount(), 5);
    for (int r = 0; r < 5; ++r) {
        QCOMPARE(w.tableModel()->index(r, 3).data().toString().toStdString(),
                 w.session().table.Row(std::size_t(r)).ResultText);
    }

    // The counts, the problem rows alone, sorted; the table and its export stay as they are.
    QCOMPARE(w.CountsLabel->text(), QStringLiteral("ファイル 5  OK 2  問題 3  リードエラー 0"));
    const auto& table = w.session().table;
    auto shown = [&w] {
        QStringList names;
        for (int r = 0; r < w.ListView1->model()->rowCount(); ++r) {
            names << w.ListView1->model()->index(r, 0).data().toString();
        }
        return names;
    };
    QStringList discOrder;
    for (const FileRow& row : table.Rows()) discOrder << QString::fromStdString(row.FileName);
    w.ProblemsOnly->trigger();
    QCOMPARE(shown(), discOrder.filter(QRegularExpression("^(SUB|B.BIN|C.TXT)$")));
    const QModelIndex first = w.ListView1->model()->index(0, 0);
    QVERIFY(!first.data(Qt::DecorationRole).isNull());
    QCOMPARE(first.data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("問題あり"));
    QTest::mouseClick(w.ListView1->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(w.ListView1->columnViewportPosition(0) + 5, 5));
    QTest::mouseClick(w.ListView1->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(w.ListView1->columnViewportPosition(0) + 5, 5));
    QCOMPARE(shown(), (QStringList{"SUB", "C.TXT", "B.BIN"}));
    // F8 goes from problem to problem, round again after the last.
    QTest::keyClick(w.ListView1, Qt::Key_F8);
    const int problem = w.ListView1->currentIndex().row();
    QTest::keyClick(w.ListView1, Qt::Key_F8);
    QVERIFY(w.ListView1->currentIndex().row() != problem);
    QTest::keyClick(w.ListView1, Qt::Key_F8);
    QTest::keyClick(w.ListView1, Qt::Key_F8);
    QCOMPARE(w.ListView1->currentIndex().row(), problem);
    // Enter opens the folder of the row on the drive.
    QString folder = w.ListView1->model()->index(problem, 1).data().toString();
    folder.replace("Q:\\", QString::fromStdString(discs.copy) + "/").replace('\\', '/');
    QTest::keyClick(w.ListView1, Qt::Key_Return);
    QCOMPARE(f.prompter->openedFolders, QStringList{folder});

    TempTree out;
    f.prompter->saveAnswers = {QString::fromStdString(out.Host("shown.csv"))};
    w.CSV1->trigger();
    QTRY_VERIFY(w.launcher()->Idle());
    w.ProblemsOnly->trigger();
    w.DiscOrder->trigger();
    QCOMPARE(shown(), discOrder);
    f.prompter->saveAnswers = {QString::fromStdString(out.Host("all.csv"))};
    w.CSV1->trigger();
    QTRY_VERIFY(w.launcher()->Idle());
    QCOMPARE(out.ReadFile("shown.csv"), out.ReadFile("all.csv"));
    QVERIFY(out.ReadFile("all.csv").find("A.TXT") != std::string::npos);
}

void WindowRunsTest::oneDriveCompareOfAGoodCopySucceeds() {
    Discs discs(true);
    Fixture f(QByteArray::fromStdString("Q=" + discs.source));
    Form1& w = *f.form;
    RunOneDriveCompare(f, discs);
    QCOMPARE(f.prompter->messages, QStringList{kExchange});
    for (const auto& [name, row] : RowsByName(w)) QCOMPARE(row.ResultText, std::string("OK"));
    QCOMPARE(w.StatusPanels[2]->text(), QStringLiteral("正常に終了しました"));
}

void WindowRunsTest::twoDriveCompareThroughTheWindow() {
    Discs discs;
    Fixture f(QByteArray::fromStdString("P=" + discs.source + ";R=" + discs.copy));
    Form1& w = *f.form;
    ClickRow(w.ListBox3, RowStartingWith(w.ListBox3, "P:\\"));
    QTest::mouseClick(w.RadioGroup1Items[1], Qt::LeftButton);
    ClickRow(w.ListBox1, RowStartingWith(w.ListBox1, "R:\\"));
    w.N11->trigger();
    QTRY_VERIFY(w.launcher()->Idle());
    QVERIFY(f.prompter->messages.isEmpty());
    auto rows = RowsByName(w);
    QCOMPARE(rows["A.TXT"].ResultText, std::string("OK"));
    QCOMPARE(rows["EMPTY.DAT"].ResultText, std::string("OK"));
    QCOMPARE(rows["B.BIN"].ResultText, std::string("binary mismatch"));
    QCOMPARE(rows["C.TXT"].ResultText, std::string("File Not Found"));
    QCOMPARE(w.StatusPanels[2]->text(), QStringLiteral("正しくコピーされていません"));
}

void WindowRunsTest::addedImageAndFolderCompareAsDrives() {
    Discs discs;
    const std::string image = discs.tree.Host("source.iso");
    try {
        BuildImage(discs.source, image, "SRCDISC");
    } catch (const std::exception& e) {
        QSKIP(e.what());
    }
    Fixture f("");
    Form1& w = *f.form;
    f.prompter->openAnswers = {QString::fromStdString(image)};
    w.AddImage->trigger();
    QTest::mouseClick(w.RadioGroup1Items[1], Qt::LeftButton);
    QMimeData dragged;
    dragged.setUrls({QUrl::fromLocalFile(QString::fromStdString(discs.copy))});
    // A drop goes where the drag was accepted as it entered.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.ListBox1->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.ListBox1->viewport(), &drop);
    QVERIFY(f.prompter->messages.isEmpty());
    QCOMPARE(w.ListBox3->count(), 2);
    QCOMPARE(w.ListBox3->item(0)->text(), QStringLiteral("D:\\ SRCDISC"));
    QCOMPARE(w.ListBox3->item(1)->text(), QStringLiteral("E:\\ COPY"));
    QCOMPARE(w.Copy->text(), QStringLiteral("E:\\"));  // the list it was dropped on chose it
    ClickRow(w.ListBox3, 0);
    w.N11->trigger();
    QTRY_VERIFY(w.launcher()->Idle());
    QVERIFY(f.prompter->messages.isEmpty());
    auto rows = RowsByName(w);
    QCOMPARE(rows["A.TXT"].ResultText, std::string("OK"));
    QCOMPARE(rows["B.BIN"].ResultText, std::string("binary mismatch"));
    QCOMPARE(rows["C.TXT"].ResultText, std::string("File Not Found"));
    QCOMPARE(w.StatusPanels[2]->text(), QStringLiteral("正しくコピーされていません"));
    w.N6->trigger();
    QCOMPARE(w.ListBox3->count(), 0);
}

void WindowRunsTest::addedDriveRefusesTheExchange() {
    Discs discs;
    Fixture f("");
    Form1& w = *f.form;
    f.prompter->folderAnswers = {QString::fromStdString(discs.source)};
    w.AddFolder->trigger();
    ClickRow(w.ListBox3, RowStartingWith(w.ListBox3, "D:\\"));
    w.N11->trigger();
    QTRY_VERIFY(w.launcher()->Idle());
    QCOMPARE(f.prompter->messages,
             QStringList{QStringLiteral(
                 "フォルダはディスクを入れ替えられません。2ドライブで比較してください")});
    QCOMPARE(w.session().table.Count(), std::size_t(0));
}

void WindowRunsTest::digestListSavedAndLoadedThroughDialogs() {
    Discs discs(true);
    Fixture f(QByteArray::fromStdString("Q=" + discs.source));
    Form1& w = *f.form;
    ClickRow(w.ListBox3, RowStartingWith(w.ListBox3, "Q:\\"));
    // A host path with a non-ASCII name goes through the dialog seam unchanged.
    const QString list = QString::fromStdString(discs.tree.Host("一覧.txt"));
    f.prompter->saveAnswers.push_back(list);
    w.CRC321->trigger();
    QTRY_VERIFY(w.launcher()->Idle());
    QCOMPARE(f.prompter->saveRequests.size(), std::size_t(1));
    QCOMPARE(f.prompter->saveRequests[0].filter, std::string("*.txt(*.txt)|*.txt"));
    QVERIFY(std::filesystem::exists(std::filesystem::path(list.toStdString())));

    w.driveMap().Set('Q', discs.copy);
    f.prompter->openAnswers.push_back(list);
    w.CRC322->trigger();
    QTRY_VERIFY(w.launcher()->Idle());
    QCOMPARE(f.prompter->openRequests.size(), std::size_t(1));
    QCOMPARE(w.StatusPanels[0]->text(), QStringLiteral("MD5読込-比較"));
    QCOMPARE(w.StatusPanels[2]->text(), QStringLiteral("正常に終了しました"));
    QCOMPARE(RowsByName(w).size(), std::size_t(4));
    QVERIFY(f.prompter->messages.isEmpty());
}

void WindowRunsTest::inputsDuringARunAreRefused() {
    Discs discs(true);
    Fixture f(QByteArray::fromStdString("P=" + discs.copy + ";Q=" + discs.source));
    Form1& w = *f.form;
    const int q = RowStartingWith(w.ListBox3, "Q:\\");
    const int p = RowStartingWith(w.ListBox3, "P:\\");
    ClickRow(w.ListBox3, q);
    const int listed = w.ListBox3->count();

    struct Seen {
        int beeps = -1;
        QString master;
        int selected = -2;
        bool radioOne = false;
        bool copyListEnabled = true;
        int listed = -1;
        QString command;
    } seen;
    f.prompter->onMessage = [&](const QString& text) {
        if (text != kExchange) return;
        // Behind the modal box the run is still active: every input that would change what it
        // works on is refused.
        ClickRow(w.ListBox3, p);                                   // another source drive
        QTest::mouseClick(w.RadioGroup1Items[1], Qt::LeftButton);  // two drives
        w.N6->trigger();                                           // re-read the drives
        w.CRC321->trigger();                                       // a second run
        seen = {f.prompter->beeps,        w.Master->text(),
                SelectedRow(w.ListBox3),  w.RadioGroup1Items[0]->isChecked(),
                w.ListBox1->isEnabled(),  w.ListBox3->count(),
                w.StatusPanels[0]->text()};
        w.driveMap().Set('Q', discs.copy);
    };
    w.N11->trigger();
    QTRY_VERIFY(w.launcher()->Idle());

    QCOMPARE(seen.beeps, 4);
    QCOMPARE(seen.master, QStringLiteral("Q:\\"));
    QCOMPARE(seen.selected, q);
    QVERIFY(seen.radioOne);
    QVERIFY(!seen.copyListEnabled);
    QCOMPARE(seen.listed, listed);
    QCOMPARE(seen.command, QStringLiteral("比較"));
    QCOMPARE(w.DriveCountIndex(), 0);
    // The run itself went on undisturbed.
    QCOMPARE(f.prompter->messages, QStringList{kExchange});
    QCOMPARE(w.StatusPanels[2]->text(), QStringLiteral("正常に終了しました"));

    // Afterwards the same inputs work again.
    ClickRow(w.ListBox3, p);
    QCOMPARE(w.Master->text(), QStringLiteral("P:\\"));
    QTest::mouseClick(w.RadioGroup1Items[1], Qt::LeftButton);
    QCOMPARE(w.DriveCountIndex(), 1);
    QCOMPARE(f.prompter->beeps, 4);
}

void WindowRunsTest::abortDuringARunEndsIt() {
    Discs discs(true);
    Fixture f(QByteArray::fromStdString("Q=" + discs.source));
    Form1& w = *f.form;
    ClickRow(w.ListBox3, RowStartingWith(w.ListBox3, "Q:\\"));
    f.prompter->onMessage = [&](const QString& text) {
        if (text == kExchange) w.N9->trigger();
    };
    w.N11->trigger();
    QTRY_VERIFY(w.launcher()->Idle());
    QCOMPARE(f.prompter->messages, (QStringList{kExchange, kAborted}));
    QVERIFY(!LogLines(w.Memo2).contains(QStringLiteral("MD5比較中")));
    QVERIFY(!w.session().AbortRequested);
    QCOMPARE(w.Gauge2->progress(), 100);
    QVERIFY(!w.Timer1->isActive());
    QCOMPARE(f.prompter->beeps, 0);
}

void WindowRunsTest::closingDuringARunWaitsForIt() {
    Discs discs(true);
    Fixture f(QByteArray::fromStdString("Q=" + discs.source));
    Form1& w = *f.form;
    ClickRow(w.ListBox3, RowStartingWith(w.ListBox3, "Q:\\"));
    bool closedDuringRun = true;
    f.prompter->onMessage = [&](const QString& text) {
        if (text != kExchange) return;
        closedDuringRun = w.close();
        QVERIFY(w.isVisible());
    };
    w.N11->trigger();
    QTRY_VERIFY(w.launcher()->Idle());
    QVERIFY(!closedDuringRun);
    QCOMPARE(f.prompter->messages, (QStringList{kExchange, kAborted}));
    QTRY_VERIFY(!w.isVisible());
    QVERIFY(!w.session().runActive);
}

QTEST_MAIN(WindowRunsTest)
#include "test_window_runs.moc"

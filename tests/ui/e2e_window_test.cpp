// The window end to end: two disc images mounted with fuseiso, found by the window's own drive
// discovery, compared byte for byte through the menu, every row judged by cmp on the trees.
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "ScriptedPrompter.h"
#include "core/Session.h"
#include "support/DiscImage.h"
#include "support/TempTree.h"
#include "ui/CommandLauncher.h"
#include "ui/FileTableModel.h"
#include "ui/Form1.h"

using korvane::FileRow;
using korvane::test::MountedDisc;
using korvane::test::ScriptedPrompter;
using korvane::test::TempTree;
using korvane::ui::Form1;

namespace {

// The entry of the drive whose disc is mounted at `mountPoint`, as the window lists it.
int RowOfMount(QListWidget* list, const std::string& mountPoint) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->toolTip().endsWith(QString::fromStdString(mountPoint))) return i;
    }
    return -1;
}

void ClickRow(QListWidget* list, int row) {
    QVERIFY(row >= 0);
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

// What a correct byte-for-byte comparison says of one file, from the host trees alone.
std::string Verdict(const std::string& source, const std::string& copy, const std::string& rel) {
    namespace fs = std::filesystem;
    const fs::path a = fs::path(source) / rel;
    const fs::path b = fs::path(copy) / rel;
    if (!fs::is_regular_file(b)) return "File Not Found";
    if (fs::file_size(a) != fs::file_size(b)) return "Size mismatch";
    int status = 0;
    korvane::test::RunHost("cmp -s " + korvane::test::ShellQuote(a.string()) + " " +
                               korvane::test::ShellQuote(b.string()),
                           &status);
    return status == 0 ? "OK" : "binary mismatch";
}

}  // namespace

class E2eWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void twoDriveCompareOfMountedDiscs_data();
    void twoDriveCompareOfMountedDiscs();
    void discMountedAfterStartUpIsReadAndListed();
};

void E2eWindowTest::initTestCase() {
    const std::string problem = korvane::test::DiscToolsProblem();
    if (problem.empty()) return;
    if (korvane::test::UnderCi())
        QFAIL(("disc images cannot be used under CI: " + problem).c_str());
    QSKIP(("disc-image tests skipped: " + problem).c_str());
}

void E2eWindowTest::twoDriveCompareOfMountedDiscs_data() {
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("good copy") << false << QStringLiteral("正常に終了しました");
    QTest::newRow("bad copy") << true << QStringLiteral("正しくコピーされていません");
}

void E2eWindowTest::twoDriveCompareOfMountedDiscs() {
    QFETCH(bool, damaged);
    QFETCH(QString, outcome);
    TempTree source;
    TempTree copy;
    TempTree work;
    for (TempTree* t : {&source, &copy}) {
        t->WritePattern("DATA/big.bin", 1500000, 3);
        t->WriteFile("日本語フォルダ/名前 付き.txt", "日本語\n");
        t->WriteFile(".hidden", "dot\n");
        t->WritePattern("sub/64000.bin", 64000, 4);
    }
    if (damaged) {
        copy.WritePattern("DATA/big.bin", 1500000, 9);  // same size, other bytes
        copy.WriteFile(".hidden", "dots\n");            // another size
        std::filesystem::remove(copy.Host("sub/64000.bin"));
    }
    korvane::test::BuildImage(source.root(), work.Host("source.iso"), "E2ESOURCE");
    korvane::test::BuildImage(copy.root(), work.Host("copy.iso"), "E2ECOPY");
    korvane::DriveMap unused;  // the window finds the discs through its own drive discovery
    MountedDisc sourceDisc(unused, 'X', work.Host("source.iso"));
    MountedDisc copyDisc(unused, 'Y', work.Host("copy.iso"));

    qputenv("KORVANE_EXTRA_DRIVES", "");
    auto prompter = std::make_unique<ScriptedPrompter>();
    ScriptedPrompter& prompts = *prompter;
    Form1 w(std::move(prompter));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    const int sourceRow = RowOfMount(w.ListBox3, sourceDisc.mountPoint());
    QVERIFY2(sourceRow >= 0, "the source disc is not listed");
    const QString entry = w.ListBox3->item(sourceRow)->text();
    QVERIFY2(entry.endsWith(QStringLiteral(" E2ESOURCE")), qPrintable(entry));
    ClickRow(w.ListBox3, sourceRow);
    QTest::mouseClick(w.RadioGroup1Items[1], Qt::LeftButton);
    ClickRow(w.ListBox1, RowOfMount(w.ListBox1, copyDisc.mountPoint()));
    w.N11->trigger();
    QTRY_VERIFY(w.launcher()->Idle());

    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.join('|')));
    const auto& rows = w.session().table.Rows();
    QCOMPARE(rows.size(), std::size_t(4));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::string rel = rows[i].Folder.substr(3);
        std::replace(rel.begin(), rel.end(), '\\', '/');
        rel += rows[i].FileName;
        QCOMPARE(rows[i].ResultText, Verdict(source.root(), copy.root(), rel));
        QCOMPARE(w.tableModel()->index(int(i), 3).data().toString().toStdString(),
                 rows[i].ResultText);
    }
    QCOMPARE(w.StatusPanels[2]->text(), outcome);
    QVERIFY(!w.session().runActive);
}

void E2eWindowTest::discMountedAfterStartUpIsReadAndListed() {
    const std::string problem = korvane::test::DriveNodeProblem();
    if (!problem.empty()) {
        if (korvane::test::UnderCi()) QFAIL(problem.c_str());
        QSKIP(problem.c_str());
    }
    TempTree work;
    work.WriteFile("disc/A.TXT", "a\n");
    work.WritePattern("disc/DATA/B.BIN", 70000, 1);
    korvane::test::BuildImage(work.Host("disc"), work.Host("late.iso"), "LATE01");
    korvane::test::FakeDrive drive;
    qputenv("KORVANE_EXTRA_DRIVES", "");
    Form1 w(std::make_unique<ScriptedPrompter>());
    int row = -1;
    for (int i = 0; i < w.ListBox3->count(); ++i) {
        if (w.ListBox3->item(i)->toolTip().startsWith(QString::fromStdString(drive.device() + " ")))
            row = i;
    }
    QVERIFY2(row >= 0, "the empty drive is not listed");
    const QString root = w.ListBox3->item(row)->text().left(3);
    QCOMPARE(w.ListBox3->item(row)->text(), root + " ");
    ClickRow(w.ListBox3, row);

    drive.Insert(work.Host("late.iso"));
    w.N2->trigger();  // リードエラーテスト, before the window has heard of the disc
    QTRY_VERIFY(w.launcher()->Idle());
    QCOMPARE(w.session().table.Rows().size(), std::size_t(2));
    QCOMPARE(w.session().table.Rows()[1].ResultText, std::string("OK"));
    // An image mount names no label of its own: the folder's name stands for it.
    const std::string label = std::filesystem::path(drive.mountPoint()).filename().string();
    QTRY_COMPARE(w.ListBox3->item(row)->text(), root + " " + QString::fromStdString(label));
    QCOMPARE(w.ListBox3->currentRow(), row);
    QCOMPARE(w.Master->text(), root);
}

QTEST_MAIN(E2eWindowTest)
#include "e2e_window_test.moc"

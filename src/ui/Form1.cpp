// The main window: layout, menu wiring, drive lists, and the channels and prompts of a run.
#include "ui/Form1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QEvent>
#include <QEventLoop>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRawFont>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <exception>
#include <initializer_list>
#include <new>
#include <optional>

#include "core/Commands.h"
#include "core/ProgressTimer.h"
#include "core/Texts.h"
#include "platform/ExtraDrives.h"
#include "platform/HostFileSystem.h"
#include "platform/Names.h"
#include "ui/AddedDrives.h"
#include "ui/CommandLauncher.h"
#include "ui/DriveWatcher.h"
#include "ui/FileTableModel.h"
#include "ui/Gauge.h"
#include "ui/ResultView.h"
#include "ui/RunCounts.h"

namespace korvane::ui {

namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}
std::string S(const QString& s) {
    return s.toUtf8().toStdString();
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

// A drive caption: a small fixed box whose background stands out from the window.
QLabel* MakeDriveCaption(QWidget* parent, const char* name, int left, int top,
                         const QString& description) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(left, top, 17, 17);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::HighlightedText));
    label->setPalette(palette);
    label->setAccessibleDescription(description);
    return label;
}

QListWidget* MakeDriveList(QWidget* parent, const char* name, int left, const QFont& font,
                           const QString& accessibleName) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setGeometry(left, 8, 250, 73);
    list->setFont(font);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setAccessibleName(accessibleName);
    return list;
}

QFrame* MakePanel(QWidget* parent, const char* name, int height) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setFixedHeight(height);
    return panel;
}

}  // namespace

namespace {

// The first of the families the font system has that can write Japanese, preferring the
// listed ones in their order; with `fixed`, fixed-pitch families before the rest.
QString JapaneseFamily(std::initializer_list<const char*> preferred, bool fixed) {
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    for (const char* name : preferred) {
        const QString family = QString::fromUtf8(name);
        if (japanese.contains(family, Qt::CaseInsensitive)) return family;
    }
    if (fixed) {
        for (const QString& family : japanese) {
            if (QFontDatabase::isFixedPitch(family)) return family;
        }
    }
    return japanese.isEmpty() ? QString::fromUtf8(*preferred.begin()) : japanese.first();
}

}  // namespace

QFont WindowFont() {
    QFont font(JapaneseFamily(
        {"IPAPGothic", "Noto Sans CJK JP", "VL PGothic", "IPAGothic", "VL Gothic"}, false));
    font.setPointSize(9);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont FixedFont() {
    QFont font(JapaneseFamily({"IPAGothic", "Noto Sans Mono CJK JP", "VL Gothic"}, true));
    font.setPointSize(9);
    font.setStyleHint(QFont::Monospace);
    return font;
}

QString JapaneseFace(const QFont& font) {
    // Without any such family the font system's last resort draws boxes and claims every
    // character (its raw font cannot even be asked for its name).
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    if (japanese.isEmpty()) return {};
    const QRawFont raw = QRawFont::fromFont(font, QFontDatabase::Japanese);
    if (!raw.isValid() || !japanese.contains(raw.familyName())) return {};
    for (QChar c : QStringLiteral("比較元ドライブ処理中断ファイルの進捗")) {
        if (!raw.supportsCharacter(c)) return {};
    }
    return raw.familyName();
}

std::vector<std::pair<char, std::string>> ExtraDrives(const std::string& list) {
    return ParseExtraDrives(list);
}

QRect FirstGeometry(const QRect& available) {
    QRect place(QPoint(200, 215), QSize(882, 493));
    if (available.isEmpty() || available.contains(place)) return place;
    place.setSize(place.size().boundedTo(available.size()));
    place.moveCenter(available.center());
    return place;
}

Form1::Form1(std::unique_ptr<Prompter> prompter, QWidget* parent)
    : QMainWindow(parent),
      fs_(MakeImageAwareFileSystem(driveMap_, images_)),
      prompter_(prompter ? std::move(prompter) : std::make_unique<DialogPrompter>()),
      session_(*this, *fs_, &driveMap_) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(text::kCaption));
    setFont(WindowFont());
    launcher_ = new CommandLauncher(session_, this);
    added_ = new AddedDrives(driveMap_, images_, this);

    BuildControls();
    BuildMenu();
    BuildViewBar();
    BuildDriveMenu();
    driveWatcher_ = new DriveWatcher(this);
    // Every change is looked at at once, so that a disc taken out and put back in between two
    // runs' looks is still seen as another mount.
    connect(driveWatcher_, &DriveWatcher::mountsChanged, this, [this] { driveMap_.Refresh(); });
    connect(driveWatcher_, &DriveWatcher::drivesChanged, this, &Form1::DrivesChanged);
    // The mount table signals a change once to whoever polls first: a run started from the same
    // pass of the event loop polls it again in its pumps, and the signal is gone. So the lists
    // look at the drives once after every run as well.
    connect(launcher_, &CommandLauncher::done, this, &Form1::DrivesChanged);
    const QScreen* screen = QGuiApplication::primaryScreen();
    firstGeometry_ = FirstGeometry(screen ? screen->availableGeometry() : QRect());
    move(firstGeometry_.topLeft());
    resize(firstGeometry_.size());
    Guarded([this] { FormCreate(); });
}

Form1::~Form1() {
    session_.table.SetObserver(nullptr);
}

void Form1::BuildControls() {
    const QFont fixedFont = FixedFont();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Top region: the drive choice.
    Panel1 = MakePanel(central, "Panel1", 89);
    Label1 = MakeLabel(Panel1, "Label1", QStringLiteral("比較元ドライブ"), 8, 16);
    Master = MakeDriveCaption(Panel1, "Master", 16, 32, Label1->text());
    ListBox3 = MakeDriveList(Panel1, "ListBox3", 96, fixedFont, Label1->text());
    Label2 = MakeLabel(Panel1, "Label2", QStringLiteral("比較先ドライブ"), 360, 16);
    Copy = MakeDriveCaption(Panel1, "Copy", 368, 32, Label2->text());
    Copy->setEnabled(false);
    ListBox1 = MakeDriveList(Panel1, "ListBox1", 440, fixedFont, Label2->text());
    ListBox1->setEnabled(false);

    RadioGroup1 = new QGroupBox(QStringLiteral("使用ドライブ数"), Panel1);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setGeometry(704, 8, 97, 65);
    auto* radioLayout = new QVBoxLayout(RadioGroup1);
    radioLayout->setContentsMargins(8, 2, 4, 2);
    radioLayout->setSpacing(0);
    driveCountButtons_ = new QButtonGroup(this);
    const QString radioTexts[2] = {QStringLiteral("1ドライブ"), QStringLiteral("2ドライブ")};
    for (int i = 0; i < 2; ++i) {
        RadioGroup1Items[i] = new QRadioButton(radioTexts[i], RadioGroup1);
        RadioGroup1Items[i]->setObjectName(QStringLiteral("RadioGroup1Item%1").arg(i));
        radioLayout->addWidget(RadioGroup1Items[i]);
        driveCountButtons_->addButton(RadioGroup1Items[i], i);
    }
    RadioGroup1Items[0]->setChecked(true);

    // Middle region: the result table, the only part that grows with the window.
    ListView1 = new QTableView(central);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setFont(fixedFont);
    model_ = new FileTableModel(session_.table, this);
    model_->SetMeasureFont(fixedFont);
    session_.table.SetObserver(model_);
    view_ = new ResultView(FileTableModel::kResult, FileTableModel::kSize, this);
    view_->setSourceModel(model_);
    counts_ = new RunCounts(*model_, FileTableModel::kResult, this);
    ListView1->setModel(view_);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setShowGrid(true);
    ListView1->setWordWrap(false);
    ListView1->setTabKeyNavigation(false);
    // Uniform row heights keep scrolling and inserting O(1) per row on a hundred thousand rows.
    QHeaderView* rows = ListView1->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(QFontMetrics(fixedFont).height() + 4);
    QHeaderView* columns = ListView1->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(false);
    columns->setHighlightSections(false);
    // A click on a title sorts by that column, a second the other way round, a third puts the
    // rows back in disc order.
    columns->setSortIndicatorClearable(true);
    columns->setSortIndicator(-1, Qt::AscendingOrder);
    ListView1->setSortingEnabled(true);
    columns->resizeSection(FileTableModel::kSize, 70);
    columns->resizeSection(FileTableModel::kResult, 220);
    ListView1->viewport()->installEventFilter(this);
    connect(ListView1, &QAbstractItemView::activated, this, &Form1::OpenRowFolder);
    connect(model_, &FileTableModel::widestTextGrew, this, &Form1::FitNameColumns);
    connect(model_, &QAbstractItemModel::modelReset, this, &Form1::FitNameColumns);
    FitNameColumns();
    // Outside a run nothing pumps, so pending changes are published from the event loop.
    model_->SetPendingNotifier([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!session_.runActive) RefreshView();
            },
            Qt::QueuedConnection);
    });

    // Bottom region: progress, processing log, read-error list.
    Panel2 = MakePanel(central, "Panel2", 113);
    Label6 = MakeLabel(Panel2, "Label6", QStringLiteral("ファイルの進捗"), 8, 24);
    Gauge1 = new Gauge(Panel2);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setGeometry(88, 24, 201, 17);
    Gauge1->setAccessibleName(Label6->text());
    Label7 = MakeLabel(Panel2, "Label7", QStringLiteral("ディスクの進捗"), 8, 48);
    Gauge2 = new Gauge(Panel2);
    Gauge2->setObjectName(QStringLiteral("Gauge2"));
    Gauge2->setGeometry(88, 48, 201, 17);
    Gauge2->setAccessibleName(Label7->text());
    Label5 = MakeLabel(Panel2, "Label5", QString(), 92, 72);
    Label3 = MakeLabel(Panel2, "Label3", QStringLiteral("処理ログ"), 296, 8);
    Memo2 = new QPlainTextEdit(Panel2);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setGeometry(296, 24, 209, 89);
    Memo2->setReadOnly(true);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo2->setAccessibleName(Label3->text());
    Label4 = MakeLabel(Panel2, "Label4", QStringLiteral("リードエラーファイル"), 512, 8);
    Memo3 = new QPlainTextEdit(Panel2);
    Memo3->setObjectName(QStringLiteral("Memo3"));
    Memo3->setGeometry(512, 24, 353, 89);
    Memo3->setReadOnly(true);
    Memo3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo3->setAccessibleName(Label4->text());

    layout->addWidget(Panel1);
    layout->addWidget(ListView1, 1);
    layout->addWidget(Panel2);
    setCentralWidget(central);

    // Foot: command, total and outcome panels.
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(19);
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(StatusBar1);
        StatusPanels[i]->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
    }
    StatusPanels[0]->setFixedWidth(100);
    StatusPanels[1]->setFixedWidth(150);
    StatusPanels[2]->setMinimumWidth(50);
    StatusBar1->addWidget(StatusPanels[0]);
    StatusBar1->addWidget(StatusPanels[1]);
    StatusBar1->addWidget(StatusPanels[2], 1);
    setStatusBar(StatusBar1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    connect(ListBox3, &QListWidget::itemSelectionChanged, this, &Form1::ListBox3Click);
    connect(ListBox1, &QListWidget::itemSelectionChanged, this, &Form1::ListBox1Click);
    connect(driveCountButtons_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) RadioGroup1Click(id);
    });
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1Timer);
}

void Form1::BuildMenu() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    N1 = MainMenu1->addMenu(QStringLiteral("処理"));
    N1->setObjectName(QStringLiteral("N1"));
    N1->menuAction()->setObjectName(QStringLiteral("N1Action"));
    auto add = [this](const char* name, const QString& caption, void (Form1::*slot)()) {
        QAction* action = N1->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    N11 = add("N11", QStringLiteral("比較"), &Form1::N11Click);
    CRC321 = add("CRC321", QStringLiteral("MD5計算"), &Form1::CRC321Click);
    CRC322 = add("CRC322", QStringLiteral("MD5読込"), &Form1::CRC322Click);
    N2 = add("N2", QStringLiteral("リードエラーテスト"), &Form1::N2Click);
    N7 = N1->addSeparator();
    N7->setObjectName(QStringLiteral("N7"));
    CSV1 = add("CSV1", QStringLiteral("CSV出力"), &Form1::CSV1Click);
    N8 = N1->addSeparator();
    N8->setObjectName(QStringLiteral("N8"));
    N9 = add("N9", QStringLiteral("中断"), &Form1::N9Click);
    N6 = MainMenu1->addAction(QStringLiteral("ドライブ再読"));
    N6->setObjectName(QStringLiteral("N6"));
    connect(N6, &QAction::triggered, this, &Form1::N6Click);

    ViewMenu = MainMenu1->addMenu(QStringLiteral("表示"));
    ViewMenu->setObjectName(QStringLiteral("ViewMenu"));
    ProblemsOnly = ViewMenu->addAction(QStringLiteral("問題の行だけ表示"));
    ProblemsOnly->setObjectName(QStringLiteral("ProblemsOnly"));
    ProblemsOnly->setCheckable(true);
    ProblemsOnly->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(ProblemsOnly, &QAction::toggled, this, [this](bool on) {
        view_->SetProblemsOnly(on);
        if (on && view_->rowCount() > 0 && !ListView1->currentIndex().isValid()) {
            ListView1->setCurrentIndex(view_->index(0, 0));
        }
        ListView1->scrollTo(ListView1->currentIndex());
    });
    NextProblem = ViewMenu->addAction(QStringLiteral("次の問題へ"));
    NextProblem->setObjectName(QStringLiteral("NextProblem"));
    NextProblem->setShortcut(QKeySequence(Qt::Key_F8));
    connect(NextProblem, &QAction::triggered, this, &Form1::NextProblemClick);
    DiscOrder = ViewMenu->addAction(QStringLiteral("ディスクの順に戻す"));
    DiscOrder->setObjectName(QStringLiteral("DiscOrder"));
    connect(DiscOrder, &QAction::triggered, this,
            [this] { ListView1->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); });
}

void Form1::BuildViewBar() {
    ViewBar = new QToolBar(QStringLiteral("表示"), this);
    ViewBar->setObjectName(QStringLiteral("ViewBar"));
    ViewBar->setMovable(false);
    ViewBar->setFloatable(false);
    ViewBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ViewBar->addAction(ProblemsOnly);
    ViewBar->addAction(NextProblem);
    ViewBar->addSeparator();
    CountsLabel = new QLabel(ViewBar);
    CountsLabel->setObjectName(QStringLiteral("CountsLabel"));
    CountsLabel->setAccessibleName(QStringLiteral("件数"));
    CountsLabel->setContentsMargins(6, 0, 6, 0);
    ViewBar->addWidget(CountsLabel);
    addToolBar(Qt::TopToolBarArea, ViewBar);
    auto showCounts = [this] { CountsLabel->setText(counts_->Text()); };
    connect(counts_, &RunCounts::changed, this, showCounts);
    showCounts();
}

void Form1::SetPacing(int pumpMs, int viewMs) {
    pumpMs_ = pumpMs;
    viewMs_ = viewMs;
}

// --- Menu and timer -------------------------------------------------------------------------

template <typename Action>
void Form1::Guarded(Action&& action) {
    try {
        action();
    } catch (const std::bad_alloc&) {
        ReportError(QStringLiteral("メモリが不足しています"));
    } catch (const std::exception& e) {
        ReportError(QString::fromUtf8(e.what()));
    } catch (...) {
        ReportError(QStringLiteral("予期しないエラーが発生しました"));
    }
    if (session_.runActive) return;
    RefreshView();
    if (drivesChanged_) DrivesChanged();
    // A close asked for during the run is carried out once the run has returned.
    if (closeAfterRun_) {
        closeAfterRun_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void Form1::GuardedCall(const std::function<void()>& action) {
    Guarded(action);
}

void Form1::ReportError(const QString& text) {
    try {
        RefreshView();
        prompter_->Message(this, text);
    } catch (...) {
        // Nothing is left to tell the user with; the window stays usable.
    }
}

void Form1::N11Click() {
    launcher_->Request([this] {
        Guarded([this] {
            if (!ExchangeRefused()) korvane::N11Click(session_);
        });
    });
}
void Form1::CRC321Click() {
    launcher_->Request([this] { Guarded([this] { korvane::CRC321Click(session_); }); });
}
void Form1::CRC322Click() {
    launcher_->Request([this] { Guarded([this] { korvane::CRC322Click(session_); }); });
}
void Form1::N2Click() {
    launcher_->Request([this] { Guarded([this] { korvane::N2Click(session_); }); });
}
void Form1::CSV1Click() {
    launcher_->Request([this] { Guarded([this] { korvane::CSV1Click(session_); }); });
}
void Form1::N9Click() {
    Guarded([this] { korvane::N9Click(session_); });
}
void Form1::N6Click() {
    Guarded([this] {
        // Re-reading would rebuild the drive map under a running step.
        if (session_.runActive) {
            Beep();
            return;
        }
        FormCreate();
    });
}

void Form1::Timer1Timer() {
    Guarded([this] { korvane::Timer1Timer(session_); });
}

// --- Drive lists ----------------------------------------------------------------------------

void Form1::FormCreate() {
    {
        const QSignalBlocker block1(ListBox1);
        const QSignalBlocker block3(ListBox3);
        ListBox1->clear();
        ListBox3->clear();
    }
    masterRow_ = copyRow_ = -1;
    session_.AbortRequested = false;
    added_->Clear();
    ListDrives();
}

void Form1::ListDrives() {
    for (char letter : extraLetters_) driveMap_.Remove(letter);
    extraLetters_.clear();
    discovery_.Refresh(driveMap_);
    FillDriveLists(false);
}

void Form1::DrivesChanged() {
    // A run reads the lists' choice; they change once it is over.
    drivesChanged_ = session_.runActive;
    if (drivesChanged_) return;
    Guarded([this] {
        if (discovery_.Update(driveMap_)) FillDriveLists(true);
    });
}

void Form1::FillDriveLists(bool keepChoice) {
    const char* extraList = std::getenv(kExtraDrivesVariable);
    const auto extras = ExtraDrives(extraList ? extraList : "");
    extraLetters_.clear();
    for (const auto& [letter, folder] : extras) {
        driveMap_.Set(letter, folder);
        extraLetters_.push_back(letter);
    }

    const QSignalBlocker block1(ListBox1);
    const QSignalBlocker block3(ListBox3);
    const QString masterRoot = masterRow_ >= 0 && keepChoice ? Master->text() : QString();
    const QString copyRoot = copyRow_ >= 0 && keepChoice ? Copy->text() : QString();
    ListBox1->clear();
    ListBox3->clear();
    masterRow_ = copyRow_ = -1;
    // A drive added in the window takes its letter's place in the lists.
    std::vector<ListedDrive> drives;
    for (const ListedDrive& drive : korvane::ListDrives(discovery_, extras)) {
        if (!added_->Find(drive.letter)) drives.push_back(drive);
    }
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        if (const AddedDrives::Drive* added = added_->Find(letter)) {
            drives.push_back({letter, added->image ? added->hostPath : std::string(),
                              added->image ? std::string() : added->hostPath, added->label,
                              added->hostPath});
        }
    }
    std::sort(drives.begin(), drives.end(),
              [](const ListedDrive& x, const ListedDrive& y) { return x.letter < y.letter; });
    for (const ListedDrive& drive : drives) {
        const std::string root{drive.letter, ':', '\\'};
        const QString entry = Q(root + " " + drive.label);
        const QString tip = Q(drive.description);
        for (QListWidget* list : {ListBox3, ListBox1}) {
            auto* item = new QListWidgetItem(entry, list);
            item->setToolTip(tip);
        }
        const int row = ListBox3->count() - 1;
        if (Q(root) == masterRoot) masterRow_ = row;
        if (Q(root) == copyRoot) copyRow_ = row;
    }
    if (masterRow_ >= 0) ListBox3->setCurrentRow(masterRow_, QItemSelectionModel::ClearAndSelect);
    if (copyRow_ >= 0) ListBox1->setCurrentRow(copyRow_, QItemSelectionModel::ClearAndSelect);
}

void Form1::ListBox3Click() {
    Guarded([this] { DriveChosen(ListBox3, Master, masterRow_); });
}

void Form1::ListBox1Click() {
    Guarded([this] { DriveChosen(ListBox1, Copy, copyRow_); });
}

void Form1::DriveChosen(QListWidget* list, QLabel* caption, int& chosenRow) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    const int row = selected.isEmpty() ? -1 : list->row(selected.first());
    if (session_.runActive) {
        if (row == chosenRow) return;
        // The run reads the captions; the drive stays as chosen and so does the list.
        Beep();
        const QSignalBlocker block(list);
        if (chosenRow < 0) {
            list->clearSelection();
            list->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
        } else {
            list->setCurrentRow(chosenRow, QItemSelectionModel::ClearAndSelect);
        }
        return;
    }
    chosenRow = row;
    lastList_ = list;
    if (row < 0) return;
    caption->setText(list->item(row)->text().left(3));
    // The root fits its box whatever the font draws it with.
    const int textWidth = caption->fontMetrics().horizontalAdvance(caption->text()) + 4;
    caption->resize(std::max(17, textWidth), std::max(17, caption->fontMetrics().height()));
}

void Form1::RadioGroup1Click(int index) {
    if (restoringRadio_) return;
    Guarded([this, index] {
        if (session_.runActive) {
            if (index == driveCountIndex_) return;
            Beep();
            restoringRadio_ = true;
            RadioGroup1Items[driveCountIndex_]->setChecked(true);
            restoringRadio_ = false;
            return;
        }
        driveCountIndex_ = index;
        ListBox1->setEnabled(index != 0);
        Copy->setEnabled(index != 0);
    });
}

std::string Form1::MasterRoot() const {
    return S(Master->text());
}
std::string Form1::CopyRoot() const {
    return S(Copy->text());
}

// --- Table ----------------------------------------------------------------------------------

void Form1::FitNameColumns() {
    QHeaderView* columns = ListView1->horizontalHeader();
    // Room for the cell's text margins and the grid line; the file names also carry the mark
    // of a problem row before them.
    const int padding = 12;
    int widths[FileTableModel::kColumnCount] = {0, 0, 70, 220};
    for (int c : {int(FileTableModel::kFile), int(FileTableModel::kFolder)}) {
        widths[c] = std::max(model_->WidestText(c) + padding, columns->sectionSizeHint(c));
    }
    widths[FileTableModel::kFile] += ListView1->style()->pixelMetric(QStyle::PM_SmallIconSize) + 4;
    // What the view has to spare goes to the folders and the results, the texts that run long.
    int used = 0;
    for (int w : widths) used += w;
    const int spare = ListView1->viewport()->width() - used;
    if (spare > 0) {
        widths[FileTableModel::kFolder] += spare / 2;
        widths[FileTableModel::kResult] += spare - spare / 2;
    }
    for (int c = 0; c < FileTableModel::kColumnCount; ++c) {
        if (columns->sectionSize(c) != widths[c]) columns->resizeSection(c, widths[c]);
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListView1->viewport() && event->type() == QEvent::Resize) FitNameColumns();
    return QMainWindow::eventFilter(watched, event);
}

int Form1::TableRow(const QModelIndex& viewIndex) const {
    if (!viewIndex.isValid()) return -1;
    return view_->mapToSource(viewIndex).row();
}

QModelIndex Form1::ViewIndex(std::size_t tableRow) const {
    if (tableRow >= std::size_t(model_->rowCount())) return {};
    return view_->mapFromSource(model_->index(int(tableRow), 0));
}

void Form1::NextProblemClick() {
    Guarded([this] {
        RefreshView();
        const int rows = view_->rowCount();
        const int current =
            ListView1->currentIndex().isValid() ? ListView1->currentIndex().row() : -1;
        for (int step = 1; step <= rows; ++step) {
            const int row = (current + step) % rows;
            if (view_->IsProblemRow(TableRow(view_->index(row, 0)))) {
                const QModelIndex index = view_->index(row, 0);
                ListView1->selectionModel()->setCurrentIndex(
                    index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                ListView1->scrollTo(index);
                return;
            }
        }
        Beep();
    });
}

void Form1::OpenRowFolder(const QModelIndex& index) {
    Guarded([this, index] {
        const int row = TableRow(index);
        if (row < 0 || std::size_t(row) >= session_.table.Count()) return;
        const std::optional<std::string> host =
            driveMap_.ToHost(session_.table.Row(std::size_t(row)).Folder.str());
        if (!host || !prompter_->OpenFolder(QString::fromStdString(*host))) Beep();
    });
}

void Form1::RefreshView() {
    model_->Publish();
    // The focus mark first: moving the current row scrolls to it, the scroll request wins.
    // Rows the filter hides are neither focused nor scrolled to.
    if (focusRow_ != kNoRow) {
        const QModelIndex index = ViewIndex(focusRow_);
        if (index.isValid()) {
            ListView1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        }
        focusRow_ = kNoRow;
    }
    if (scrollRow_ != kNoRow) {
        const QModelIndex index = ViewIndex(scrollRow_);
        if (index.isValid()) ListView1->scrollTo(index, QAbstractItemView::EnsureVisible);
        scrollRow_ = kNoRow;
    }
}

void Form1::ScrollRowIntoView(std::size_t row) {
    scrollRow_ = row;
}
void Form1::FocusRow(std::size_t row) {
    focusRow_ = row;
}

// --- Channels -------------------------------------------------------------------------------

void Form1::SetPanelText(StatusPanel panel, const std::string& text) {
    const int i = static_cast<int>(panel);
    if (panelTexts_[i] == text) return;
    panelTexts_[i] = text;
    StatusPanels[i]->setText(Q(text));
}

std::string Form1::PanelText(StatusPanel panel) const {
    return panelTexts_[static_cast<int>(panel)];
}

void Form1::AppendLog(const std::string& line) {
    Memo2->appendPlainText(Q(line));
}
void Form1::ClearLog() {
    Memo2->clear();
}
void Form1::AppendReadError(const std::string& line) {
    Memo3->appendPlainText(Q(line));
}
void Form1::ClearReadErrors() {
    Memo3->clear();
}

void Form1::SetGauge(GaugeId gauge, int percent) {
    (gauge == GaugeId::File ? Gauge1 : Gauge2)->setProgress(percent);
}

void Form1::SetTimeLabel(const std::string& text) {
    Label5->setText(Q(text));
    Label5->adjustSize();
}

void Form1::SetTimerEnabled(bool on) {
    if (!on) {
        Timer1->stop();
    } else if (!Timer1->isActive()) {
        Timer1->start();
    }
}

void Form1::ProcessMessages() {
    // Input and timer ticks are let through at most every pumpMs_, the table is refreshed at
    // most every viewMs_: a run that pumps per block must not spend its time repainting.
    if (pumpMs_ > 0 && pumpClock_.isValid() && pumpClock_.elapsed() < pumpMs_) return;
    pumpClock_.start();
    if (viewMs_ <= 0 || !viewClock_.isValid() || viewClock_.elapsed() >= viewMs_) {
        viewClock_.start();
        RefreshView();
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void Form1::Wait(int ms) {
    RefreshView();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    connect(driveWatcher_, &DriveWatcher::mountsChanged, &loop, &QEventLoop::quit);
    loop.exec();
}

// --- Prompts --------------------------------------------------------------------------------

void Form1::ShowMessage(const std::string& text) {
    RefreshView();
    prompter_->Message(this, Q(text));
}

bool Form1::AskContinue(const std::string& text) {
    RefreshView();
    return prompter_->AskContinue(this, Q(text));
}

void Form1::Beep() {
    prompter_->Beep();
}

std::string Form1::AskSavePath(const FileDialogRequest& request) {
    RefreshView();
    return prompter_->AskSave(this, request).toStdString();
}

std::string Form1::AskOpenPath(const FileDialogRequest& request) {
    RefreshView();
    return prompter_->AskOpen(this, request).toStdString();
}

// --- Window life ----------------------------------------------------------------------------

void Form1::closeEvent(QCloseEvent* event) {
    if (session_.runActive) {
        // The run is still on the stack below this event: ask it to stop and close after it.
        session_.AbortRequested = true;
        closeAfterRun_ = true;
        event->ignore();
        return;
    }
    Timer1->stop();
    QMainWindow::closeEvent(event);
}

void Form1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (sizedToFrame_) return;
    sizedToFrame_ = true;
    // The first size is the outer size, frame included; the frame is known once the window is
    // shown.
    QTimer::singleShot(0, this, [this] {
        const QSize frame = frameGeometry().size() - geometry().size();
        if (frame.width() > 0 || frame.height() > 0) resize(firstGeometry_.size() - frame);
    });
}

}  // namespace korvane::ui

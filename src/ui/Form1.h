// The main window: its controls and menu, the progress timer, and the Window every run uses.
#pragma once

#include <QElapsedTimer>
#include <QFont>
#include <QMainWindow>
#include <QRect>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/Session.h"
#include "core/Window.h"
#include "platform/DriveMap.h"
#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "platform/image/ImageDrives.h"
#include "ui/Prompter.h"

class QAction;
class QButtonGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QRadioButton;
class QStatusBar;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;

namespace korvane::ui {

class AddedDrives;
class CommandLauncher;
class DriveWatcher;
class FileTableModel;
class Gauge;
class ResultView;
class RunCounts;

// The window's proportional Japanese Gothic and the fixed-pitch one of the table and the drive
// lists, 9 point: the IPA Gothics where they are installed, else another family the font system
// lists as writing Japanese; the style hints pick the nearest faces where none does.
QFont WindowFont();
QFont FixedFont();
// The family the font system resolves for the Japanese of `font`, where it has the characters
// of the captions; empty where they would be drawn as boxes.
QString JapaneseFace(const QFont& font);

// Folders that stand in for discs without a real mount, from KORVANE_EXTRA_DRIVES
// ("D=/path/to/folder;E=/other"): each letter is listed as an optical drive and its folder put
// behind the letter. Malformed parts are skipped.
std::vector<std::pair<char, std::string>> ExtraDrives(const std::string& list);

// The window's first outer place and size: 882 x 493 at 200, 215 where that lies on the screen,
// else as much of that size as the screen holds, centred on it.
QRect FirstGeometry(const QRect& available);

class Form1 : public QMainWindow, public Window {
    Q_OBJECT

  public:
    // Without a prompter the window asks through real dialogs.
    explicit Form1(std::unique_ptr<Prompter> prompter = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    Session& session() { return session_; }
    DriveMap& driveMap() { return driveMap_; }
    // The image files and folders the user put into the drive lists (Form1Drives.cpp).
    AddedDrives* addedDrives() const { return added_; }
    FileTableModel* tableModel() const { return model_; }
    // The rows as the table shows them: filtered, sorted, marked.
    ResultView* resultView() const { return view_; }
    RunCounts* runCounts() const { return counts_; }
    // Starts the run commands; Idle() once nothing is queued or running.
    CommandLauncher* launcher() const { return launcher_; }

    // How often a run may let messages through (pumpMs) and refresh the table (viewMs).
    // A run pumps between every file and block; the window needs far fewer repaints than that.
    void SetPacing(int pumpMs, int viewMs);

    // The controls, under the names the rest of the program knows them by.
    QFrame* Panel1;
    QLabel* Label1;
    QLabel* Master;
    QListWidget* ListBox3;
    QLabel* Label2;
    QLabel* Copy;
    QListWidget* ListBox1;
    QGroupBox* RadioGroup1;
    QRadioButton* RadioGroup1Items[2];
    QTableView* ListView1;
    QFrame* Panel2;
    QLabel* Label6;
    Gauge* Gauge1;
    QLabel* Label7;
    Gauge* Gauge2;
    QLabel* Label5;
    QLabel* Label3;
    QPlainTextEdit* Memo2;
    QLabel* Label4;
    QPlainTextEdit* Memo3;
    QStatusBar* StatusBar1;
    QLabel* StatusPanels[3];
    QTimer* Timer1;
    QMenuBar* MainMenu1;
    QMenu* N1;
    QAction* N11;
    QAction* CRC321;
    QAction* CRC322;
    QAction* N2;
    QAction* N7;
    QAction* CSV1;
    QAction* N8;
    QAction* N9;
    QAction* N6;
    // Beyond the run commands: how the table shows its rows, and the run's counts.
    QMenu* ViewMenu;
    QAction* ProblemsOnly;
    QAction* NextProblem;
    QAction* DiscOrder;
    QToolBar* ViewBar;
    QLabel* CountsLabel;
    // Image files and folders as drives: the menu, and the buttons beside the drive lists.
    QMenu* DriveMenu;
    QAction* AddImage;
    QAction* AddFolder;
    QAction* RemoveDrive;
    QToolButton* AddDriveButton;
    QToolButton* RemoveDriveButton;

    // Window
    void SetPanelText(StatusPanel panel, const std::string& text) override;
    std::string PanelText(StatusPanel panel) const override;
    void AppendLog(const std::string& line) override;
    void ClearLog() override;
    void AppendReadError(const std::string& line) override;
    void ClearReadErrors() override;
    void SetGauge(GaugeId gauge, int percent) override;
    void SetTimeLabel(const std::string& text) override;
    void SetTimerEnabled(bool on) override;
    void ProcessMessages() override;
    void Wait(int ms) override;
    void ShowMessage(const std::string& text) override;
    bool AskContinue(const std::string& text) override;
    void Beep() override;
    std::string AskSavePath(const FileDialogRequest& request) override;
    std::string AskOpenPath(const FileDialogRequest& request) override;
    void ScrollRowIntoView(std::size_t row) override;
    void FocusRow(std::size_t row) override;
    std::string MasterRoot() const override;
    std::string CopyRoot() const override;
    int DriveCountIndex() const override { return driveCountIndex_; }

  public slots:
    void FormCreate();
    void N11Click();
    void CRC321Click();
    void CRC322Click();
    void N2Click();
    void CSV1Click();
    void N9Click();
    void N6Click();
    void Timer1Timer();
    // Makes the next row with a problem after the current one current, from the top again
    // after the last.
    void NextProblemClick();
    // Opens the folder of the row at this index of the view in the desktop's file manager.
    void OpenRowFolder(const QModelIndex& index);
    // Ask for an image file or a folder and put it into the drive lists; take the added drive
    // chosen in the list last used out again.
    void AddImageClick();
    void AddFolderClick();
    void RemoveDriveClick();

  private slots:
    void ListBox3Click();
    void ListBox1Click();
    void RadioGroup1Click(int index);
    void FitNameColumns();
    void DrivesChanged();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls();
    void BuildMenu();
    void BuildViewBar();
    void BuildDriveMenu();
    // Adds each image file or folder as a drive; one dropped on a list is chosen there.
    void AddDrives(const QStringList& hostPaths, QListWidget* chosenIn);
    bool LetterTaken(char letter) const;
    // True, with the user told, where the one-drive comparison's source cannot be exchanged.
    bool ExchangeRefused();
    // The table row shown at the view's row, and back; -1 where there is none.
    int TableRow(const QModelIndex& viewIndex) const;
    QModelIndex ViewIndex(std::size_t tableRow) const;
    void ListDrives();
    // Fills both lists from the drives found; `keepChoice` selects again the entries the drive
    // captions came from, where they are still listed.
    void FillDriveLists(bool keepChoice);
    void DriveChosen(QListWidget* list, QLabel* caption, int& chosenRow);
    // Hands pending table changes, the scroll request and the focus mark to the view.
    void RefreshView();
    // Runs one user action; nothing it throws leaves the slot.
    template <typename Action>
    void Guarded(Action&& action);
    // The same for the window's parts in files of their own.
    void GuardedCall(const std::function<void()>& action);
    void ReportError(const QString& text);

    DriveMap driveMap_;
    ImageDrives images_;  // read by fs_, filled by added_
    std::unique_ptr<FileSystem> fs_;
    DriveDiscovery discovery_;
    std::unique_ptr<Prompter> prompter_;
    Session session_;
    FileTableModel* model_ = nullptr;
    ResultView* view_ = nullptr;
    RunCounts* counts_ = nullptr;
    CommandLauncher* launcher_ = nullptr;
    AddedDrives* added_ = nullptr;
    QListWidget* lastList_ = nullptr;  // the drive list the user chose in last
    QButtonGroup* driveCountButtons_ = nullptr;
    DriveWatcher* driveWatcher_ = nullptr;
    bool drivesChanged_ = false;  // during a run: the lists follow once it is over

    std::vector<char> extraLetters_;  // letters this window put in the drive map itself
    std::string panelTexts_[3];
    int driveCountIndex_ = 0;
    int masterRow_ = -1;  // the entries the drive captions came from, restored on refusal
    int copyRow_ = -1;
    bool restoringRadio_ = false;
    bool closeAfterRun_ = false;
    bool sizedToFrame_ = false;
    QRect firstGeometry_;

    static constexpr std::size_t kNoRow = static_cast<std::size_t>(-1);
    std::size_t scrollRow_ = kNoRow;
    std::size_t focusRow_ = kNoRow;
    int pumpMs_ = 10;
    int viewMs_ = 40;
    QElapsedTimer pumpClock_;
    QElapsedTimer viewClock_;
};

}  // namespace korvane::ui

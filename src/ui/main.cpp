// Program entry: the application, its title and icon, the one window, and the start options.
//
// KORVANE_EXTRA_DRIVES="D=/path/to/folder;E=/other" lists folders as optical drives behind
// those letters, for demos and tests on machines without disc mounts (see Form1::ListDrives).
// KORVANE_MOUNT_PREFIX=/tmp/test- confines the drives to the disc mounts whose mount point
// begins with that text, without the optical drives, so that a test sees only its own discs.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFontInfo>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/Texts.h"
#include "platform/EndSignals.h"
#include "ui/Form1.h"
#include "ui/StartCompare.h"

#ifndef KORVANE_VERSION
#define KORVANE_VERSION "0"
#endif

namespace {

// The one name the desktop entry, the icon theme and the AppStream data know the program by.
constexpr char kDesktopId[] = "io.github.korvane.Korvane";

// Without a login session there is no runtime folder, and Qt would fall back to a shared one
// in the temporary folder and warn about it on every start. A private folder of our own,
// removed when the program ends, takes its place.
std::unique_ptr<QTemporaryDir> PrivateRuntimeFolder() {
    const char* variable = korvane::RuntimeFolderVariable();
    if (variable == nullptr || !qEnvironmentVariableIsEmpty(variable)) return nullptr;
    auto folder = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                  QStringLiteral("/korvane-runtime-XXXXXX"));
    if (!folder->isValid()) return nullptr;
    qputenv(variable, folder->path().toUtf8());
    return folder;
}

// The runtime folder while it exists, for the fatal-message handler: a start that cannot reach
// its display ends in Qt's fatal message, and the folder must not outlive the process.
QString runtimeFolderPath;
QtMessageHandler previousHandler = nullptr;
QString startFailure;  // the reason a start without a screen gives, one line
struct HeldMessage {
    QtMsgType type;
    QString text;
};
QList<HeldMessage> heldMessages;

// While the application starts, its messages are held back: Qt explains a failed platform start
// over several lines, and the one line of startFailure says it instead.
void StartMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        heldMessages.append({type, message});
        return;
    }
    if (!runtimeFolderPath.isEmpty()) QDir(runtimeFolderPath).removeRecursively();
    if (message.contains(QLatin1String("platform plugin"))) {
        std::fprintf(stderr, "korvane: %s\n", startFailure.toUtf8().constData());
        std::_Exit(1);
    }
    if (previousHandler) previousHandler(type, context, message);
    std::abort();
}

void ReleaseMessages() {
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage& m : heldMessages) {
        if (previousHandler) {
            previousHandler(m.type, QMessageLogContext(), m.text);
        } else {
            std::fprintf(stderr, "%s\n", m.text.toLocal8Bit().constData());
        }
    }
    heldMessages.clear();
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

// Writes the picture whole or not at all, so that whoever waits for the file never reads half.
bool SavePicture(QWidget& window, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (!window.grab().save(&file, "PNG")) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// The texts of the options --help lists.
struct Options {
    QCommandLineParser parser;
    QCommandLineOption selfCheck{
        QStringLiteral("self-check"),
        QStringLiteral("ウィンドウを作り、表題と見つけたドライブを表示して終了します。")};
    QCommandLineOption picture{
        QStringLiteral("screenshot"),
        QStringLiteral("ウィンドウが表示されたら、その画像を <file> に PNG で保存します。"),
        QStringLiteral("file")};
    QCommandLineOption compare{
        QStringLiteral("compare"),
        QStringLiteral("起動したら <source>,<copy> の2ドライブで比較します (ドライブ文字かラベル。"
                       "例: D,E)。--screenshot の画像は比較が終わってから保存します。"),
        QStringLiteral("source>,<copy")};
    Options() {
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(selfCheck);
        parser.addOption(picture);
        parser.addOption(compare);
    }
};

void Describe() {
    // The title every message box carries. Set as the application name rather than the display
    // name: a display name would be appended to the window caption by the window system.
    QCoreApplication::setApplicationName(QString::fromUtf8(korvane::text::kAppTitle));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
}

// --help and --version answer without a screen to connect to.
bool AsksOnlyForText(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-h" || arg == "--help" || arg == "-v" || arg == "--version") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (AsksOnlyForText(argc, argv)) {
        QCoreApplication app(argc, argv);
        Describe();
        Options().parser.process(app);  // prints the text and ends the process
        return 0;
    }

    // The checks and the picture need no screen: without one they draw offscreen. The window
    // itself does, and a start without one says so in one line.
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--self-check" || arg == "--screenshot" || arg.startsWith("--screenshot=")) {
            headless = true;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !korvane::HasDisplay()) {
        if (!headless) {
            std::fprintf(stderr,
                         "korvane: no display to show the window on (DISPLAY is not set); "
                         "--self-check and --screenshot run without one\n");
            return 1;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    startFailure = QStringLiteral(
                       "could not connect to the display %1; "
                       "--self-check and --screenshot run without one")
                       .arg(QString::fromLocal8Bit(qgetenv("DISPLAY")));

    const auto runtimeFolder = PrivateRuntimeFolder();
    if (runtimeFolder) runtimeFolderPath = runtimeFolder->path();
    previousHandler = qInstallMessageHandler(StartMessages);
    QApplication app(argc, argv);
    ReleaseMessages();
    Describe();
    QApplication::setDesktopFileName(QString::fromLatin1(kDesktopId));
    QApplication::setWindowIcon(ProgramIcon());
    QApplication::setFont(korvane::ui::WindowFont());  // message boxes and dialogs too
    Options options;
    options.parser.process(app);

    korvane::ui::Form1 window;
    window.show();
    // Interrupted or terminated, the window closes as if the user had closed it (after the run,
    // if one is under way), and the program ends in order, its runtime folder removed.
    const int endSignals = korvane::EndSignalsFd();
    if (endSignals >= 0) {
        auto* notifier = new QSocketNotifier(qintptr(endSignals), QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
            korvane::DrainEndSignals();
            window.close();
        });
    }

    if (options.parser.isSet(options.selfCheck)) {
        std::printf("%s\n", window.windowTitle().toUtf8().constData());
        for (int row = 0; row < window.ListBox3->count(); ++row) {
            std::printf("%s\n", window.ListBox3->item(row)->text().toUtf8().constData());
        }
        // The face the captions are drawn in, as the font system resolved it: without Japanese
        // characters every caption would show as boxes.
        const QFont font = window.Label1->font();
        const QString face = korvane::ui::JapaneseFace(font);
        std::printf("font: %s (Japanese: %s)\n",
                    (face.isEmpty() ? QFontInfo(font).family() : face).toUtf8().constData(),
                    face.isEmpty() ? "no" : "yes");
        return face.isEmpty() ? 1 : 0;
    }
    // Once the window has reached its size and painted itself, and after the comparison asked
    // for, if any, is over.
    const QString path = options.parser.value(options.picture);
    const auto savePicture = [&window, path] {
        if (path.isEmpty()) return;
        QTimer::singleShot(300, &window, [&window, path] {
            if (!SavePicture(window, path)) {
                std::fprintf(stderr, "korvane: could not save the picture to %s\n",
                             path.toUtf8().constData());
            }
        });
    };
    const QStringList drives =
        options.parser.value(options.compare).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (options.parser.isSet(options.compare) && drives.size() != 2) {
        std::fprintf(stderr, "korvane: --compare takes two drives, as in --compare D,E\n");
        return 2;
    }
    QTimer::singleShot(200, &window, [&window, drives, savePicture] {
        if (drives.size() != 2) return savePicture();
        korvane::ui::StartTwoDriveCompare(
            window, drives[0], drives[1], [savePicture](bool started, const QString& missing) {
                if (!started) {
                    std::fprintf(stderr, "korvane: --compare: drive %s is not listed\n",
                                 missing.toUtf8().constData());
                }
                savePicture();
            });
    });
    return app.exec();
}

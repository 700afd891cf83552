// Program entry: the application, its title, the one window.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Korvane"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Korvane β1"));
    window.show();
    return app.exec();
}

// Tesmora: start-up.

#include "app/dialogs.h"
#include "app/main_window.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QStandardPaths>
#include <QTimer>

namespace {

// The window font is Tahoma 8 pt; Debian's fonts-wine brings a metric-compatible Tahoma.
void UseWindowFont() {
    if (!QFontDatabase::families().contains("Tahoma")) {
        for (const char* file :
             {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
            if (QFileInfo::exists(file)) QFontDatabase::addApplicationFont(file);
    }
    QFont font(QFontDatabase::families().contains("Tahoma") ? "Tahoma" : QString(), 8);
    if (!QFontDatabase::families().contains("Tahoma")) font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
}

// Beside the executable with the extension ".INI"; where that folder cannot be written (an
// installed copy), in the user's configuration folder.
QString SettingsPath() {
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    const QString name = exe.fileName();
    const int dot = name.lastIndexOf('.');
    const QString iniName = (dot < 0 ? name : name.left(dot)) + ".INI";
    if (QFileInfo(exe.absolutePath()).isWritable()) return exe.absoluteDir().filePath(iniName);
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(dir);
    return QDir(dir).filePath(iniName);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("tesmora");
    UseWindowFont();

    tesmora::QtDialogs dialogs;
    tesmora::MainWindow window(dialogs, SettingsPath());
    QDialog about(&window); // the About box, hidden until asked for
    about.setObjectName("Form2");
    window.show();
    // Beyond the menu: a file named on the command line opens as if chosen in "Open".
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1) {
        const QString file = args.at(1);
        QTimer::singleShot(0, &window, [&window, file] { window.OpenRecording(file); });
    }
    return app.exec();
}

// Tesmora: start-up.

#include "app/artwork.h"
#include "app/dialogs.h"
#include "app/fonts.h"
#include "app/main_window.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

namespace {

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
    tesmora::UseWindowFont();

    QApplication::setWindowIcon(tesmora::TesmoraIcon());

    tesmora::QtDialogs dialogs;
    tesmora::MainWindow window(
        dialogs, SettingsPath(),
        QDir(QCoreApplication::applicationDirPath()).filePath("tesmora_en.pdf"));
    window.show();
    // Beyond the menu: a file named on the command line opens as if chosen in "Open".
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1) {
        const QString file = args.at(1);
        QTimer::singleShot(0, &window, [&window, file] { window.OpenRecording(file); });
    }
    return app.exec();
}

// Tesmora: start-up.

#include "app/application.h"
#include "app/artwork.h"
#include "app/dialogs.h"
#include "app/fonts.h"
#include "app/main_window.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr const char* kHelp =
    "usage: tesmora [FILE]\n"
    "       tesmora --report-first-paint FILE\n"
    "\n"
    "Shows a recording of a tissue oximeter (.lqd binary, other extensions text).\n"
    "FILE opens as if chosen in \"Open\".\n"
    "\n"
    "  --report-first-paint FILE  open FILE, print the peak memory (rss_kib) once the\n"
    "                             chart has shown it, and quit\n"
    "  --help                     this text\n"
    "  --version                  the version\n";

// The options that answer without a window, so that they need no display. Returns the exit
// status when one of them was given.
std::optional<int> AnswerWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("tesmora %s\n", TESMORA_VERSION);
            return 0;
        }
    }
    return std::nullopt;
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

// Peak resident memory so far, from the kernel's account of the process.
long PeakResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> status = AnswerWithoutWindow(argc, argv)) return *status;
    tesmora::Application app(argc, argv);
    QCoreApplication::setApplicationName("tesmora");
    tesmora::UseWindowFont();

    QApplication::setWindowIcon(tesmora::TesmoraIcon());

    tesmora::QtDialogs dialogs;
    tesmora::MainWindow window(
        dialogs, SettingsPath(),
        QDir(QCoreApplication::applicationDirPath()).filePath("tesmora_en.pdf"));
    app.onError = [&window](const QString& text) { window.ShowError(text); };
    window.show();
    // Beyond the menu: a file named on the command line opens as if chosen in "Open".
    QStringList args = QCoreApplication::arguments().mid(1);
    if (!args.isEmpty() && args.first() == "--report-first-paint") {
        args.removeFirst();
        window.onChartPainted = [&window] {
            window.onChartPainted = nullptr;
            std::printf("painted rss_kib=%ld\n", PeakResidentKiB());
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        };
    }
    if (!args.isEmpty()) {
        const QString file = args.first();
        QTimer::singleShot(0, &window, [&window, file] {
            // The window says nothing of a file that does not open; the terminal does.
            QString why;
            if (!window.OpenRecording(file, &why))
                std::fprintf(stderr, "tesmora: %s: %s\n", qPrintable(file), qPrintable(why));
        });
    }
    return app.exec();
}

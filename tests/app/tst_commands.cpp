// Save As CSV, printing, the About box and help, in the real window.

#include "app/about_box.h"
#include "app/fonts.h"
#include "app/main_window.h"
#include "app/printing.h"
#include "loading/load.h"
#include "support/file_size_limit.h"
#include "support/recording_builder.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"
#include "support/text_builder.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QStyleOptionComboBox>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tesmora;
using namespace tesmora::test;

class TestCommands : public QObject {
    Q_OBJECT
    std::unique_ptr<TestFiles> files;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;

    QAction* Action(const char* name) const { return window->findChild<QAction*>(name); }
    QString Path(const std::string& name) const {
        return QString::fromStdString(files->Path(name));
    }
    QByteArray Read(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void Open(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        dialogs.files.push_back(QString::fromStdString(files->Write(name, bytes)));
        Action("O1")->trigger();
    }
    void Save(QList<std::optional<QString>> answers, QList<bool> yesNo = {}) {
        dialogs.files = answers;
        dialogs.answers = yesNo;
        Action("S1")->trigger();
        QVERIFY(dialogs.files.isEmpty() && dialogs.answers.isEmpty());
    }
    QStringList TempFiles() const {
        return QDir(Path("")).entryList(QStringList{"*.tmp*"}, QDir::Hidden | QDir::Files);
    }

private slots:
    void initTestCase() { UseWindowFont(); } // the program's own font, as it starts with
    void init();
    void cleanup();
    void saveAsCsv();
    void overwriteQuestion();
    void saveFailures();
    void nothingToSave();
    void printGeometry_data();
    void printGeometry();
    void printIntoPdf();
    void printSetupCancelled();
    void aboutBox();
    void listsHoldTheirTexts();
    void help();
    void commandLineAnswersWithoutAWindow_data();
    void commandLineAnswersWithoutAWindow();
};

void TestCommands::init() {
    files = std::make_unique<TestFiles>();
    dialogs = ScriptedDialogs();
    window = std::make_unique<MainWindow>(dialogs, Path("tesmora.INI"), Path("tesmora_en.pdf"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestCommands::cleanup() {
    window.reset();
    files.reset();
}

void TestCommands::saveAsCsv() {
    Open("rec.lqd", Ws56File().Patient("A12", "P12").Records(1, 50).Bytes());
    QVERIFY(Action("S1")->isEnabled());
    Save({Path("out.csv")});
    QCOMPARE(dialogs.presets.last(), Path("rec.csv")); // the opened file's name, ".csv"
    const QByteArray csv = Read(Path("out.csv"));
    QVERIFY(
        csv.startsWith("S/N,Pc56-0001,RATE,500,ID,A12,NAME,P12\r\nSTART 2021/06/01 12:00:00\r\n"));
    QCOMPARE(csv.count("\r\n"), 5 + 50);
    QVERIFY(dialogs.messages.isEmpty());
    // It reads back as the same recording.
    RecordingStore back;
    LoadRecording(back, Path("out.csv").toStdString());
    QCOMPARE(back.DataCount, 50);
    QCOMPARE(back.SerialNo, window->Store().SerialNo);
    QVERIFY(TempFiles().isEmpty());
}

void TestCommands::overwriteQuestion() {
    Open("rec.lqd", Ws31File().Untimed(20).Bytes());
    files->Write("old.csv", std::string("precious"));
    // No, then Cancel: nothing written, the old file untouched.
    Save({Path("old.csv"), std::nullopt}, {false});
    QCOMPARE(dialogs.questions,
             QStringList{"CAUTION: Do you want to overwrite the existing file?"});
    QCOMPARE(dialogs.presets.last(), QString()); // the dialog comes back empty
    QCOMPARE(Read(Path("old.csv")), QByteArray("precious"));
    QCOMPARE(dialogs.beeps, 1);
    // Yes: replaced by the complete new file, with the old file's permissions.
    ::chmod(Path("old.csv").toLocal8Bit().constData(), 0640);
    Save({Path("old.csv")}, {true});
    QVERIFY(Read(Path("old.csv")).startsWith("S/N,MV31-0002,RATE,500\r\n"));
    QCOMPARE(Read(Path("old.csv")).count("\r\n"), 25);
    QVERIFY(TempFiles().isEmpty());
    struct stat st {};
    QCOMPARE(::stat(Path("old.csv").toLocal8Bit().constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0640u);
}

void TestCommands::saveFailures() {
    Open("rec.lqd", Ws56File().Records(1, 20000).Bytes());
    // A folder that does not exist: the file cannot be created.
    Save({Path("no/such/folder/x.csv")});
    QCOMPARE(dialogs.TakeTexts(), QStringList{"Unable to create file."});
    QCOMPARE(dialogs.messages.size(), 0);
    // A file the user made read-only: the answer Yes cannot replace it (as root neither).
    files->Write("protected.csv", std::string("precious"));
    const QByteArray protectedPath = Path("protected.csv").toLocal8Bit();
    ::chmod(protectedPath.constData(), 0444);
    Save({Path("protected.csv")}, {true});
    QCOMPARE(dialogs.TakeTexts(), QStringList{"Unable to create file."});
    QCOMPARE(Read(Path("protected.csv")), QByteArray("precious"));
    struct stat st {};
    QCOMPARE(::stat(protectedPath.constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0444u);
    QVERIFY(TempFiles().isEmpty());
    // A write error half-way (the file size limit): reported, the old file kept, nothing left.
    files->Write("kept.csv", std::string("precious"));
    {
        const FileSizeLimit small(100000);
        QVERIFY(small.Set());
        Save({Path("kept.csv")}, {true});
    }
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].caption, QString("ERROR"));
    QCOMPARE(dialogs.messages[0].text, QString("Unable to write file."));
    QVERIFY(!dialogs.messages[0].busyCursor);
    QCOMPARE(Read(Path("kept.csv")), QByteArray("precious"));
    QVERIFY(TempFiles().isEmpty());
    QVERIFY(!QApplication::overrideCursor());
}

void TestCommands::nothingToSave() {
    window->S1Click(); // nothing loaded: no dialog (an unexpected one would stop the test)
    QVERIFY(dialogs.presets.isEmpty());
    Open("rec.csv", std::vector<std::uint8_t>());
    QVERIFY(!Action("S1")->isEnabled());
    const std::string text = TextRecording::MV31().Rows(5).Text();
    Open("text.csv", std::vector<std::uint8_t>(text.begin(), text.end()));
    QVERIFY(!Action("S1")->isEnabled()); // text recordings are not saved again
}

void TestCommands::printGeometry_data() {
    QTest::addColumn<QSize>("page");
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QRect>("target");
    QTest::newRow("upright page") << QSize(4960, 7016) << QSize(1008, 569)
                                  << QRect(QPoint(496, 701), QPoint(4464, 2940) - QPoint(1, 1));
    QTest::newRow("page sideways") << QSize(7016, 4960) << QSize(1008, 569)
                                   << QRect(QPoint(701, 496), QPoint(6313, 3663) - QPoint(1, 1));
    // Equal factors: the width comes from SY, the height is H0.
    QTest::newRow("equal factors")
        << QSize(1000, 500) << QSize(400, 200) << QRect(100, 50, 800, 400);
    QTest::newRow("tall image") << QSize(4960, 7016) << QSize(300, 2000)
                                << QRect(496, 701, 841, 5612);
}

void TestCommands::printGeometry() {
    QFETCH(QSize, page);
    QFETCH(QSize, image);
    QFETCH(QRect, target);
    const PrintPlacement p =
        PlaceOnPage(page.width(), page.height(), image.width(), image.height());
    QCOMPARE(p.Target(), target);
    QCOMPARE(p.W0, 4 * page.width() / 5);
}

void TestCommands::printIntoPdf() {
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty()) QSKIP("pdftoppm is missing");
    Open("rec.lqd", Ws56File().Records(1, 3000).Bytes());
    const QString pdf = Path("print.pdf");
    dialogs.printerSetupAnswer = true;
    dialogs.printerChoice = [&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(QPageLayout::Portrait);
    };
    Action("U1")->trigger();
    Action("P1")->trigger();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.TakeTexts().join("; ")));
    QProcess info;
    info.start("pdfinfo", {pdf});
    QVERIFY(info.waitForFinished());
    QVERIFY(QString(info.readAllStandardOutput()).contains(QRegularExpression("Pages:\\s+1\\n")));
    // Rendered at 50 dpi: the picture starts at 10 % of the printable area and spans 80 % of
    // its width.
    QProcess render;
    render.start("pdftoppm", {"-r", "50", "-png", "-singlefile", pdf, Path("page")});
    QVERIFY(render.waitForFinished());
    const QImage page(Path("page.png"));
    QVERIFY(!page.isNull());
    QRect ink;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 250) ink |= QRect(x, y, 1, 1);
    QPrinter& printer = *new QPrinter(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    const QRectF paint = printer.pageLayout().paintRect(QPageLayout::Inch);
    delete &printer;
    const QSize client(window->width(), window->height() - window->menuBar()->height());
    const double dpi = 50;
    const double left = (paint.left() + paint.width() / 10) * dpi,
                 top = (paint.top() + paint.height() / 10) * dpi;
    const double width = paint.width() * 0.8 * dpi;
    const double height = width * client.height() / client.width();
    QVERIFY2(qAbs(ink.left() - left) <= 2 && qAbs(ink.top() - top) <= 2,
             qPrintable(QString("%1,%2").arg(ink.left()).arg(ink.top())));
    QVERIFY2(qAbs(ink.width() - width) <= 3, qPrintable(QString::number(ink.width())));
    QVERIFY2(qAbs(ink.height() - height) <= 3, qPrintable(QString::number(ink.height())));
}

void TestCommands::printSetupCancelled() {
    dialogs.printerSetupAnswer = false;
    dialogs.printerChoice = [](QPrinter& printer) { printer.setOutputFileName("/tmp/never.pdf"); };
    Action("U1")->trigger();
    if (!QPrinterInfo::defaultPrinter().isNull())
        QSKIP("this machine has a printer: it would print");
    // No printer and none chosen: a clear error, nothing printed, the program goes on.
    Action("P1")->trigger();
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, QString("There is no default printer."));
    QCOMPARE(int(dialogs.messages[0].icon), int(Dialogs::Icon::Error));
    QVERIFY(!QFile::exists("/tmp/never.pdf"));
}

void TestCommands::aboutBox() {
    QRect first;
    dialogs.onModal = [&](QDialog& d) {
        first = d.frameGeometry();
        QCOMPARE(d.windowTitle(), QString("About  tesmora"));
        QCOMPARE(d.size(), QSize(283, 196));
        QCOMPARE(d.minimumSize(), d.maximumSize()); // no resizing
        QCOMPARE(d.findChild<QPushButton*>("OkButton")->geometry(), QRect(192, 152, 75, 25));
        QCOMPARE(d.findChild<QWidget*>("Panel1")->geometry(), QRect(24, 125, 153, 52));
        QCOMPARE(d.findChild<QLabel*>("Image1")->pixmap().size(), QSize(127, 36));
        const QRect l2 = d.findChild<QLabel*>("Label2")->geometry();
        QCOMPARE(l2.left() + l2.width(), 268);
        QCOMPARE(d.findChild<QLabel*>("Label2")->text(), QString("for Brisela,VRM-56    Ver1.00"));
    };
    Action("A1")->trigger();
    QCOMPARE(dialogs.modals, 1);
    // The title in Tahoma 14 pt bold: bold, as the eye sees it, not only as the font says.
    auto* title = window->findChild<QDialog*>("Form2")->findChild<QLabel*>("Label1");
    QCOMPARE(title->font().family(), QString("Tahoma"));
    QCOMPARE(title->font().pointSize(), 14);
    QVERIFY(title->font().bold());
    auto ink = [](const QFont& font) {
        QImage image(200, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(4, 30, "Tesmora");
        p.end();
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 128;
        return dark;
    };
    QFont regular = title->font();
    regular.setBold(false);
    QVERIFY2(ink(title->font()) > ink(regular) * 5 / 4,
             qPrintable(QString("%1 against %2").arg(ink(title->font())).arg(ink(regular))));
    const QRect owner = window->frameGeometry();
    const QRect work = window->screen()->availableGeometry();
    QCOMPARE(first.left(),
             std::max(work.left(), owner.left() + (owner.width() - first.width()) / 2));
    QCOMPARE(first.top(),
             std::max(work.top(), owner.top() + (owner.height() - first.height()) / 2));
    // Moved and closed; the main window moves; the box comes back where it was.
    QDialog* about = window->findChild<QDialog*>("Form2");
    about->move(first.topLeft() + QPoint(30, 40));
    const QPoint last = about->pos();
    window->move(window->pos() + QPoint(100, 0));
    QRect second;
    dialogs.onModal = [&](QDialog& d) { second = d.frameGeometry(); };
    Action("A1")->trigger();
    QCOMPARE(second.topLeft(), last);
}

void TestCommands::listsHoldTheirTexts() {
    // The closed lists keep their 57 x 21 pixels and show every entry whole.
    for (const char* name : {"AveComboBox", "AmpComboBox"}) {
        auto* list = window->findChild<QComboBox*>(name);
        QCOMPARE(list->size(), QSize(57, 21));
        QStyleOptionComboBox option;
        option.initFrom(list);
        const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                          QStyle::SC_ComboBoxEditField, list);
        for (int i = 0; i < list->count(); ++i)
            QVERIFY2(list->fontMetrics().horizontalAdvance(list->itemText(i)) + 2 <= field.width(),
                     qPrintable(list->itemText(i)));
    }
}

void TestCommands::help() {
    // Missing: beep and the message.
    Action("H2")->trigger();
    QCOMPARE(dialogs.opened, QStringList());
    QCOMPARE(dialogs.TakeTexts(), QStringList{"Help file not found."});
    QCOMPARE(dialogs.beeps, 1);
    // Beside the executable: handed to the opener, nothing else.
    files->Write("tesmora_en.pdf", std::string("%PDF-1.4"));
    Action("H2")->trigger();
    QCOMPARE(dialogs.opened, QStringList{Path("tesmora_en.pdf")});
    QVERIFY(dialogs.messages.isEmpty());
    // An opener that refuses it: the same message.
    dialogs.openerAccepts = false;
    Action("H2")->trigger();
    QCOMPARE(dialogs.TakeTexts(), QStringList{"Help file not found."});
}

void TestCommands::commandLineAnswersWithoutAWindow_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("starts");
    QTest::newRow("--help") << "--help"
                            << "usage: tesmora [FILE]";
    QTest::newRow("--version") << "--version"
                               << "tesmora 0.1.0";
}

void TestCommands::commandLineAnswersWithoutAWindow() {
    QFETCH(QString, option);
    QFETCH(QString, starts);
    // No display at all: the answer must not need one.
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    p.setProcessEnvironment(env);
    p.start(TESMORA_VIEWER_EXE, {option});
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY2(QString::fromUtf8(p.readAllStandardOutput()).startsWith(starts),
             qPrintable(QString::fromUtf8(p.readAllStandardError())));
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"

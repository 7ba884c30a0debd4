// The Export menu in the real window: the chart as PNG, SVG and PDF against what the window
// shows, a range saved as a recording that opens again, the recording as SNIRF, EDF+ and
// BDF+ read back by MNE-Python, and failures that leave nothing behind.

#include "app/main_window.h"
#include "recording/datetime.h"
#include "support/file_size_limit.h"
#include "support/window_fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QSvgRenderer>
#include <QTest>
#include <QTime>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tesmora;
using namespace tesmora::test;

namespace {

// Pixels of each colour in an image.
int Count(const QImage& image, QRgb color) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF);
    return n;
}

QByteArray Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
    return p.readAllStandardOutput();
}

} // namespace

class TestExportWindow : public QObject, WindowFixture {
    Q_OBJECT
    std::string pc56, mv31;

    // Exports the chart to `name`, the size dialog answered with size and ratio (or as preset).
    QString ExportImage(const QString& name, QSize size = {}, double ratio = 0) {
        const QString path = QString::fromStdString(files->Path(name.toStdString()));
        dialogs.files.push_back(path);
        dialogs.onRun = [&](QDialog& d) {
            if (!size.isEmpty()) {
                d.findChild<QSpinBox*>("WidthSpinBox")->setValue(size.width());
                d.findChild<QSpinBox*>("HeightSpinBox")->setValue(size.height());
            }
            if (ratio > 0) d.findChild<QDoubleSpinBox*>("PixelRatioSpinBox")->setValue(ratio);
            d.findChild<QDialogButtonBox*>("Buttons")->button(QDialogButtonBox::Ok)->click();
        };
        Find<QAction>("ExportChartImage1")->trigger();
        return path;
    }

private slots:
    void init();
    void cleanup();
    void menu();
    void pngIsTheWindowsChart();
    void vectorPicturesDrawTheSameTraces_data();
    void vectorPicturesDrawTheSameTraces();
    void rangeAsCsvOpensAsARecording_data();
    void rangeAsCsvOpensAsARecording();
    void recordingExportsReadBack_data();
    void recordingExportsReadBack();
    void failuresLeaveNothing();
};

void TestExportWindow::init() {
    StartWindow();
    pc56 = WriteThreeChannelDemo();
    mv31 = WriteSingleChannelDemo();
}

void TestExportWindow::cleanup() {
    StopWindow();
}

void TestExportWindow::menu() {
    QMenu* exports = Find<QMenu>("Export1");
    QCOMPARE(exports->menuAction()->text(), QString("Export(&T)"));
    QStringList items;
    for (QAction* a : exports->actions())
        if (!a->isSeparator()) items << a->text();
    QCOMPARE(items, (QStringList{"SNIRF...(&S)", "EDF+...(&E)", "BDF+...(&B)", "Chart Image...(&C)",
                                 "Range As CSV...(&R)"}));
    // Its items' keys are its own (tst_main_window checks the File menu's).
    QStringList keys;
    for (const QString& item : items) keys << item.section("(&", 1, 1).left(1);
    QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());

    QVERIFY(!exports->isEnabled()); // nothing to export yet
    Open(mv31);
    QVERIFY(exports->isEnabled());
    for (const char* name :
         {"ExportSnirf1", "ExportEdf1", "ExportBdf1", "ExportChartImage1", "SaveRangeAsCsv1"})
        QVERIFY2(Find<QAction>(name)->isEnabled(), name);
}

void TestExportWindow::pngIsTheWindowsChart() {
    Open(pc56);
    RightClick(100, "SetMarkerA1");
    // At the window's size and density the picture is the chart's pixels, exactly.
    const QImage png(ExportImage("chart.png"));
    QVERIFY(!png.isNull());
    QCOMPARE(png.format(), QImage::Format_Indexed8); // the chart's few colours as a palette
    QCOMPARE(png.convertToFormat(QImage::Format_RGB32), ChartImage());
    // Twice the density: twice the width and height, the traces twice as thick.
    const QImage sharp(ExportImage("sharp.png", {}, 2));
    QCOMPARE(sharp.size(), 2 * Chart()->size());
    const QRgb oxhb = window->Chart().TraceColor[0];
    const double ratio = double(Count(sharp, oxhb)) / Count(png, oxhb);
    QVERIFY2(ratio > 3 && ratio < 5, qPrintable(QString::number(ratio)));
    // A chosen size lays the chart out anew for it.
    const QImage wide(ExportImage("wide.png", {1600, 500}));
    QCOMPARE(wide.size(), QSize(1600, 500));
    QVERIFY(Count(wide, oxhb) > Count(png, oxhb));
}

void TestExportWindow::vectorPicturesDrawTheSameTraces_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("svg") << "chart.svg";
    QTest::newRow("pdf") << "chart.pdf";
}

void TestExportWindow::vectorPicturesDrawTheSameTraces() {
    QFETCH(QString, name);
    Open(pc56);
    for (int k = 1; k <= 4; ++k) // every series
        if (QCheckBox* box = Find<QCheckBox>(QString("Region1Data%1CheckBox").arg(k));
            !box->isChecked())
            box->click();
    Find<QAction>("WholeRecording1")->trigger(); // every column holds many samples
    const QImage png(ExportImage("chart.png"));
    const QString path = ExportImage(name);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const QSize size = Chart()->size();
    QImage drawn(size, QImage::Format_RGB32);
    if (name.endsWith(".svg")) {
        // One line per panel and series, never a picture of them or a shape per sample.
        QCOMPARE(bytes.count("<polyline"), 3 * 4);
        QVERIFY(!bytes.contains("<image"));
        QSvgRenderer svg(bytes);
        QVERIFY(svg.isValid());
        QCOMPARE(svg.viewBox(), QRect(QPoint(0, 0), size));
        QVERIFY(bytes.contains(QString("width=\"%1mm\"").arg(size.width() * 25.4 / 96).toLatin1()));
        drawn.fill(Qt::white);
        QPainter painter(&drawn);
        svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    } else {
        QVERIFY(bytes.startsWith("%PDF-"));
        // No images: the traces are paths. (pdfimages lists two lines of heading.)
        const QByteArray images = Run("pdfimages", {"-list", path});
        QCOMPARE(images.count('\n'), 2);
        const QString rendered = QString::fromStdString(files->Path("rendered"));
        Run("pdftoppm",
            {"-png", "-r", "96", "-aa", "no", "-aaVector", "no", "-singlefile", path, rendered});
        drawn = QImage(rendered + ".png").convertToFormat(QImage::Format_RGB32);
        QCOMPARE(drawn.size(), size);
    }
    // The same traces: each series' colour covers about as many pixels as in the PNG (the
    // renderers' rounding of a 2-pixel line differs: the SVG one shades its edges).
    for (int k = 0; k < 4; ++k) {
        const QRgb color = window->Chart().TraceColor[k];
        const double ratio = double(Count(drawn, color)) / Count(png, color);
        QVERIFY2(ratio > 0.6 && ratio < 1.5,
                 qPrintable(QString("series %1: %2").arg(k).arg(ratio)));
    }
}

void TestExportWindow::rangeAsCsvOpensAsARecording_data() {
    QTest::addColumn<bool>("markers");
    QTest::newRow("marker A to marker B") << true;
    QTest::newRow("the visible span") << false;
}

void TestExportWindow::rangeAsCsvOpensAsARecording() {
    QFETCH(bool, markers);
    Open(pc56);
    const RecordingStore& store = window->Store();
    std::int32_t first = 0, last = 0;
    if (markers) {
        RightClick(400, "SetMarkerA1"); // B before A: the range runs from the earlier
        RightClick(150, "SetMarkerB1");
        first = 150, last = 400;
    } else {
        Find<QAction>("ZoomOut1")->trigger(); // two samples a column
        last = 2 * window->Chart().PlotWidth - 1;
    }
    // The whole recording as the Save command writes it, and the range.
    const QString whole = QString::fromStdString(files->Path("whole.csv"));
    dialogs.files.push_back(whole);
    Find<QAction>("S1")->trigger();
    const QString range = QString::fromStdString(files->Path("range.csv"));
    dialogs.files.push_back(range);
    Find<QAction>("SaveRangeAsCsv1")->trigger();
    QCOMPARE(dialogs.presets.last(), QString::fromStdString(files->Path("demo_pc56_range.csv")));
    QVERIFY(dialogs.messages.isEmpty());
    const double start = store.StartTime;
    const std::int32_t rate = store.Rate;

    const QStringList all =
        QString::fromLatin1(TestFiles::ReadAll(whole.toStdString())).split("\r\n");
    const QStringList part =
        QString::fromLatin1(TestFiles::ReadAll(range.toStdString())).split("\r\n");
    constexpr int kHead = 5; // S/N, START, END, the channel line and the titles
    QCOMPARE(part.size(), kHead + (last - first + 1) + 1);
    QCOMPARE(part[0], all[0]);
    QCOMPARE(part[3], all[3]);
    QCOMPARE(part[4], all[4]);
    // The rows as the whole file has them, their times counted from the range's start.
    for (int j = first; j <= last; ++j) {
        QCOMPARE(part[kHead + j - first].section(',', 1), all[kHead + j].section(',', 1));
        const int seconds = (j - first) * rate / 1000;
        QCOMPARE(part[kHead + j - first].section(',', 0, 0),
                 QTime(0, 0).addSecs(seconds).toString("hh:mm:ss"));
    }
    // It opens as a recording of its own.
    Open(range.toStdString());
    QCOMPARE(store.DataCount, last - first + 1);
    QCOMPARE(FormatDateTime(store.StartTime),
             FormatDateTime(start + double(std::int64_t{first} * rate) / MS_PER_DAY));
}

void TestExportWindow::recordingExportsReadBack_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("reader");
    QTest::addColumn<bool>("single");
    QTest::addColumn<QString>("errorRun"); // one of the demo's status runs
    const struct {
        const char *name, *action, *suffix, *reader;
    } formats[] = {{"snirf", "ExportSnirf1", ".snirf", "read_raw_snirf"},
                   {"edf", "ExportEdf1", ".edf", "read_raw_edf"},
                   {"bdf", "ExportBdf1", ".bdf", "read_raw_bdf"}};
    for (const auto& f : formats) {
        QTest::addRow("%s three channels", f.name)
            << f.action << f.suffix << f.reader << false << "CH3 E";
        QTest::addRow("%s one channel", f.name)
            << f.action << f.suffix << f.reader << true << "CH1 P";
    }
}

void TestExportWindow::recordingExportsReadBack() {
    QFETCH(QString, action);
    QFETCH(QString, suffix);
    QFETCH(QString, reader);
    QFETCH(bool, single);
    QFETCH(QString, errorRun);
    const std::string& recording = single ? mv31 : pc56;
    Open(recording);
    RightClick(100, "SetMarkerA1");
    RightClick(300, "SetMarkerB1");
    dialogs.texts = {QString("cuff inflated")};
    RightClick(200, "AddNote1");
    const QString path = QString::fromStdString(files->Path("out")) + suffix;
    dialogs.files.push_back(path);
    Find<QAction>(action)->trigger();
    QCOMPARE(dialogs.presets.last(),
             QString::fromStdString(recording).section('.', 0, -2) + suffix);
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.TakeTexts().join('\n')));
    // MNE finds the rate, the start, the haemoglobin and the events the window knows of.
    const QByteArray out =
        Run(TESMORA_PYTHON, {"-c",
                             "import sys, mne\n"
                             "raw = getattr(mne.io, sys.argv[1])(sys.argv[2], verbose='error')\n"
                             "print(raw.info['sfreq'])\n"
                             "print(raw.info['meas_date'].strftime('%Y/%m/%d %H:%M:%S'))\n"
                             "print(raw.n_times)\n"
                             "print('|'.join(raw.ch_names))\n"
                             "print('|'.join(sorted(set(raw.annotations.description))))\n",
                             reader, path});
    const QStringList lines = QString::fromUtf8(out).split('\n');
    QCOMPARE(lines.value(0).toDouble(), 2.0);
    const RecordingStore& store = window->Store();
    QCOMPARE(lines.value(1), QString::fromStdString(FormatDateTime(store.StartTime)));
    QVERIFY2(lines.value(2).toInt() >= store.DataCount, qPrintable(lines.value(2)));
    QVERIFY2(lines.value(3).split('|').size() >= 2 * store.ChCount, qPrintable(lines.value(3)));
    const QStringList events = lines.value(4).split('|');
    for (const QString& e :
         {QString("Marker A"), QString("Marker B"), QString("cuff inflated"), errorRun})
        QVERIFY2(events.contains(e), qPrintable(lines.value(4)));
}

void TestExportWindow::failuresLeaveNothing() {
    Open(pc56);
    // A protected file is never replaced.
    const std::string locked = files->Write("locked.snirf", std::string("keep"));
    ::chmod(locked.c_str(), 0444);
    dialogs.files.push_back(QString::fromStdString(locked));
    dialogs.answers = {true};
    Find<QAction>("ExportSnirf1")->trigger();
    QCOMPARE(dialogs.TakeTexts().value(0).section('\n', 0, 0), QString("Unable to create file."));
    QCOMPARE(TestFiles::ReadAll(locked), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
    // A write cut short by the file-size limit leaves no file, and says why.
    const QDir dir(QString::fromStdString(files->Path("")));
    const QStringList before = dir.entryList(QDir::Files);
    for (const char* action : {"ExportSnirf1", "ExportEdf1", "ExportBdf1"}) {
        dialogs.files.push_back(QString::fromStdString(files->Path("cut")));
        {
            const FileSizeLimit small(64 * 1024);
            QVERIFY(small.Set());
            Find<QAction>(action)->trigger();
        }
        const QStringList said = dialogs.TakeTexts();
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].startsWith("Unable to write file.\n"), qPrintable(said[0]));
        QCOMPARE(dir.entryList(QDir::Files), before);
    }
}

QTEST_MAIN(TestExportWindow)
#include "tst_export_window.moc"

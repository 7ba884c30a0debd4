// Markers, the Measurements panel and notes in the real window, driven by real pointer events.

#include "analysis/interval_stats.h"
#include "app/main_window.h"
#include "chart/overlay.h"
#include "pointer_events.h"
#include "support/recording_builder.h"
#include "support/window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <sys/stat.h>

using namespace tesmora;
using namespace tesmora::test;

class TestMeasurementsWindow : public QObject, WindowFixture {
    Q_OBJECT
    std::string demo;

    void NewWideWindow() {
        NewWindow();
        window->resize(1700, 800); // room for the chart beside the panel
    }
    QString Cell(int row, int column) const {
        return Find<QTableWidget>("MeasurementsTable")->item(row, column)->text();
    }
    int MarkerPixels(QRgb color) const {
        const QImage image = Chart()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == color;
        return n;
    }
    QByteArray Bytes(const std::string& path) const {
        QFile f(QString::fromStdString(path));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private slots:
    void init();
    void cleanup();
    void menuAndDragSetTheMarkers();
    void panelShowsTheStatistics();
    void copyAndExport();
    void notesAreKeptBeside();
    void foreignSidecarIsLeftAlone();
    void settingsKeepTheirTenKeys();
};

void TestMeasurementsWindow::init() {
    StartWindow();
    window->resize(1700, 800); // as NewWideWindow()
    demo = WriteThreeChannelDemo();
    Open(demo);
}

void TestMeasurementsWindow::cleanup() {
    StopWindow();
}

void TestMeasurementsWindow::menuAndDragSetTheMarkers() {
    QVERIFY(Find("MeasurementsPanel")->isHidden()); // the window as designed at first
    RightClick(100, "SetMarkerA1");
    QCOMPARE(dialogs.menusShown.last(),
             QStringList({"Set Marker A Here", "Set Marker B Here", "Clear Markers",
                          "Add Annotation Here...", "Copy Values"}));
    QVERIFY(!Find("MeasurementsPanel")->isHidden()); // a marker brings the panel
    RightClick(300, "SetMarkerB1");
    QVERIFY(MarkerPixels(MARKER_A_COLOR) > 100 && MarkerPixels(MARKER_B_COLOR) > 100);
    QCOMPARE(Find<QLabel>("MarkerSummary")->text(),
             QString("A 9:30:50, B 9:32:30, dt 0:01:40.0 (200 samples)"));
    // The left button keeps its own gestures: a click there places the cursor, not a marker.
    const ChartState& s = window->Chart();
    QTest::mouseClick(Chart(), Qt::LeftButton, {}, {s.ChLeft[0] + 50, s.ChTop[0] + 40});
    QCOMPARE(s.CursorIndex, 50);
    // A right drag from A moves A; one elsewhere sets both anew.
    tools::Drag(Chart(), Qt::RightButton, {s.ChLeft[0] + 101, s.ChTop[0] + 40},
                {s.ChLeft[0] + 200, s.ChTop[0] + 40});
    QCOMPARE(Find<QLabel>("MarkerSummary")->text(),
             QString("A 9:31:40, B 9:32:30, dt 0:00:50.0 (100 samples)"));
    tools::Drag(Chart(), Qt::RightButton, {s.ChLeft[0] + 500, s.ChTop[0] + 40},
                {s.ChLeft[0] + 440, s.ChTop[0] + 40});
    QCOMPARE(Find<QLabel>("MarkerSummary")->text(),
             QString("A 9:34:10, B 9:33:40, dt 0:00:30.0 (60 samples)"));
    RightClick(10, "ClearMarkers1");
    QCOMPARE(MarkerPixels(MARKER_A_COLOR), 0);
    QVERIFY(Find<QTableWidget>("MeasurementsTable")->rowCount() == 0);
    QCOMPARE(window->Store().DataCount, 14400);
}

void TestMeasurementsWindow::panelShowsTheStatistics() {
    RightClick(0, "SetMarkerA1");
    RightClick(800, "SetMarkerB1");
    auto* table = Find<QTableWidget>("MeasurementsTable");
    QCOMPARE(table->rowCount(), 3 * 4); // three channels, four quantities each
    QCOMPARE(table->columnCount(), 17);
    QCOMPARE(Cell(0, 0), QString("CH1"));
    QCOMPARE(Cell(3, 1), QString("StO2 [%]"));
    QCOMPARE(Cell(0, 12), QString("801")); // every sample of the interval valid on CH1
    // The numbers are those of the statistics of the stored samples.
    const std::array<ChannelStats, 4> stats = IntervalStats(window->Store(), 0, 800);
    QCOMPARE(Cell(3, 9), QString::asprintf("%.4f", *stats[0].series[3].mean));
    QCOMPARE(Cell(1, 10), QString::asprintf("%.6f", *stats[0].series[1].sd));
    // Unchecking a channel takes its rows out.
    Find<QCheckBox>("CH2CheckBox")->click();
    QCOMPARE(table->rowCount(), 2 * 4);
    QCOMPARE(Cell(4, 0), QString("CH3"));
}

void TestMeasurementsWindow::copyAndExport() {
    RightClick(0, "SetMarkerA1");
    RightClick(400, "SetMarkerB1");
    RightClick(50, "CopyValues1");
    const QStringList lines = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + 12);
    QVERIFY(lines[0].startsWith("Channel\tQuantity\tAt A\tAt B\tB - A\tMin\t"));
    QCOMPARE(lines[1].split('\t').size(), 17);
    // The panel's button writes the same as CSV, the summary first.
    const std::string out = files->Path("m.csv");
    dialogs.files = {QString::fromStdString(out)};
    Find<QPushButton>("ExportMeasurementsButton")->click();
    const QByteArray csv = Bytes(out);
    QVERIFY(csv.startsWith("A 9:30:00, B 9:33:20, dt 0:03:20.0 (400 samples)\r\nChannel,"));
    QCOMPARE(csv.count("\r\n"), 2 + 12);
    QCOMPARE(QString::fromLatin1(csv).split("\r\n")[2].split(','), lines[1].split('\t'));
}

void TestMeasurementsWindow::notesAreKeptBeside() {
    const QByteArray recording = Bytes(demo);
    dialogs.texts = {QString("drug given <b>now</b>")};
    RightClick(120, "AddNote1");
    const std::string sidecar = demo + ".notes.json";
    QVERIFY(QFile::exists(QString::fromStdString(sidecar)));
    auto* list = Find<QListWidget>("NotesList");
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QString("9:31:00  drug given <b>now</b>"));
    QVERIFY(MarkerPixels(NOTE_COLOR) > 0);
    // Closed, opened again: the note is back, and the recording's bytes never changed.
    NewWideWindow();
    Open(demo);
    QCOMPARE(Find<QListWidget>("NotesList")->count(), 1);
    QCOMPARE(Bytes(demo), recording);
    // Edited, then deleted, from the panel; double-click goes there.
    list = Find<QListWidget>("NotesList");
    list->setCurrentRow(0);
    dialogs.texts = {QString("drug given")};
    Find<QPushButton>("EditNoteButton")->click();
    QCOMPARE(list->item(0)->text(), QString("9:31:00  drug given"));
    QVERIFY(Bytes(sidecar).contains("\"text\": \"drug given\""));
    emit list->itemDoubleClicked(list->item(0));
    QCOMPARE(window->Chart().CursorIndex, 120);
    list->setCurrentRow(0);
    Find<QPushButton>("DeleteNoteButton")->click();
    QCOMPARE(list->count(), 0);
    QVERIFY(Bytes(sidecar).contains("\"notes\": []"));
}

void TestMeasurementsWindow::foreignSidecarIsLeftAlone() {
    // A sidecar of another recording: ignored with a word in the status bar, never written.
    const std::string other = files->Write("short.lqd", Ws56File().Records(1, 3000).Bytes());
    const std::string sidecar = other + ".notes.json";
    const std::string theirs = "{\"format\": \"tesmora-notes\", \"version\": 1, \"recording\": "
                               "{\"serialNo\": \"x\"}, \"notes\": []}";
    files->Write("short.lqd.notes.json", theirs);
    Open(other);
    QVERIFY(Find<QLabel>("StatusNoteLabel")->text().contains("belongs to another recording"));
    QVERIFY(window->statusBar()->currentMessage().startsWith("FileName[ short.lqd ]"));
    dialogs.texts = {QString("mine")};
    RightClick(10, "AddNote1");
    QCOMPARE(Find<QListWidget>("NotesList")->count(), 1); // kept while the program runs
    QCOMPARE(Bytes(sidecar), QByteArray::fromStdString(theirs));
    QVERIFY(Find<QLabel>("StatusNoteLabel")->text().startsWith("Notes are kept until you close"));
    // A folder that cannot be written keeps them too, and says so once.
    if (::geteuid() != 0) {
        ::chmod(files->Path("").c_str(), 0555);
        Open(demo);
        dialogs.texts = {QString("a"), QString("b")};
        RightClick(10, "AddNote1");
        RightClick(20, "AddNote1");
        ::chmod(files->Path("").c_str(), 0755);
        QCOMPARE(Find<QListWidget>("NotesList")->count(), 2);
        QVERIFY(Find<QLabel>("StatusNoteLabel")->text().contains("cannot be written"));
    }
}

void TestMeasurementsWindow::settingsKeepTheirTenKeys() {
    RightClick(0, "SetMarkerA1");
    window->close();
    QFile ini(QString::fromStdString(files->Path("tesmora.INI")));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(ini.readAll()).split('\n');
    QCOMPARE(lines[0], QString("[Form]"));
    QCOMPARE(lines[5], QString("[Settings]"));
    QCOMPARE(lines[11], QString("Check4=1"));
    QVERIFY(lines.contains("[Measurements]"));
    QVERIFY(lines.contains("Visible=1"));
    // The panel comes back as it was left.
    NewWideWindow();
    QVERIFY(!Find("MeasurementsPanel")->isHidden());
}

QTEST_MAIN(TestMeasurementsWindow)
#include "tst_measurements_window.moc"

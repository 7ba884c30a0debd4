// The Oximetry panel in the real window: its numbers against the converter's summary of the
// same file, its choices, the chart's threshold line and episode bars, the export and the
// settings.

#include "app/main_window.h"
#include "support/window_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace tesmora;
using namespace tesmora::test;

namespace {

// The converter's summary of a file: one row of cells per channel.
QList<QStringList> ConverterSummary(const std::string& path, const QStringList& options = {}) {
    QProcess p;
    p.start(TESMORA_CONVERT_EXE, QStringList{"--format", "summary"} + options +
                                     QStringList{QString::fromStdString(path)});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) qFatal("the summary failed");
    QList<QStringList> rows;
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split("\r\n");
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (!lines[i].isEmpty()) rows << lines[i].split(',');
    return rows;
}

// The summary's column of each row of the panel's table, and the decimals the panel shows.
struct Measure {
    int row, column, decimals;
};
constexpr Measure kMeasures[] = {{0, 2, 1}, {1, 3, 1}, {2, 4, 1},  {4, 6, 2},   {5, 7, 2},
                                 {6, 8, 2}, {7, 9, 1}, {9, 11, 1}, {10, 12, 1}, {11, 13, 1}};

} // namespace

class TestOximetryWindow : public QObject, WindowFixture {
    Q_OBJECT
    std::string pc56, mv31;

    QString Cell(const char* table, int row, int column) const {
        const QTableWidgetItem* item = Find<QTableWidget>(table)->item(row, column);
        return item ? item->text() : QString("<none>");
    }
    // The share of the pixels of chart row y, columns x0..x1, in the colour.
    double Share(const QImage& image, int y, int x0, int x1, QRgb color) const {
        int n = 0;
        for (int x = x0; x <= x1; ++x) n += image.pixel(x, y) == color;
        return double(n) / (x1 - x0 + 1);
    }
private slots:
    void init();
    void cleanup();
    void panelAgreesWithTheConverter_data();
    void panelAgreesWithTheConverter();
    void choicesRecomputeAtOnce();
    void episodeDoubleClickGoesThere();
    void exportAndSettings();
};

void TestOximetryWindow::init() {
    StartWindow();
    pc56 = WriteThreeChannelDemo();
    mv31 = WriteSingleChannelDemo();
}

void TestOximetryWindow::cleanup() {
    StopWindow();
}

void TestOximetryWindow::panelAgreesWithTheConverter_data() {
    QTest::addColumn<bool>("single");
    QTest::newRow("three channels") << false;
    QTest::newRow("one channel") << true;
}

void TestOximetryWindow::panelAgreesWithTheConverter() {
    QFETCH(bool, single);
    const std::string& path = single ? mv31 : pc56;
    Open(path);
    QVERIFY(Find("OximetryPanel")->isHidden()); // the window as designed at first
    const int before = window->width();
    Find<QAction>("Oximetry1")->trigger();
    QVERIFY(!Find("OximetryPanel")->isHidden());
    QVERIFY(window->width() > before); // the chart keeps its width
    // The demo's desaturation is one episode on every channel, with the converter's numbers.
    const QList<QStringList> summary = ConverterSummary(path);
    const int channels = window->Store().ChCount;
    QCOMPARE(summary.size(), channels);
    QCOMPARE(Find<QTableWidget>("OximetryTable")->columnCount(), channels + 1);
    QCOMPARE(Find<QTableWidget>("EpisodesTable")->rowCount(), channels);
    for (int c = 0; c < channels; ++c) {
        QCOMPARE(summary[c][5], QString("1"));
        QCOMPARE(Cell("OximetryTable", 3, c + 1), QString("1"));
        for (const Measure& m : kMeasures)
            QCOMPARE(Cell("OximetryTable", m.row, c + 1),
                     QString::number(summary[c][m.column].toDouble(), 'f', m.decimals));
    }

    // On the chart, over the whole recording: the threshold dotted on the StO2 scale and the
    // episode as a bar along the panel's bottom, in the StO2 trace's colour.
    Find<QAction>("WholeRecording1")->trigger();
    const ChartState& s = window->Chart();
    const QRgb color = s.TraceColor[3];
    const ValueWindow w = ValueWindowFor(s.YShift, Find<QComboBox>("AmpComboBox")->currentIndex());
    const int p = 0, L = s.ChLeft[p], R = s.ChRight[p], B = s.ChBottom[p];
    const int y = TraceRow(0.5, 3, w, s.ChTop[p], B, s.PlotHeight, 0);
    const double nadirTime = summary[0][10].toDouble();
    const double minutesBelow = summary[0][6].toDouble();
    const int mid = L + static_cast<int>(nadirTime * 1000 / window->Store().Rate / s.TimeScale);
    const int half =
        static_cast<int>(minutesBelow * 60000 / window->Store().Rate / s.TimeScale / 4);
    QImage image = ChartImage();
    QVERIFY(Share(image, y, L + 1, R - 1, color) > 0.4);
    for (int row = B - 4; row < B; ++row)
        QCOMPARE(Share(image, row, mid - half, mid + half, color), 1.0);
    QVERIFY(Share(image, B - 6, mid - half, mid + half, color) < 1.0); // 4 pixels high
    // Both leave with the panel.
    Find<QAction>("Oximetry1")->trigger();
    image = ChartImage();
    QVERIFY(Share(image, y, L + 1, R - 1, color) < 0.1);
    QVERIFY(Share(image, B - 2, mid - half, mid + half, color) < 0.5);
}

void TestOximetryWindow::choicesRecomputeAtOnce() {
    Open(pc56);
    Find<QAction>("Oximetry1")->trigger();
    auto* threshold = Find<QDoubleSpinBox>("ThresholdSpinBox");
    // CH3's nadir of 46.3 % is above 45 %: its episode goes as the value changes.
    threshold->setValue(45);
    QCOMPARE(Find<QTableWidget>("EpisodesTable")->rowCount(), 2);
    QCOMPARE(Cell("OximetryTable", 3, 3), QString("0"));
    QCOMPARE(Cell("OximetryTable", 7, 3), QString("-")); // no nadir without an episode
    // Out of range, or not a number: refused as typed.
    threshold->selectAll();
    QTest::keyClicks(threshold, "150");
    QVERIFY(threshold->value() <= 100);
    threshold->selectAll();
    QTest::keyClicks(threshold, "x");
    QVERIFY(threshold->value() <= 100);
    // Relative: 20 % below each channel's baseline, as the converter finds it.
    Find<QComboBox>("ThresholdModeComboBox")->setCurrentIndex(1);
    QVERIFY(!threshold->isEnabled() && Find("DropSpinBox")->isEnabled());
    const QList<QStringList> relative = ConverterSummary(pc56, {"--drop", "20"});
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(Cell("OximetryTable", 2, c + 1),
                 QString::number(relative[c][4].toDouble(), 'f', 1));
        QCOMPARE(relative[c][4].toDouble(), relative[c][3].toDouble() * 0.8);
    }
    // The baseline between the markers: none until both are set.
    Find<QComboBox>("BaselineComboBox")->setCurrentIndex(1);
    QVERIFY(Find<QLabel>("OximetryNote")->text().startsWith("Set markers A and B"));
    QCOMPARE(Cell("OximetryTable", 1, 1), QString("-"));
    QCOMPARE(Cell("OximetryTable", 3, 1), QString("-"));
    RightClick(0, "SetMarkerA1");
    RightClick(99, "SetMarkerB1");
    QVERIFY(Find<QLabel>("OximetryNote")->isHidden());
    // The mean of CH1's first 100 samples, all valid.
    double sum = 0;
    for (int j = 0; j < 100; ++j) sum += double(window->Store().SampleBuff[j].Ch[0].StO2) * 100;
    QCOMPARE(Cell("OximetryTable", 1, 1), QString::number(sum / 100, 'f', 1));
}

void TestOximetryWindow::episodeDoubleClickGoesThere() {
    Open(pc56);
    Find<QAction>("Oximetry1")->trigger();
    const QList<QStringList> summary = ConverterSummary(pc56);
    auto* episodes = Find<QTableWidget>("EpisodesTable");
    QCOMPARE(Cell("EpisodesTable", 1, 0), QString("CH2"));
    emit episodes->cellDoubleClicked(1, 0);
    // At full resolution the cursor goes to the episode's nadir, as Go To Time goes to a time.
    QCOMPARE(window->Chart().TimeScale, 1);
    QCOMPARE(window->Chart().CursorIndex, static_cast<int>(summary[1][10].toDouble() * 2));
    QCOMPARE(Find<QLabel>("STO2Label")->text().trimmed(),
             QString::asprintf("%5.1f[%%]", summary[1][9].toDouble()).trimmed());
}

void TestOximetryWindow::exportAndSettings() {
    Open(pc56);
    Find<QAction>("Oximetry1")->trigger();
    Find<QDoubleSpinBox>("MinEpisodeSpinBox")->setValue(20);
    const std::string out = files->Path("a.csv");
    dialogs.files = {QString::fromStdString(out)};
    Find<QPushButton>("ExportAnalysisButton")->click();
    QFile f(QString::fromStdString(out));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n");
    QCOMPARE(lines[0], QString("Below 50 %; episodes of 20 s or more; gaps under 10 s joined; "
                               "the baseline of the first 5 min"));
    // The converter's rows with the same choices, the file's name in the first column.
    const QList<QStringList> summary = ConverterSummary(pc56, {"--min-episode", "20"});
    for (int c = 0; c < 3; ++c) {
        QStringList row = summary[c];
        row[0] = "demo_pc56.lqd";
        QCOMPARE(lines[2 + c], row.join(','));
    }
    QCOMPARE(lines[5], QString());
    QCOMPARE(lines[6], QString("Channel,Episode,Start,StartClock,Duration,Nadir,NadirTime,Area"));
    QVERIFY(lines[7].startsWith("1,1,"));
    QCOMPARE(lines.size(), 7 + 3 + 1); // three episodes, and the end of the last line

    // The choices and the panel come back as they were left; the ten keys stay first.
    Find<QComboBox>("ThresholdModeComboBox")->setCurrentIndex(1);
    Find<QDoubleSpinBox>("DropSpinBox")->setValue(25.5);
    window->close();
    QFile ini(QString::fromStdString(files->Path("tesmora.INI")));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QStringList keys = QString::fromUtf8(ini.readAll()).split('\n');
    QCOMPARE(keys[0], QString("[Form]"));
    QCOMPARE(keys[11], QString("Check4=1"));
    const qsizetype at = keys.indexOf("[Oximetry]");
    QVERIFY(at > 11);
    QCOMPARE(keys.mid(at + 1, 8), QStringList({"Visible=1", "Mode=Relative", "Threshold=50",
                                               "Drop=25.5", "Baseline=Minutes", "BaselineMinutes=5",
                                               "MinEpisode=20", "MergeGap=10"}));
    NewWindow();
    QVERIFY(!Find("OximetryPanel")->isHidden());
    QCOMPARE(Find<QDoubleSpinBox>("DropSpinBox")->value(), 25.5);
    QCOMPARE(Find<QComboBox>("ThresholdModeComboBox")->currentIndex(), 1);
}

QTEST_MAIN(TestOximetryWindow)
#include "tst_oximetry_window.moc"

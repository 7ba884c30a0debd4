#include "chart/layout.h"
#include "chart/painter.h"
#include "recording/datetime.h"
#include "support/trace_reference.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <cmath>
#include <limits>
#include <random>

using namespace tesmora;

namespace {

// One panel of 860 x 392 at (20, 20) in a 900 x 432 chart, as at the window's design size.
ChartState OnePanel(int channels = 1) {
    ChartState s;
    LayoutInput in;
    in.width = 900;
    in.height = 432;
    in.channelCount = channels;
    for (int c = 0; c < channels; ++c) in.channelChecked[c] = true;
    for (bool& d : in.showData) d = true;
    GetSettings(s, in);
    const QRgb colors[4] = {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 128, 0), qRgb(128, 0, 128)};
    for (int k = 0; k < 4; ++k) s.TraceColor[k] = colors[k];
    return s;
}

QImage Blank() {
    QImage image(900, 432, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

void SetStatuses(RecordingStore& store, const QList<int>& statuses) {
    store.DataCount = static_cast<int>(statuses.size());
    store.ChCount = 1;
    store.Rate = 500;
    for (int j = 0; j < statuses.size(); ++j)
        store.SampleBuff[j].Ch[0].Status = static_cast<std::uint16_t>(statuses[j]);
}

} // namespace

class TestChartPainter : public QObject {
    Q_OBJECT
    RecordingStore store;

private slots:
    void valueGrid_data();
    void valueGrid();
    void traceRows_data();
    void traceRows();
    void bands_data();
    void bands();
    void timeGrid();
    void timeGridNearTheEdges();
    void elapsedPastOneDay();
    void readout_data();
    void readout();
    void reducedTracesInkTheSamePixels_data();
    void reducedTracesInkTheSamePixels();
    void pixelEdges();
    void emptyChart();
    void cacheChangesNothing();
    void deviceResolution();
};

void TestChartPainter::valueGrid_data() {
    QTest::addColumn<int>("shift");
    QTest::addColumn<int>("amp");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QStringList>("left"); // labelled lines only
    QTest::addColumn<QStringList>("right");
    const QList<int> rows0{314, 216, 118, 20};
    QTest::newRow("x0.25") << 0 << 0 << rows0 << QStringList{"20", "40", "60"}
                           << QStringList{"0.4", "0.8", "1.2"};
    QTest::newRow("x0.5") << 0 << 1 << rows0 << QStringList{"20", "40", "60"}
                          << QStringList{"0.2", "0.4", "0.6"};
    QTest::newRow("x1") << 0 << 2 << rows0 << QStringList{"20", "40", "60"}
                        << QStringList{"0.1", "0.2", "0.3"};
    QTest::newRow("x2") << 0 << 3 << rows0 << QStringList{"20", "40", "60"}
                        << QStringList{"0.05", "0.10", "0.15"};
    QTest::newRow("x4") << 0 << 4 << rows0 << QStringList{"20", "40", "60"}
                        << QStringList{"0.025", "0.050", "0.075"};
    QTest::newRow("x8") << 0 << 5 << rows0 << QStringList{"20", "40", "60"}
                        << QStringList{"0.0125", "0.0250", "0.0375"};
    QTest::newRow("x16") << 0 << 6 << rows0 << QStringList{"20", "40", "60"}
                         << QStringList{"0.00625", "0.01250", "0.01875"};
    QTest::newRow("shift 100") << 100 << 2 << rows0 << QStringList{"100", "120", "140"}
                               << QStringList{"0.5", "0.6", "0.7"};
    QTest::newRow("shift -100") << -100 << 2 << rows0 << QStringList{"-60", "-40", "-20"}
                                << QStringList{"-0.3", "-0.2", "-0.1"};
    // Not a multiple of 25: the lines are the multiples of 0.2 inside the shifted window.
    QTest::newRow("shift 10") << 10 << 2 << QList<int>{353, 255, 157, 59}
                              << QStringList{"20", "40", "60", "80"}
                              << QStringList{"0.1", "0.2", "0.3", "0.4"};
}

void TestChartPainter::valueGrid() {
    QFETCH(int, shift);
    QFETCH(int, amp);
    QFETCH(QList<int>, rows);
    QFETCH(QStringList, left);
    QFETCH(QStringList, right);
    const ValueWindow w = ValueWindowFor(shift, amp);
    const std::vector<ValueGridLine> lines = ValueGridLines(w, amp, 20, 412, 392);
    QCOMPARE(int(lines.size()), 4);
    QStringList gotLeft, gotRight;
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(lines[i].y, rows[i]);
        QCOMPARE(lines[i].labelled, lines[i].y - 20 > 20);
        if (lines[i].labelled) {
            gotLeft << lines[i].left;
            gotRight << lines[i].right.trimmed();
        }
    }
    QCOMPARE(gotLeft, left);
    QCOMPARE(gotRight, right);
    // The width is a minimum: "%3.1f" pads 0.1 to three characters and no more.
    QCOMPARE(ValueGridLines(ValueWindowFor(0, 6), 6, 20, 412, 392)[0].right, QString("0.00625"));
}

void TestChartPainter::traceRows_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("series");
    QTest::addColumn<int>("row");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Panel top 20, bottom 412, height 392; shift 0, "x1": StO2 0..0.8, Hb 0..0.4.
    QTest::newRow("StO2 0.4") << 0.4 << 3 << 216;
    QTest::newRow("StO2 equal to sLo") << 0.0 << 3 << 412;
    QTest::newRow("StO2 below") << -0.1 << 3 << 412;
    QTest::newRow("StO2 above") << 0.9 << 3 << 20;
    QTest::newRow("StO2 NaN") << nan << 3 << 412;
    QTest::newRow("Hb 0.1") << 0.1 << 0 << 314;
    QTest::newRow("Hb equal to hHi") << 0.4 << 1 << 20;
    QTest::newRow("Hb below") << -5.0 << 2 << 412;
    QTest::newRow("Hb infinite") << std::numeric_limits<double>::infinity() << 2 << 20;
    QTest::newRow("Hb NaN") << nan << 0 << 412;
}

void TestChartPainter::traceRows() {
    QFETCH(double, value);
    QFETCH(int, series);
    const ValueWindow w = ValueWindowFor(0, 2);
    QFETCH(int, row);
    QCOMPARE(TraceRow(value, series, w, 20, 412, 392, 392 / (w.hHi - w.hLo)), row);
}

void TestChartPainter::bands_data() {
    QTest::addColumn<QList<int>>("statuses");
    QTest::addColumn<int>("timeScale");
    QTest::addColumn<QList<int>>("bands"); // x0, x1, p (1) or e (0), as triples
    const int P = STS_P, E = STS_E;
    QTest::newRow("P then E") << QList<int>{0, P, P, E, E, 0, 0} << 1
                              << QList<int>{21, 23, 1, 23, 25, 0};
    QTest::newRow("device code is E") << QList<int>{0, 3, 0x41, 0} << 1 << QList<int>{21, 23, 0};
    QTest::newRow("no code or filled alone are clean")
        << QList<int>{STS_NOCODE, STS_FILLED, 0} << 1 << QList<int>{};
    QTest::newRow("reaches the last sample")
        << QList<int>{0, 0, P, P, P} << 1 << QList<int>{22, 24, 1};
    QTest::newRow("E then P") << QList<int>{E, P, 0} << 1 << QList<int>{20, 21, 0, 21, 22, 1};
    QTest::newRow("run of one at the end") << QList<int>{0, P} << 1 << QList<int>{21, 21, 1};
    QTest::newRow("TimeScale 2") << QList<int>{0, 0, P, P, P, 0, 0, 0} << 2
                                 << QList<int>{21, 22, 1};
}

void TestChartPainter::bands() {
    QFETCH(QList<int>, statuses);
    QFETCH(int, timeScale);
    QFETCH(QList<int>, bands);
    SetStatuses(store, statuses);
    ChartState s = OnePanel();
    s.TimeScale = timeScale;
    std::vector<PanelScan> scans;
    ScanPanels(store, s, 1, 0, ValueWindowFor(0, 2), scans);
    QList<int> got;
    for (const Band& b : scans[0].bands) got << b.x0 << b.x1 << int(b.p);
    QCOMPARE(got, bands);
}

void TestChartPainter::timeGrid() {
    store.DataCount = 5000;
    store.Rate = 500;
    store.StartTime = DT(2021, 6, 1, 23, 58, 30, 0);
    ChartState s = OnePanel();
    s.GridTime = 60000;
    const QFontMetrics fm(QGuiApplication::font());
    const std::vector<TimeGridLine> lines = TimeGridLines(store, s, 0, 0, fm);
    QCOMPARE(int(lines.size()), 7); // every 120 columns from ChLeft + 120 up to 860
    for (int i = 0; i < 7; ++i) {
        const QString elapsed = QString("0:%1:00").arg(i + 1, 2, 10, QChar('0'));
        const int x = 20 + 120 * (i + 1), w = fm.horizontalAdvance(elapsed);
        QCOMPARE(lines[i].x, x);
        QCOMPARE(lines[i].labelled, 20 + w / 2 < x && x < 880 - w / 2); // fits inside the panel
        if (lines[i].labelled) QCOMPARE(lines[i].elapsed, elapsed);
    }
    QCOMPARE(lines[0].clock, QString("23:59:30"));
    QCOMPARE(lines[1].clock, QString("0:00:30")); // the clock wraps at midnight
    QCOMPARE(lines[0].elapsedX, 140 - fm.horizontalAdvance("0:01:00") / 2);
    // Scrolled so that a line falls exactly at the first visible sample: it is not drawn.
    const std::vector<TimeGridLine> scrolled = TimeGridLines(store, s, 0, 120, fm);
    QCOMPARE(scrolled[0].x, 20 + 120);
    QCOMPARE(scrolled[0].elapsed, QString("0:02:00"));
}

void TestChartPainter::timeGridNearTheEdges() {
    store.DataCount = 100000;
    store.Rate = 1000;
    store.StartTime = DT(2021, 6, 1, 8, 0, 0, 0);
    ChartState s = OnePanel();
    s.GridTime = 60000;
    const QFontMetrics fm(QGuiApplication::font());
    // s0 = 59: the first line is one column in, too close for its label.
    std::vector<TimeGridLine> lines = TimeGridLines(store, s, 0, 59, fm);
    QCOMPARE(lines[0].x, 21);
    QVERIFY(!lines[0].labelled);
    // A line exactly on the right edge is still drawn.
    s.GridTime = 860000;
    s.TimeScale = 1;
    lines = TimeGridLines(store, s, 0, 0, fm);
    QCOMPARE(int(lines.size()), 1);
    QCOMPARE(lines[0].x, 880);
    QVERIFY(!lines[0].labelled);
    // A clock label wider than the elapsed one is pushed inside the left edge.
    s.GridTime = 60000;
    const int w = fm.horizontalAdvance("0:01:00");
    const int w2 = fm.horizontalAdvance("8:01:00");
    lines = TimeGridLines(store, s, 0, 60 - (w / 2 + 1), fm);
    QVERIFY(lines[0].labelled);
    QCOMPARE(lines[0].clockX, 20 + w2 / 2 >= lines[0].x ? 21 : lines[0].x - w2 / 2);
}

void TestChartPainter::elapsedPastOneDay() {
    store.DataCount = SAMPLE_CAPACITY;
    store.Rate = 500;
    store.StartTime = DT(2021, 6, 1, 10, 0, 0, 0);
    ChartState s = OnePanel();
    s.TimeScale = 402;
    s.GridTime = 21600000; // 6 h
    const std::vector<TimeGridLine> lines =
        TimeGridLines(store, s, 0, 0, QFontMetrics(QGuiApplication::font()));
    QStringList elapsed, clock;
    for (const TimeGridLine& l : lines)
        if (l.labelled) elapsed << l.elapsed, clock << l.clock;
    QVERIFY(elapsed.contains("24:00:00"));
    QVERIFY(elapsed.contains("36:00:00"));
    QCOMPARE(clock[elapsed.indexOf("24:00:00")], QString("10:00:00"));
    QCOMPARE(clock[elapsed.indexOf("36:00:00")], QString("22:00:00"));
}

void TestChartPainter::readout_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("texts");
    const QString c = QString::fromUtf8("\u2103");
    QTest::newRow("valid") << 0
                           << QStringList{" 0.0123", "-0.0500", " 0.3000", " 65.3[%]",
                                          "36.5[" + c + "]"};
    QTest::newRow("no code") << int(STS_NOCODE | STS_E) << QStringList{"", "", "", "", ""};
    QTest::newRow("P") << int(STS_P) << QStringList{"", "", "", "", ""};
    QTest::newRow("E") << int(STS_E)
                       << QStringList{"*****", "*****", "*****", "*****[%]", "**.*[" + c + "]"};
    QTest::newRow("device code") << 0x0043
                                 << QStringList{"*****", "*****", "*****", "*****[%]",
                                                "**.*[" + c + "]"};
    QTest::newRow("filled") << int(STS_FILLED)
                            << QStringList{"*****", "*****", "*****", "*****[%]",
                                           "**.*[" + c + "]"};
}

void TestChartPainter::readout() {
    QFETCH(int, status);
    QFETCH(QStringList, texts);
    store.DataCount = 10;
    store.StartTime = DT(2021, 6, 1, 9, 30, 0, 0);
    store.SampleBuff[7].Time = 3.5 / 86400;
    store.SampleBuff[7].Ch[1] = {36.5f, static_cast<std::uint16_t>(status), 0.0123f, -0.05f, 0.3f,
                                 0.653f};
    store.SampleBuff[7].Ave[1] = {0, 0, 9, 9, 9, 9}; // the read-out shows the raw values
    const ReadoutTexts t = ReadoutFor(store, 7, 1);
    QCOMPARE(t.caption, QString("9:30:03"));
    QCOMPARE((QStringList{t.oxhb, t.dxhb, t.tohb, t.sto2, t.temp}), texts);
}

void TestChartPainter::reducedTracesInkTheSamePixels_data() {
    QTest::addColumn<int>("timeScale");
    QTest::addColumn<int>("shift");
    QTest::addColumn<int>("scale");
    QTest::newRow("TimeScale 1") << 1 << 0 << 1;
    QTest::newRow("TimeScale 2") << 2 << 0 << 1;
    QTest::newRow("TimeScale 7, shifted") << 7 << 30 << 1;
    QTest::newRow("TimeScale 40") << 40 << -50 << 1;
    // Two device pixels per pixel: fewer samples than device columns, then more.
    QTest::newRow("TimeScale 1, device scale 2") << 1 << 0 << 2;
    QTest::newRow("TimeScale 3, device scale 2") << 3 << 10 << 2;
    QTest::newRow("TimeScale 40, device scale 2") << 40 << -50 << 2;
}

void TestChartPainter::reducedTracesInkTheSamePixels() {
    QFETCH(int, timeScale);
    QFETCH(int, shift);
    QFETCH(int, scale);
    std::mt19937 rng(static_cast<unsigned>(timeScale));
    std::normal_distribution<float> noise(0, 0.05f);
    store.DataCount = 860 * timeScale - 123; // ends inside the panel
    store.ChCount = 1;
    float v = 0.2f;
    for (int j = 0; j < store.DataCount; ++j) {
        v += noise(rng);
        ChannelData& a = store.SampleBuff[j].Ave[0];
        a.OXHb = v;
        a.DXHb = j % 97 == 0 ? std::numeric_limits<float>::quiet_NaN()
                             : 0.2f - v;    // NaN on the bottom edge
        a.TOHb = j % 50 < 3 ? 10.0f : 0.2f; // beyond the top edge now and then
        a.StO2 = 0.6f + v / 4;
    }
    ChartState s = OnePanel();
    s.TimeScale = timeScale;
    s.YShift = shift;
    const ValueWindow w = ValueWindowFor(shift, 2);
    std::vector<PanelScan> scans;
    ScanPanels(store, s, 1, 0, w, scans, scale);
    const QRect area(18, 18, 863, 395);
    for (int k = 0; k < 4; ++k) {
        TraceLayer reduced(area, scale), full(area, scale);
        reduced.DrawColumns(scans[0].trace[k], s.ChLeft[0] * scale, s.TraceColor[k]);
        std::vector<QLine> segments;
        test::TraceSegmentsPerSample(store, s, 0, k, 0, w, segments, scale);
        full.Draw(segments, s.TraceColor[k]);
        QVERIFY2(reduced.Image() == full.Image(), qPrintable(QString("series %1").arg(k)));
        QVERIFY(reduced.Image() != TraceLayer(area, scale).Image());
    }
}

void TestChartPainter::pixelEdges() {
    // Fills exclude their right edge; lines exclude their end point; the frame is closed.
    SetStatuses(store, {0, 0, STS_P, STS_P, STS_P, 0, 0, 0, 0, 0});
    for (int j = 0; j < 10; ++j)
        store.SampleBuff[j].Ave[0] = {0, 0, 0.1f, -1, -1, -1}; // OXHb 0.1: row 314
    store.StartTime = DT(2021, 6, 1, 9, 0, 0, 0);
    ChartState s = OnePanel();
    for (bool& d : s.ShowData) d = false;
    s.ShowData[0] = true;
    s.GridTime = 60000;
    s.CursorCh = 0;
    s.CursorIndex = 7;
    QImage image = Blank();
    QPainter painter(&image);
    painter.setFont(QGuiApplication::font());
    PaintChart(painter, store, s, 1, 2, 0);
    painter.end();
    const Readout r = CursorReadout(store, s, 1, 0);
    const int mid = 100;
    const QRgb aqua = qRgb(0, 255, 255), dark = qRgb(64, 64, 64), lime = qRgb(0, 255, 0),
               white = qRgb(255, 255, 255);
    QCOMPARE(image.pixel(21, mid), white);
    QCOMPARE(image.pixel(22, mid), aqua);
    QCOMPARE(image.pixel(23, mid), aqua);
    QCOMPARE(image.pixel(24, mid), aqua);
    QCOMPARE(image.pixel(25, mid), white); // the run closes at sample 5, column 25 not filled
    QCOMPARE(image.pixel(20, 20), dark);
    QCOMPARE(image.pixel(880, 412), dark);
    QCOMPARE(image.pixel(880, mid), dark);
    QCOMPARE(image.pixel(500, 412), dark);
    QCOMPARE(image.pixel(881, mid), white);
    QCOMPARE(image.pixel(500, 413), white);
    QCOMPARE(image.pixel(27, 21), lime); // the cursor, at ChLeft + 7
    QCOMPARE(image.pixel(27, 411), lime);
    QCOMPARE(image.pixel(27, 412), dark); // its end point is the frame's
    QCOMPARE(image.pixel(28, mid), white);
    const QRgb silver = qRgb(192, 192, 192);
    // The trace is 2 pixels wide, its row and the one above, from one column left of the
    // first sample's to the last sample's (29).
    const ValueWindow w = ValueWindowFor(0, 2);
    const int y = TraceRow(0.1f, 0, w, 20, 412, 392, 392 / (w.hHi - w.hLo));
    const QRgb red = qRgb(255, 0, 0);
    for (int x : {19, 25, 29}) {
        QCOMPARE(image.pixel(x, y - 1), red);
        QCOMPARE(image.pixel(x, y), red);
        QVERIFY(image.pixel(x, y - 2) != red && image.pixel(x, y + 1) != red);
    }
    QVERIFY(image.pixel(30, y) != red);
    QCOMPARE(image.pixel(879, 314), silver); // a grid line ends one column before the frame
    QCOMPARE(image.pixel(600, 216), silver);
    QVERIFY(r.update && r.visible);
}

void TestChartPainter::emptyChart() {
    store.DataCount = 0;
    ChartState s = OnePanel();
    QImage image = Blank();
    QPainter painter(&image);
    PaintChart(painter, store, s, 1, 2, 0);
    painter.end();
    QVERIFY(!CursorReadout(store, s, 1, 0).update);
    QCOMPARE(image.pixel(20, 100), qRgb(64, 64, 64)); // the frame is there
    QImage none = Blank();
    QPainter p2(&none);
    PaintChart(p2, store, s, 0, 2, 0);
    p2.end();
    QVERIFY(none == Blank());
}

void TestChartPainter::cacheChangesNothing() {
    // A paint that keeps its layer and labels for the next one draws what a fresh one draws,
    // the second time too, and after a scroll that leaves other rows of the layer in use.
    store.DataCount = 5000;
    store.ChCount = 3;
    store.Rate = 500;
    store.StartTime = DT(2021, 6, 1, 9, 0, 0, 0);
    for (int j = 0; j < store.DataCount; ++j)
        for (int c = 0; c < 3; ++c) {
            const float x = static_cast<float>(std::sin(j * 0.01 + c));
            store.SampleBuff[j].Ch[c].Status = j % 700 < 20 ? STS_P : 0;
            store.SampleBuff[j].Ave[c] = {0, 0, 0.2f + x / 10, 0.1f - x / 20, 0.3f, 0.6f + x / 5};
        }
    ChartState s = OnePanel(3);
    s.TimeScale = 3;
    s.GridTime = 60000;
    QGuiApplication::setFont(QFont("DejaVu Sans", 8));
    auto paint = [&](std::int32_t s0, PaintCache* cache) {
        QImage image = Blank();
        QPainter painter(&image);
        painter.setFont(QGuiApplication::font());
        PaintChart(painter, store, s, 3, 2, s0, cache);
        return image;
    };
    PaintCache cache;
    for (const std::int32_t s0 : {0, 0, 1700, 0}) {
        const QImage fresh = paint(s0, nullptr);
        QVERIFY(fresh != Blank());
        QVERIFY2(paint(s0, &cache) == fresh, qPrintable(QString("from sample %1").arg(s0)));
    }
}

void TestChartPainter::deviceResolution() {
    // The chart at ratio 1 and at ratio 2. Bands, frames and grid lines land where the ratio-1
    // picture puts them, twice as large; the traces are drawn at device resolution.
    store.DataCount = 600;
    store.ChCount = 1;
    store.Rate = 500;
    store.StartTime = DT(2021, 6, 1, 9, 0, 0, 0);
    for (int j = 0; j < store.DataCount; ++j) {
        store.SampleBuff[j].Ch[0].Status = j >= 100 && j < 140 ? STS_P : 0;
        store.SampleBuff[j].Ave[0] = {0, 0, 0.05f + j * 0.0004f, 0, 0, 0.5f}; // a slope
    }
    ChartState s = OnePanel();
    for (bool& d : s.ShowData) d = false;
    s.ShowData[0] = true;
    s.GridTime = 60000;
    s.CursorCh = 0;
    s.CursorIndex = 300;
    auto render = [&](int ratio) {
        QImage image(900 * ratio, 432 * ratio, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(QFont("DejaVu Sans", 8));
        PaintChart(painter, store, s, 1, 2, 0);
        return image;
    };
    const QImage one = render(1), two = render(2);
    const QRgb red = qRgb(255, 0, 0);
    // Frame, grid lines, band and cursor: every pixel of theirs at ratio 1 is a 2 x 2 block
    // of the same colour at ratio 2 (text, drawn finer, and the traces are left out).
    const QRgb structure[] = {qRgb(64, 64, 64), qRgb(192, 192, 192), qRgb(0, 255, 255),
                              qRgb(0, 255, 0)};
    int checked = 0, same = 0;
    for (int y = 0; y < 432; ++y)
        for (int x = 0; x < 900; ++x) {
            const QRgb c = one.pixel(x, y);
            if (std::find(std::begin(structure), std::end(structure), c) == std::end(structure))
                continue;
            ++checked;
            same += two.pixel(2 * x, 2 * y) == c && two.pixel(2 * x + 1, 2 * y) == c &&
                    two.pixel(2 * x, 2 * y + 1) == c && two.pixel(2 * x + 1, 2 * y + 1) == c;
        }
    QVERIFY(checked > 5000);
    QVERIFY2(same >= checked * 99 / 100, qPrintable(QString("%1 of %2").arg(same).arg(checked)));
    for (const QPoint p : {QPoint(20, 20), QPoint(880, 412), QPoint(20, 300), QPoint(320, 413 - 1)})
        QCOMPARE(two.pixel(2 * p.x() + 1, 2 * p.y() + 1), one.pixel(p));
    // The trace: 4 device pixels thick, and its upper edge climbs in steps of one device
    // pixel, where a layer of ratio 1 scaled up would climb in steps of two.
    auto topEdge = [&](int x) {
        for (int y = 0; y < two.height(); ++y)
            if (two.pixel(x, y) == red) return y;
        return -1;
    };
    int fineSteps = 0;
    for (int x = 2 * 60; x < 2 * 500; ++x) {
        if (std::abs(x - 2 * 320) < 6) continue; // the cursor line lies over the trace
        QVERIFY(topEdge(x) >= 0);
        const int step = std::abs(topEdge(x + 1) - topEdge(x));
        QVERIFY(step <= 1);
        fineSteps += step == 1;
    }
    QVERIFY2(fineSteps > 100, qPrintable(QString::number(fineSteps)));
    int thickness = 0;
    for (int y = topEdge(400); two.pixel(400, y) == red; ++y) ++thickness;
    QVERIFY(thickness >= 4);
}

QTEST_MAIN(TestChartPainter)
#include "tst_chart_painter.moc"

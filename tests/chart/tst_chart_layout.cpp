#include "chart/layout.h"
#include "chart/time_grid.h"

#include <QTest>

using namespace tesmora;

class TestChartLayout : public QObject {
    Q_OBJECT
private slots:
    void timeGrid_data();
    void timeGrid();
    void panels_data();
    void panels();
    void channelSelection();
    void cursorFollowsItsChannel();
    void wholeRecordingTimeScale();
};

void TestChartLayout::timeGrid_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("timeScale");
    QTest::addColumn<int>("grid");
    QTest::newRow("nothing loaded") << 0 << 1 << 1000;
    QTest::newRow("500 x1") << 500 << 1 << 60000;
    QTest::newRow("1000 x1") << 1000 << 1 << 300000;
    QTest::newRow("500 x6 equal") << 500 << 6 << 300000;
    QTest::newRow("500 x10") << 500 << 10 << 600000;
    QTest::newRow("500 x36") << 500 << 36 << 1800000;
    QTest::newRow("500 x37") << 500 << 37 << 3600000;
    QTest::newRow("500 x823") << 500 << 823 << 43200000;
    QTest::newRow("1000 x864") << 1000 << 864 << 86400000;
    QTest::newRow("1000 x865 cap") << 1000 << 865 << 86400000;
    QTest::newRow("full zoom-out of 48 h") << 500 << 402 << 21600000;
    // Rate*TimeScale*100 wraps in 32 bits; the unsigned comparison then sees a small span.
    QTest::newRow("wrapping span") << 1000 << 42950 << 60000;
}

void TestChartLayout::timeGrid() {
    QFETCH(int, rate);
    QFETCH(int, timeScale);
    QFETCH(int, grid);
    QCOMPARE(CalcTimeGrid(rate, timeScale), grid);
}

void TestChartLayout::panels_data() {
    QTest::addColumn<int>("panels");
    QTest::addColumn<int>("arrange");
    QTest::addColumn<QSize>("plot");
    QTest::addColumn<QList<QRect>>("rects"); // (left, top) to (right, bottom) as x, y, w, h
    auto R = [](int l, int t, int r, int b) { return QRect(QPoint(l, t), QSize(r - l, b - t)); };
    QTest::newRow("1") << 1 << 0 << QSize(860, 392) << QList<QRect>{R(20, 20, 880, 412)};
    QTest::newRow("1 two columns")
        << 1 << 1 << QSize(860, 392) << QList<QRect>{R(20, 20, 880, 412)};
    QTest::newRow("2") << 2 << 1 << QSize(860, 186)
                       << QList<QRect>{R(20, 20, 880, 206), R(20, 226, 880, 412)};
    QTest::newRow("3 rows") << 3 << 0 << QSize(860, 117)
                            << QList<QRect>{R(20, 20, 880, 137), R(20, 157, 880, 274),
                                            R(20, 294, 880, 411)};
    QTest::newRow("4 rows") << 4 << 0 << QSize(860, 83)
                            << QList<QRect>{R(20, 20, 880, 103), R(20, 123, 880, 206),
                                            R(20, 226, 880, 309), R(20, 329, 880, 412)};
    QTest::newRow("3 grid") << 3 << 1 << QSize(420, 186)
                            << QList<QRect>{R(20, 20, 440, 206), R(20, 226, 440, 412),
                                            R(460, 20, 880, 206)};
    QTest::newRow("4 grid") << 4 << 1 << QSize(420, 186)
                            << QList<QRect>{R(20, 20, 440, 206), R(20, 226, 440, 412),
                                            R(460, 20, 880, 206), R(460, 226, 880, 412)};
    QTest::newRow("none checked") << 0 << 0 << QSize(860, 392) << QList<QRect>{};
}

void TestChartLayout::panels() {
    QFETCH(int, panels);
    QFETCH(int, arrange);
    QFETCH(QSize, plot);
    QFETCH(QList<QRect>, rects);
    ChartState s;
    s.ArrangeMode = arrange;
    LayoutInput in;
    in.width = 900;
    in.height = 432;
    in.channelCount = 4;
    for (int c = 0; c < panels; ++c) in.channelChecked[c] = true;
    QCOMPARE(GetSettings(s, in), panels);
    QCOMPARE(QSize(s.PlotWidth, s.PlotHeight), plot);
    for (int p = 0; p < rects.size(); ++p) {
        QCOMPARE(QRect(QPoint(s.ChLeft[p], s.ChTop[p]), QPoint(s.ChRight[p], s.ChBottom[p])),
                 QRect(rects[p].topLeft(),
                       rects[p].topLeft() + QPoint(rects[p].width(), rects[p].height())));
        QCOMPARE(s.ChSlot[p], p);
    }
    for (int p = panels; p < 4; ++p) QCOMPARE(s.ChSlot[p], -1);
}

void TestChartLayout::channelSelection() {
    ChartState s;
    LayoutInput in;
    in.width = 900;
    in.height = 432;
    in.channelCount = 3;
    in.channelChecked[0] = in.channelChecked[2] = in.channelChecked[3] =
        true; // CH2 off, CH4 absent
    in.showData[1] = true;
    QCOMPARE(GetSettings(s, in), 2);
    QCOMPARE(s.ChSlot[0], 0);
    QCOMPARE(s.ChSlot[1], 2);
    QCOMPARE(s.ChSlot[2], -1);
    QVERIFY(!s.ShowData[0] && s.ShowData[1]);
}

void TestChartLayout::cursorFollowsItsChannel() {
    ChartState s;
    LayoutInput in;
    in.width = 900;
    in.height = 432;
    in.channelCount = 3;
    for (bool& c : in.channelChecked) c = true;
    GetSettings(s, in);
    s.CursorCh = 2; // on channel 3
    s.CursorIndex = 99;
    in.channelChecked[0] = false; // an earlier channel goes: the cursor moves up a panel
    GetSettings(s, in);
    QCOMPARE(s.CursorCh, 1);
    QCOMPARE(s.CursorIndex, 99);
    in.channelChecked[2] = false; // its own channel goes: the cursor goes with it
    GetSettings(s, in);
    QCOMPARE(s.CursorCh, -1);
    QCOMPARE(s.CursorIndex, -1);
}

void TestChartLayout::wholeRecordingTimeScale() {
    QCOMPARE(WholeRecordingTimeScale(860, 860), 1);
    QCOMPARE(WholeRecordingTimeScale(861, 860), 2);
    QCOMPARE(WholeRecordingTimeScale(345600, 860), 402);
}

QTEST_APPLESS_MAIN(TestChartLayout)
#include "tst_chart_layout.moc"

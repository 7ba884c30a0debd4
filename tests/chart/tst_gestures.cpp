#include "chart/gestures.h"
#include "chart/time_grid.h"

#include <QTest>

using namespace tesmora;

namespace {

// One panel of 860 x 392 at (20, 20), a recording of 10,000 samples.
ChartState Panel() {
    ChartState s;
    s.ChSlot[0] = 0;
    s.ChLeft[0] = 20;
    s.ChTop[0] = 20;
    s.ChRight[0] = 880;
    s.ChBottom[0] = 412;
    s.PlotWidth = 860;
    s.PlotHeight = 392;
    s.TimeScaleMax = 12;
    return s;
}

constexpr int kCount = 10000;
const ScrollBarState kBar{true, 1000, kCount - 860};

} // namespace

class TestGestures : public QObject {
    Q_OBJECT
private slots:
    void drags_data();
    void drags();
    void clicks_data();
    void clicks();
    void doubleClickCancelsTheShift();
    void scrollingRepaints_data();
    void scrollingRepaints();
    void initializeView();
};

// A press at (400, 200), moves by each (dx, dy) in turn, all with the same buttons.
void TestGestures::drags_data() {
    QTest::addColumn<bool>("left");
    QTest::addColumn<int>("timeScale");
    QTest::addColumn<QList<QPoint>>("moves");
    QTest::addColumn<int>("scrollTo"); // -1: not moved
    QTest::addColumn<int>("yShift");
    QTest::addColumn<int>("timeScaleAfter");
    QTest::addColumn<int>("axis");
    QTest::newRow("5 pixels: undecided")
        << true << 1 << QList<QPoint>{{5, 5}, {-5, 0}} << -1 << 0 << 1 << -1;
    QTest::newRow("6 pixels right: pan")
        << true << 1 << QList<QPoint>{{6, 0}} << 994 << 0 << 1 << 0;
    QTest::newRow("tie is vertical") << true << 1 << QList<QPoint>{{6, 6}} << -1 << 1 << 1 << 1;
    QTest::newRow("axis holds") << true << 1 << QList<QPoint>{{0, 10}, {300, 10}} << -1 << 2 << 1
                                << 1;
    QTest::newRow("shift +2") << true << 1 << QList<QPoint>{{0, 10}} << -1 << 2 << 1 << 1;
    QTest::newRow("shift -2") << true << 1 << QList<QPoint>{{0, -10}} << -1 << -2 << 1 << 1;
    QTest::newRow("shift a panel") << true << 1 << QList<QPoint>{{0, 392}} << -1 << 100 << 1 << 1;
    QTest::newRow("shift stays at 100")
        << true << 1 << QList<QPoint>{{0, 392}, {0, 600}} << -1 << 100 << 1 << 1;
    QTest::newRow("pan at TimeScale 4")
        << true << 4 << QList<QPoint>{{-10, 0}} << 1040 << 0 << 4 << 0;
    QTest::newRow("pan clamped at the end")
        << true << 4 << QList<QPoint>{{-5000, 0}} << kCount - 860 << 0 << 4 << 0;
    QTest::newRow("pan clamped at 0") << true << 1 << QList<QPoint>{{3000, 0}} << 0 << 0 << 1 << 0;
    QTest::newRow("zoom 49") << false << 3 << QList<QPoint>{{49, 0}} << -1 << 0 << 3 << 0;
    QTest::newRow("zoom 50") << false << 3 << QList<QPoint>{{50, 0}} << -1 << 0 << 2 << 0;
    QTest::newRow("zoom 150") << false << 3 << QList<QPoint>{{150, 0}} << -1 << 0 << 1 << 0;
    QTest::newRow("zoom -120") << false << 3 << QList<QPoint>{{-120, 0}} << -1 << 0 << 5 << 0;
    QTest::newRow("zoom out to the maximum")
        << false << 3 << QList<QPoint>{{-2000, 0}} << -1 << 0 << 12 << 0;
    QTest::newRow("vertical middle drag does nothing")
        << false << 3 << QList<QPoint>{{0, 80}} << -1 << 0 << 3 << 1;
}

void TestGestures::drags() {
    QFETCH(bool, left);
    QFETCH(int, timeScale);
    QFETCH(QList<QPoint>, moves);
    QFETCH(int, scrollTo);
    QFETCH(int, yShift);
    QFETCH(int, timeScaleAfter);
    QFETCH(int, axis);
    Gestures g;
    ChartState s = Panel();
    s.TimeScale = timeScale;
    g.MouseDown(left ? MouseButton::Left : MouseButton::Middle, 400, 200, s, kBar);
    GestureEffect last;
    std::optional<int> scrolled;
    for (const QPoint& d : moves) {
        last = g.MouseMove(left, !left, 400 + d.x(), 200 + d.y(), s, kCount, 500, kBar);
        if (last.scrollTo) scrolled = last.scrollTo;
    }
    QCOMPARE(scrolled.value_or(-1), scrollTo);
    QCOMPARE(s.YShift, yShift);
    QCOMPARE(s.TimeScale, timeScaleAfter);
    QCOMPARE(g.DragAxis, axis);
    QCOMPARE(g.DragMoved, axis != -1);
    if (timeScaleAfter != timeScale) QCOMPARE(s.GridTime, CalcTimeGrid(500, timeScaleAfter));
    // The release of a drag sets no cursor.
    s.CursorCh = 5;
    g.MouseUp(left ? MouseButton::Left : MouseButton::Middle, 0, 0, s, kCount, 1, kBar);
    QCOMPARE(s.CursorCh, axis == -1 && left && timeScale == 1 ? -1 : 5);
    QVERIFY(!g.LeftDown);
}

void TestGestures::clicks_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("timeScale");
    QTest::addColumn<bool>("barVisible");
    QTest::addColumn<int>("cursorCh");
    QTest::addColumn<int>("cursorIndex");
    QTest::addColumn<bool>("repaint");
    QTest::newRow("ChLeft + 1") << 21 << 100 << 1 << true << 0 << 1001 << true;
    QTest::newRow("no scroll bar") << 21 << 100 << 1 << false << 0 << 1 << true;
    QTest::newRow("on the frame misses") << 20 << 100 << 1 << true << -1 << -1 << true;
    QTest::newRow("on the top edge misses") << 300 << 20 << 1 << true << -1 << -1 << true;
    QTest::newRow("outside") << 890 << 100 << 1 << true << -1 << -1 << true;
    QTest::newRow("TimeScale 2: nothing") << 300 << 100 << 2 << true << 0 << 77 << false;
}

void TestGestures::clicks() {
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, timeScale);
    QFETCH(bool, barVisible);
    QFETCH(int, cursorCh);
    QFETCH(int, cursorIndex);
    QFETCH(bool, repaint);
    Gestures g;
    ChartState s = Panel();
    s.TimeScale = timeScale;
    s.CursorCh = 0;
    s.CursorIndex = 77;
    const ScrollBarState bar{barVisible, barVisible ? 1000 : 0, kCount - 860};
    g.MouseDown(MouseButton::Left, x, y, s, bar);
    g.MouseMove(true, false, x + 3, y - 5, s, kCount, 500, bar); // within 5 pixels: still a click
    const GestureEffect e = g.MouseUp(MouseButton::Left, x, y, s, kCount, 1, bar);
    QCOMPARE(s.CursorCh, cursorCh);
    QCOMPARE(s.CursorIndex, cursorIndex);
    QCOMPARE(e.repaint, repaint);
}

void TestGestures::doubleClickCancelsTheShift() {
    Gestures g;
    ChartState s = Panel();
    QVERIFY(!g.DblClick(s).repaint);
    s.YShift = 30;
    QVERIFY(g.DblClick(s).repaint);
    QCOMPARE(s.YShift, 0);
    // The right button starts nothing.
    g.MouseDown(MouseButton::Right, 1, 2, s, kBar);
    QVERIFY(!g.LeftDown);
    QVERIFY(!g.MouseMove(true, false, 300, 2, s, kCount, 500, kBar).scrollTo);
}

void TestGestures::scrollingRepaints_data() {
    QTest::addColumn<int>("timeScale");
    QTest::addColumn<QList<int>>("positions");
    QTest::addColumn<QList<bool>>("repaints");
    QTest::newRow("TimeScale 3, single steps")
        << 3 << QList<int>{0, 1, 2, 3, 4, 5, 6}
        << QList<bool>{true, false, false, true, false, false, true};
    QTest::newRow("TimeScale 1: every step")
        << 1 << QList<int>{5, 6, 7} << QList<bool>{true, true, true};
    QTest::newRow("back and forth adds up")
        << 4 << QList<int>{10, 12, 9, 6} << QList<bool>{true, false, false, true};
}

void TestGestures::scrollingRepaints() {
    QFETCH(int, timeScale);
    QFETCH(QList<int>, positions);
    QFETCH(QList<bool>, repaints);
    Gestures g;
    ChartState s = Panel();
    s.TimeScale = timeScale;
    s.CursorIndex = 50;
    for (int i = 0; i < positions.size(); ++i) {
        const GestureEffect e = g.ScrollChanged(s, {true, positions[i], 9000});
        QCOMPARE(e.repaint, repaints[i]);
    }
    // The first change after start always repaints and, at full resolution, drops the cursor.
    QCOMPARE(s.CursorIndex, -1);
}

void TestGestures::initializeView() {
    Gestures g;
    ChartState s = Panel();
    // Nothing to reset, the scroll bar shown at 0: no repaint.
    GestureEffect e = g.InitializeView(s, 500, {true, 0, 100});
    QVERIFY(!e.repaint && !e.scrollTo);
    // With the scroll bar hidden it always resets and repaints.
    e = g.InitializeView(s, 500, {false, 0, 0});
    QVERIFY(e.repaint && !e.scrollTo);
    s.YShift = 40;
    s.TimeScale = 6;
    s.GridTime = 300000;
    e = g.InitializeView(s, 500, {true, 321, 1000});
    QVERIFY(e.repaint);
    QCOMPARE(e.scrollTo.value_or(-1), 0);
    QCOMPARE(s.YShift, 0);
    QCOMPARE(s.TimeScale, 1);
    QCOMPARE(s.GridTime, 60000);
}

QTEST_APPLESS_MAIN(TestGestures)
#include "tst_gestures.moc"

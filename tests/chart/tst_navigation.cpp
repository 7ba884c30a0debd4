// The wheel and the keys: where the view goes, without a window.

#include "chart/navigation.h"

#include <QTest>
#include <random>

using namespace tesmora;

Q_DECLARE_METATYPE(ChartKey)

namespace {

// A panel 860 columns wide and 392 rows high over 20,000 samples, scrolled to `position`.
struct View {
    ChartState s;
    ScrollBarState bar;
};

View Make(int position, int timeScale, int yShift = 0) {
    View v;
    v.s.PlotWidth = 860;
    v.s.PlotHeight = 392;
    v.s.TimeScale = timeScale;
    v.s.TimeScaleMax = (20000 + 859) / 860; // 24
    v.s.YShift = yShift;
    v.bar = {true, position, 20000 - 860};
    return v;
}

// The view after a change, as the window carries it out.
View After(View v, const ViewChange& c) {
    if (c.scrollTo) v.bar.position = *c.scrollTo;
    if (c.timeScale) SetTimeScale(v.s, *c.timeScale, 500);
    if (c.yShift) v.s.YShift = *c.yShift;
    return v;
}

bool InRange(const View& v) {
    return v.s.TimeScale >= 1 && v.s.TimeScale <= v.s.TimeScaleMax && v.bar.position >= 0 &&
           v.bar.position <= v.bar.maximum && v.s.YShift >= -100 && v.s.YShift <= 100;
}

} // namespace

class TestNavigation : public QObject {
    Q_OBJECT

private slots:
    void keys_data();
    void keys();
    void wheelScrolls_data();
    void wheelScrolls();
    void zoomKeepsThePointersSample_data();
    void zoomKeepsThePointersSample();
    void smoothDeltasAddUp();
    void floodsStayInRange();
    void nothingLoadedNothingMoves();
};

void TestNavigation::keys_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("timeScale");
    QTest::addColumn<ChartKey>("key");
    QTest::addColumn<int>("newPosition");
    QTest::addColumn<int>("newTimeScale");
    QTest::addColumn<int>("newShift");
    // A tenth of the span, a whole span, the ends.
    QTest::newRow("Right") << 1000 << 1 << ChartKey::Right << 1086 << 1 << 0;
    QTest::newRow("Left, zoomed") << 10000 << 4 << ChartKey::Left << 9656 << 4 << 0;
    QTest::newRow("Left at the start") << 30 << 1 << ChartKey::Left << 0 << 1 << 0;
    QTest::newRow("PageDown") << 1000 << 1 << ChartKey::PageDown << 1860 << 1 << 0;
    QTest::newRow("PageDown near the end") << 18900 << 1 << ChartKey::PageDown << 19140 << 1 << 0;
    QTest::newRow("PageUp, zoomed") << 10000 << 2 << ChartKey::PageUp << 8280 << 2 << 0;
    QTest::newRow("Home") << 5000 << 3 << ChartKey::Home << 0 << 3 << 0;
    QTest::newRow("End") << 5000 << 1 << ChartKey::End << 19140 << 1 << 0;
    // Zoom around the centre column (430): its sample stays.
    QTest::newRow("zoom in") << 10000 << 4 << ChartKey::ZoomIn << 10430 << 3 << 0;
    QTest::newRow("zoom out") << 10000 << 4 << ChartKey::ZoomOut << 9570 << 5 << 0;
    QTest::newRow("zoom in at 1") << 10000 << 1 << ChartKey::ZoomIn << 10000 << 1 << 0;
    // The step of a 10-pixel drag: 1000 / 392 = 2 percent.
    QTest::newRow("Down") << 0 << 1 << ChartKey::Down << 0 << 1 << 2;
    QTest::newRow("Up") << 0 << 1 << ChartKey::Up << 0 << 1 << -2;
}

void TestNavigation::keys() {
    QFETCH(int, position);
    QFETCH(int, timeScale);
    QFETCH(ChartKey, key);
    QFETCH(int, newPosition);
    QFETCH(int, newTimeScale);
    QFETCH(int, newShift);
    const View v = Make(position, timeScale);
    const View w = After(v, KeyNavigation(v.s, v.bar, 20000, key));
    QCOMPARE(w.bar.position, newPosition);
    QCOMPARE(w.s.TimeScale, newTimeScale);
    QCOMPARE(w.s.YShift, newShift);
}

void TestNavigation::wheelScrolls_data() {
    QTest::addColumn<int>("timeScale");
    QTest::addColumn<int>("delta");
    QTest::addColumn<int>("newPosition");
    QTest::newRow("a notch back") << 1 << 120 << 10000 - 86;
    QTest::newRow("a notch on") << 1 << -120 << 10000 + 86;
    QTest::newRow("a notch on, zoomed out") << 10 << -120 << 10000 + 860;
    QTest::newRow("three notches at once") << 2 << -360 << 10000 + 3 * 172;
    QTest::newRow("past the start") << 24 << 1200 << 0;
}

void TestNavigation::wheelScrolls() {
    QFETCH(int, timeScale);
    QFETCH(int, delta);
    QFETCH(int, newPosition);
    WheelNavigation wheel;
    const View v = Make(10000, timeScale);
    QCOMPARE(After(v, wheel.Scroll(v.s, v.bar, delta)).bar.position, newPosition);
}

void TestNavigation::zoomKeepsThePointersSample_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("timeScale");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("notches");
    QTest::newRow("in, middle") << 5000 << 6 << 300 << 1;
    QTest::newRow("in by three, right edge") << 5000 << 6 << 860 << 3;
    QTest::newRow("out, left edge") << 5000 << 6 << 0 << -1;
    QTest::newRow("out by five, middle") << 5000 << 10 << 400 << -5;
    QTest::newRow("in to 1") << 200 << 2 << 700 << 4;
}

void TestNavigation::zoomKeepsThePointersSample() {
    QFETCH(int, position);
    QFETCH(int, timeScale);
    QFETCH(int, column);
    QFETCH(int, notches);
    WheelNavigation wheel;
    const View v = Make(position, timeScale);
    const View w = After(v, wheel.Zoom(v.s, v.bar, notches * WHEEL_NOTCH, column));
    QCOMPARE(w.s.TimeScale, std::clamp(timeScale - notches, 1, v.s.TimeScaleMax));
    // The sample under the pointer is the one that was there, as long as the range allows.
    const int before = position + column * timeScale,
              after = w.bar.position + column * w.s.TimeScale;
    if (w.bar.position > 0 && w.bar.position < w.bar.maximum) QCOMPARE(after, before);
    QVERIFY(InRange(w));
}

void TestNavigation::smoothDeltasAddUp() {
    // A touchpad's small deltas: each moves a little, together they move as much as a notch,
    // and none jumps further than one.
    WheelNavigation wheel;
    View v = Make(10000, 1);
    int moved = 0;
    for (int k = 0; k < 8; ++k) {
        const View w = After(v, wheel.Scroll(v.s, v.bar, -15));
        QVERIFY(w.bar.position - v.bar.position <= 86);
        moved += w.bar.position - v.bar.position;
        v = w;
    }
    QCOMPARE(moved, 86);
    // Zoom waits for a whole notch.
    View z = Make(5000, 6);
    for (int k = 0; k < 7; ++k) z = After(z, wheel.Zoom(z.s, z.bar, 15, 100));
    QCOMPARE(z.s.TimeScale, 6);
    z = After(z, wheel.Zoom(z.s, z.bar, 15, 100));
    QCOMPARE(z.s.TimeScale, 5);
}

void TestNavigation::floodsStayInRange() {
    // A thousand wheel, pinch and key events of any size keep every range.
    std::mt19937 rng(12);
    const int deltas[] = {0, 1, -1, 120, -120, 1 << 30, -(1 << 30), 2147483647, -2147483647 - 1};
    WheelNavigation wheel;
    View v = Make(9000, 7);
    for (int k = 0; k < 1000; ++k) {
        const int d = deltas[rng() % std::size(deltas)];
        switch (rng() % 4) {
        case 0:
            v = After(v, wheel.Scroll(v.s, v.bar, d));
            break;
        case 1:
            v = After(v, wheel.Zoom(v.s, v.bar, d, static_cast<int>(rng() % 2000) - 500));
            break;
        case 2:
            v = After(v, wheel.Pinch(v.s, v.bar, d / 1e6, static_cast<int>(rng() % 900)));
            break;
        default:
            v = After(v, KeyNavigation(v.s, v.bar, 20000, static_cast<ChartKey>(rng() % 10)));
        }
        QVERIFY2(InRange(v), qPrintable(QString("event %1").arg(k)));
    }
    v = After(v, wheel.Pinch(v.s, v.bar, std::numeric_limits<double>::infinity(), 10));
    QVERIFY(InRange(v));
}

void TestNavigation::nothingLoadedNothingMoves() {
    View v = Make(0, 1);
    v.bar = {false, 0, 0};
    WheelNavigation wheel;
    for (int k = 0; k < 10; ++k) {
        const ViewChange c = KeyNavigation(v.s, v.bar, 0, static_cast<ChartKey>(k));
        QVERIFY(!c.scrollTo && !c.timeScale && !c.yShift);
    }
    QVERIFY(!wheel.Scroll(v.s, v.bar, -120).scrollTo);
}

QTEST_APPLESS_MAIN(TestNavigation)
#include "tst_navigation.moc"

// The right button's gestures for the markers, without a window.

#include "chart/layout.h"
#include "chart/markers.h"

#include <QTest>

using namespace tesmora;

namespace {

// One panel 860 wide at (20, 20), zoomed to 3 samples per column, scrolled to sample 300.
ChartState Panel() {
    ChartState s;
    LayoutInput in;
    in.width = 900;
    in.height = 432;
    in.channelChecked[0] = true;
    GetSettings(s, in);
    s.TimeScale = 3;
    return s;
}

constexpr std::int32_t kS0 = 300, kCount = 5000;

} // namespace

class TestMarkers : public QObject {
    Q_OBJECT
private slots:
    void sampleUnderThePointer();
    void clickIsAClick();
    void dragSetsBoth();
    void dragNearAMarkerMovesIt();
    void outsideThePanelsNothing();
};

void TestMarkers::sampleUnderThePointer() {
    const ChartState s = Panel();
    QCOMPARE(SampleAtColumn(s, 0, kS0, kCount, 20), 300);
    QCOMPARE(SampleAtColumn(s, 0, kS0, kCount, 21), 303); // the first sample of its column
    QCOMPARE(SampleAtColumn(s, 0, kS0, kCount, 880), 2880);
    QCOMPARE(SampleAtColumn(s, 0, kS0, 1000, 880), 999); // clamped to the recording
    QCOMPARE(SampleAtColumn(s, 0, 0, kCount, -50), 0);
    QCOMPARE(PanelAt(s, 1, 100, 100), 0);
    QCOMPARE(PanelAt(s, 1, 10, 100), -1);
}

void TestMarkers::clickIsAClick() {
    const ChartState s = Panel();
    MarkerGestures g;
    g.Press(100, 100, s, 1, kS0, kCount, {});
    QVERIFY(!g.Move(104, 103, s, kS0, kCount, {})); // within 5 pixels: still a click
    QVERIFY(g.Release());
    QVERIFY(!g.Release()); // released once only
}

void TestMarkers::dragSetsBoth() {
    const ChartState s = Panel();
    MarkerGestures g;
    g.Press(100, 100, s, 1, kS0, kCount, {});
    const std::optional<Markers> m = g.Move(150, 140, s, kS0, kCount, {});
    QVERIFY(m);
    QCOMPARE(*m->a, 300 + 80 * 3);
    QCOMPARE(*m->b, 300 + 130 * 3);
    // Back before the press: B comes before A, which the statistics take in order.
    const std::optional<Markers> back = g.Move(40, 140, s, kS0, kCount, *m);
    QCOMPARE(*back->b, 300 + 20 * 3);
    QVERIFY(!g.Release()); // a drag, not a click: no menu
}

void TestMarkers::dragNearAMarkerMovesIt() {
    const ChartState s = Panel();
    const Markers m{300 + 100 * 3, 300 + 400 * 3}; // at columns 120 and 420
    MarkerGestures g;
    g.Press(422, 200, s, 1, kS0, kCount, m); // 2 pixels off B
    const std::optional<Markers> moved = g.Move(500, 200, s, kS0, kCount, m);
    QVERIFY(moved);
    QCOMPARE(moved->a, m.a);
    QCOMPARE(*moved->b, 300 + 480 * 3);
    g.Release();
    MarkerGestures h;
    h.Press(124, 200, s, 1, kS0, kCount, m); // 4 pixels off A: a new pair instead
    const std::optional<Markers> fresh = h.Move(200, 200, s, kS0, kCount, m);
    QCOMPARE(*fresh->a, 300 + 104 * 3);
    QCOMPARE(*fresh->b, 300 + 180 * 3);
}

void TestMarkers::outsideThePanelsNothing() {
    const ChartState s = Panel();
    MarkerGestures g;
    g.Press(5, 5, s, 1, kS0, kCount, {});
    QVERIFY(!g.Move(300, 300, s, kS0, kCount, {}));
    QVERIFY(!g.Release()); // a drag there: no markers and no menu
    g.Press(5, 5, s, 1, kS0, kCount, {});
    QVERIFY(g.Release());                // a click there still opens the menu
    g.Press(100, 100, s, 1, kS0, 0, {}); // nothing loaded
    QVERIFY(!g.Move(300, 100, s, kS0, 0, {}));
}

QTEST_APPLESS_MAIN(TestMarkers)
#include "tst_markers.moc"

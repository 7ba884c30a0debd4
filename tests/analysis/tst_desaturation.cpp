// The desaturation analysis on small recordings built in code. Every expectation is worked
// out by hand in the comments (one sample per second, so a sample is a second and 1/60 of a
// minute), not by the code under test.

#include "analysis/desaturation.h"
#include "support/exact.h"

#include <QTest>
#include <cmath>
#include <limits>

using namespace tesmora;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kError = -1000; // a sample marked as an error

// A recording at 1000 ms from segments of (StO2 percent, seconds).
void Build(RecordingStore& store, const std::vector<std::pair<double, int>>& segments) {
    store.ChCount = 1;
    store.Rate = 1000;
    store.DataCount = 0;
    for (const auto& [v, n] : segments)
        for (int k = 0; k < n; ++k) {
            SampleRecord* r = store.Append();
            r->Time = (store.DataCount - 1) / 86400.0;
            ChannelData& ch = r->Ch[0];
            ch.Status = v == kError ? STS_E : 0;
            ch.StO2 = static_cast<float>(v == kError ? 0.5 : v / 100);
        }
}

// Equal up to the rounding of percent values held as floats (0.4f x 100 = 40.0000006).
bool Same(std::optional<double> got, double want) {
    if (std::isnan(want)) return !got;
    return got && std::fabs(*got - want) <= 1e-6 * std::max(1.0, std::fabs(want));
}

} // namespace

Q_DECLARE_METATYPE(DesaturationSettings)

class TestDesaturation : public QObject {
    Q_OBJECT
    RecordingStore store{100000};

private slots:
    void episodes_data();
    void episodes();
    void channelMeasures();
    void undefinedStaysUndefined();
    void baselineEndsOnTheSampleGrid();
    void settingsProblems();
};

void TestDesaturation::episodes_data() {
    QTest::addColumn<QList<double>>("values"); // pairs: value, seconds
    QTest::addColumn<DesaturationSettings>("settings");
    QTest::addColumn<int>("episodes");
    QTest::addColumn<double>("minutesBelow");
    QTest::addColumn<double>("area");
    QTest::addColumn<double>("nadir");
    QTest::addColumn<int>("nadirIndex");
    QTest::addColumn<double>("firstDuration");
    const DesaturationSettings plain; // below 50 %, 15 s at least, gaps under 10 s joined
    // 300 s at 70, 20 s at 40, 100 s at 70: one episode of 20 s; area 20 x (50 - 40) / 60.
    QTest::newRow("step dip") << QList<double>{70, 300, 40, 20, 70, 100} << plain << 1 << 20 / 60.0
                              << 200 / 60.0 << 40.0 << 300 << 20.0;
    // 14 s below: shorter than 15 s, dropped; 15 s: kept.
    QTest::newRow("14 s: too short") << QList<double>{70, 300, 40, 14, 70, 100} << plain << 0 << 0.0
                                     << 0.0 << kNaN << -1 << kNaN;
    QTest::newRow("15 s: kept") << QList<double>{70, 300, 40, 15, 70, 100} << plain << 1
                                << 15 / 60.0 << 150 / 60.0 << 40.0 << 300 << 15.0;
    // Two 10 s dips 9 s apart join into one of 10 + 9 + 10 = 29 s; the area counts only the
    // 20 samples below: 20 x 10 / 60. 10 s apart they stay two, each too short.
    QTest::newRow("9 s apart: joined")
        << QList<double>{70, 300, 40, 10, 70, 9, 40, 10, 70, 100} << plain << 1 << 29 / 60.0
        << 200 / 60.0 << 40.0 << 300 << 29.0;
    QTest::newRow("10 s apart: apart") << QList<double>{70, 300, 40, 10, 70, 10, 40, 10, 70, 100}
                                       << plain << 0 << 0.0 << 0.0 << kNaN << -1 << kNaN;
    // Error samples inside a run: 8 below, 3 errors, 8 below: the errors are a gap of 3 s, so
    // one episode of 19 s; its area is that of the 16 below: 16 x 10 / 60.
    QTest::newRow("errors inside a run")
        << QList<double>{70, 300, 40, 8, kError, 3, 40, 8, 70, 100} << plain << 1 << 19 / 60.0
        << 160 / 60.0 << 40.0 << 300 << 19.0;
    // 12 errors between two 10 s dips: a gap of 12 s, not joined, both too short.
    QTest::newRow("errors between runs")
        << QList<double>{70, 300, 40, 10, kError, 12, 40, 10, 70, 100} << plain << 0 << 0.0 << 0.0
        << kNaN << -1 << kNaN;
    // The deepest of two equal dips is the first; a later, deeper one wins.
    QTest::newRow("two episodes, deeper second")
        << QList<double>{70, 300, 40, 20, 70, 60, 30, 20, 70, 10} << plain << 2 << 40 / 60.0
        << (200 + 400) / 60.0 << 30.0 << 380 << 20.0;
    QTest::newRow("two equal episodes")
        << QList<double>{70, 300, 40, 20, 70, 60, 40, 20, 70, 10} << plain << 2 << 40 / 60.0
        << 400 / 60.0 << 40.0 << 300 << 20.0;
    // A dip at the very start (also in the baseline) and one at the very end.
    QTest::newRow("touching the start") << QList<double>{45, 16, 70, 300} << plain << 1 << 16 / 60.0
                                        << 80 / 60.0 << 45.0 << 0 << 16.0;
    QTest::newRow("touching the end") << QList<double>{70, 300, 45, 16} << plain << 1 << 16 / 60.0
                                      << 80 / 60.0 << 45.0 << 300 << 16.0;
    // Relative: the baseline of the first 5 minutes is 70, 20 % below is 56; 20 s at 55 are
    // below by 1 each: area 20 / 60.
    DesaturationSettings relative;
    relative.mode = DesaturationSettings::Mode::Relative;
    QTest::newRow("relative") << QList<double>{70, 300, 55, 20, 70, 100} << relative << 1
                              << 20 / 60.0 << 20 / 60.0 << 55.0 << 300 << 20.0;
    // Joined with no gap allowed at all: only consecutive samples make a run.
    DesaturationSettings noGap;
    noGap.mergeGap = 0;
    noGap.minEpisode = 5;
    QTest::newRow("no merge gap") << QList<double>{70, 300, 40, 5, 70, 1, 40, 5} << noGap << 2
                                  << 10 / 60.0 << 100 / 60.0 << 40.0 << 300 << 5.0;
    // A V-shaped dip from 70 to 30 and back, 2 % a second: below 50 from 48 down to 48 again,
    // 19 s; the area is the sum of 20 - 2|k| for k = -9..9: 380 - 180 = 200, over 60.
    QList<double> v;
    v << 70 << 300;
    for (int k = -20; k <= 20; ++k) v << 30 + 2 * std::abs(k) << 1;
    v << 70 << 50;
    QTest::newRow("V-shaped dip") << v << plain << 1 << 19 / 60.0 << 200 / 60.0 << 30.0 << 320
                                  << 19.0;
    // The manual's worked example: 5 min at 70, 20 s at 45, 6 s at 70, 10 s at 40, then 70.
    // The runs are 6 s apart, under 10 s: one episode of 20 + 6 + 10 = 36 s, area
    // (20 x 5 + 10 x 10) / 60, nadir 40 at 5:26. With gaps joined under 5 s only, the 20 s run
    // stays alone and the 10 s one is too short.
    const QList<double> worked{70, 300, 45, 20, 70, 6, 40, 10, 70, 264};
    QTest::newRow("worked example")
        << worked << plain << 1 << 36 / 60.0 << 200 / 60.0 << 40.0 << 326 << 36.0;
    DesaturationSettings shortGaps;
    shortGaps.mergeGap = 5;
    QTest::newRow("worked example, gaps under 5 s")
        << worked << shortGaps << 1 << 20 / 60.0 << 100 / 60.0 << 45.0 << 300 << 20.0;
    // A negative value is a value like any other: deep below.
    QTest::newRow("negative StO2") << QList<double>{70, 300, -10, 15} << plain << 1 << 15 / 60.0
                                   << 15 * 60 / 60.0 << -10.0 << 300 << 15.0;
}

void TestDesaturation::episodes() {
    QFETCH(QList<double>, values);
    QFETCH(DesaturationSettings, settings);
    QFETCH(int, episodes);
    QFETCH(double, minutesBelow);
    QFETCH(double, area);
    QFETCH(double, nadir);
    QFETCH(int, nadirIndex);
    QFETCH(double, firstDuration);
    std::vector<std::pair<double, int>> segments;
    for (qsizetype i = 0; i + 1 < values.size(); i += 2)
        segments.push_back({values[i], static_cast<int>(values[i + 1])});
    Build(store, segments);
    const DesaturationResult r = AnalyseDesaturation(store, settings)[0];
    QCOMPARE(r.episodeCount.value_or(-1), episodes);
    QVERIFY2(Same(r.minutesBelow, minutesBelow),
             qPrintable(QString::number(r.minutesBelow.value_or(-1))));
    QVERIFY2(Same(r.area, area), qPrintable(QString::number(r.area.value_or(-1), 'g', 17)));
    QVERIFY(Same(r.nadir, nadir));
    QCOMPARE(r.nadirIndex.value_or(-1), nadirIndex);
    if (std::isnan(firstDuration))
        QVERIFY(r.episodes.empty());
    else
        QCOMPARE(r.episodes.front().durationSeconds, firstDuration);
}

void TestDesaturation::channelMeasures() {
    // 300 s at 70, 20 s at 40, 100 s at 70: 420 valid samples, 7 minutes; below 20/60 min,
    // 100 x (1/3) / 7 = 4.7619 %; mean (400 x 70 + 20 x 40) / 420 = 28,800 / 420.
    Build(store, {{70, 300}, {40, 20}, {70, 100}});
    const DesaturationResult r = AnalyseDesaturation(store, {})[0];
    QCOMPARE(r.validSamples, 420);
    QVERIFY(Same(r.validMinutes, 7));
    QVERIFY(Same(r.baseline, 70));
    QVERIFY(Same(r.threshold, 50));
    QVERIFY(Same(r.percentBelow, 100.0 / 3 / 7));
    QVERIFY(Same(r.mean, 28800.0 / 420));
    QVERIFY(Same(r.min, 40) && Same(r.max, 70));
    // The baseline from the markers' samples instead: 310..329 hold 10 at 40 and 10 at 70.
    DesaturationSettings markers;
    markers.mode = DesaturationSettings::Mode::Relative;
    markers.baselineSamples = {{329, 310}};
    const DesaturationResult m = AnalyseDesaturation(store, markers)[0];
    QVERIFY(Same(m.baseline, 55));
    QVERIFY(Same(m.threshold, 44));
}

void TestDesaturation::undefinedStaysUndefined() {
    // No valid sample in the baseline's first 5 minutes: no relative threshold, no episode
    // measure; the mean of the valid samples all the same.
    Build(store, {{kError, 300}, {40, 30}, {60, 30}});
    DesaturationSettings relative;
    relative.mode = DesaturationSettings::Mode::Relative;
    DesaturationResult r = AnalyseDesaturation(store, relative)[0];
    QVERIFY(!r.baseline && !r.threshold && !r.episodeCount && !r.minutesBelow && !r.area &&
            !r.percentBelow && !r.nadir);
    QVERIFY(Same(r.mean, 50));
    // Nothing valid at all: an absolute threshold, no episodes; no percent, mean, min, max.
    Build(store, {{kError, 100}, {kNaN, 10}});
    r = AnalyseDesaturation(store, {})[0];
    QCOMPARE(r.episodeCount.value_or(-1), 0);
    QVERIFY(Same(r.minutesBelow, 0) && Same(r.area, 0));
    QVERIFY(!r.percentBelow && !r.mean && !r.min && !r.max && !r.nadir && !r.baseline);
    QCOMPARE(r.validMinutes, 0.0);
    // One sample.
    Build(store, {{30, 1}});
    r = AnalyseDesaturation(store, {})[0];
    QCOMPARE(r.episodeCount.value_or(-1), 0); // 1 s is shorter than 15 s
    QVERIFY(Same(r.mean, 30) && Same(r.baseline, 30));
}

void TestDesaturation::baselineEndsOnTheSampleGrid() {
    // At 500 ms the readers sum the interval sample by sample, and the 30th sample's Time
    // comes to 14999.999999999998 ms. The first 0.25 minutes are samples 0..29 all the same:
    // the baseline is 70, not (30 x 70 + 40) / 31.
    store.ChCount = 1;
    store.Rate = 500;
    store.DataCount = 0;
    for (int j = 0; j < 60; ++j) {
        SampleRecord* r = store.Append();
        r->Time = j == 0 ? 0 : r[-1].Time + 500.0 / 86400000.0;
        r->Ch[0].Status = 0;
        r->Ch[0].StO2 = j < 30 ? 0.75f : 0.375f;
    }
    QVERIFY(store.SampleBuff[30].Time * 86400000.0 < 15000); // the rounding this is about
    DesaturationSettings s;
    s.baselineMinutes = 0.25;
    QCOMPARE_EXACT(*AnalyseDesaturation(store, s)[0].baseline, 75.0);
}

void TestDesaturation::settingsProblems() {
    const auto bad = [](auto set) {
        DesaturationSettings s;
        set(s);
        return SettingsProblem(s).has_value();
    };
    QVERIFY(!SettingsProblem({}));
    QVERIFY(bad([](DesaturationSettings& s) { s.threshold = -1; }));
    QVERIFY(bad([](DesaturationSettings& s) { s.threshold = 100.5; }));
    QVERIFY(bad([](DesaturationSettings& s) { s.drop = kNaN; }));
    QVERIFY(bad([](DesaturationSettings& s) { s.minEpisode = -5; }));
    QVERIFY(
        bad([](DesaturationSettings& s) { s.mergeGap = std::numeric_limits<double>::infinity(); }));
    Build(store, {{40, 100}});
    DesaturationSettings s;
    s.threshold = 200;
    QVERIFY(!AnalyseDesaturation(store, s)[0].threshold); // refused, not guessed
}

QTEST_APPLESS_MAIN(TestDesaturation)
#include "tst_desaturation.moc"

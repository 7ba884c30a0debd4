// The statistics between two markers: small recordings with known results, and exactness on
// the largest recording.

#include "analysis/interval_stats.h"
#include "support/exact.h"

#include <QTest>
#include <cmath>
#include <limits>
#include <random>

using namespace tesmora;

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// One channel at 1000 ms: OXHb from `x`, the other quantities fixed, statuses as given.
void Fill(RecordingStore& store, const std::vector<float>& x, const std::vector<int>& status = {}) {
    store.ChCount = 1;
    store.Rate = 1000;
    store.DataCount = static_cast<std::int32_t>(x.size());
    for (std::size_t j = 0; j < x.size(); ++j) {
        ChannelData& ch = store.SampleBuff[j].Ch[0];
        ch = {0,    static_cast<std::uint16_t>(j < status.size() ? status[j] : 0), x[j], 0.5f, 1,
              0.25f};
    }
}

bool Near(std::optional<double> got, double want, double tolerance = 1e-12) {
    return got && std::fabs(*got - want) <= tolerance * std::max(1.0, std::fabs(want));
}

} // namespace

class TestIntervalStats : public QObject {
    Q_OBJECT
    RecordingStore store{400000};

private slots:
    void knownSeries();
    void excludedSamples();
    void fewerThanTwo();
    void exactOnTheLargestRecording_data();
    void exactOnTheLargestRecording();
};

void TestIntervalStats::knownSeries() {
    // 1, 2, 3, 4, 5 one second apart: mean 3, sd sqrt(10 / 4), a rise of 1 per second.
    Fill(store, {1, 2, 3, 4, 5});
    for (const auto& [a, b] : {std::pair{0, 4}, std::pair{4, 0}, std::pair{-10, 99}}) {
        const SeriesStats s = IntervalStats(store, a, b)[0].series[0];
        QCOMPARE(s.valid, 5);
        QVERIFY(Near(s.mean, 3));
        QVERIFY(Near(s.sd, std::sqrt(2.5)));
        QVERIFY(Near(s.slopePerMinute, 60));
        QVERIFY(Near(s.min, 1) && s.minIndex == 0);
        QVERIFY(Near(s.max, 5) && s.maxIndex == 4);
    }
    // The values at the markers follow the markers, not the order.
    const SeriesStats back = IntervalStats(store, 4, 1)[0].series[0];
    QVERIFY(Near(back.atA, 5) && Near(back.atB, 2));
    QCOMPARE(back.valid, 4);
    // StO2 in percent, exactly 100 times the stored fraction; a constant: sd 0, slope 0.
    const SeriesStats sto2 = IntervalStats(store, 0, 4)[0].series[3];
    QCOMPARE_EXACT(*sto2.mean, 25.0);
    QCOMPARE_EXACT(*sto2.sd, 0.0);
    QCOMPARE_EXACT(*sto2.slopePerMinute, 0.0);
    // The first of equal extremes.
    Fill(store, {2, 1, 1, 3, 3});
    const SeriesStats ties = IntervalStats(store, 0, 4)[0].series[0];
    QCOMPARE(ties.minIndex, 1);
    QCOMPARE(ties.maxIndex, 3);
}

void TestIntervalStats::excludedSamples() {
    // Only the two valid samples count: (0 s, 10) and (4 s, 20): mean 15, sd sqrt(50), 2.5 per
    // second. The others are counted by kind, and a value that is not finite by itself.
    Fill(store, {10, 99, 99, 99, kNaN, 20}, {0, STS_P, STS_E | 0x03, STS_FILLED | STS_P, 0, 0});
    store.SampleBuff[5].Ch[0].Status = 0;
    store.SampleBuff[4].Ch[0].OXHb = kNaN;
    std::swap(store.SampleBuff[4].Ch[0], store.SampleBuff[5].Ch[0]); // 20 at 4 s, NaN at 5 s
    const ChannelStats cs = IntervalStats(store, 0, 5)[0];
    const SeriesStats& s = cs.series[0];
    QCOMPARE(s.valid, 2);
    QCOMPARE(s.notFinite, 1);
    QVERIFY(Near(s.mean, 15));
    QVERIFY(Near(s.sd, std::sqrt(50.0)));
    QVERIFY(Near(s.slopePerMinute, 150));
    QVERIFY(!s.atB); // NaN at the B marker
    QCOMPARE(cs.excluded.p, 1);
    QCOMPARE(cs.excluded.e, 1);
    QCOMPARE(cs.excluded.replaced, 1);
    QCOMPARE(cs.series[1].valid, 3); // DXHb is finite in the sample whose OXHb is NaN
}

void TestIntervalStats::fewerThanTwo() {
    Fill(store, {7});
    SeriesStats s = IntervalStats(store, 0, 0)[0].series[0];
    QCOMPARE(s.valid, 1);
    QVERIFY(Near(s.atA, 7) && Near(s.atB, 7));
    QVERIFY(!s.mean && !s.sd && !s.min && !s.max && !s.slopePerMinute);
    Fill(store, {1, 2, 3}, {STS_E, STS_E, STS_E});
    s = IntervalStats(store, 0, 2)[0].series[0];
    QCOMPARE(s.valid, 0);
    QVERIFY(!s.atA && !s.mean);
    store.DataCount = 0;
    QCOMPARE(IntervalStats(store, 0, 10)[0].series[0].valid, 0);
}

void TestIntervalStats::exactOnTheLargestRecording_data() {
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("spread");
    QTest::newRow("plain") << 0.3 << 0.05;
    QTest::newRow("large offset, tiny variance") << 1e4 << 0.002;
    QTest::newRow("larger offset, float steps") << 1e6 << 0.25;
    QTest::newRow("negative, with a drift") << -5e3 << 0.01;
}

void TestIntervalStats::exactOnTheLargestRecording() {
    // 345,600 samples against a long-double two-pass reference: the mean and the standard
    // deviation agree to far more digits than the panel prints.
    QFETCH(double, offset);
    QFETCH(double, spread);
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0, spread);
    std::vector<float> x(SAMPLE_CAPACITY);
    for (std::size_t j = 0; j < x.size(); ++j)
        x[j] = static_cast<float>(offset + noise(rng) + (offset < 0 ? j * 1e-6 : 0.0));
    Fill(store, x);
    const SeriesStats s = IntervalStats(store, 0, SAMPLE_CAPACITY - 1)[0].series[0];
    long double sum = 0;
    for (float v : x) sum += v;
    const long double mean = sum / x.size();
    long double m2 = 0, mt = 0, ct = 0;
    const long double tMean = (x.size() - 1) / 2.0L;
    for (std::size_t j = 0; j < x.size(); ++j) {
        m2 += (x[j] - mean) * (x[j] - mean);
        mt += (j - tMean) * (j - tMean);
        ct += (j - tMean) * (x[j] - mean);
    }
    const long double sd = std::sqrt(m2 / (x.size() - 1));
    QCOMPARE(s.valid, SAMPLE_CAPACITY);
    QVERIFY2(std::fabs(*s.mean - static_cast<double>(mean)) <= 1e-13 * std::fabs(offset),
             qPrintable(
                 QString("%1 against %2").arg(*s.mean, 0, 'g', 17).arg(double(mean), 0, 'g', 17)));
    QVERIFY2(
        std::fabs(*s.sd - static_cast<double>(sd)) <= 1e-9 * static_cast<double>(sd),
        qPrintable(QString("%1 against %2").arg(*s.sd, 0, 'g', 17).arg(double(sd), 0, 'g', 17)));
    const double slope = static_cast<double>(ct / mt) * 60;
    // The slope against its own scale: the spread over the span of times.
    const double scale = std::fabs(slope) + static_cast<double>(sd / std::sqrt(mt)) * 60;
    QVERIFY2(
        std::fabs(*s.slopePerMinute - slope) <= 1e-9 * scale,
        qPrintable(
            QString("%1 against %2").arg(*s.slopePerMinute, 0, 'g', 17).arg(slope, 0, 'g', 17)));
}

QTEST_APPLESS_MAIN(TestIntervalStats)
#include "tst_interval_stats.moc"

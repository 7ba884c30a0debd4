#include "processing/moving_average.h"
#include "support/exact.h"

#include <QTest>
#include <bit>
#include <cmath>
#include <limits>
#include <random>

using namespace tesmora;

namespace {

// The average exactly as the running-window pass defines it, one series at a time, without
// the treatment of values that are not finite.
std::vector<float> Reference(const std::vector<float>& x, int k) {
    const int n = static_cast<int>(x.size());
    std::vector<float> out(x.size());
    double s = 0;
    for (int j = 0; j < n; ++j) {
        int lo = j - k, hi = j + k;
        if (j == 0)
            for (int i = 0; i < std::min(k, n); ++i) s += x[i];
        if (lo >= 1)
            s -= x[lo - 1];
        else
            lo = 0;
        if (hi < n)
            s += x[hi];
        else
            hi = n - 1;
        out[j] = static_cast<float>(s / (hi - lo + 1));
    }
    return out;
}

void Fill(RecordingStore& store, int channels, const std::vector<float>& x) {
    store.ChCount = channels;
    store.DataCount = static_cast<int>(x.size());
    for (std::size_t j = 0; j < x.size(); ++j)
        for (int c = 0; c < channels; ++c) {
            ChannelData& ch = store.SampleBuff[j].Ch[c];
            ch.OXHb = x[j] + c;
            ch.DXHb = -x[j];
            ch.TOHb = 2 * x[j];
            ch.StO2 = x[j] / 100;
        }
}

// Every channel and quantity of the first n samples bit for bit as the running pass makes it.
// Each quantity has a series of its own (Fill), so a value written to the wrong one shows.
bool AllAsTheRunningPass(const RecordingStore& store, int k) {
    const int n = store.DataCount;
    for (int c = 0; c < store.ChCount; ++c)
        for (int q = 0; q < 4; ++q) {
            std::vector<float> x(static_cast<std::size_t>(n));
            for (int j = 0; j < n; ++j) x[j] = ChannelValue(store.SampleBuff[j].Ch[c], q);
            const std::vector<float> expected = Reference(x, k);
            for (int j = 0; j < n; ++j) {
                const float got = ChannelValue(store.SampleBuff[j].Ave[c], q);
                if (std::bit_cast<quint32>(got) != std::bit_cast<quint32>(expected[j])) {
                    qWarning("k %d channel %d quantity %d sample %d: %a, expected %a", k, c, q, j,
                             double(got), double(expected[j]));
                    return false;
                }
            }
        }
    return true;
}

} // namespace

class TestMovingAverage : public QObject {
    Q_OBJECT
    RecordingStore store;

private slots:
    void smallSeries_data();
    void smallSeries();
    void sameAsTheRunningPass();
    void noneIsAnExactCopy();
    void leavesOtherChannelsAndSamplesAlone();
    void nonFiniteSamplesStayLocal();
};

void TestMovingAverage::smallSeries_data() {
    QTest::addColumn<QList<float>>("x");
    QTest::addColumn<int>("k");
    QTest::addColumn<QList<float>>("average");
    QTest::newRow("3 points") << QList<float>{1, 2, 3, 4} << 1 << QList<float>{1.5f, 2, 3, 3.5f};
    QTest::newRow("11 points over 3") << QList<float>{1, 2, 6} << 5 << QList<float>{3, 3, 3};
    QTest::newRow("one sample") << QList<float>{7.25f} << 4 << QList<float>{7.25f};
    QTest::newRow("5 points, shrinking ends")
        << QList<float>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90} << 2
        << QList<float>{10, 15, 20, 30, 40, 50, 60, 70, 75, 80};
    QTest::newRow("an error sample of zeros pulls")
        << QList<float>{6, 6, 0, 6, 6} << 1 << QList<float>{6, 4, 4, 4, 6};
}

void TestMovingAverage::smallSeries() {
    QFETCH(QList<float>, x);
    QFETCH(int, k);
    QFETCH(QList<float>, average);
    Fill(store, 1, std::vector<float>(x.begin(), x.end()));
    store.SampleBuff[x.size()].Ch[0].OXHb = 1e9f; // beyond DataCount: never enters a window
    CalcCompareData(store, k);
    for (int j = 0; j < x.size(); ++j) QCOMPARE_EXACT(store.SampleBuff[j].Ave[0].OXHb, average[j]);
    QVERIFY(AllAsTheRunningPass(store, k));
}

void TestMovingAverage::sameAsTheRunningPass() {
    // Every series, bit for bit the running pass, error accumulation included.
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-3, 3);
    std::vector<float> x(60000);
    for (float& v : x) v = d(rng);
    for (int channels : {1, 3, 4}) {
        Fill(store, channels, x);
        for (int k = 1; k <= 5; ++k) {
            CalcCompareData(store, k);
            QVERIFY2(AllAsTheRunningPass(store, k), qPrintable(QString::number(channels)));
        }
    }
}

void TestMovingAverage::noneIsAnExactCopy() {
    Fill(store, 3, {0.1f, -0.0f, std::numeric_limits<float>::quiet_NaN(), 1e-40f});
    CalcCompareData(store, 0);
    for (int j = 0; j < 4; ++j)
        for (int c = 0; c < 3; ++c) {
            const ChannelData &a = store.SampleBuff[j].Ave[c], &r = store.SampleBuff[j].Ch[c];
            QCOMPARE_EXACT(a.OXHb, r.OXHb);
            QCOMPARE_EXACT(a.DXHb, r.DXHb);
            QCOMPARE_EXACT(a.TOHb, r.TOHb);
            QCOMPARE_EXACT(a.StO2, r.StO2);
        }
}

void TestMovingAverage::leavesOtherChannelsAndSamplesAlone() {
    Fill(store, 1, {1, 2, 3});
    store.SampleBuff[0].Ave[1].OXHb = 42;
    store.SampleBuff[3].Ave[0].OXHb = 43;
    store.SampleBuff[0].Ave[0].Status = 0x1234;
    CalcCompareData(store, 2);
    QCOMPARE_EXACT(store.SampleBuff[0].Ave[1].OXHb, 42.0f);
    QCOMPARE_EXACT(store.SampleBuff[3].Ave[0].OXHb, 43.0f);
    QCOMPARE(store.SampleBuff[0].Ave[0].Status, std::uint16_t{0x1234});
    store.DataCount = 0;
    store.SampleBuff[0].Ave[0].OXHb = 44;
    CalcCompareData(store, 2);
    QCOMPARE_EXACT(store.SampleBuff[0].Ave[0].OXHb, 44.0f);
}

void TestMovingAverage::nonFiniteSamplesStayLocal() {
    // One NaN or infinity turns the windows that hold it into NaN, and only those.
    for (float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        std::vector<float> x(20, 1.0f);
        x[5] = bad;
        Fill(store, 1, x);
        CalcCompareData(store, 2);
        const float clean[4] = {1.0f, -1.0f, 2.0f, 1.0f / 100}; // the series Fill makes of 1
        for (int j = 0; j < 20; ++j)
            for (int q = 0; q < 4; ++q) {
                const float a = ChannelValue(store.SampleBuff[j].Ave[0], q);
                if (j >= 3 && j <= 7)
                    QVERIFY(std::isnan(a));
                else
                    QCOMPARE_EXACT(a, clean[q]);
            }
    }
}

QTEST_APPLESS_MAIN(TestMovingAverage)
#include "tst_moving_average.moc"

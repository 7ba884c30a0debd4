// The demo recordings read back through the reader as exactly what the generator wrote.

#include "demo_recordings.h"
#include "loading/load.h"
#include "recording/datetime.h"
#include "recording/lqd_reader.h"
#include "support/exact.h"
#include "support/test_files.h"

#include <QTest>

using namespace tesmora;

class TestDemoRecordings : public QObject {
    Q_OBJECT
    RecordingStore store;
    test::TestFiles files;

private slots:
    void threeChannel();
    void singleChannel();
    void sameBytesEveryRun();
};

void TestDemoRecordings::threeChannel() {
    const demo::ThreeChannelDemo d = demo::MakeThreeChannelDemo();
    const LoadOutcome o =
        LoadRecording(store, files.Write("d.lqd", lqd::EncodeWs56(d.header, d.records)));
    QVERIFY(o.messages.empty() && !o.error);
    QCOMPARE(store.DataCount, 2 * 3600 * 2); // the skipped records come back as fillers
    QCOMPARE_EXACT(store.StartTime, DT(2026, 3, 14, 9, 30, 0, 0));
    QCOMPARE_EXACT(store.EndTime, DT(2026, 3, 14, 11, 30, 0, 0));

    // Each written record sits at the step its extended counter gives; fillers copy the one before.
    const std::int32_t first = store.SampleBuff[0].Seq;
    int wraps = 0, errors = 0, probeOff = 0;
    for (std::size_t n = 0; n < d.records.size(); ++n) {
        const lqd::Ws56Record& w = d.records[n];
        std::int32_t seq = static_cast<std::int32_t>(w.counter);
        while (seq < first + static_cast<std::int32_t>(n)) seq += 65536;
        const SampleRecord& r = store.SampleBuff[seq - first];
        QCOMPARE(r.Seq, seq);
        QCOMPARE_EXACT(r.Batt, w.batt);
        if (n > 0 && w.counter < d.records[n - 1].counter) ++wraps;
        for (int c = 0; c < 3; ++c) {
            const lqd::Ws56Channel& wc = w.ch[static_cast<std::size_t>(c)];
            if (wc.status & 0x0040) {
                QCOMPARE_EXACT(r.Ch[c].OXHb, 0.0f);
                (wc.status & 0x000F) ? ++errors : ++probeOff;
                QCOMPARE(r.Ch[c].Status,
                         std::uint16_t(wc.status | ((wc.status & 0xF) ? 0 : STS_NOCODE)));
                continue;
            }
            QCOMPARE(r.Ch[c].Status, wc.status);
            QCOMPARE_EXACT(r.Ch[c].OXHb, wc.oxhb);
            QCOMPARE_EXACT(r.Ch[c].DXHb, wc.dxhb);
            QCOMPARE_EXACT(r.Ch[c].StO2, wc.sto2);
            QVERIFY(r.Ch[c].StO2 > 0.3f && r.Ch[c].StO2 < 0.8f);
        }
    }
    QCOMPARE(wraps, 1);
    QVERIFY(errors >= 3);
    QVERIFY(probeOff >= 100);
}

void TestDemoRecordings::singleChannel() {
    const demo::SingleChannelDemo d = demo::MakeSingleChannelDemo();
    const LoadOutcome o =
        LoadRecording(store, files.Write("d.lqd", lqd::EncodeWs31(d.header, d.records)));
    QVERIFY(o.messages.empty() && !o.error);
    QCOMPARE_EXACT(store.StartTime, DT(2026, 3, 14, 14, 5, 0, 0));

    // Walk the store: every written record in order, bit for bit, with only fillers between.
    int j = 0, pFillers = 0, eFillers = 0;
    for (const lqd::Ws31Record& w : d.records) {
        while (j < store.DataCount && store.SampleBuff[j].Ch[0].Status != 0) {
            const ChannelData& f = store.SampleBuff[j].Ch[0];
            QVERIFY(f.Status == STS_P || f.Status == STS_E);
            QCOMPARE_EXACT(f.StO2, 0.0f);
            (f.Status == STS_P ? pFillers : eFillers)++;
            ++j;
        }
        QVERIFY(j < store.DataCount);
        const SampleRecord& r = store.SampleBuff[j];
        QCOMPARE(r.Seq, j);
        QCOMPARE_EXACT(r.Ch[0].StO2, w.sto2);
        QCOMPARE_EXACT(r.Ch[0].OXHb, w.oxhb);
        QCOMPARE_EXACT(r.Ch[0].DXHb, w.dxhb);
        if (w.stamp) {
            // A stamped record lies exactly at its stamp.
            const DateTimeParts p = DecodeDateTime(store.StartTime + r.Time);
            QCOMPARE(p.second, int(DecodeBCD((*w.stamp)[0])));
            QCOMPARE(p.minute, int(DecodeBCD((*w.stamp)[1])));
            QCOMPARE(p.hour, int(DecodeBCD((*w.stamp)[2])));
            QCOMPARE(p.ms, 0);
        }
        ++j;
    }
    QCOMPARE(j, store.DataCount);
    QVERIFY(pFillers >= 12 && pFillers <= 13);
    QVERIFY(eFillers >= 20 && eFillers <= 21);
}

void TestDemoRecordings::sameBytesEveryRun() {
    const demo::ThreeChannelDemo a = demo::MakeThreeChannelDemo(), b = demo::MakeThreeChannelDemo();
    QVERIFY(lqd::EncodeWs56(a.header, a.records) == lqd::EncodeWs56(b.header, b.records));
}

QTEST_APPLESS_MAIN(TestDemoRecordings)
#include "tst_demo_recordings.moc"

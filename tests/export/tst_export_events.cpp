// What every export carries beside the samples (status runs, replaced rows, notes, markers),
// and a range of samples as a recording of its own.

#include "export/events.h"
#include "export/range_recording.h"
#include "recording/datetime.h"
#include "support/exact.h"

#include <QTest>

using namespace tesmora;

Q_DECLARE_METATYPE(std::vector<std::uint16_t>)
Q_DECLARE_METATYPE(std::vector<ExportEvent>)

namespace {

// A store of one channel whose samples have these statuses.
void Fill(RecordingStore& store, const std::vector<std::uint16_t>& status) {
    store.DataCount = 0;
    store.ChCount = 1;
    store.Rate = 500;
    for (std::uint16_t s : status) {
        SampleRecord* r = store.Append();
        r->Ch[0].Status = s;
    }
}

QString Text(const std::vector<ExportEvent>& events) {
    QStringList out;
    for (const ExportEvent& e : events)
        out << QString("%1 %2..%3").arg(QString::fromStdString(e.label)).arg(e.first).arg(e.last);
    return out.join(", ");
}

} // namespace

class TestExportEvents : public QObject {
    Q_OBJECT
private slots:
    void statusRuns_data();
    void statusRuns();
    void notesAndMarkers();
    void everyChannel();
    void range_data();
    void range();
};

void TestExportEvents::statusRuns_data() {
    QTest::addColumn<std::vector<std::uint16_t>>("status");
    QTest::addColumn<QString>("events");
    constexpr std::uint16_t E3 = STS_E | 3, E = STS_E | STS_NOCODE, P = STS_P, F = STS_FILLED;
    QTest::newRow("all measured") << std::vector<std::uint16_t>{0, 0, 0} << "";
    QTest::newRow("one run of each") << std::vector<std::uint16_t>{0, E3, E3, 0, P, P, E}
                                     << "CH1 E3 1..2, CH1 P 4..5, CH1 E 6..6";
    // A run ends where the device's code changes, not only where the kind does.
    QTest::newRow("codes change") << std::vector<std::uint16_t>{E3, std::uint16_t(STS_E | 5), E}
                                  << "CH1 E3 0..0, CH1 E5 1..1, CH1 E 2..2";
    QTest::newRow("to the last sample") << std::vector<std::uint16_t>{0, P, P} << "CH1 P 1..2";
    QTest::newRow("a single sample") << std::vector<std::uint16_t>{E3} << "CH1 E3 0..0";
    // A replaced row copies the row before, its status too: both runs are told.
    QTest::newRow("replaced rows") << std::vector<std::uint16_t>{0, F, F, 0, std::uint16_t(F | P)}
                                   << "Replaced 1..2, CH1 P 4..4, Replaced 4..4";
}

void TestExportEvents::statusRuns() {
    QFETCH(std::vector<std::uint16_t>, status);
    QFETCH(QString, events);
    RecordingStore store(16);
    Fill(store, status);
    QCOMPARE(Text(RecordingEvents(store)), events);
}

void TestExportEvents::notesAndMarkers() {
    RecordingStore store(16);
    Fill(store, {0, 0, STS_P, 0, 0, 0});
    // In the order of their first samples; notes and markers outside the recording are left out.
    const std::vector<Note> notes{{2500, 5, "late"}, {0, 0, "start"}, {9000, 18, "beyond"}};
    QCOMPARE(Text(RecordingEvents(store, notes, 3, 2)),
             QString("start 0..0, CH1 P 2..2, Marker B 2..2, Marker A 3..3, late 5..5"));
    QCOMPARE(Text(RecordingEvents(store, {}, -1, 6)), QString("CH1 P 2..2"));
}

void TestExportEvents::everyChannel() {
    RecordingStore store(16);
    Fill(store, {0, 0, 0});
    store.ChCount = 3;
    store.SampleBuff[1].Ch[2].Status = STS_P;
    store.SampleBuff[2].Ch[1].Status = STS_E | 1;
    store.SampleBuff[1].Ch[3].Status = STS_P; // beyond ChCount: not the recording's
    QCOMPARE(Text(RecordingEvents(store)), QString("CH3 P 1..1, CH2 E1 2..2"));
}

void TestExportEvents::range_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("count");
    QTest::newRow("inside") << 3 << 6 << 3 << 4;
    QTest::newRow("one sample") << 5 << 5 << 5 << 1;
    QTest::newRow("clamped at both ends") << -4 << 40 << 0 << 10;
    QTest::newRow("empty") << 6 << 5 << 0 << 0;
    QTest::newRow("beyond the end") << 12 << 20 << 0 << 0;
}

void TestExportEvents::range() {
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, from);
    QFETCH(int, count);
    RecordingStore store(16);
    Fill(store, std::vector<std::uint16_t>(10, 0));
    store.Rate = 700;
    store.DataType = 4;
    store.SerialNo = "0417";
    store.PatientID = "P-1";
    store.StartTime = DT(2021, 6, 1, 23, 59, 58, 0);
    double t = 0;
    for (std::int32_t j = 0; j < 10; ++j, t += EncodeTime(0, 0, 0, 700)) {
        store.SampleBuff[j].Time = t; // the running sum the readers keep
        store.SampleBuff[j].Seq = 100 + j;
        store.SampleBuff[j].Ch[0].OXHb = 0.1f * static_cast<float>(j);
    }
    const std::unique_ptr<RecordingStore> range = RangeRecording(store, first, last);
    if (count == 0) {
        QVERIFY(!range);
        return;
    }
    QVERIFY(range);
    QCOMPARE(range->DataCount, count);
    QCOMPARE(range->Capacity(), count);
    QCOMPARE(range->SerialNo, store.SerialNo);
    QCOMPARE(range->PatientID, store.PatientID);
    QCOMPARE(range->DataType, 4);
    QCOMPARE(range->Rate, 700);
    // Times on the sample grid from the range's own start, which may lie on the next day.
    const auto days = [](std::int64_t ms) { return static_cast<double>(ms) / MS_PER_DAY; };
    QCOMPARE_EXACT(range->StartTime, store.StartTime + days(std::int64_t{from} * 700));
    QCOMPARE_EXACT(range->EndTime, store.StartTime + days(std::int64_t{from + count - 1} * 700));
    for (std::int32_t j = 0; j < count; ++j) {
        QCOMPARE_EXACT(range->SampleBuff[j].Time, days(std::int64_t{j} * 700));
        QCOMPARE(range->SampleBuff[j].Seq, 100 + from + j);
        QCOMPARE_EXACT(range->SampleBuff[j].Ch[0].OXHb, store.SampleBuff[from + j].Ch[0].OXHb);
    }
}

QTEST_GUILESS_MAIN(TestExportEvents)
#include "tst_export_events.moc"

#include "csv/csv_writer.h"
#include "loading/load.h"
#include "recording/datetime.h"
#include "support/exact.h"
#include "support/memory_io.h"
#include "support/recording_builder.h"
#include "support/test_files.h"
#include "support/text_builder.h"

#include <QTest>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

using namespace tesmora;
using namespace tesmora::test;

namespace {

const double kSecond = 1000.0 / 86400000.0;

std::string Write(const RecordingStore& store) {
    MemorySink sink;
    if (!WriteCsvRecording(store, sink) || !sink.Flush()) qFatal("write failed");
    return sink.bytes;
}

// The data rows of what the writer makes, without the five head lines.
QByteArray RowsOf(const RecordingStore& store) {
    QList<QByteArray> lines = QByteArray::fromStdString(Write(store)).split('\n');
    return lines.mid(5).join('\n');
}

ChannelData Ch(std::uint16_t status, float ox = 0.1234f, float dx = -0.05f, float to = 0.0734f,
               float sto2 = 0.6543f) {
    return {0, status, ox, dx, to, sto2};
}

} // namespace

class TestCsvWriter : public QObject {
    Q_OBJECT
    RecordingStore store;
    RecordingStore back;
    TestFiles files;

    void OneSample(int dataType, double time, float batt, std::array<ChannelData, 3> ch) {
        store.DataType = dataType;
        store.ChCount = dataType == 4 ? 3 : 1;
        store.DataCount = 1;
        store.Rate = 500;
        store.SerialNo = dataType == 4 ? "Pc56-0001" : "MV31-0012";
        store.StartTime = DT(2021, 6, 1, 9, 30, 0, 0);
        store.EndTime = DT(2021, 6, 1, 10, 30, 0, 0);
        SampleRecord& r = store.SampleBuff[0];
        r.Time = time;
        r.Seq = 3;
        r.Batt = batt;
        for (int c = 0; c < 3; ++c) r.Ch[c] = ch[static_cast<std::size_t>(c)];
    }

private slots:
    void singleChannelRows_data();
    void singleChannelRows();
    void threeChannelRows_data();
    void threeChannelRows();
    void headLines_data();
    void headLines();
    void otherKindsAreNotWritten();
    void writeErrorIsReported();
    void binaryRoundTrip();
    void textRoundTripIsStable();
    void nonFiniteValuesReadBack();
    void numbersAsPrintfWritesThem();
    void hugeStO2ReadsBack();
    void sinkHoldsAnyReservation();
};

void TestCsvWriter::singleChannelRows_data() {
    QTest::addColumn<double>("time");
    QTest::addColumn<ChannelData>("ch");
    QTest::addColumn<QByteArray>("row");
    QTest::newRow("valid at 1.5 s")
        << 1.5 * kSecond << Ch(0) << QByteArray("00:00:01,3,, 0.1234,-0.0500, 0.0734, 65.43\r");
    QTest::newRow("P") << 1.5 * kSecond << Ch(STS_P) << QByteArray("00:00:01,3,P,,,,\r");
    QTest::newRow("E") << 1.5 * kSecond << Ch(STS_E)
                       << QByteArray("00:00:01,3,E, 0.1234,-0.0500, 0.0734, 65.43\r");
    QTest::newRow("P wins over E") << 0.0 << Ch(STS_P | STS_E) << QByteArray("00:00:00,3,P,,,,\r");
    QTest::newRow("other bits not written")
        << 0.0 << Ch(STS_FILLED | STS_NOCODE | 3)
        << QByteArray("00:00:00,3,, 0.1234,-0.0500, 0.0734, 65.43\r");
    QTest::newRow("rounding and width")
        << 0.0 << Ch(0, -0.0f, 12345.678f, -0.00004f, 0.5f)
        << QByteArray("00:00:00,3,,-0.0000,12345.6777,-0.0000, 50.00\r");
    QTest::newRow("a day and a second")
        << 86401 * kSecond << Ch(0) << QByteArray("00:00:01,3,, 0.1234,-0.0500, 0.0734, 65.43\r");
    QTest::newRow("not finite") << 0.0
                                << Ch(0, std::numeric_limits<float>::quiet_NaN(),
                                      -std::numeric_limits<float>::infinity(),
                                      std::numeric_limits<float>::infinity(),
                                      -std::numeric_limits<float>::quiet_NaN())
                                << QByteArray("00:00:00,3,,    nan,   -inf,    inf,  -nan\r");
}

void TestCsvWriter::singleChannelRows() {
    QFETCH(double, time);
    QFETCH(ChannelData, ch);
    QFETCH(QByteArray, row);
    OneSample(1, time, 0, {ch, Ch(0), Ch(0)});
    QCOMPARE(RowsOf(store), row + "\n");
}

void TestCsvWriter::threeChannelRows_data() {
    QTest::addColumn<float>("batt");
    QTest::addColumn<ChannelData>("ch1");
    QTest::addColumn<QByteArray>("row");
    const QByteArray tail = ",, 0.1234,-0.0500, 0.0734, 65.43,, 0.1234,-0.0500, 0.0734, 65.43\r\n";
    QTest::newRow("battery one decimal")
        << 3.74f << Ch(0) << "00:00:00,3,3.7,, 0.1234,-0.0500, 0.0734, 65.43" + tail;
    QTest::newRow("no code") << 3.7f << Ch(STS_NOCODE | STS_E) << "00:00:00,3,3.7,E,,,," + tail;
    QTest::newRow("P") << 3.7f << Ch(STS_P | STS_NOCODE | STS_E) << "00:00:00,3,3.7,P,,,," + tail;
    QTest::newRow("E with a code")
        << 3.7f << Ch(STS_E | 2) << "00:00:00,3,3.7,E, 0.1234,-0.0500, 0.0734, 65.43" + tail;
    QTest::newRow("battery rounds half to even")
        << 0.25f << Ch(0) << "00:00:00,3,0.2,, 0.1234,-0.0500, 0.0734, 65.43" + tail;
}

void TestCsvWriter::threeChannelRows() {
    QFETCH(float, batt);
    QFETCH(ChannelData, ch1);
    QFETCH(QByteArray, row);
    OneSample(4, 0, batt, {ch1, Ch(0), Ch(0)});
    QCOMPARE(RowsOf(store), row);
}

void TestCsvWriter::headLines_data() {
    QTest::addColumn<int>("dataType");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("head");
    const QByteArray times = "START 2021/06/01 09:30:00\r\nEND 2021/06/02 00:00:05\r\n";
    const QByteArray three =
        ",,,CH1,,,,,CH2,,,,,CH3\r\nTIME,SEQ,BATT[V],ERROR,OXHb,DXHb,TOHb,Sto2,ERROR,OXHb,DXHb,"
        "TOHb,Sto2,ERROR,OXHb,DXHb,TOHb,Sto2\r\n";
    QTest::newRow("MV31") << 1 << "MV31-0012"
                          << "A1"
                          << "N"
                          << "S/N,MV31-0012,RATE,500\r\n" + times +
                                 ",,CH1\r\nTIME,SEQ,ERROR,OXHb,DXHb,TOHb,Sto2\r\n";
    QTest::newRow("Pc56 with patient")
        << 4 << "Pc56-0001"
        << "A12"
        << "P12"
        << "S/N,Pc56-0001,RATE,500,ID,A12,NAME,P12\r\n" + times + three;
    QTest::newRow("Pc56 id only") << 4 << "Pc56-0001"
                                  << "A12"
                                  << ""
                                  << "S/N,Pc56-0001,RATE,500,ID,A12\r\n" + times + three;
    QTest::newRow("Pc56 name without id") << 4 << "Pc56-0001"
                                          << ""
                                          << "P12"
                                          << "S/N,Pc56-0001,RATE,500\r\n" + times + three;
    QTest::newRow("non-ASCII and commas")
        << 4 << "Pc56-0,1"
        << "山田"
        << "Ré\nx"
        << "S/N,Pc56-0?1,RATE,500,ID,??,NAME,R??x\r\n" + times + three;
}

void TestCsvWriter::headLines() {
    QFETCH(int, dataType);
    QFETCH(QString, serial);
    QFETCH(QString, id);
    QFETCH(QString, name);
    QFETCH(QByteArray, head);
    OneSample(dataType, 0, 0, {Ch(0), Ch(0), Ch(0)});
    store.DataCount = 0;
    store.SerialNo = serial.toStdString();
    store.PatientID = id.toStdString();
    store.PatientName = name.toStdString();
    store.EndTime = DT(2021, 6, 2, 0, 0, 5, 0);
    QCOMPARE(QByteArray::fromStdString(Write(store)), head);
}

void TestCsvWriter::otherKindsAreNotWritten() {
    OneSample(3, 0, 0, {Ch(0), Ch(0), Ch(0)});
    MemorySink sink;
    QVERIFY(!CanWriteCsv(store));
    QVERIFY(!WriteCsvRecording(store, sink));
    QVERIFY(sink.Flush());
    QCOMPARE(sink.bytes, std::string());
}

void TestCsvWriter::writeErrorIsReported() {
    LoadRecording(store, files.Write("w.lqd", Ws56File().Records(1, 1000).Bytes()));
    MemorySink sink(5000);
    QVERIFY(WriteCsvRecording(store, sink));
    QVERIFY(!sink.Flush());
    QVERIFY(sink.Failed());
    QCOMPARE(sink.bytes.size(), std::size_t{5000});
}

void TestCsvWriter::binaryRoundTrip() {
    // Three channels: fillers, a wrap, error blocks with and without code, P inside a status.
    const LoadOutcome o = LoadRecording(
        store,
        files.Write(
            "rt.lqd",
            Ws56File()
                .Patient("A12", "P12")
                .Record(65534, {Values(0.12344f, -0.05f, 0.65437f), Error(), Error(0x0043)}, 3.74f)
                .Record(2, {Values(1, 2, 0.5f, 0x2000), Values(1, 2, 0.5f, 0x0003), Error(0x2040)})
                .Bytes()));
    QVERIFY(o.messages.empty() && !o.error);
    const std::string csv = Write(store);
    const LoadOutcome b = LoadRecording(back, files.Write("rt.csv", csv));
    QVERIFY(b.messages.empty() && !b.error);
    QCOMPARE(back.DataType, 4);
    QCOMPARE(back.ChCount, 3);
    QCOMPARE(back.DataCount, store.DataCount);
    QCOMPARE(back.SerialNo, store.SerialNo);
    QCOMPARE(back.PatientID, std::string("A12"));
    QCOMPARE(back.PatientName, std::string("P12"));
    QCOMPARE_EXACT(back.StartTime, store.StartTime);
    QCOMPARE_EXACT(back.EndTime, store.EndTime);
    for (int j = 0; j < store.DataCount; ++j) {
        const SampleRecord &w = store.SampleBuff[j], &r = back.SampleBuff[j];
        QCOMPARE(r.Seq, j);
        QCOMPARE_EXACT(r.Time,
                       std::floor(w.Time / kSecond + 1e-6) * 1000.0 / 86400000.0); // whole seconds
        QCOMPARE_EXACT(r.Batt, std::round(w.Batt * 10.0f) / 10.0f);
        for (int c = 0; c < 3; ++c) {
            const ChannelData &wc = w.Ch[c], &rc = r.Ch[c];
            const bool noValues = (wc.Status & (STS_P | STS_NOCODE)) != 0;
            QCOMPARE(rc.Status, noValues ? std::uint16_t(STS_NOCODE | STS_E)
                                         : std::uint16_t(wc.Status & STS_E));
            QCOMPARE_EXACT(rc.OXHb, noValues ? 0.0f : std::round(wc.OXHb * 10000.0f) / 10000.0f);
            QVERIFY(qAbs(rc.StO2 - (noValues ? 0.0f : wc.StO2)) <= 0.00005f);
        }
    }
    // Single channel: P and E fillers come back as such, values to four decimals.
    LoadRecording(
        store, files.Write(
                   "rt1.lqd",
                   Ws31File().Stamped(10, 0, 0).Stamped(10, 0, 2).Stamped(10, 0, 4, 0x80).Bytes()));
    LoadRecording(back, files.Write("rt1.csv", Write(store)));
    QCOMPARE(back.DataType, 1);
    QCOMPARE(back.DataCount, store.DataCount);
    for (int j = 0; j < store.DataCount; ++j)
        QCOMPARE(back.SampleBuff[j].Ch[0].Status, store.SampleBuff[j].Ch[0].Status);
}

void TestCsvWriter::textRoundTripIsStable() {
    // Writing what was read from a written file gives the same bytes again.
    for (const TextRecording& rec :
         {TextRecording::MV31().Rows(50), TextRecording::Pc56().Rows(50)}) {
        LoadRecording(store, files.Write("t1.csv", rec.Text()));
        const std::string first = Write(store);
        LoadRecording(back, files.Write("t2.csv", first));
        QCOMPARE(back.DataCount, 50);
        QCOMPARE(Write(back), first);
    }
}

void TestCsvWriter::nonFiniteValuesReadBack() {
    const float nan = std::numeric_limits<float>::quiet_NaN(),
                inf = std::numeric_limits<float>::infinity();
    LoadRecording(
        store, files.Write("nf.lqd", Ws56File()
                                         .Record(1, {Values(nan, inf, 0.5f),
                                                     Values(-inf, -nan, inf), Values(1e30f, 1, 2)})
                                         .Bytes()));
    const LoadOutcome o = LoadRecording(back, files.Write("nf.csv", Write(store)));
    QVERIFY(!o.error && o.messages.empty());
    QCOMPARE(back.DataCount, 1);
    const SampleRecord& r = back.SampleBuff[0];
    QVERIFY(std::isnan(r.Ch[0].OXHb) && !std::signbit(r.Ch[0].OXHb));
    QCOMPARE_EXACT(r.Ch[0].DXHb, inf);
    QCOMPARE_EXACT(r.Ch[1].OXHb, -inf);
    QVERIFY(std::isnan(r.Ch[1].DXHb) && std::signbit(r.Ch[1].DXHb));
    QCOMPARE_EXACT(r.Ch[1].StO2, inf);
    QCOMPARE_EXACT(r.Ch[2].OXHb, 1e30f); // the digits printf writes read back to the same float
}

void TestCsvWriter::hugeStO2ReadsBack() {
    // Found by the fuzzers: StO2 is written as percent, and a fraction near the float range
    // is beyond it as percent; the file must still open, with the same fraction.
    const float huge = -3.27e38f;
    LoadRecording(
        store, files.Write("big.lqd", Ws31File().Stamped(10, 0, 0, 0, huge).Untimed(0.5f).Bytes()));
    const std::string csv = Write(store);
    QVERIFY(csv.find("-32700000") != std::string::npos);
    const LoadOutcome o = LoadRecording(back, files.Write("big.csv", csv));
    QVERIFY2(!o.error, o.error ? o.error->c_str() : "");
    QCOMPARE(back.DataCount, 2);
    QCOMPARE_EXACT(back.SampleBuff[0].Ch[0].StO2, float(double(huge) * 100 / 100));
    QCOMPARE_EXACT(back.SampleBuff[1].Ch[0].StO2, 0.5f);
}

void TestCsvWriter::numbersAsPrintfWritesThem() {
    // Random floats of every magnitude, ties included, written as printf would, byte for byte.
    std::mt19937 rng(7);
    RecordingStore& st = store;
    st.DataType = 4;
    st.ChCount = 3;
    st.Rate = 500;
    st.StartTime = st.EndTime = DT(2021, 6, 1, 0, 0, 0, 0);
    st.DataCount = 20000;
    auto randomFloat = [&](int j) {
        switch (j % 5) {
        case 0:
            return std::bit_cast<float>(static_cast<std::uint32_t>(rng())); // any bits
        case 1:
            return static_cast<float>(static_cast<int>(rng() % 200001) - 100000) /
                   32768.0f; // exact ties
        case 2:
            return std::ldexp(static_cast<float>(rng() % 1000), -static_cast<int>(rng() % 40));
        default:
            return static_cast<float>(std::uniform_real_distribution<double>(-2, 2)(rng));
        }
    };
    std::string expected;
    char line[512];
    for (int j = 0; j < st.DataCount; ++j) {
        SampleRecord& r = st.SampleBuff[j];
        r.Time = 0;
        r.Seq = j;
        r.Batt = randomFloat(j + 1);
        int n = std::snprintf(line, sizeof line, "00:00:00,%d,%3.1f", j, double(r.Batt));
        for (int c = 0; c < 3; ++c) {
            r.Ch[c] = {
                0, 0, randomFloat(j), randomFloat(j + 2), randomFloat(j + 3), randomFloat(j + 4)};
            n += std::snprintf(line + n, sizeof line - n, ",,%7.4f,%7.4f,%7.4f,%6.2f",
                               double(r.Ch[c].OXHb), double(r.Ch[c].DXHb), double(r.Ch[c].TOHb),
                               double(r.Ch[c].StO2) * 100.0);
        }
        expected += std::string(line, static_cast<std::size_t>(n)) + "\r\n";
    }
    const QByteArray rows = RowsOf(st);
    const QList<QByteArray> got = rows.split('\n'),
                            want = QByteArray::fromStdString(expected).split('\n');
    QCOMPARE(got.size(), want.size());
    for (int j = 0; j < got.size(); ++j)
        if (got[j] != want[j])
            QFAIL(
                qPrintable("row " + QString::number(j) + ": " + got[j] + " instead of " + want[j]));
}

void TestCsvWriter::sinkHoldsAnyReservation() {
    // A reservation larger than the sink's buffer gets room all the same.
    MemorySink sink(-1, 64);
    sink.Write("ab");
    char* p = sink.Reserve(1000);
    std::memset(p, 'x', 1000);
    sink.Advance(1000);
    sink.Write("cd");
    QVERIFY(sink.Flush());
    QCOMPARE(sink.bytes, "ab" + std::string(1000, 'x') + "cd");
}

QTEST_APPLESS_MAIN(TestCsvWriter)
#include "tst_csv_writer.moc"

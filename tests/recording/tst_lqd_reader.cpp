#include "recording/byte_source.h"
#include "recording/convert_error.h"
#include "recording/datetime.h"
#include "recording/lqd_reader.h"
#include "support/exact.h"
#include "support/recording_builder.h"
#include "support/test_files.h"

#include <QTest>
#include <cmath>
#include <limits>

using namespace tesmora;
using namespace tesmora::test;
using Bytes = std::vector<std::uint8_t>;

Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(ReadResult)

namespace {

const double kInterval = 500.0 / 86400000.0;

Bytes Cut(Bytes b, std::size_t n) {
    b.resize(n);
    return b;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

class TestLqdReader : public QObject {
    Q_OBJECT
    RecordingStore store;
    TestFiles files;

    ReadResult Read(const Bytes& bytes) {
        const std::string path = files.Write("rec.lqd", bytes);
        InputFile file(path);
        ByteSource src(file.Descriptor());
        store.DataType = 0;
        store.DataCount = 0;
        return ReadLQDfile(src, store);
    }
    const SampleRecord& Rec(int j) const { return store.SampleBuff[j]; }

private slots:
    void decodeBcd_data();
    void decodeBcd();
    void endings_data();
    void endings();
    void threeChannelHeader();
    void threeChannelErrorBlocks();
    void threeChannelValuesAndSums();
    void counters_data();
    void counters();
    void fillersCopyThePreviousRecord();
    void singleChannelHeaderAndTimes();
    void singleChannelGapFillers_data();
    void singleChannelGapFillers();
    void singleChannelNextDay();
    void textFields_data();
    void textFields();
    void invalidDatesThrow_data();
    void invalidDatesThrow();
    void capacity_data();
    void capacity();
    void fewSystemReads();
};

void TestLqdReader::decodeBcd_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("value");
    QTest::newRow("0x00") << 0x00 << 0;
    QTest::newRow("0x21") << 0x21 << 21;
    QTest::newRow("0x99") << 0x99 << 99;
    QTest::newRow("0x9A") << 0x9A << 0;
    QTest::newRow("0x0A") << 0x0A << 10;
    QTest::newRow("0x1A") << 0x1A << 20;
    QTest::newRow("0xFF") << 0xFF << 0;
}

void TestLqdReader::decodeBcd() {
    QFETCH(int, byte);
    QFETCH(int, value);
    QCOMPARE(int(DecodeBCD(static_cast<std::uint8_t>(byte))), value);
}

void TestLqdReader::endings_data() {
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<ReadResult>("result");
    QTest::addColumn<int>("count");
    const Bytes ws56 = Ws56File().Bytes();
    const Bytes ws31 = Ws31File().Bytes();
    const Bytes oneRecord = Ws56File().Record(7).Bytes(); // 80 + 8 + 3 * 14
    const Bytes twoRecords = Ws56File().Records(7, 2).Bytes();
    QTest::newRow("empty") << Bytes{} << ReadResult::FormatError << 0;
    QTest::newRow("1 byte") << Bytes{'W'} << ReadResult::FormatError << 0;
    QTest::newRow("3 bytes") << Bytes{'W', 'S', '5'} << ReadResult::FormatError << 0;
    QTest::newRow("wrong magic") << Concat({'W', 'S', '5', '7'}, Cut(ws56, 76))
                                 << ReadResult::FormatError << 0;
    QTest::newRow("lower-case magic")
        << Concat({'w', 's', '5', '6'}, Cut(ws56, 76)) << ReadResult::FormatError << 0;
    QTest::newRow("WS56 short header") << Cut(ws56, 79) << ReadResult::FormatError << 0;
    QTest::newRow("WS31 short header") << Cut(ws31, 31) << ReadResult::FormatError << 0;
    QTest::newRow("WS56 header only") << ws56 << ReadResult::Success << 0;
    QTest::newRow("WS31 header only") << ws31 << ReadResult::Success << 0;
    QTest::newRow("WS56 head cut short")
        << Concat(oneRecord, {1, 0, 0, 0, 0}) << ReadResult::Success << 1;
    QTest::newRow("WS56 cut in status")
        << Cut(twoRecords, oneRecord.size() + 9) << ReadResult::FormatError << 1;
    QTest::newRow("WS56 cut in values")
        << Cut(twoRecords, oneRecord.size() + 8 + 2 + 11) << ReadResult::FormatError << 1;
    QTest::newRow("WS56 cut in channel 3")
        << Cut(twoRecords, twoRecords.size() - 1) << ReadResult::FormatError << 1;
    QTest::newRow("WS31 partial record")
        << Cut(Ws31File().Stamped(10, 0, 0).Untimed().Bytes(), 32 + 16 + 15) << ReadResult::Success
        << 1;
}

void TestLqdReader::endings() {
    QFETCH(Bytes, bytes);
    QFETCH(ReadResult, result);
    QCOMPARE(Read(bytes), result);
    // The reader leaves the complete records before a cut in the store; the load discards them.
    QFETCH(int, count);
    QCOMPARE(store.DataCount, count);
}

void TestLqdReader::threeChannelHeader() {
    QCOMPARE(Read(Ws56File()
                      .Start(2021, 6, 1, 12, 34, 56)
                      .End(2021, 6, 2, 1, 2, 3)
                      .Serial("SN-17")
                      .Patient("A12", "Jane Roe")
                      .Record(5)
                      .Bytes()),
             ReadResult::Success);
    QCOMPARE(store.DataType, 4);
    QCOMPARE(store.ChCount, 3);
    QCOMPARE(store.Rate, 500);
    QCOMPARE_EXACT(store.StartTime, DT(2021, 6, 1, 12, 34, 56, 0));
    QCOMPARE_EXACT(store.EndTime, DT(2021, 6, 2, 1, 2, 3, 0));
    QCOMPARE(store.SerialNo, std::string("Pc56-SN-17"));
    QCOMPARE(store.PatientID, std::string("A12"));
    QCOMPARE(store.PatientName, std::string("Jane Roe"));
    QCOMPARE_EXACT(Rec(0).Time, 0.0);
    QCOMPARE(Rec(0).Seq, 5); // the first record keeps its counter, no fillers
}

void TestLqdReader::threeChannelErrorBlocks() {
    // 80 + 14 bytes: three error blocks without code load one sample.
    const Bytes bytes = Ws56File().Record(1, {Error(), Error(), Error()}).Bytes();
    QCOMPARE(bytes.size(), std::size_t{94});
    QCOMPARE(Read(bytes), ReadResult::Success);
    QCOMPARE(store.DataCount, 1);
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(Rec(0).Ch[c].Status, std::uint16_t{0x4040});
        QCOMPARE_EXACT(Rec(0).Ch[c].OXHb, 0.0f);
        QCOMPARE_EXACT(Rec(0).Ch[c].StO2, 0.0f);
    }
    // With a code the status stays as the device wrote it; other device bits are kept too.
    QCOMPARE(Read(Ws56File()
                      .Record(1, {Error(0x0043), Error(0x2040), Values(1, 2, 0.5f, 0x2001)})
                      .Bytes()),
             ReadResult::Success);
    QCOMPARE(Rec(0).Ch[0].Status, std::uint16_t{0x0043});
    QCOMPARE(Rec(0).Ch[1].Status, std::uint16_t{0x6040});
    QCOMPARE(Rec(0).Ch[2].Status, std::uint16_t{0x2001});
    QCOMPARE_EXACT(Rec(0).Ch[2].StO2, 0.5f);
}

void TestLqdReader::threeChannelValuesAndSums() {
    const float big = std::numeric_limits<float>::max();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    QCOMPARE(Read(Ws56File()
                      .Record(1,
                              {Values(0.1f, 0.2f, 0.6543f), Values(big, big, 0.5f),
                               Values(nan, 1, std::numeric_limits<float>::infinity())},
                              3.7f)
                      .Bytes()),
             ReadResult::Success);
    const SampleRecord& r = Rec(0);
    QCOMPARE_EXACT(r.Batt, 3.7f);
    QCOMPARE_EXACT(r.Ch[0].OXHb, 0.1f);
    QCOMPARE_EXACT(r.Ch[0].DXHb, 0.2f);
    QCOMPARE_EXACT(r.Ch[0].TOHb, 0.1f + 0.2f); // single-precision sum, not the double one
    QCOMPARE_EXACT(r.Ch[0].StO2, 0.6543f);
    QVERIFY(std::isinf(r.Ch[1].TOHb));
    QVERIFY(std::isnan(r.Ch[2].OXHb));
    QVERIFY(std::isnan(r.Ch[2].TOHb));
    QVERIFY(std::isinf(r.Ch[2].StO2));
}

void TestLqdReader::counters_data() {
    QTest::addColumn<QList<quint32>>("counters");
    QTest::addColumn<QList<int>>("seqs"); // the first few stored
    QTest::addColumn<int>("count");
    QTest::newRow("5 6 9") << QList<quint32>{5, 6, 9} << QList<int>{5, 6, 7, 8, 9} << 5;
    QTest::newRow("wrap 65535 0") << QList<quint32>{65535, 0} << QList<int>{65535, 65536} << 2;
    QTest::newRow("wrap 65534 1") << QList<quint32>{65534, 1}
                                  << QList<int>{65534, 65535, 65536, 65537} << 4;
    QTest::newRow("equal") << QList<quint32>{100, 100} << QList<int>{100, 100} << 2;
    QTest::newRow("backwards") << QList<quint32>{100, 99} << QList<int>{100, 101, 102} << 65536;
    QTest::newRow("two wraps") << QList<quint32>{65535, 0, 65535, 0} << QList<int>{65535, 65536}
                               << 1 + 1 + 65535 + 1;
    QTest::newRow("first counter huge")
        << QList<quint32>{0xFFFFFFF0u, 0xFFFFFFF1u} << QList<int>{65520, 65521} << 2;
    QTest::newRow("counter above 16 bits")
        << QList<quint32>{10, 70000} << QList<int>{10, 11, 12} << 70000 - 10 + 1;
}

void TestLqdReader::counters() {
    QFETCH(QList<quint32>, counters);
    QFETCH(QList<int>, seqs);
    Ws56File f;
    for (quint32 c : counters) f.Record(c);
    QCOMPARE(Read(f.Bytes()), ReadResult::Success);
    QFETCH(int, count);
    QCOMPARE(store.DataCount, count);
    for (int j = 0; j < seqs.size(); ++j) QCOMPARE(Rec(j).Seq, seqs[j]);
    // Every record lies one interval after its predecessor.
    for (int j = 1; j < store.DataCount; ++j)
        if (Rec(j).Time != Rec(j - 1).Time + kInterval)
            QFAIL(qPrintable(QString("time of %1").arg(j)));
}

void TestLqdReader::fillersCopyThePreviousRecord() {
    QCOMPARE(Read(Ws56File()
                      .Record(5)
                      .Record(6, {Values(1, 2, 0.6f), Error(0x0042), Error()}, 3.6f)
                      .Record(9)
                      .Bytes()),
             ReadResult::Success);
    QCOMPARE(store.DataCount, 5);
    for (int j : {2, 3}) {
        QCOMPARE(Rec(j).Seq, 5 + j);
        QCOMPARE_EXACT(Rec(j).Batt, 3.6f);
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(Rec(j).Ch[c].Status, Rec(1).Ch[c].Status);
            QCOMPARE_EXACT(Rec(j).Ch[c].OXHb, Rec(1).Ch[c].OXHb);
            QCOMPARE_EXACT(Rec(j).Ch[c].TOHb, Rec(1).Ch[c].TOHb);
        }
    }
    QCOMPARE(Rec(1).Ch[2].Status, std::uint16_t{0x4040});
    QCOMPARE_EXACT(Rec(2).Time, 2 * kInterval);
    QCOMPARE_EXACT(Rec(3).Time, 3 * kInterval);
    QCOMPARE_EXACT(Rec(3).Time * 86400.0, 1.5);
    QCOMPARE(Rec(4).Seq, 9);
}

void TestLqdReader::singleChannelHeaderAndTimes() {
    // A first record without a stamp starts at the header's start.
    QCOMPARE(Read(Ws31File()
                      .Start(2021, 6, 1, 10, 0, 0)
                      .EndTime(9, 0, 0)
                      .Serial("ABC")
                      .Untimed(3)
                      .Bytes()),
             ReadResult::Success);
    QCOMPARE(store.DataType, 1);
    QCOMPARE(store.ChCount, 1);
    QCOMPARE(store.Rate, 500);
    QCOMPARE(store.SerialNo, std::string("MV31-ABC"));
    QCOMPARE(store.PatientID, std::string());
    QCOMPARE(store.DataCount, 3);
    QCOMPARE_EXACT(store.StartTime, DT(2021, 6, 1, 10, 0, 0, 0));
    QCOMPARE_EXACT(store.EndTime, DT(2021, 6, 1, 10, 0, 0, 0) + kInterval + kInterval);
    QCOMPARE_EXACT(Rec(0).Time, 0.0);
    for (int j = 0; j < 3; ++j) {
        QCOMPARE(Rec(j).Seq, j);
        QCOMPARE(Rec(j).Ch[0].Status, std::uint16_t{0});
        QCOMPARE_EXACT(Rec(j).Ch[0].TOHb, Rec(j).Ch[0].OXHb + Rec(j).Ch[0].DXHb);
    }
    // Without records the header's times stand; an end before the start is on the next day.
    QCOMPARE(Read(Ws31File().Start(2021, 6, 1, 10, 0, 0).EndTime(9, 0, 0).Bytes()),
             ReadResult::Success);
    QCOMPARE_EXACT(store.EndTime, DT(2021, 6, 2, 9, 0, 0, 0));
}

void TestLqdReader::singleChannelGapFillers_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("status");
    QTest::newRow("plain gap: P") << 0x00 << int(STS_P);
    QTest::newRow("error flag: E") << 0x80 << int(STS_E);
    QTest::newRow("other flag bits: P") << 0x7F << int(STS_P);
}

void TestLqdReader::singleChannelGapFillers() {
    QFETCH(int, flags);
    QFETCH(int, status);
    QCOMPARE(Read(Ws31File()
                      .Stamped(10, 0, 0)
                      .Untimed(0.61f, 0.2f, 0.3f)
                      .Untimed(0.62f, 0.2f, 0.3f)
                      .Stamped(10, 0, 5, static_cast<std::uint8_t>(flags), 0.7f, 0.4f, 0.5f)
                      .Bytes()),
             ReadResult::Success);
    QCOMPARE_EXACT(store.StartTime, DT(2021, 6, 1, 10, 0, 0, 0));
    // Times run on as absolute ones, one interval added per record, and become elapsed ones
    // at the end: they carry the rounding of a date's magnitude. Here the running time falls
    // a hair short of 10:00:05 after 4.5 s, so one more filler lands there.
    const double start = DT(2021, 6, 1, 10, 0, 0, 0);
    double running = start;
    const int last = store.DataCount - 1;
    QCOMPARE(last, 11);
    for (int j = 1; j < last; ++j) {
        running += kInterval;
        QCOMPARE_EXACT(Rec(j).Time, running - start);
        if (j < 3) continue;
        QCOMPARE(Rec(j).Ch[0].Status, std::uint16_t(status));
        QCOMPARE_EXACT(Rec(j).Ch[0].OXHb, 0.0f);
        QCOMPARE_EXACT(Rec(j).Ch[0].StO2, 0.0f);
        QCOMPARE(Rec(j).Seq, j);
    }
    QCOMPARE(Rec(last).Seq, last);
    QCOMPARE(Rec(last).Ch[0].Status, std::uint16_t{0});
    QCOMPARE_EXACT(Rec(last).Ch[0].StO2, 0.7f);
    QCOMPARE_EXACT(store.EndTime, DT(2021, 6, 1, 10, 0, 5, 0));
    QCOMPARE_EXACT(Rec(last).Time, DT(2021, 6, 1, 10, 0, 5, 0) - DT(2021, 6, 1, 10, 0, 0, 0));
}

void TestLqdReader::singleChannelNextDay() {
    // A stamp earlier in the day than the header's start lies on the next day.
    QCOMPARE(Read(Ws31File().Start(2021, 6, 1, 23, 59, 50).Stamped(0, 0, 5).Untimed().Bytes()),
             ReadResult::Success);
    QCOMPARE(store.DataCount, 2);
    QCOMPARE_EXACT(store.StartTime, DT(2021, 6, 2, 0, 0, 5, 0));
    QCOMPARE_EXACT(Rec(0).Time, 0.0);
    // Stamps run backwards on the same day: no fillers, negative elapsed times.
    QCOMPARE(Read(Ws31File().Start(2021, 6, 1, 8, 0, 0).Stamped(10, 0, 0).Stamped(9, 0, 0).Bytes()),
             ReadResult::Success);
    QCOMPARE(store.DataCount, 2);
    QCOMPARE_EXACT(Rec(1).Time, DT(2021, 6, 1, 9, 0, 0, 0) - DT(2021, 6, 1, 10, 0, 0, 0));
    QCOMPARE(QString::fromStdString(FormatTime(Rec(1).Time)), QString("23:00:00"));
}

void TestLqdReader::textFields_data() {
    QTest::addColumn<bool>("threeChannel");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("serial");
    QTest::newRow("WS56 12 bytes whole")
        << true << QByteArray("ABCDEFGHIJKL") << "Pc56-ABCDEFGHIJKL";
    QTest::newRow("WS56 cut at 12") << true << QByteArray("ABCDEFGHIJKLMN") << "Pc56-ABCDEFGHIJKL";
    QTest::newRow("WS31 13 bytes whole")
        << false << QByteArray("ABCDEFGHIJKLM") << "MV31-ABCDEFGHIJKLM";
    QTest::newRow("WS56 empty") << true << QByteArray() << "Pc56-";
    QTest::newRow("WS31 empty") << false << QByteArray() << "MV31-";
    QTest::newRow("bytes after zero ignored") << true << QByteArray("AB\0CD", 5) << "Pc56-AB";
    QTest::newRow("UTF-8 kept") << true << QByteArray("Gr\xC3\xBC\xC3\x9F") << "Pc56-Grüß";
    QTest::newRow("invalid UTF-8 replaced") << true
                                            << QByteArray("A\xFF"
                                                          "B\xC3")
                                            << "Pc56-A\uFFFDB\uFFFD";
    QTest::newRow("overlong and surrogate")
        << false << QByteArray("\xC0\xAF\xED\xA0\x80") << "MV31-\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD";
    QTest::newRow("truncated sequence") << false << QByteArray("\xE2\x82Z") << "MV31-\uFFFDZ";
}

void TestLqdReader::textFields() {
    QFETCH(bool, threeChannel);
    QFETCH(QByteArray, raw);
    const std::string s = raw.toStdString();
    QCOMPARE(Read(threeChannel ? Ws56File().Serial(s).Bytes() : Ws31File().Serial(s).Bytes()),
             ReadResult::Success);
    QFETCH(QString, serial);
    QCOMPARE(QString::fromStdString(store.SerialNo), serial);
}

void TestLqdReader::invalidDatesThrow_data() {
    QTest::addColumn<Bytes>("bytes");
    QTest::newRow("WS56 month 13")
        << Ws56File().RawStart({0x21, 0x13, 0x01, 0, 0, 0}).Record(1).Bytes();
    QTest::newRow("WS56 hour 24") << Ws56File().RawStart({0x21, 0x01, 0x01, 0x24, 0, 0}).Bytes();
    QTest::newRow("WS56 day 0xA1 = 101")
        << Ws56File().RawStart({0x21, 0x01, 0xA1, 0, 0, 0}).Bytes();
    QTest::newRow("WS31 30 February") << Ws31File().RawStart({0x21, 0x02, 0x30, 0, 0, 0}).Bytes();
    QTest::newRow("WS31 stamp minute 60")
        << Ws31File().Stamped(10, 0, 0).RawStamped({0, 0x60, 0x10, 0}).Bytes();
}

void TestLqdReader::invalidDatesThrow() {
    QFETCH(Bytes, bytes);
    QVERIFY_THROWS_EXCEPTION(ConvertError, Read(bytes));
}

void TestLqdReader::capacity_data() {
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<ReadResult>("result");
    QTest::newRow("WS56 counter jump by millions")
        << Ws56File().Record(0).Record(3000000).Bytes() << ReadResult::StoreFull;
    QTest::newRow("WS56 exactly full")
        << Ws56File().Record(0).Record(SAMPLE_CAPACITY - 1).Bytes() << ReadResult::Success;
    QTest::newRow("WS56 one record more")
        << Ws56File().Record(0).Record(SAMPLE_CAPACITY - 1).Record(SAMPLE_CAPACITY).Bytes()
        << ReadResult::StoreFull;
    QTest::newRow("WS31 exactly full")
        << Ws31File().Untimed(SAMPLE_CAPACITY).Bytes() << ReadResult::Success;
    QTest::newRow("WS31 one record more")
        << Ws31File().Untimed(SAMPLE_CAPACITY + 1).Bytes() << ReadResult::StoreFull;
    QTest::newRow("WS31 fillers past the end")
        << Ws31File()
               .Start(2021, 6, 1, 12, 0, 0)
               .Stamped(11, 59, 59) // next day: a day of fillers each time it follows 12:00:01
               .Stamped(12, 0, 1)
               .Stamped(11, 59, 59)
               .Stamped(12, 0, 1)
               .Stamped(11, 59, 59)
               .Stamped(12, 0, 1)
               .Stamped(11, 59, 59)
               .Bytes()
        << ReadResult::StoreFull;
}

void TestLqdReader::capacity() {
    QFETCH(Bytes, bytes);
    QFETCH(ReadResult, result);
    QCOMPARE(Read(bytes), result);
    QCOMPARE(store.DataCount, SAMPLE_CAPACITY);
    QCOMPARE(Rec(SAMPLE_CAPACITY - 1).Seq - Rec(0).Seq, SAMPLE_CAPACITY - 1);
}

void TestLqdReader::fewSystemReads() {
    // The reader asks for 2 to 16 bytes at a time; the file system sees 64 KiB reads.
    const std::string path = files.Write("big.lqd", Ws56File().Records(0, 20000).Bytes()); // ~1 MB
    InputFile file(path);
    ByteSource src(file.Descriptor());
    QCOMPARE(ReadLQDfile(src, store), ReadResult::Success);
    QCOMPARE(store.DataCount, 20000);
    QVERIFY2(src.SystemReads() <= 20, qPrintable(QString::number(src.SystemReads())));
}

QTEST_APPLESS_MAIN(TestLqdReader)
#include "tst_lqd_reader.moc"

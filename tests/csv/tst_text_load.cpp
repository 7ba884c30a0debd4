// The text recording load loop: fillers, replacements, the failure table, the store limit.

#include "loading/load.h"
#include "recording/datetime.h"
#include "support/exact.h"
#include "support/test_files.h"
#include "support/text_builder.h"

#include <QTest>

using namespace tesmora;
using namespace tesmora::test;

Q_DECLARE_METATYPE(std::vector<LoadMessage>)

namespace {

const double kSecond = 1000.0 / 86400000.0;

std::string Rows(const QList<QByteArray>& rows, TextRecording rec) {
    for (const QByteArray& r : rows) rec.Row(r.toStdString());
    return rec.Text();
}

} // namespace

class TestTextLoad : public QObject {
    Q_OBJECT
    RecordingStore store;
    TestFiles files;

    LoadOutcome Load(const std::string& text, const std::string& name = "rec.csv") {
        return LoadRecording(store, files.Write(name, text));
    }
    const SampleRecord& Rec(int j) const { return store.SampleBuff[j]; }

private slots:
    void gapsAndReplacements_data();
    void gapsAndReplacements();
    void endings_data();
    void endings();
    void modelsLoad();
    void conversionErrorDiscardsTheLoad();
    void storeFull_data();
    void storeFull();
    void twoDaysOfRows();
    void fillersAfterMidnightCarryTheDay();
    void fuzzFindings();
    void binaryGarbageAsText();
};

void TestTextLoad::gapsAndReplacements_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<QList<QByteArray>>("rows");
    QTest::addColumn<QList<double>>("seconds"); // Time of each record
    QTest::addColumn<QList<int>>("filled");     // records marked STS_FILLED
    const QByteArray v = ",, 0.1234,-0.0500, 0.0734, 65.43";
    QTest::newRow("1000 ms gap") << 1000
                                 << QList<QByteArray>{"00:00:00,7" + v, "00:00:01,8" + v,
                                                      "00:00:04,9" + v}
                                 << QList<double>{0, 1, 2, 3, 4} << QList<int>{};
    QTest::newRow("500 ms same seconds")
        << 500
        << QList<QByteArray>{"00:00:00,0" + v, "00:00:00,1" + v, "00:00:01,2" + v, "00:00:01,3" + v}
        << QList<double>{0, 0, 1, 1} << QList<int>{};
    QTest::newRow("500 ms gap") << 500 << QList<QByteArray>{"00:00:00,0" + v, "00:00:02,1" + v}
                                << QList<double>{0, 0.5, 1, 1.5, 2} << QList<int>{};
    QTest::newRow("bad row replaced")
        << 1000 << QList<QByteArray>{"00:00:00,0" + v, "00:00:01,0", "00:00:02,2" + v}
        << QList<double>{0, 0, 1, 2} << QList<int>{1, 2};
    QTest::newRow("rows going back")
        << 1000 << QList<QByteArray>{"00:00:05,0" + v, "00:00:02,1" + v} << QList<double>{5, 2}
        << QList<int>{};
}

void TestTextLoad::gapsAndReplacements() {
    QFETCH(int, rate);
    QFETCH(QList<QByteArray>, rows);
    QFETCH(QList<double>, seconds);
    QFETCH(QList<int>, filled);
    const LoadOutcome o = Load(Rows(rows, TextRecording::MV31(rate)));
    QVERIFY(o.messages.empty() && !o.error);
    QCOMPARE(store.DataCount, int(seconds.size()));
    for (int j = 0; j < seconds.size(); ++j) {
        QVERIFY2(qAbs(Rec(j).Time - seconds[j] * kSecond) < 1e-12, qPrintable(QString::number(j)));
        QCOMPARE(Rec(j).Seq, j);
        QCOMPARE(bool(Rec(j).Ch[0].Status & STS_FILLED), filled.contains(j));
        QCOMPARE_EXACT(Rec(j).Ch[0].OXHb, 0.1234f);
    }
}

void TestTextLoad::endings_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<std::vector<LoadMessage>>("messages");
    QTest::addColumn<int>("count");
    const std::vector<LoadMessage> none, bad{LoadMessage::DataFormatError};
    const TextRecording rec = TextRecording::MV31();
    auto with = [&](int k, const char* line) {
        return QByteArray::fromStdString(TextRecording(rec).Head(k, line).Rows(3).Text());
    };
    QTest::newRow("valid") << QByteArray::fromStdString(TextRecording(rec).Rows(3).Text()) << none
                           << 3;
    QTest::newRow("bad header") << with(0, "S/N,MV31-1,RATE,400") << bad << 0;
    QTest::newRow("bad start line") << with(1, "START") << bad << 0;
    QTest::newRow("bad end line") << with(2, "FINISH 2021/06/01 10:30:00") << bad << 0;
    QTest::newRow("bad channel line") << with(3, ",,CH1,CH2") << bad << 0;
    QTest::newRow("bad title line") << with(4, "TIME,SEQ") << bad << 0;
    QTest::newRow("first line not S/N") << with(0, "HELLO,x,y,z") << bad << 0;
    QTest::newRow("only a line that is not S/N") << QByteArray("HELLO,x,y,z\r\n") << none << 0;
    QTest::newRow("first row bad")
        << QByteArray::fromStdString(TextRecording(rec).Row("00:00:00,0").Rows(2).Text()) << bad
        << 0;
    QTest::newRow("second row bad")
        << QByteArray::fromStdString(TextRecording(rec).RowAt(0).Row("junk").Text()) << none << 2;
    QTest::newRow("head only") << QByteArray::fromStdString(TextRecording(rec).Text()) << none << 0;
    QTest::newRow("ends in the head")
        << QByteArray("S/N,MV31-1,RATE,500\r\nSTART 2021/06/01 09:30:00\r\n") << none << 0;
    QTest::newRow("empty line in the head")
        << QByteArray("S/N,MV31-1,RATE,500\r\n\r\nSTART 2021/06/01 09:30:00\r\n") << none << 0;
    QTest::newRow("empty line ends the rows")
        << QByteArray::fromStdString(TextRecording(rec).Rows(2).Row("").Rows(3).Text()) << none
        << 2;
    QTest::newRow("last row without LF")
        << QByteArray::fromStdString(TextRecording(rec).Rows(3).Text("\r\n", false)) << none << 2;
    QTest::newRow("LF only line ends")
        << QByteArray::fromStdString(TextRecording(rec).Rows(3).Text("\n")) << none << 3;
    QTest::newRow("overlong row ends")
        << QByteArray::fromStdString(
               TextRecording(rec).Rows(1).Row(std::string(600, '0')).Rows(1).Text())
        << none << 1;
    QTest::newRow("empty file") << QByteArray() << none << 0;
}

void TestTextLoad::endings() {
    QFETCH(QByteArray, text);
    QFETCH(std::vector<LoadMessage>, messages);
    const LoadOutcome o = Load(text.toStdString());
    QVERIFY(!o.binary);
    QVERIFY(!o.error);
    QCOMPARE(o.messages, messages);
    QFETCH(int, count);
    QCOMPARE(store.DataCount, count);
}

void TestTextLoad::modelsLoad() {
    LoadOutcome o = Load(TextRecording::Pc56(1000).Rows(3).Row("00:00:03,0").Text());
    QVERIFY(o.messages.empty() && !o.error);
    QCOMPARE(store.DataType, 4);
    QCOMPARE(store.ChCount, 3);
    QCOMPARE(store.Rate, 1000);
    QCOMPARE(store.SerialNo, std::string("Pc56-0001"));
    QCOMPARE(store.PatientID, std::string("A12"));
    QCOMPARE(store.PatientName, std::string("P12"));
    QCOMPARE_EXACT(store.StartTime, DT(2021, 6, 1, 9, 30, 0, 0));
    QCOMPARE_EXACT(store.EndTime, DT(2021, 6, 1, 10, 30, 0, 0));
    QCOMPARE(store.DataCount, 4);
    QCOMPARE_EXACT(Rec(1).Batt, 3.7f);
    // The replacement is marked on channel 1 only.
    QCOMPARE(Rec(3).Ch[0].Status, STS_FILLED);
    QCOMPARE(Rec(3).Ch[1].Status, std::uint16_t{0});

    o = Load(TextRecording::Pc48().Rows(2).Text(), "rec.TXT");
    QVERIFY(o.messages.empty() && !o.error);
    QCOMPARE(store.DataType, 3);
    QCOMPARE(store.ChCount, 1);
    QCOMPARE_EXACT(Rec(1).Ch[0].Temp, 36.5f);
    QCOMPARE_EXACT(Rec(1).Ch[0].StO2, float(double(65.43f) / 100));
}

void TestTextLoad::conversionErrorDiscardsTheLoad() {
    const LoadOutcome o =
        Load(TextRecording::MV31().Rows(10).Row("00:00:99,1,,1,2,3,4").Rows(2).Text());
    QVERIFY(o.error.has_value());
    QCOMPARE(QString::fromStdString(*o.error), QString("Invalid argument to time encode"));
    QVERIFY(o.messages.empty());
    QCOMPARE(store.DataCount, 0);
}

void TestTextLoad::storeFull_data() {
    QTest::addColumn<QByteArray>("text");
    const std::string v = ",, 0.1234,-0.0500, 0.0734, 65.43";
    QTest::newRow("exactly full") << QByteArray::fromStdString(
        TextRecording::MV31().Rows(SAMPLE_CAPACITY).Text());
    QTest::newRow("more rows") << QByteArray::fromStdString(
        TextRecording::MV31().Rows(SAMPLE_CAPACITY + 10).Text());
    // A day of fillers each time 23:59:59 follows an earlier time; the third runs out of room.
    TextRecording gaps = TextRecording::MV31();
    for (int k = 0; k < 3; ++k) gaps.Row("00:00:00,0" + v).Row("23:59:59,0" + v);
    QTest::newRow("fillers past the end")
        << QByteArray::fromStdString(gaps.Row("23:59:59,0" + v).Text());
    // Every record but a replaced one moves the expected time on by one interval, so two
    // replaced rows put the last filler of the second day's gap exactly on the capacity: the
    // row that needed the gap filled has no room left.
    TextRecording exact = TextRecording::MV31();
    exact.Row("00:00:00,0" + v).Row("junk").Row("junk");
    exact.Row("23:59:59,0" + v).Row("00:00:00,0" + v).Row("23:59:59,0" + v);
    QTest::newRow("fillers end on the capacity") << QByteArray::fromStdString(exact.Text());
    QTest::newRow("fillers end on the capacity, rows after")
        << QByteArray::fromStdString(exact.Rows(20).Text());
}

void TestTextLoad::storeFull() {
    QFETCH(QByteArray, text);
    const LoadOutcome o = Load(text.toStdString());
    QCOMPARE(o.messages, std::vector<LoadMessage>{LoadMessage::StoreFull});
    QCOMPARE(store.DataCount, SAMPLE_CAPACITY);
    QCOMPARE(Rec(SAMPLE_CAPACITY - 1).Seq, SAMPLE_CAPACITY - 1);
}

void TestTextLoad::twoDaysOfRows() {
    // TIME is a time of day: it starts again at 00:00:00, and no fillers appear at midnight.
    const LoadOutcome o = Load(TextRecording::MV31(1000).Rows(2 * 86400).Text());
    QVERIFY(o.messages.empty() && !o.error);
    QCOMPARE(store.DataCount, 2 * 86400);
    QCOMPARE_EXACT(Rec(86400).Time, 0.0);
    QCOMPARE_EXACT(Rec(86401).Time, kSecond);
}

void TestTextLoad::fillersAfterMidnightCarryTheDay() {
    TextRecording rec = TextRecording::MV31(1000);
    for (int s = 86395; s < 86400; ++s) rec.RowAt(s);
    rec.RowAt(86402); // 00:00:02: the steps 00:00:00 and 00:00:01 are missing
    const LoadOutcome o = Load(rec.Text());
    QVERIFY(o.messages.empty() && !o.error);
    QCOMPARE(store.DataCount, 8);
    // The expected time runs on from the first row, one interval per record: a day ahead of
    // the rows around the fillers.
    double expected = Rec(0).Time;
    for (int j = 1; j <= 6; ++j) {
        expected += EncodeTime(0, 0, 1, 0);
        if (j >= 5) QCOMPARE_EXACT(Rec(j).Time, expected);
    }
    QVERIFY(Rec(6).Time - Rec(7).Time > 0.99); // a day ahead of the row after them
    QCOMPARE_EXACT(Rec(7).Time, 2 * kSecond);
}

void TestTextLoad::fuzzFindings() {
    // The input on which the fillers of a day once ran past the store's end.
    const LoadOutcome o = LoadRecording(store, TESMORA_FUZZ_REGRESSIONS
                                        "/fuzz_csv/fillers_end_on_capacity_across_midnight.csv");
    QCOMPARE(o.messages, std::vector<LoadMessage>{LoadMessage::StoreFull});
    QVERIFY(!o.error);
    QCOMPARE(store.DataCount, SAMPLE_CAPACITY);
}

void TestTextLoad::binaryGarbageAsText() {
    std::string junk;
    std::uint32_t x = 12345;
    for (int k = 0; k < 200000; ++k) {
        x = x * 1103515245u + 12345u;
        junk.push_back(static_cast<char>(x >> 24));
    }
    const LoadOutcome o = Load(junk, "junk.csv");
    QVERIFY(o.opened);
    QCOMPARE(store.DataCount, 0);
}

QTEST_APPLESS_MAIN(TestTextLoad)
#include "tst_text_load.moc"

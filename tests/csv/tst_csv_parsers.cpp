#include "csv/line_buffer.h"
#include "recording/convert_error.h"
#include "recording/datetime.h"
#include "support/exact.h"
#include "support/memory_io.h"

#include <QTest>

using namespace tesmora;
using namespace tesmora::test;

namespace {

// Parses one line as line number ln of a recording of the given kind.
int Parse(RecordingStore& store, const QByteArray& line, int ln, int dataType = 0) {
    MemorySource src(line.toStdString() + "\r\n");
    LINE_BUFF_TYPE lb;
    if (ReadLine(src, lb) < 0) qFatal("line does not read");
    lb.ln = ln;
    if (ln > 0) store.DataType = dataType;
    return GetColumn(lb, store);
}

QString ErrorOf(RecordingStore& store, const QByteArray& line, int ln, int dataType) {
    try {
        Parse(store, line, ln, dataType);
    } catch (const ConvertError& e) {
        return e.what();
    }
    return QString();
}

} // namespace

class TestCsvParsers : public QObject {
    Q_OBJECT
    RecordingStore store;

private slots:
    void header_data();
    void header();
    void headerKeepsOldValuesOnFailure();
    void headerRateNotANumber();
    void dateLines_data();
    void dateLines();
    void dateLineErrors_data();
    void dateLineErrors();
    void channelAndTitleLines_data();
    void channelAndTitleLines();
    void singleChannelRows_data();
    void singleChannelRows();
    void pc48Row();
    void pc56Rows_data();
    void pc56Rows();
    void rowErrors_data();
    void rowErrors();
};

void TestCsvParsers::header_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("dataType");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("name");
    QTest::newRow("MV31") << QByteArray("S/N,MV31-0012,RATE,500") << 0 << 1 << 500 << ""
                          << "";
    QTest::newRow("Pc56 with patient")
        << QByteArray("S/N,Pc56-0001,RATE,1000,ID,A12,NAME,P12") << 0 << 4 << 1000 << "A12"
        << "P12";
    QTest::newRow("name without id")
        << QByteArray("S/N,Pc56-0001,RATE,500,,,NAME,P12") << 0 << 4 << 500 << ""
        << "P12";
    QTest::newRow("empty id") << QByteArray("S/N,Pc56-0001,RATE,500,ID,") << 0 << 4 << 500 << ""
                              << "";
    QTest::newRow("Pc48") << QByteArray("S/N,Pc48-7,RATE,750,extra,fields") << 0 << 3 << 750 << ""
                          << "";
    QTest::newRow("rate 499") << QByteArray("S/N,MV31-1,RATE,499") << 1 << 1 << 777 << ""
                              << "";
    QTest::newRow("rate 1001") << QByteArray("S/N,MV31-1,RATE,1001") << 1 << 1 << 777 << ""
                               << "";
    QTest::newRow("rate one digit") << QByteArray("S/N,MV31-1,RATE,5") << 1 << 1 << 777 << ""
                                    << "";
    QTest::newRow("lower-case tag") << QByteArray("S/N,mv31-1,RATE,500") << 1 << 0 << 500 << ""
                                    << "";
    QTest::newRow("unknown tag") << QByteArray("S/N,XX99-1,RATE,500") << 1 << 0 << 500 << ""
                                 << "";
    QTest::newRow("no RATE") << QByteArray("S/N,MV31-1,RAT,500") << 1 << 1 << 500 << ""
                             << "";
    QTest::newRow("three fields") << QByteArray("S/N,MV31-1,RATE") << 1 << 0 << 777 << ""
                                  << "";
    QTest::newRow("not S/N: accepted, no model")
        << QByteArray("X,MV31-1,RATE,500") << 0 << 0 << 777 << ""
        << "";
}

void TestCsvParsers::header() {
    QFETCH(QByteArray, line);
    QFETCH(int, result);
    QFETCH(int, dataType);
    QFETCH(int, rate);
    QFETCH(QString, id);
    QFETCH(QString, name);
    store.Rate = 777;
    store.DataType = 9;
    QCOMPARE(Parse(store, line, 0), result);
    QCOMPARE(store.DataType, dataType);
    QCOMPARE(store.Rate, rate);
    if (line.startsWith("S/N")) {
        QCOMPARE(QString::fromStdString(store.PatientID), id);
        QCOMPARE(QString::fromStdString(store.PatientName), name);
    }
}

void TestCsvParsers::headerKeepsOldValuesOnFailure() {
    store.SerialNo = "old";
    QCOMPARE(Parse(store, "S/N,M,RATE,500", 0), 1); // a serial number of one character
    QCOMPARE(store.SerialNo, std::string("old"));
    QCOMPARE(Parse(store, "S/N,MV31-0012,RATE,500", 0), 0);
    QCOMPARE(store.SerialNo, std::string("MV31-0012"));
}

void TestCsvParsers::headerRateNotANumber() {
    QCOMPARE(ErrorOf(store, "S/N,MV31-1,RATE,abc", 0, 0),
             QString("'abc' is not a valid integer value for Integer type"));
}

void TestCsvParsers::dateLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("ln");
    QTest::addColumn<int>("result");
    QTest::addColumn<double>("value");
    const double t = DT(2021, 6, 1, 12, 34, 56, 0);
    QTest::newRow("START in field 0") << QByteArray("START 2021/06/01 12:34:56") << 1 << 0 << t;
    QTest::newRow("START in field 1") << QByteArray("START,2021/06/01 12:34:56") << 1 << 0 << t;
    QTest::newRow("START and four commas")
        << QByteArray("START 2021/06/01 12:34:56,,,,") << 1 << 0 << t;
    QTest::newRow("short parts") << QByteArray("START 2021/6/1 1:2:3") << 1 << 0
                                 << DT(2021, 6, 1, 1, 2, 3, 0);
    QTest::newRow("hour without minutes")
        << QByteArray("START 2021/06/01 12") << 1 << 0 << DT(2021, 6, 1, 0, 0, 0, 0);
    QTest::newRow("END in field 0") << QByteArray("END 2021/06/01 12:34:56") << 2 << 0 << t;
    QTest::newRow("END in field 1") << QByteArray("END,2021/06/01 12:34:56") << 2 << 0 << t;
    QTest::newRow("10 characters") << QByteArray("START 2021") << 1 << 1 << -1.0;
    QTest::newRow("field 1 too short") << QByteArray("START,2021/06/01") << 1 << 1 << -1.0;
    QTest::newRow("keyword missing") << QByteArray("BEGIN 2021/06/01 12:34:56") << 1 << 1 << -1.0;
    QTest::newRow("keyword lower-case")
        << QByteArray("start 2021/06/01 12:34:56") << 1 << 1 << -1.0;
    QTest::newRow("END on start line") << QByteArray("END 2021/06/01 12:34:56") << 1 << 1 << -1.0;
    QTest::newRow("year part 65536+2021")
        << QByteArray("START 67557/06/01 12:34:56") << 1 << 0 << t;
}

void TestCsvParsers::dateLines() {
    QFETCH(QByteArray, line);
    QFETCH(int, ln);
    QFETCH(int, result);
    QFETCH(double, value);
    store.StartTime = store.EndTime = -1;
    QCOMPARE(Parse(store, line, ln, 1), result);
    const double got = ln == 1 ? store.StartTime : store.EndTime;
    QCOMPARE(got, value);
}

void TestCsvParsers::dateLineErrors_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("message");
    QTest::newRow("month 13") << QByteArray("START 2021/13/01 12:34:56")
                              << "'2021/13/01 12:34:56' is not a valid date and time";
    QTest::newRow("hour 24") << QByteArray("START 2021/06/01 24:00:00")
                             << "'2021/06/01 24:00:00' is not a valid date and time";
    QTest::newRow("trailing space") << QByteArray("START 2021/06/01 12:34:56 ")
                                    << "'56 ' is not a valid integer value for Integer type";
    // The scan stops at the missing space: the day stays 0.
    QTest::newRow("date only") << QByteArray("START 2021/06/01")
                               << "'2021/06/00 00:00:00' is not a valid date and time";
    QTest::newRow("letters") << QByteArray("START 2021/0x/01 12:34:56")
                             << "'0x' is not a valid integer value for Integer type";
}

void TestCsvParsers::dateLineErrors() {
    QFETCH(QByteArray, line);
    QFETCH(QString, message);
    QCOMPARE(ErrorOf(store, line, 1, 4), message);
}

void TestCsvParsers::channelAndTitleLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("ln");
    QTest::addColumn<int>("dataType");
    QTest::addColumn<int>("result");
    QTest::newRow("MV31 marks") << QByteArray(",,CH1") << 3 << 1 << 0;
    QTest::newRow("Pc56 marks") << QByteArray(",,,CH1,,,,,CH2,,,,,CH3") << 3 << 4 << 0;
    QTest::newRow("Pc56 one mark") << QByteArray(",,CH1") << 3 << 4 << 1;
    QTest::newRow("Pc48 two marks") << QByteArray("CH1,CH2") << 3 << 3 << 1;
    QTest::newRow("mark at the line end") << QByteArray("x,C") << 3 << 1 << 1;
    QTest::newRow("CH prefix counts") << QByteArray("CHANNEL") << 3 << 1 << 0;
    QTest::newRow("MV31 titles") << QByteArray("TIME,SEQ,ERROR,OXHb,DXHb,TOHb,Sto2") << 4 << 1 << 0;
    QTest::newRow("MV31 six titles") << QByteArray("TIME,SEQ,ERROR,OXHb,DXHb,TOHb") << 4 << 1 << 1;
    QTest::newRow("titles are not checked") << QByteArray("TIME,a,b,c,d,e,f") << 4 << 1 << 0;
    QTest::newRow("not TIME") << QByteArray("Time,SEQ,ERROR,OXHb,DXHb,TOHb,Sto2") << 4 << 1 << 1;
    QTest::newRow("Pc48 nine") << QByteArray("TIME,1,2,3,4,5,6,7,8") << 4 << 3 << 0;
    QTest::newRow("Pc48 eight") << QByteArray("TIME,1,2,3,4,5,6,7") << 4 << 3 << 1;
    QTest::newRow("Pc56 seventeen") << QByteArray("TIME,,,,,,,,,,,,,,,,") << 4 << 4 << 1;
    QTest::newRow("no model selected") << QByteArray(",,CH1") << 3 << 0 << 1;
}

void TestCsvParsers::channelAndTitleLines() {
    QFETCH(QByteArray, line);
    QFETCH(int, ln);
    QFETCH(int, dataType);
    QFETCH(int, result);
    store.ChCount = 9;
    QCOMPARE(Parse(store, line, ln, dataType), result);
    if (ln == 3) QCOMPARE(store.ChCount, result == 0 ? (dataType == 4 ? 3 : 1) : 9);
}

void TestCsvParsers::singleChannelRows_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("status");
    QTest::addColumn<QList<float>>("values");
    QTest::newRow("valid") << QByteArray("00:00:01,5,,0.1,0.2,0.3,65.5") << 0
                           << QList<float>{0.1f, 0.2f, 0.3f, float(65.5 / 100)};
    QTest::newRow("P") << QByteArray("00:00:01,5,P,,,,") << int(STS_P) << QList<float>{0, 0, 0, 0};
    QTest::newRow("PAUSE") << QByteArray("00:00:01,5,PAUSE,,,,") << int(STS_P)
                           << QList<float>{0, 0, 0, 0};
    QTest::newRow("E") << QByteArray("00:00:01,5,E, 0.0000, 0.0000, 0.0000,  0.00") << int(STS_E)
                       << QList<float>{0, 0, 0, 0};
    QTest::newRow("padded values")
        << QByteArray("00:00:01,5,, 0.1234,-0.0500, 0.0734, 65.43") << 0
        << QList<float>{0.1234f, -0.05f, 0.0734f, float(double(65.43f) / 100)};
    QTest::newRow("more fields") << QByteArray("00:00:01,5,,1,2,3,4,x,y") << 0
                                 << QList<float>{1, 2, 3, float(4.0 / 100)};
}

void TestCsvParsers::singleChannelRows() {
    QFETCH(QByteArray, line);
    QFETCH(int, status);
    QFETCH(QList<float>, values);
    QCOMPARE(Parse(store, line, 5, 1), 0);
    const SampleRecord& r = store.RowBuff;
    QCOMPARE_EXACT(r.Time, 1000.0 / 86400000.0);
    QCOMPARE(r.Seq, 5);
    QCOMPARE(int(r.Ch[0].Status), status);
    QCOMPARE_EXACT(r.Ch[0].OXHb, values[0]);
    QCOMPARE_EXACT(r.Ch[0].DXHb, values[1]);
    QCOMPARE_EXACT(r.Ch[0].TOHb, values[2]);
    QCOMPARE_EXACT(r.Ch[0].StO2, values[3]);
}

void TestCsvParsers::pc48Row() {
    store.RowBuff.Batt = 1.25f;
    QCOMPARE(Parse(store, "01:02:03,9,ignored,36.6,P,1,2,3,50", 5, 3), 0);
    const SampleRecord& r = store.RowBuff;
    QCOMPARE_EXACT(r.Time, EncodeTime(1, 2, 3, 0));
    QCOMPARE_EXACT(r.Ch[0].Temp, 36.6f);
    QCOMPARE(r.Ch[0].Status, STS_P);
    QCOMPARE_EXACT(r.Ch[0].StO2, 0.5f);
    QCOMPARE_EXACT(r.Batt, 1.25f); // not a field of this model: left as it was
    QCOMPARE(Parse(store, "01:02:03,9,x,36.6,E,1,2,3", 5, 3), 1);
    QCOMPARE(ErrorOf(store, "01:02:03,9,x,,,1,2,3,4", 5, 3),
             QString("'' is not a valid floating point value for Single type"));
}

void TestCsvParsers::pc56Rows_data() {
    QTest::addColumn<QByteArray>("block"); // channel 2's five fields
    QTest::addColumn<int>("status");
    QTest::addColumn<float>("oxhb");
    QTest::newRow("valid") << QByteArray(", 0.5,1,2,60") << 0 << 0.5f;
    QTest::newRow("five empty") << QByteArray(",,,,") << int(STS_NOCODE | STS_E) << 0.0f;
    QTest::newRow("P and four empty") << QByteArray("P,,,,") << int(STS_NOCODE | STS_E) << 0.0f;
    QTest::newRow("P with values") << QByteArray("P,0.5,1,2,60") << int(STS_E) << 0.5f;
    QTest::newRow("E with values") << QByteArray("E,0.5,1,2,60") << int(STS_E) << 0.5f;
    QTest::newRow("one value") << QByteArray(",,,2,") << 0 << 0.0f;
}

void TestCsvParsers::pc56Rows() {
    QFETCH(QByteArray, block);
    QFETCH(int, status);
    QFETCH(float, oxhb);
    store.ChCount = 3;
    QCOMPARE(Parse(store, "00:00:00,0,3.74,,1,2,3,40,,1,2,3,40," + block, 5, 4), 0);
    const SampleRecord& r = store.RowBuff;
    QCOMPARE_EXACT(r.Batt, 3.74f);
    QCOMPARE(int(r.Ch[0].Status), 0);
    QCOMPARE_EXACT(r.Ch[1].StO2, 0.4f);
    QCOMPARE(int(r.Ch[2].Status), status);
    QCOMPARE_EXACT(r.Ch[2].OXHb, oxhb);
}

void TestCsvParsers::rowErrors_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("dataType");
    QTest::addColumn<QString>("message"); // empty: the row is rejected with result 1
    QTest::newRow("six fields") << QByteArray("00:00:01,5,,1,2,3") << 1 << "";
    QTest::newRow("Pc56 seventeen fields") << QByteArray("00:00:00,0,3.7,,,,,,,,,,,,,,") << 4 << "";
    QTest::newRow("hour 24") << QByteArray("24:00:00,0,,1,2,3,4") << 1
                             << "Invalid argument to time encode";
    QTest::newRow("minute 60") << QByteArray("00:60:00,0,,1,2,3,4") << 1
                               << "Invalid argument to time encode";
    QTest::newRow("second 60") << QByteArray("00:00:60,0,,1,2,3,4") << 1
                               << "Invalid argument to time encode";
    QTest::newRow("hour 65536 is 0") << QByteArray("65536:00:01,5,,1,2,3,4") << 1 << "ok";
    QTest::newRow("hour -1 is 65535")
        << QByteArray("-1:00:00,0,,1,2,3,4") << 1 << "Invalid argument to time encode";
    QTest::newRow("bad seq") << QByteArray("00:00:01,x,,1,2,3,4") << 1
                             << "'x' is not a valid integer value for Integer type";
    QTest::newRow("bad value") << QByteArray("00:00:01,5,,1,2,abc,4") << 1
                               << "'abc' is not a valid floating point value for Single type";
    QTest::newRow("beyond float") << QByteArray("00:00:01,5,,1e39,2,3,4") << 1
                                  << "'1e39' is not a valid floating point value for Single type";
    QTest::newRow("empty battery") << QByteArray("00:00:00,0,,,1,2,3,40,,1,2,3,40,,1,2,3,40") << 4
                                   << "'' is not a valid floating point value for Single type";
    QTest::newRow("no model") << QByteArray("00:00:01,5,,1,2,3,4") << 0 << "";
}

void TestCsvParsers::rowErrors() {
    QFETCH(QByteArray, line);
    QFETCH(int, dataType);
    QFETCH(QString, message);
    store.ChCount = 3;
    if (message.isEmpty()) {
        QCOMPARE(Parse(store, line, 5, dataType), 1);
    } else if (message == "ok") {
        QCOMPARE(Parse(store, line, 5, dataType), 0);
        QCOMPARE_EXACT(store.RowBuff.Time, 1000.0 / 86400000.0);
    } else {
        QCOMPARE(ErrorOf(store, line, 5, dataType), message);
    }
}

QTEST_APPLESS_MAIN(TestCsvParsers)
#include "tst_csv_parsers.moc"

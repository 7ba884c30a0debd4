// Runs the real tesmora-convert on built recordings and reads what it wrote.

#include "support/exact.h"
#include "support/recording_builder.h"
#include "support/test_files.h"
#include "support/text_builder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <limits>
#include <sys/stat.h>

using namespace tesmora::test;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

Run Convert(const QStringList& args) {
    QProcess p;
    p.start(TESMORA_CONVERT_EXE, args);
    if (!p.waitForFinished(60000)) qFatal("tesmora-convert did not finish");
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            QString::fromUtf8(p.readAllStandardError())};
}

QList<QJsonObject> JsonLines(const QByteArray& text) {
    QList<QJsonObject> rows;
    for (const QByteArray& line : text.split('\n')) {
        if (line.isEmpty()) continue;
        QJsonParseError e{};
        const QJsonDocument doc = QJsonDocument::fromJson(line, &e);
        if (e.error != QJsonParseError::NoError) qFatal("bad JSON line: %s", line.constData());
        rows.push_back(doc.object());
    }
    return rows;
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

class TestConvert : public QObject {
    Q_OBJECT
    TestFiles files;

private slots:
    void threeChannelToStdout();
    void singleChannelKeys();
    void nonFiniteValuesAreNull();
    void failures_data();
    void failures();
    void existingOutput();
    void defaultOutputAndBatch();
    void storeFullIsAWarning();
    void csvIsTheDefault();
    void textInputs();
    void usage_data();
    void usage();
};

void TestConvert::threeChannelToStdout() {
    const std::string in = files.Write(
        "three.lqd",
        Ws56File()
            .Start(2021, 6, 1, 9, 30, 0)
            .Serial("0001")
            .Patient("A12", "J\xC3\xBCrg \"Q\"")
            .Record(65534, {Values(0.1234f, -0.05f, 0.6543f), Error(), Error(0x0041)}, 3.7f)
            .Record(1)
            .Bytes());
    const Run r = Convert({"--format", "jsonl", "--output", "-", Q(in)});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QString());
    // Header keys in their order, numbers in their shortest form.
    QVERIFY(r.out.startsWith(
        "{\"DataType\":4,\"ChCount\":3,\"DataCount\":4,\"Rate\":500,\"SerialNo\":\"Pc56-0001\","
        "\"PatientID\":\"A12\",\"PatientName\":\"J\xC3\xBCrg "
        "\\\"Q\\\"\",\"StartTime\":44348.395833333336,"));
    QVERIFY(r.out.contains(
        "\n{\"Time\":0,\"Seq\":65534,\"Batt\":3.7,\"Ch\":[{\"Status\":0,\"OXHb\":0.1234,"
        "\"DXHb\":-0.05,\"TOHb\":"));
    QVERIFY(r.out.contains(",\"StO2\":0.6543},{\"Status\":16448,\"OXHb\":0,"));
    const QList<QJsonObject> rows = JsonLines(r.out);
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows[0]["PatientName"].toString(), QString("Jürg \"Q\""));
    const int seqs[] = {65534, 65535, 65536, 65537}; // two fillers across the wrap
    double time = 0;
    for (int j = 0; j < 4; ++j) {
        const QJsonObject rec = rows[j + 1];
        QCOMPARE_EXACT(rec["Time"].toDouble(), time);
        time += 500.0 / 86400000.0;
        QCOMPARE(rec["Seq"].toInt(), seqs[j]);
        QCOMPARE(rec["Ch"].toArray().size(), 3);
        QVERIFY(!rec["Ch"].toArray()[0].toObject().contains("Temp"));
    }
    QCOMPARE(rows[2]["Ch"].toArray()[2].toObject()["Status"].toInt(),
             0x0041); // filler copies status
    QCOMPARE_EXACT(float(rows[2]["Batt"].toDouble()), 3.7f);
}

void TestConvert::singleChannelKeys() {
    const std::string in = files.Write(
        "one.lqd", Ws31File().Stamped(10, 0, 0).Untimed().Stamped(10, 0, 3, 0x80).Bytes());
    const Run r = Convert({"--format", "jsonl", "--output", "-", Q(in)});
    QCOMPARE(r.exitCode, 0);
    const QList<QJsonObject> rows = JsonLines(r.out);
    QCOMPARE(rows[0]["DataType"].toInt(), 1);
    QCOMPARE(rows[0]["ChCount"].toInt(), 1);
    QCOMPARE(rows[0]["PatientID"].toString(), QString());
    QCOMPARE(rows.size() - 1, rows[0]["DataCount"].toInt());
    QVERIFY(rows.size() >= 7);
    for (int j = 1; j < rows.size(); ++j) {
        QVERIFY(!rows[j].contains("Batt"));
        QCOMPARE(rows[j]["Seq"].toInt(), j - 1);
        QCOMPARE(rows[j]["Ch"].toArray().size(), 1);
    }
    QCOMPARE(rows[3]["Ch"].toArray()[0].toObject()["Status"].toInt(), 0x0040); // an E filler
}

void TestConvert::nonFiniteValuesAreNull() {
    const float inf = std::numeric_limits<float>::infinity();
    const std::string in = files.Write(
        "nan.lqd", Ws56File()
                       .Record(1, {Values(std::numeric_limits<float>::quiet_NaN(), 1, 0.5f),
                                   Values(inf, inf, -inf), Values(0, -0.0f, 1e-45f)})
                       .Bytes());
    const Run r = Convert({"--format", "jsonl", "--output", "-", Q(in)});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("{\"Status\":0,\"OXHb\":null,\"DXHb\":1,\"TOHb\":null,\"StO2\":0.5}"));
    QVERIFY(
        r.out.contains("{\"Status\":0,\"OXHb\":null,\"DXHb\":null,\"TOHb\":null,\"StO2\":null}"));
    QVERIFY(r.out.contains("{\"Status\":0,\"OXHb\":0,\"DXHb\":-0,\"TOHb\":0,\"StO2\":1e-45}"));
    JsonLines(r.out);
}

void TestConvert::failures_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // empty name: a folder
    QTest::addColumn<QString>("message");
    auto bytes = [](const std::vector<std::uint8_t>& b) {
        return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
    };
    std::vector<std::uint8_t> cut = Ws56File().Records(1, 3).Bytes();
    cut.pop_back();
    QTest::newRow("wrong magic") << "magic.lqd" << QByteArray("WS99 and more")
                                 << "Data format error.";
    QTest::newRow("cut in a channel block") << "cut.lqd" << bytes(cut) << "Data format error.";
    QTest::newRow("empty file") << "empty.lqd" << QByteArray() << "Data format error.";
    QTest::newRow("header only") << "header.lqd" << bytes(Ws56File().Bytes()) << "No samples.";
    QTest::newRow("invalid date")
        << "date.lqd"
        << bytes(Ws56File().RawStart({0x21, 0x13, 0x01, 0x12, 0, 0}).Record(1).Bytes())
        << "'2021/13/01 12:00:00' is not a valid date and time.";
    QTest::newRow("missing file") << "" << QByteArray("missing") << "No such file or directory";
    QTest::newRow("folder") << "" << QByteArray("folder") << "Is a directory";
}

void TestConvert::failures() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    std::string in;
    if (name.isEmpty()) {
        in = files.Path(bytes.toStdString() + ".lqd");
        if (bytes == "folder") QDir().mkpath(Q(in));
    } else {
        in = files.Write(name.toStdString(), std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
    const QString out = Q(files.Path("failed.jsonl"));
    const Run r = Convert({"--output", out, Q(in)});
    QCOMPARE(r.exitCode, 1);
    QFETCH(QString, message);
    QCOMPARE(r.err, Q(in) + ": " + message + "\n");
    QVERIFY(!QFile::exists(out));
    QCOMPARE(QDir(Q(files.Path(""))).entryList(QStringList{"*.tmp*"}, QDir::Hidden | QDir::Files),
             QStringList());
}

void TestConvert::existingOutput() {
    const std::string in = files.Write("rec.lqd", Ws56File().Records(1, 3).Bytes());
    const std::string out = files.Write("rec.jsonl", std::string("precious"));
    Run r = Convert({"--format=jsonl", Q(in)});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err, Q(in) + ": " + Q(out) + " exists (use --force to overwrite)\n");
    QCOMPARE(TestFiles::ReadAll(out).size(), std::size_t{8});
    // A target the user made read-only is not replaced, not even with --force.
    ::chmod(out.c_str(), 0444);
    r = Convert({"--format=jsonl", "--force", Q(in)});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err, Q(in) + ": cannot create " + Q(out) + ": Permission denied\n");
    QCOMPARE(TestFiles::ReadAll(out).size(), std::size_t{8});
    ::chmod(out.c_str(), 0640);
    r = Convert({"--format=jsonl", "--force", Q(in)});
    QCOMPARE(r.exitCode, 0);
    struct stat st {};
    QCOMPARE(::stat(out.c_str(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0640u); // the replaced file's permissions
    QCOMPARE(JsonLines(QByteArray::fromStdString([&] {
                 auto b = TestFiles::ReadAll(out);
                 return std::string(b.begin(), b.end());
             }()))
                 .size(),
             4);
}

void TestConvert::defaultOutputAndBatch() {
    const std::string a = files.Write("batch_a.LQD", Ws56File().Records(1, 2).Bytes());
    const std::string bad = files.Write("batch_bad.lqd", std::string("nonsense"));
    const std::string b = files.Write("batch_b.lqd", Ws31File().Untimed(4).Bytes());
    const Run r = Convert({"--format", "jsonl", Q(a), Q(bad), Q(b)});
    QCOMPARE(r.exitCode, 1); // one input failed, the others converted all the same
    QCOMPARE(r.err, Q(bad) + ": Data format error.\n");
    QVERIFY(QFile::exists(Q(files.Path("batch_a.jsonl"))));
    QVERIFY(!QFile::exists(Q(files.Path("batch_bad.jsonl"))));
    QVERIFY(QFile::exists(Q(files.Path("batch_b.jsonl"))));
    QFile f(Q(files.Path("batch_b.jsonl")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(JsonLines(f.readAll()).size(), 5);
}

void TestConvert::storeFullIsAWarning() {
    const std::string in = files.Write("full.lqd", Ws56File().Record(0).Record(400000).Bytes());
    const Run r = Convert({"--format", "jsonl", "--output", "-", Q(in)});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, Q(in) + ": Unable to read anymore.\n");
    QCOMPARE(r.out.count('\n'), 345601);
}

void TestConvert::csvIsTheDefault() {
    const std::string in =
        files.Write("saved.lqd", Ws31File().Stamped(10, 0, 0, 0, 0.6543f, 0.1234f, -0.05f).Bytes());
    const Run r = Convert({Q(in)});
    QCOMPARE(r.exitCode, 0);
    QFile f(Q(files.Path("saved.csv")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(),
             QByteArray("S/N,MV31-0002,RATE,500\r\nSTART 2021/06/01 10:00:00\r\n"
                        "END 2021/06/01 10:00:00\r\n,,CH1\r\nTIME,SEQ,ERROR,OXHb,DXHb,TOHb,Sto2\r\n"
                        "00:00:00,0,, 0.1234,-0.0500, 0.0734, 65.43\r\n"));
}

void TestConvert::textInputs() {
    const std::string mv31 = files.Write("t.csv", TextRecording::MV31().Rows(3).Text());
    Run r = Convert({"--format", "jsonl", "--output", "-", Q(mv31)});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(JsonLines(r.out).size(), 4);
    // Written back to standard output, a text recording is the same text.
    r = Convert({"--output", "-", Q(mv31)});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.toStdString(), TextRecording::MV31().Rows(3).Text());
    // Pc48 recordings have no text form of their own to be written in.
    const std::string pc48 = files.Write("t48.csv", TextRecording::Pc48().Rows(3).Text());
    r = Convert({"--output", "-", Q(pc48)});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err, Q(pc48) + ": Pc48 recordings cannot be saved as CSV.\n");
    r = Convert({"--format", "jsonl", "--output", "-", Q(pc48)});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("\"Temp\":36.5,"));
}

void TestConvert::usage_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("no input") << QStringList{} << 2;
    QTest::newRow("unknown option") << QStringList{"--fast", "a.lqd"} << 2;
    QTest::newRow("unknown format") << QStringList{"--format", "xml", "a.lqd"} << 2;
    QTest::newRow("output with two inputs") << QStringList{"--output", "x", "a.lqd", "b.lqd"} << 2;
    QTest::newRow("format without value") << QStringList{"a.lqd", "--format"} << 2;
    QTest::newRow("help") << QStringList{"--help"} << 0;
}

void TestConvert::usage() {
    QFETCH(QStringList, args);
    const Run r = Convert(args);
    QFETCH(int, exitCode);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY((r.err + QString::fromUtf8(r.out)).contains("usage: tesmora-convert"));
}

QTEST_GUILESS_MAIN(TestConvert)
#include "tst_convert.moc"

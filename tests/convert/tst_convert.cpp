// Runs the real tesmora-convert on built recordings and reads what it wrote.

#include "analysis/notes.h"
#include "loading/load.h"
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
    void summaryOfBuiltRecording();
    void summaryOfACohort();
    void exportFormats_data();
    void exportFormats();
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
    const QString summary = "--format=summary";
    QTest::newRow("threshold above 100") << QStringList{summary, "--threshold", "101", "a"} << 2;
    QTest::newRow("negative threshold") << QStringList{summary, "--threshold", "-1", "a"} << 2;
    QTest::newRow("threshold nan") << QStringList{summary, "--threshold", "nan", "a"} << 2;
    QTest::newRow("drop not a number") << QStringList{summary, "--drop", "20%", "a"} << 2;
    QTest::newRow("drop without value") << QStringList{summary, "a", "--drop"} << 2;
    QTest::newRow("negative merge gap") << QStringList{summary, "--merge-gap", "-1", "a"} << 2;
    QTest::newRow("threshold and drop")
        << QStringList{summary, "--threshold", "50", "--drop", "20", "a"} << 2;
    QTest::newRow("analysis option with jsonl")
        << QStringList{"--format=jsonl", "--min-episode", "15", "a"} << 2;
}

void TestConvert::usage() {
    QFETCH(QStringList, args);
    const Run r = Convert(args);
    QFETCH(int, exitCode);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY((r.err + QString::fromUtf8(r.out)).contains("usage: tesmora-convert"));
}

namespace {

// 80 samples at 500 ms (40 s). CH1: 75 % for 20 s, 37.5 % for 15 s, 75 % for 5 s. CH2: all
// errors. CH3: 62.5 % but for one sample of 25 % at 25 s. The values are exact in binary.
std::string BuiltForSummary(TestFiles& files, const std::string& name) {
    Ws56File f;
    for (std::uint32_t k = 0; k < 80; ++k)
        f.Record(k, {Values(0.1f, 0.2f, k >= 40 && k < 70 ? 0.375f : 0.75f), Error(),
                     Values(0.1f, 0.2f, k == 50 ? 0.25f : 0.625f)});
    return files.Write(name, f.Bytes());
}

} // namespace

void TestConvert::summaryOfBuiltRecording() {
    const std::string in = BuiltForSummary(files, "summary.lqd");
    const QByteArray header = "File,Channel,ValidMinutes,Baseline,Threshold,Episodes,MinutesBelow,"
                              "PercentBelow,Area,Nadir,NadirTime,Mean,Min,Max\r\n";
    // Below 50 %, the baseline over the whole (under 5 minutes) recording.
    // CH1: 80 x 500 ms = 2/3 min (0.6666666666666666 as 80 x (500 / 60000)); the mean and the
    // baseline are (50 x 75 + 30 x 37.5) / 80 = 60.9375; one episode of 30 samples = 15 s,
    // 0.25 min, 37.5 % of the valid time; its area adds 12.5 x (1/120) thirty times, which in
    // doubles comes to 3.124999999999999, not 3.125; its nadir lies at 40 x 0.5 s = 20 s.
    // CH2: nothing valid: 0 minutes, no baseline, no episode; percent, nadir, mean empty.
    // CH3: the single sample below is 0.5 s, shorter than 15 s: no episode; the mean is
    // (79 x 62.5 + 25) / 80 = 62.03125.
    Run r = Convert({"--format", "summary", Q(in)});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QString());
    const QByteArray file = QByteArray::fromStdString(in);
    QCOMPARE(r.out, header + file +
                        ",1,0.6666666666666666,60.9375,50,1,0.25,37.5,3.124999999999999,37.5,"
                        "20,60.9375,37.5,75\r\n" +
                        file + ",2,0,,50,0,0,,0,,,,,\r\n" + file +
                        ",3,0.6666666666666666,62.03125,50,0,0,0,0,,,62.03125,25,62.5\r\n");
    // 40 % below the baseline of the first 15 s. CH1: 75 -> 45, area 30 x 7.5 / 120 = 1.875.
    // CH2: no baseline, so no threshold and no episode measure at all. CH3: 62.5 -> 37.5.
    r = Convert({"--format=summary", "--drop", "40", "--baseline-minutes", "0.25", Q(in)});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, header + file +
                        ",1,0.6666666666666666,75,45,1,0.25,37.5,1.875,37.5,20,60.9375,37.5,"
                        "75\r\n" +
                        file + ",2,0,,,,,,,,,,,\r\n" + file +
                        ",3,0.6666666666666666,62.5,37.5,0,0,0,0,,,62.03125,25,62.5\r\n");
}

void TestConvert::summaryOfACohort() {
    const std::string a = BuiltForSummary(files, "cohort_a.lqd");
    const std::string bad = files.Write("cohort_bad.lqd", std::string("nonsense"));
    const std::string b = files.Write("cohort, b.csv", TextRecording::MV31().Rows(3).Text());
    const std::string out = files.Path("cohort.csv");
    Run r = Convert({"--format", "summary", "--output", Q(out), Q(a), Q(bad), Q(b)});
    QCOMPARE(r.exitCode, 1); // the failed input gets no row; the others' table is written
    QCOMPARE(r.err, Q(bad) + ": Data format error.\n");
    const std::vector<std::uint8_t> bytes = TestFiles::ReadAll(out);
    const QList<QByteArray> lines =
        QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()))
            .split('\n');
    QCOMPARE(lines.size(), 1 + 3 + 1 + 1); // header, three rows of a, one of b, the end
    QVERIFY(lines[1].startsWith(QByteArray::fromStdString(a) + ",1,"));
    QVERIFY(lines[3].startsWith(QByteArray::fromStdString(a) + ",3,"));
    QVERIFY(lines[4].startsWith("\"" + QByteArray::fromStdString(b) + "\",1,0.025,"));
    QCOMPARE(QDir(Q(files.Path(""))).entryList(QStringList{"*.tmp*"}, QDir::Hidden | QDir::Files),
             QStringList());
    // An existing table is kept unless --force.
    r = Convert({"--format", "summary", "--output", Q(out), Q(a)});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err, "tesmora-convert: " + Q(out) + " exists (use --force to overwrite)\n");
    QCOMPARE(TestFiles::ReadAll(out), bytes);
    r = Convert({"--format", "summary", "--output", Q(out), "--force", Q(a)});
    QCOMPARE(r.exitCode, 0);
    const std::vector<std::uint8_t> forced = TestFiles::ReadAll(out);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(forced.data()), qsizetype(forced.size())),
             lines.mid(0, 4).join('\n') + '\n');
}

void TestConvert::exportFormats_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("magic");
    QTest::addColumn<QString>("reader");
    QTest::newRow("snirf") << "snirf" << QByteArray("\x89HDF\r\n\x1a\n", 8) << "read_raw_snirf";
    QTest::newRow("edf") << "edf" << QByteArray("0       ") << "read_raw_edf";
    QTest::newRow("bdf") << "bdf"
                         << QByteArray("\xff"
                                       "BIOSEMI")
                         << "read_raw_bdf";
}

void TestConvert::exportFormats() {
    QFETCH(QString, format);
    QFETCH(QByteArray, magic);
    QFETCH(QString, reader);
    const std::string in =
        files.Write("export_" + format.toStdString() + ".lqd", Ws56File().Records(1, 40).Bytes());
    // A note in the recording's sidecar goes with the export.
    tesmora::RecordingStore store;
    QVERIFY(tesmora::LoadRecording(store, in).opened);
    std::string error;
    QVERIFY(tesmora::WriteNotes(tesmora::NotesPath(in), tesmora::IdentityOf(store),
                                {{5000, 10, "probe moved"}}, error));
    const QString out = Q(files.Path("export_" + format.toStdString())) + "." + format;
    Run r = Convert({"--format", format, Q(in)});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.exitCode, 0);
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith(magic));
    // The same recording gives the same bytes, a second later too: no clock time goes into the
    // file.
    QTest::qSleep(1100);
    QCOMPARE(Convert({"--format", format, "--force", "--output", out + "2", Q(in)}).exitCode, 0);
    QFile again(out + "2");
    QVERIFY(again.open(QIODevice::ReadOnly));
    QVERIFY(again.readAll() == bytes);
    // MNE reads the samples and the note.
    QProcess p;
    p.start(TESMORA_PYTHON, {"-c",
                             "import sys, mne\n"
                             "raw = getattr(mne.io, sys.argv[1])(sys.argv[2], verbose='error')\n"
                             "a = raw.annotations\n"
                             "print(raw.n_times, [(round(o, 3), d) for o, d in "
                             "zip(a.onset, a.description) if d == 'probe moved'])\n",
                             reader, out});
    QVERIFY(p.waitForFinished(120000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()).trimmed(),
             QString("40 [(5.0, 'probe moved')]"));
    // Binary files never go to a terminal or a pipe.
    r = Convert({"--format", format, "--output", "-", Q(in)});
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.err.startsWith("tesmora-convert: --format " + format +
                             " cannot go to standard output\n"));
    QVERIFY(r.out.isEmpty());
}

QTEST_GUILESS_MAIN(TestConvert)
#include "tst_convert.moc"

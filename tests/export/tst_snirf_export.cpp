// The SNIRF export of recordings built in code, read back by h5py (every dataset, its type and
// its values, bit for bit) and by MNE-Python's reader (channels, rate, date, annotations).

#include "demo_recordings.h"
#include "export/snirf_writer.h"
#include "loading/load.h"
#include "recording/datetime.h"
#include "recording/system_error.h"
#include "support/exact.h"
#include "support/file_size_limit.h"
#include "support/recording_builder.h"
#include "support/test_files.h"
#include "support/text_builder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <bit>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <sys/resource.h>

using namespace tesmora;
using namespace tesmora::test;

namespace {

const double kNaN = std::numeric_limits<float>::quiet_NaN(); // as the file's floats read

struct Case {
    std::unique_ptr<RecordingStore> store;
    std::vector<ExportEvent> events;
    std::string path;
    QJsonObject dump; // what h5py read
    QJsonObject mne;  // what MNE-Python read
};

QJsonArray RunScript(const char* script, QStringList args) {
    args.prepend(QString(TESMORA_EXPORT_SCRIPTS) + "/" + script);
    QProcess p;
    p.start(TESMORA_PYTHON, args);
    if (!p.waitForFinished(120000)) qFatal("%s did not finish", script);
    const QByteArray err = p.readAllStandardError();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qFatal("%s failed: %s", script, err.constData());
    QJsonParseError e{};
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput(), &e);
    if (e.error != QJsonParseError::NoError) qFatal("%s printed no JSON", script);
    return doc.array();
}

double Bits(const QJsonValue& v) {
    return std::bit_cast<double>(v.toString().toULongLong(nullptr, 16));
}

// Text as valid UTF-8, each ill-formed sequence replaced by U+FFFD (Qt's decoding, not ours).
std::string Valid(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size())).toStdString();
}

std::string Str(const QJsonValue& v) {
    return v.toString().toStdString();
}

// The value the file must hold for a channel quantity: the store's, or NaN when the sample
// is not a measurement.
double Expected(const ChannelData& ch, int k) {
    return ch.Status == 0 ? double{ChannelValue(ch, k)} : kNaN;
}

// The rows a dump holds of a series of n rows: all, or the first two and the last.
std::vector<std::int64_t> DumpedRows(std::int64_t n, bool brief) {
    if (!brief) {
        std::vector<std::int64_t> all(static_cast<std::size_t>(n));
        for (std::int64_t j = 0; j < n; ++j) all[static_cast<std::size_t>(j)] = j;
        return all;
    }
    return {0, 1, n - 1};
}

} // namespace

class TestSnirfExport : public QObject {
    Q_OBJECT
    TestFiles files;
    std::map<QString, Case> cases;
    qint64 fullExportMs = -1;

    Case& Add(const QString& name, std::int32_t capacity = 20000) {
        Case& c = cases[name];
        c.store = std::make_unique<RecordingStore>(capacity);
        return c;
    }
    void Load(Case& c, const std::string& file, const std::vector<std::uint8_t>& bytes) {
        const LoadOutcome o = LoadRecording(*c.store, files.Write(file, bytes));
        if (o.error || c.store->DataCount == 0) qFatal("%s did not load", file.c_str());
    }
    void Export(const QString& name, Case& c) {
        c.path = files.Path(name.toStdString() + ".snirf");
        OutputFile out(c.path, true);
        std::string error;
        QElapsedTimer timer;
        timer.start();
        const bool ok = WriteSnirf(*c.store, c.events, out, error) && out.Commit();
        if (name == "full capacity") fullExportMs = timer.elapsed();
        if (!ok) qFatal("%s: %s", qPrintable(name), error.c_str());
    }

    void CheckDump(const Case& c, bool brief);

private slots:
    void initTestCase();
    void readsBack_data();
    void readsBack();
    void mneReads_data();
    void mneReads();
    void failedWriteLeavesNoFile();
    void refusesWhatCannotBeWritten();
};

void TestSnirfExport::initTestCase() {
    {
        Case& c = Add("three-channel demo");
        const demo::ThreeChannelDemo d = demo::MakeThreeChannelDemo();
        Load(c, "pc56.lqd", lqd::EncodeWs56(d.header, d.records));
        c.events = RecordingEvents(*c.store);
    }
    {
        Case& c = Add("single-channel demo");
        const demo::SingleChannelDemo d = demo::MakeSingleChannelDemo();
        Load(c, "mv31.lqd", lqd::EncodeWs31(d.header, d.records));
        c.events = RecordingEvents(*c.store);
    }
    {
        // Every kind of status on one channel: an error with a code, one without, "P", and a
        // row that did not parse (replaced by the row before); temperature goes to aux.
        Case& c = Add("Pc48 statuses");
        TextRecording t = TextRecording::Pc48(1000);
        t.Rows(4).Row("not a row").RowAt(5, 5).RowAt(6, 6).RowAt(7, 7);
        const std::string text = t.Text();
        Load(c, "pc48.csv", std::vector<std::uint8_t>(text.begin(), text.end()));
        RecordingStore& s = *c.store;
        s.SampleBuff[1].Ch[0].Status = STS_E | 3;
        s.SampleBuff[2].Ch[0].Status = STS_E | STS_NOCODE;
        s.SampleBuff[6].Ch[0].Status = STS_P;
        s.SampleBuff[7].Ch[0].Status = STS_P;
        for (std::int32_t j = 0; j < s.DataCount; ++j)
            s.SampleBuff[j].Ch[0].Temp = 36.0f + 0.1f * j;
        c.events = RecordingEvents(s, {{0, 3, "mark"}});
    }
    {
        Case& c = Add("one sample");
        Load(c, "one.lqd", Ws56File().Records(1, 1).Bytes());
        c.events = RecordingEvents(*c.store);
    }
    {
        // Text that is not UTF-8 (a patient field, a note) arrives as U+FFFD; labels repeat.
        Case& c = Add("patient and notes");
        Load(c, "notes.lqd",
             Ws56File()
                 .Patient("A12", "Doe")
                 .Start(2022, 12, 31, 23, 59, 58)
                 .Records(1, 40)
                 .Bytes());
        c.store->PatientID = "A\xff"
                             "12";
        c.events = RecordingEvents(
            *c.store, {{0, 3, "caf\xc3\xa9"}, {0, 5, "bad \xff"}, {0, 9, "caf\xc3\xa9"}}, 20, 30);
    }
    {
        Case& c = Add("full capacity", SAMPLE_CAPACITY);
        Load(c, "full.lqd", Ws56File().Records(1, SAMPLE_CAPACITY).Bytes());
        c.events = RecordingEvents(*c.store);
    }
    QStringList paths, mnePaths;
    for (auto& [name, c] : cases) {
        Export(name, c);
        if (name != "full capacity") paths << QString::fromStdString(c.path);
        mnePaths << QString::fromStdString(c.path);
    }
    qInfo("full capacity (%d records x 3 channels) exported in %lld ms", SAMPLE_CAPACITY,
          static_cast<long long>(fullExportMs));
    const QJsonArray dumps = RunScript("snirf_dump.py", paths);
    const QJsonArray brief = RunScript(
        "snirf_dump.py", {"--brief", QString::fromStdString(cases["full capacity"].path)});
    const QJsonArray mne = RunScript("snirf_mne.py", mnePaths);
    qsizetype k = 0, m = 0;
    for (auto& [name, c] : cases) {
        c.dump = name == "full capacity" ? brief[0].toObject() : dumps[k++].toObject();
        c.mne = mne[m++].toObject();
    }
}

void TestSnirfExport::readsBack_data() {
    QTest::addColumn<QString>("name");
    for (const auto& [name, c] : cases) QTest::newRow(qPrintable(name)) << name;
}

void TestSnirfExport::CheckDump(const Case& c, bool brief) {
    const RecordingStore& s = *c.store;
    const QJsonObject sets = c.dump["datasets"].toObject();
    const int ch = s.ChCount;
    const std::int64_t n = s.DataCount;
    std::set<QString> seen;
    auto get = [&](const QString& path, const char* type, QList<qint64> shape) -> QJsonArray {
        seen.insert(path);
        const QJsonObject d = sets[path].toObject();
        if (d.isEmpty()) {
            QTest::qFail(qPrintable("missing " + path), __FILE__, __LINE__);
            return {};
        }
        QJsonArray want;
        for (qint64 v : shape) want.append(v);
        if (d["type"].toString() != type || d["shape"].toArray() != want)
            QTest::qFail(
                qPrintable(path + ": " + d["type"].toString() + " " +
                           QJsonDocument(d["shape"].toArray()).toJson(QJsonDocument::Compact)),
                __FILE__, __LINE__);
        return d["values"].toArray();
    };
    auto text = [&](const QString& path, const std::string& want) {
        seen.insert(path);
        const QJsonObject d = sets[path].toObject();
        QCOMPARE(d["type"].toString(), QString("string:utf-8:vlen:nullterm"));
        QCOMPARE(d["shape"].toArray(), QJsonArray());
        QCOMPARE(Str(d["values"]), want);
    };
    auto integer = [&](const QString& path, int want) {
        const QJsonArray v = get(path, "<i4", {});
        QCOMPARE(v.size(), 1);
        QCOMPARE(v[0].toInt(), want);
    };
    auto numbers = [&](const QString& path, const std::vector<double>& want) {
        const QJsonArray v = get(path, "<f8", {qint64(want.size())});
        QCOMPARE(v.size(), qsizetype(want.size()));
        for (qsizetype i = 0; i < v.size(); ++i) QCOMPARE_EXACT(Bits(v[i]), want[std::size_t(i)]);
    };
    const std::vector<std::int64_t> rows = DumpedRows(n, brief);
    // A series of n rows, each row's values from `row`.
    auto series = [&](const QString& path, int cols, auto row) {
        const QJsonArray v = get(path, "<f4", {n, cols});
        QCOMPARE(v.size(), qsizetype(rows.size() * std::size_t(cols)));
        qsizetype i = 0;
        for (std::int64_t j : rows) {
            const std::vector<double> want = row(s.SampleBuff[j]);
            for (double w : want) {
                const double got = Bits(v[i++]);
                if (std::bit_cast<std::uint64_t>(got) != std::bit_cast<std::uint64_t>(w))
                    QFAIL(qPrintable(
                        QString("%1 row %2: %3, expected %4").arg(path).arg(j).arg(got).arg(w)));
            }
        }
    };
    auto time = [&](const QString& path) {
        if (n == 1) return numbers(path, {0.0, s.Rate / 1000.0});
        const QJsonArray v = get(path, "<f8", {n});
        qsizetype i = 0;
        for (std::int64_t j : rows) QCOMPARE_EXACT(Bits(v[i++]), double(j * s.Rate) / 1000.0);
    };

    text("/formatVersion", "1.1");
    const QString tags = "/nirs/metaDataTags/";
    const DateTimeParts p = DecodeDateTime(s.StartTime);
    text(tags + "SubjectID", s.PatientID.empty() ? "unknown" : Valid(s.PatientID));
    text(tags + "MeasurementDate",
         QString::asprintf("%04d-%02d-%02d", p.year, p.month, p.day).toStdString());
    text(tags + "MeasurementTime",
         QString::asprintf("%02d:%02d:%02d", p.hour, p.minute, p.second).toStdString());
    text(tags + "LengthUnit", "mm");
    text(tags + "TimeUnit", "s");
    text(tags + "FrequencyUnit", "Hz");
    text(tags + "Model", ModelTag(s));
    text(tags + "SerialNumber", s.SerialNo);
    if (!s.PatientName.empty()) text(tags + "SubjectName", s.PatientName);
    seen.insert(tags + "ProbeGeometry");
    seen.insert(tags + "DataLayout");
    QVERIFY(sets.contains(tags + "ProbeGeometry") && sets.contains(tags + "DataLayout"));
    if (QTest::currentTestFailed()) return;

    const int quantities[2][2] = {{0, 1}, {2, 3}};
    const char* labels[2][2] = {{"HbO", "HbR"}, {"HbT", "StO2"}};
    for (int b = 0; b < 2; ++b) {
        const QString block = QString("/nirs/data%1/").arg(b + 1);
        series(block + "dataTimeSeries", 2 * ch, [&](const SampleRecord& r) {
            std::vector<double> v;
            for (int k = 0; k < ch; ++k)
                for (int q : quantities[b]) v.push_back(Expected(r.Ch[k], q));
            return v;
        });
        time(block + "time");
        for (int m = 0; m < 2 * ch; ++m) {
            const QString list = block + QString("measurementList%1/").arg(m + 1);
            integer(list + "sourceIndex", m / 2 + 1);
            integer(list + "detectorIndex", m / 2 + 1);
            integer(list + "wavelengthIndex", 1);
            integer(list + "dataType", 99999);
            integer(list + "dataTypeIndex", 1);
            text(list + "dataTypeLabel", labels[b][m % 2]);
        }
        if (QTest::currentTestFailed()) return;
    }

    // One stim group per label in the order the labels first occur, rows in event order.
    std::vector<std::string> names;
    std::map<std::string, std::vector<double>> stim;
    for (const ExportEvent& e : c.events) {
        if (!stim.count(e.label)) names.push_back(e.label);
        auto& d = stim[e.label];
        d.insert(d.end(), {double(e.first * s.Rate) / 1000.0,
                           double((e.last - e.first + 1) * s.Rate) / 1000.0, 1.0});
    }
    for (std::size_t g = 0; g < names.size(); ++g) {
        const QString group = QString("/nirs/stim%1/").arg(g + 1);
        const std::string& label = names[g];
        text(group + "name", Valid(label));
        const std::vector<double>& want = stim[label];
        const QJsonArray v = get(group + "data", "<f8", {qint64(want.size() / 3), 3});
        QCOMPARE(v.size(), qsizetype(want.size()));
        for (qsizetype i = 0; i < v.size(); ++i) QCOMPARE_EXACT(Bits(v[i]), want[std::size_t(i)]);
    }
    QVERIFY(!sets.contains(QString("/nirs/stim%1/name").arg(names.size() + 1)));

    numbers("/nirs/probe/wavelengths", {760.0, 850.0});
    std::vector<double> sources, detectors;
    for (int k = 0; k < ch; ++k) {
        sources.insert(sources.end(), {50.0 * k, 0.0, 0.0});
        detectors.insert(detectors.end(), {50.0 * k, 40.0, 0.0});
    }
    for (auto [path, want] : {std::pair{"/nirs/probe/sourcePos3D", &sources},
                              std::pair{"/nirs/probe/detectorPos3D", &detectors}}) {
        const QJsonArray v = get(path, "<f8", {ch, 3});
        for (qsizetype i = 0; i < v.size(); ++i)
            QCOMPARE_EXACT(Bits(v[i]), (*want)[std::size_t(i)]);
    }

    int aux = 0;
    auto auxGroup = [&](const std::string& name, const std::string& unit, auto value) {
        const QString group = QString("/nirs/aux%1/").arg(++aux);
        text(group + "name", name);
        text(group + "dataUnit", unit);
        series(group + "dataTimeSeries", 1,
               [&](const SampleRecord& r) { return std::vector<double>{value(r)}; });
        time(group + "time");
    };
    if (s.DataType == 4)
        auxGroup("Batt", "V", [](const SampleRecord& r) {
            return (r.Ch[0].Status & STS_FILLED) ? kNaN : double{r.Batt};
        });
    if (s.DataType == 3)
        for (int k = 0; k < ch; ++k)
            auxGroup("CH" + std::to_string(k + 1) + " Temp", "degC", [k](const SampleRecord& r) {
                return r.Ch[k].Status == 0 ? double{r.Ch[k].Temp} : kNaN;
            });
    QVERIFY(!sets.contains(QString("/nirs/aux%1/name").arg(aux + 1)));
    if (QTest::currentTestFailed()) return;

    // Nothing else in the file.
    for (auto it = sets.begin(); it != sets.end(); ++it)
        QVERIFY2(seen.count(it.key()), qPrintable("unexpected " + it.key()));
}

void TestSnirfExport::readsBack() {
    QFETCH(QString, name);
    const Case& c = cases.at(name);
    CheckDump(c, name == "full capacity");
}

void TestSnirfExport::mneReads_data() {
    readsBack_data();
}

void TestSnirfExport::mneReads() {
    QFETCH(QString, name);
    const Case& c = cases.at(name);
    const RecordingStore& s = *c.store;
    const QJsonObject m = c.mne;
    QStringList names, types;
    for (int k = 1; k <= s.ChCount; ++k) {
        names << QString("S%1_D%1 hbo").arg(k) << QString("S%1_D%1 hbr").arg(k);
        types << "hbo"
              << "hbr";
    }
    QCOMPARE(m["ch_names"].toVariant().toStringList(), names);
    QCOMPARE(m["ch_types"].toVariant().toStringList(), types);
    QCOMPARE(m["sfreq"].toDouble(), 1000.0 / s.Rate);
    QCOMPARE(m["n_times"].toInteger(), qint64(s.DataCount));
    const DateTimeParts p = DecodeDateTime(s.StartTime);
    QCOMPARE(m["meas_date"].toString(),
             QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d+00:00", p.year, p.month, p.day,
                               p.hour, p.minute, p.second));
    QCOMPARE(m["subject"].toString(),
             s.PatientID.empty() ? QString("unknown") : QString::fromUtf8(s.PatientID));
    // The annotations are the events, whatever order the reader puts them in.
    std::multiset<std::pair<double, QString>> want, got;
    for (const ExportEvent& e : c.events)
        want.insert({double(e.first * s.Rate) / 1000.0, QString::fromUtf8(e.label)});
    for (const QJsonValue& a : m["annotations"].toArray())
        got.insert({a[0].toDouble(), a[1].toString()});
    QCOMPARE(got.size(), want.size());
    QVERIFY(got == want);
    const QJsonArray first = m["first"].toArray();
    for (int k = 0; k < s.ChCount; ++k) {
        const double hbo = Expected(s.SampleBuff[0].Ch[k], 0),
                     hbr = Expected(s.SampleBuff[0].Ch[k], 1);
        QCOMPARE_EXACT(Bits(first[2 * k]), hbo);
        QCOMPARE_EXACT(Bits(first[2 * k + 1]), hbr);
    }
    // The one warning: it reads data1 only (HbT and StO2 are in data2).
    for (const QJsonValue& w : m["warnings"].toArray())
        QVERIFY2(w.toString().startsWith("File contains multiple recordings"),
                 qPrintable(w.toString()));
    if (name == "three-channel demo")
        qInfo("MNE: %s",
              QJsonDocument(QJsonObject{{"ch_names", m["ch_names"]},
                                        {"sfreq", m["sfreq"]},
                                        {"meas_date", m["meas_date"]},
                                        {"annotations", m["annotations"].toArray().size()},
                                        {"warnings", m["warnings"]}})
                  .toJson(QJsonDocument::Compact)
                  .constData());
}

void TestSnirfExport::failedWriteLeavesNoFile() {
    const Case& c = cases.at("three-channel demo");
    const std::string target = files.Path("limited.snirf");
    std::string error;
    bool written;
    {
        OutputFile out(target, false);
        QVERIFY(out.IsOpen());
        {
            const FileSizeLimit small(100000);
            QVERIFY(small.Set());
            written = WriteSnirf(*c.store, c.events, out, error);
        }
        out.Discard();
    }
    QVERIFY(!written);
    QCOMPARE(error, SystemErrorText(EFBIG));
    QVERIFY(!QFileInfo::exists(QString::fromStdString(target)));
    QCOMPARE(QDir(QString::fromStdString(files.Path("")))
                 .entryList({"limited*", ".limited*"}, QDir::Hidden | QDir::Files),
             QStringList());
}

void TestSnirfExport::refusesWhatCannotBeWritten() {
    RecordingStore empty(4);
    std::vector<std::uint8_t> image{1, 2, 3};
    std::string error;
    QVERIFY(!SnirfImage(empty, {}, image, error));
    QCOMPARE(error, std::string("the recording has no samples"));
    QVERIFY(image.empty());
    empty.Append();
    empty.ChCount = 5;
    QVERIFY(!SnirfImage(empty, {}, image, error));
    QCOMPARE(error, std::string("the recording has no valid channel count"));
    // Through a file: refused before anything is written, nothing left after Discard().
    const std::string target = files.Path("empty.snirf");
    {
        OutputFile out(target, false);
        QVERIFY(!WriteSnirf(empty, {}, out, error));
        out.Discard();
    }
    QVERIFY(!QFileInfo::exists(QString::fromStdString(target)));
}

QTEST_GUILESS_MAIN(TestSnirfExport)
#include "tst_snirf_export.moc"

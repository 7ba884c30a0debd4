// The EDF+ and BDF+ export, read back by EDFlib's own reader and by MNE-Python: every valid
// value within half a quantisation step, every other one at the digital minimum, the
// annotations and the header as written.

#include "analysis/notes.h"
#include "demo_recordings.h"
#include "export/edf_writer.h"
#include "export/events.h"
#include "loading/load.h"
#include "recording/datetime.h"
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
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <edflib.h>
#include <limits>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <tuple>

using namespace tesmora;
using namespace tesmora::test;

Q_DECLARE_METATYPE(EdfKind)

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// What a sample of a signal should read back as: its physical value, or none.
struct Expected {
    bool valid;
    double value;
};

// The store value behind a signal label ("CH2 StO2", "CH1 Temp", "Batt").
Expected ExpectedSample(const RecordingStore& store, const std::string& label, std::int32_t j) {
    const SampleRecord& r = store.SampleBuff[j];
    if (label == "Batt") {
        const double v = r.Batt;
        return {std::isfinite(v) && std::fabs(v) <= 1e6, v};
    }
    const int c = label[2] - '1';
    const std::string q = label.substr(4);
    const ChannelData& ch = r.Ch[c];
    const double v = q == "OXHb"   ? ch.OXHb
                     : q == "DXHb" ? ch.DXHb
                     : q == "TOHb" ? ch.TOHb
                     : q == "StO2" ? double(ch.StO2) * 100
                                   : ch.Temp;
    return {ch.Status == 0 && std::isfinite(v) && std::fabs(v) <= 1e6, v};
}

struct Annotation {
    double onset, duration; // seconds
    // The same in EDFlib's unit of 100 ns, exact.
    long long Onset100ns() const { return std::llround(onset * 1e7); }
    long long Duration100ns() const { return std::llround(duration * 1e7); }
    std::string text;
    bool operator<(const Annotation& o) const {
        return std::tie(onset, text, duration) < std::tie(o.onset, o.text, o.duration);
    }
};

std::vector<Annotation> AsAnnotations(const RecordingStore& store,
                                      const std::vector<ExportEvent>& events) {
    std::vector<Annotation> out;
    for (const ExportEvent& e : events)
        out.push_back(
            {SampleSeconds(store, e.first), SampleSeconds(store, e.last - e.first + 1), e.label});
    std::sort(out.begin(), out.end());
    return out;
}

// A file as EDFlib reads it.
struct EdfRead {
    std::unique_ptr<edf_hdr_struct> hdr = std::make_unique<edf_hdr_struct>();
    std::vector<std::vector<int>> digital;
    std::vector<std::vector<double>> physical;
    std::vector<Annotation> annotations;
    std::vector<std::string> labels;
    double Step(int i) const {
        const edf_param_struct& p = hdr->signalparam[i];
        return (p.phys_max - p.phys_min) / (p.dig_max - p.dig_min);
    }
};

bool ReadEdf(const std::string& path, EdfRead& out, bool samples = true) {
    const int h = edfopen_file_readonly(path.c_str(), out.hdr.get(), EDFLIB_READ_ALL_ANNOTATIONS);
    if (h < 0) return false;
    const int ns = out.hdr->edfsignals;
    for (int i = 0; i < ns; ++i) {
        std::string label = out.hdr->signalparam[i].label;
        while (!label.empty() && label.back() == ' ') label.pop_back();
        out.labels.push_back(label);
        if (!samples) continue;
        const auto n = static_cast<int>(out.hdr->signalparam[i].smp_in_file);
        std::vector<int> d(n);
        std::vector<double> p(n);
        if (edfread_digital_samples(h, i, n, d.data()) != n) return edfclose_file(h), false;
        edfseek(h, i, 0, EDFSEEK_SET);
        if (edfread_physical_samples(h, i, n, p.data()) != n) return edfclose_file(h), false;
        out.digital.push_back(std::move(d));
        out.physical.push_back(std::move(p));
    }
    for (long long k = 0; k < out.hdr->annotations_in_file; ++k) {
        edf_annotation_struct a{};
        edf_get_annotation(h, static_cast<int>(k), &a);
        out.annotations.push_back({double(a.onset) / EDFLIB_TIME_DIMENSION,
                                   a.duration[0] ? std::atof(a.duration) : 0.0, a.annotation});
    }
    std::sort(out.annotations.begin(), out.annotations.end());
    edfclose_file(h);
    return true;
}

bool Export(const RecordingStore& store, const std::vector<ExportEvent>& events, EdfKind kind,
            const std::string& path, std::string& error) {
    OutputFile out(path, true);
    if (!WriteEdf(store, events, kind, out, error)) return false;
    if (!out.Commit()) {
        error = out.Error();
        return false;
    }
    return true;
}

std::vector<std::string> Labels(const RecordingStore& store) {
    std::vector<std::string> labels;
    for (int c = 1; c <= store.ChCount; ++c) {
        for (const char* q : {"OXHb", "DXHb", "TOHb", "StO2"})
            labels.push_back("CH" + std::to_string(c) + " " + q);
        if (store.DataType == 3) labels.push_back("CH" + std::to_string(c) + " Temp");
    }
    if (store.DataType == 4) labels.push_back("Batt");
    return labels;
}

// Every sample of every signal: valid ones within half a step (of the range EDFlib reads
// from the header), the rest and the padding of the last record at the digital minimum.
void CheckSamples(const RecordingStore& store, const EdfRead& f) {
    QCOMPARE(f.labels, Labels(store));
    const std::int32_t n = store.DataCount;
    for (int i = 0; i < f.hdr->edfsignals; ++i) {
        const edf_param_struct& p = f.hdr->signalparam[i];
        const double step = f.Step(i);
        const auto& d = f.digital[i];
        const int spr = p.smp_in_datarecord;
        QCOMPARE(qint64(d.size()), qint64((n + spr - 1) / spr * spr));
        for (std::size_t j = 0; j < d.size(); ++j) {
            const Expected e =
                j < std::size_t(n) ? ExpectedSample(store, f.labels[i], j) : Expected{false, 0};
            if (!e.valid) {
                if (d[j] != p.dig_min)
                    QFAIL(qPrintable(QString("%1 sample %2: %3, not the digital minimum")
                                         .arg(f.labels[i].c_str())
                                         .arg(j)
                                         .arg(d[j])));
                continue;
            }
            if (d[j] <= p.dig_min || d[j] > p.dig_max ||
                std::fabs(f.physical[i][j] - e.value) > step * (0.5 + 1e-6))
                QFAIL(qPrintable(QString("%1 sample %2: %3 read back as %4 (digital %5, step %6)")
                                     .arg(f.labels[i].c_str())
                                     .arg(j)
                                     .arg(e.value, 0, 'g', 17)
                                     .arg(f.physical[i][j], 0, 'g', 17)
                                     .arg(d[j])
                                     .arg(step, 0, 'g', 6)));
        }
    }
}

// The full digital range is used: the valid values span nearly all of it, from just above the
// digital minimum (the header's decimal texts cost a little at either end).
void CheckRangeUse(const RecordingStore& store, const EdfRead& f) {
    for (int i = 0; i < f.hdr->edfsignals; ++i) {
        const edf_param_struct& p = f.hdr->signalparam[i];
        int lo = std::numeric_limits<int>::max(), hi = std::numeric_limits<int>::min();
        for (std::int32_t j = 0; j < store.DataCount; ++j)
            if (ExpectedSample(store, f.labels[i], j).valid) {
                lo = std::min(lo, f.digital[i][j]);
                hi = std::max(hi, f.digital[i][j]);
            }
        if (lo >= hi) continue;
        const double span = double(p.dig_max) - p.dig_min;
        QVERIFY2(lo - p.dig_min <= 0.005 * span && hi - lo >= 0.99 * span, f.labels[i].c_str());
    }
}

bool LoadBytes(RecordingStore& store, TestFiles& files, const std::string& name,
               const std::vector<std::uint8_t>& bytes) {
    const std::string path = files.Write(name, bytes);
    const LoadOutcome o = LoadRecording(store, path);
    return o.opened && !o.error && store.DataCount > 0;
}

// A store filled by hand: n samples of one channel at `rate`, values from j.
void Plain(RecordingStore& store, std::int32_t n, int rate = 500, int channels = 1,
           int dataType = 1) {
    store.DataCount = 0;
    store.ChCount = channels;
    store.DataType = dataType;
    store.Rate = rate;
    store.StartTime = DT(2022, 3, 4, 5, 6, 7, 0);
    store.SerialNo = "MV31-0042";
    store.PatientID.clear();
    store.PatientName.clear();
    for (std::int32_t j = 0; j < n; ++j) {
        SampleRecord* r = store.Append();
        *r = SampleRecord{};
        r->Time = j * rate / 86400000.0;
        r->Seq = j;
        r->Batt = 3.5f + 0.001f * (j % 100);
        for (int c = 0; c < 4; ++c) {
            ChannelData& ch = r->Ch[c];
            ch.OXHb = 0.01f * std::sin(0.01f * j + c);
            ch.DXHb = -0.005f + 0.0001f * (j % 50);
            ch.TOHb = ch.OXHb + ch.DXHb;
            ch.StO2 = 0.6f + 0.1f * std::cos(0.003f * j);
            ch.Temp = 36.0f + 0.01f * (j % 30);
        }
    }
}

} // namespace

class TestEdfExport : public QObject {
    Q_OBJECT
    RecordingStore store{40000};
    TestFiles files;

    std::string Out(EdfKind kind, const std::string& base = "out") {
        return files.Path(base + (kind == EdfKind::Bdf ? ".bdf" : ".edf"));
    }
    // Exports, reads back through EDFlib and checks the samples and the annotations.
    void RoundTrip(const std::vector<ExportEvent>& events, EdfKind kind,
                   const std::vector<ExportEvent>& extra = {}) {
        std::string error;
        const std::string path = Out(kind);
        QVERIFY2(Export(store, events, kind, path, error), error.c_str());
        EdfRead f;
        QVERIFY(ReadEdf(path, f));
        QCOMPARE(f.hdr->filetype,
                 kind == EdfKind::Bdf ? EDFLIB_FILETYPE_BDFPLUS : EDFLIB_FILETYPE_EDFPLUS);
        CheckSamples(store, f);
        if (QTest::currentTestFailed()) return;
        std::vector<ExportEvent> all = events;
        all.insert(all.end(), extra.begin(), extra.end());
        const auto want = AsAnnotations(store, all);
        QCOMPARE(f.annotations.size(), want.size());
        for (std::size_t k = 0; k < want.size(); ++k) {
            QCOMPARE(f.annotations[k].text, want[k].text);
            QCOMPARE(f.annotations[k].Onset100ns(), want[k].Onset100ns());
            QCOMPARE(f.annotations[k].Duration100ns(), want[k].Duration100ns());
        }
    }

private slots:
    void builderRecordings_data();
    void builderRecordings();
    void recordDuration_data();
    void recordDuration();
    void layoutAndHeader();
    void valuesWithoutValue_data();
    void valuesWithoutValue();
    void constantAndEmptySignals();
    void manyAnnotations();
    void annotationTexts();
    void refusals();
    void failedWriteLeavesNothing();
    void fullCapacity();
    void mneReadsTheDemo_data();
    void mneReadsTheDemo();
};

void TestEdfExport::builderRecordings_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<EdfKind>("kind");
    const auto bytes = [](const std::vector<std::uint8_t>& v) {
        return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
    };
    const auto text = [](const TextRecording& t) { return QByteArray::fromStdString(t.Text()); };
    // Skipped counters become fillers; "P" samples, errors with and without a code; a value of
    // 1e30 and an infinite one with a valid status.
    Ws56File ws56;
    ws56.Patient("ID 7", "Jane Doe").Records(0, 20);
    ws56.Record(22, {Values(0.02f, -0.01f, 0.7f, STS_P), Error(0x0043), Error()});
    ws56.Record(23, {Values(1e30f, -0.01f, 0.7f), Values(0.01f, INFINITY, 0.6f), Error()});
    ws56.Records(24, 7);
    Ws31File ws31;
    ws31.Stamped(10, 0, 0).Untimed(9).Stamped(10, 0, 8, 0x80).Untimed(4).Stamped(10, 0, 12);
    TextRecording replaced = TextRecording::MV31(1000);
    replaced.Rows(3).Row(Hms(3) + ",3").RowAt(4, 4);
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"ws56.lqd", bytes(ws56.Bytes())},
        {"ws31.lqd", bytes(ws31.Bytes())},
        {"one.lqd", bytes(Ws56File().Record(0).Bytes())},
        {"mv31.csv", text(TextRecording::MV31().Rows(11))},
        {"pc48.csv", text(TextRecording::Pc48().Rows(9))},
        {"pc56.csv", text(TextRecording::Pc56(1000).Rows(7))},
        {"replaced.csv", text(replaced)},
        {"demo_mv31.lqd", bytes(lqd::EncodeWs31(demo::MakeSingleChannelDemo().header,
                                                demo::MakeSingleChannelDemo().records))},
    };
    for (const auto& [name, file] : cases)
        for (EdfKind kind : {EdfKind::Edf, EdfKind::Bdf})
            QTest::addRow("%s %s", name, kind == EdfKind::Edf ? "edf" : "bdf")
                << file << QString(name) << kind;
}

void TestEdfExport::builderRecordings() {
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(EdfKind, kind);
    QVERIFY(LoadBytes(store, files, name.toStdString(),
                      std::vector<std::uint8_t>(file.begin(), file.end())));
    const std::vector<ExportEvent> events =
        RecordingEvents(store, {Note{0, store.DataCount / 2, "a note"}}, 0, store.DataCount - 1);
    std::vector<ExportEvent> extra;
    if (name == "ws56.lqd") {
        // The two values that fit no EDF header, each a run of its own.
        const std::int32_t j = 23;
        QCOMPARE(store.SampleBuff[j].Ch[0].OXHb, 1e30f);
        extra = {{"CH1 OXHb no value", j, j},
                 {"CH1 TOHb no value", j, j},
                 {"CH2 DXHb no value", j, j},
                 {"CH2 TOHb no value", j, j}};
    }
    RoundTrip(events, kind, extra);
}

void TestEdfExport::recordDuration_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("perRecord");
    QTest::addColumn<qint64>("recordDuration"); // 100 ns
    // Whole samples in a second: one-second records, the last one padded.
    QTest::newRow("500 ms, odd count") << 500 << 7 << 2 << qint64(10000000);
    QTest::newRow("1000 ms") << 1000 << 5 << 1 << qint64(10000000);
    QTest::newRow("250 ms") << 250 << 10 << 4 << qint64(10000000);
    // Else a record per sample.
    QTest::newRow("600 ms") << 600 << 9 << 1 << qint64(6000000);
    QTest::newRow("750 ms") << 750 << 4 << 1 << qint64(7500000);
    QTest::newRow("999 ms") << 999 << 3 << 1 << qint64(9990000);
    QTest::newRow("one sample") << 500 << 1 << 2 << qint64(10000000);
}

void TestEdfExport::recordDuration() {
    QFETCH(int, rate);
    QFETCH(int, count);
    QFETCH(int, perRecord);
    QFETCH(qint64, recordDuration);
    Plain(store, count, rate);
    store.SampleBuff[count - 1].Ch[0].Status = STS_P; // on the last sample before the padding
    const auto events = RecordingEvents(store);
    for (EdfKind kind : {EdfKind::Edf, EdfKind::Bdf}) {
        RoundTrip(events, kind);
        if (QTest::currentTestFailed()) return;
        EdfRead f;
        QVERIFY(ReadEdf(Out(kind), f, false));
        QCOMPARE(f.hdr->signalparam[0].smp_in_datarecord, perRecord);
        QCOMPARE(f.hdr->datarecord_duration, recordDuration);
        QCOMPARE(f.hdr->datarecords_in_file, qint64((count + perRecord - 1) / perRecord));
    }
}

void TestEdfExport::layoutAndHeader() {
    Plain(store, 30, 500, 2, 3);
    store.StartTime = DT(2023, 12, 31, 23, 59, 58, 250);
    store.PatientID = "P 17";
    store.PatientName = "Zoë Müller-Lüdenscheid \u674E\xFF"; // beyond Latin-1, not UTF-8
    store.SerialNo = "Pc48-0003";
    std::string error;
    QVERIFY2(Export(store, {}, EdfKind::Edf, Out(EdfKind::Edf), error), error.c_str());
    EdfRead f;
    QVERIFY(ReadEdf(Out(EdfKind::Edf), f));
    QCOMPARE(f.labels, (std::vector<std::string>{"CH1 OXHb", "CH1 DXHb", "CH1 TOHb", "CH1 StO2",
                                                 "CH1 Temp", "CH2 OXHb", "CH2 DXHb", "CH2 TOHb",
                                                 "CH2 StO2", "CH2 Temp"}));
    std::vector<std::string> units;
    for (int i = 0; i < f.hdr->edfsignals; ++i) {
        std::string u = f.hdr->signalparam[i].physdimension;
        while (!u.empty() && u.back() == ' ') u.pop_back();
        units.push_back(u);
    }
    QCOMPARE(units, (std::vector<std::string>{"", "", "", "%", "degC", "", "", "", "%", "degC"}));
    const edf_hdr_struct& h = *f.hdr;
    QCOMPARE(h.startdate_year, 2023);
    QCOMPARE(h.startdate_month, 12);
    QCOMPARE(h.startdate_day, 31);
    QCOMPARE(h.starttime_hour, 23);
    QCOMPARE(h.starttime_minute, 59);
    QCOMPARE(h.starttime_second, 58);
    QCOMPARE(h.starttime_subsecond, 2500000LL);
    // The header's own text: spaces within a subfield become underscores, accents go.
    const std::vector<std::uint8_t> bytes = TestFiles::ReadAll(Out(EdfKind::Edf));
    QVERIFY(bytes.size() > 256);
    const auto field = [&](std::size_t at) {
        std::string t(reinterpret_cast<const char*>(bytes.data()) + at, 80);
        while (!t.empty() && t.back() == ' ') t.pop_back();
        return t;
    };
    QCOMPARE(field(8), std::string("P_17 X X Zoe_Muller-Ludenscheid_??"));
    QCOMPARE(field(88), std::string("Startdate 31-DEC-2023 X X Pc48 Pc48-0003"));
    CheckSamples(store, f);
    CheckRangeUse(store, f);

    // The three-channel device adds its battery, and nothing per channel.
    Plain(store, 4, 500, 3, 4);
    QVERIFY2(Export(store, {}, EdfKind::Bdf, Out(EdfKind::Bdf), error), error.c_str());
    EdfRead g;
    QVERIFY(ReadEdf(Out(EdfKind::Bdf), g));
    QCOMPARE(g.labels.size(), std::size_t(13));
    QCOMPARE(g.labels.back(), std::string("Batt"));
    QCOMPARE(std::string(g.hdr->signalparam[12].physdimension).substr(0, 1), std::string("V"));
    CheckSamples(store, g);
}

void TestEdfExport::valuesWithoutValue_data() {
    QTest::addColumn<float>("value");
    QTest::newRow("NaN") << kNaN;
    QTest::newRow("infinite") << -INFINITY;
    QTest::newRow("too large") << 2e6f;
}

void TestEdfExport::valuesWithoutValue() {
    QFETCH(float, value);
    Plain(store, 12);
    for (int j : {3, 4, 5, 9}) store.SampleBuff[j].Ch[0].StO2 = value;
    store.SampleBuff[4].Ch[0].Status = STS_E; // a status run splits the run without value
    const auto events = RecordingEvents(store);
    for (EdfKind kind : {EdfKind::Edf, EdfKind::Bdf})
        RoundTrip(events, kind,
                  {{"CH1 StO2 no value", 3, 3},
                   {"CH1 StO2 no value", 5, 5},
                   {"CH1 StO2 no value", 9, 9}});
}

void TestEdfExport::constantAndEmptySignals() {
    Plain(store, 10, 1000, 2, 1);
    for (std::int32_t j = 0; j < 10; ++j) {
        store.SampleBuff[j].Ch[0].OXHb = -0.25f;      // constant
        store.SampleBuff[j].Ch[0].DXHb = 0.0f;        // constant zero
        store.SampleBuff[j].Ch[1].Status = STS_E | 3; // never a value
    }
    for (EdfKind kind : {EdfKind::Edf, EdfKind::Bdf}) {
        RoundTrip(RecordingEvents(store), kind);
        EdfRead f;
        QVERIFY(ReadEdf(Out(kind), f));
        for (int i : {0, 1}) {
            // Symmetric about the value: it reads back as itself, mid-range.
            const edf_param_struct& p = f.hdr->signalparam[i];
            const double v = i == 0 ? -0.25 : 0.0;
            QVERIFY(p.phys_min < v && v < p.phys_max);
            QVERIFY(std::fabs(f.physical[i][0] - v) <= f.Step(i) / 2);
            QVERIFY(std::abs(f.digital[i][0] - (p.dig_max + p.dig_min) / 2) <= p.dig_max / 100);
        }
        for (int i = 4; i < 8; ++i)
            QVERIFY(f.hdr->signalparam[i].phys_min < f.hdr->signalparam[i].phys_max);
    }
}

void TestEdfExport::manyAnnotations() {
    // A status flipping on every sample of four channels: eight annotations per one-second
    // record, more than one annotation signal holds.
    Plain(store, 301, 500, 4, 1);
    for (std::int32_t j = 0; j < store.DataCount; ++j)
        for (int c = 0; c < 4; ++c)
            store.SampleBuff[j].Ch[c].Status = (j + c) % 2 ? std::uint16_t(STS_E | (j % 7)) : STS_P;
    std::vector<Note> notes;
    for (int k = 0; k < 40; ++k) notes.push_back({0, 0, "note " + std::to_string(k)});
    const auto events = RecordingEvents(store, notes, 0, 300);
    QCOMPARE(events.size(), std::size_t(4 * 301 + 42));
    for (EdfKind kind : {EdfKind::Edf, EdfKind::Bdf}) RoundTrip(events, kind);
}

void TestEdfExport::annotationTexts() {
    Plain(store, 6);
    const std::string euro = "\xE2\x82\xAC";
    std::string longText(38, 'x');
    longText += euro + "tail"; // the euro sign would end at byte 41: cut before it
    const std::vector<ExportEvent> events = {
        {longText, 1, 1},
        {"tab\there\x14sep\x15", 2, 3},      // controls and the format's separators
        {"bad \xFF\xC3 bytes", 4, 4},        // not UTF-8
        {std::string(37, 'y') + euro, 5, 5}, // ends at byte 40 exactly: kept
        {"", 0, 0},
    };
    const std::vector<std::string> written = {std::string(38, 'x'), "tab here sep ", "bad ?? bytes",
                                              std::string(37, 'y') + euro, ""};
    std::vector<ExportEvent> expected = events;
    for (std::size_t k = 0; k < events.size(); ++k) expected[k].label = written[k];
    std::string error;
    QVERIFY2(Export(store, events, EdfKind::Edf, Out(EdfKind::Edf), error), error.c_str());
    EdfRead f;
    QVERIFY(ReadEdf(Out(EdfKind::Edf), f));
    const auto want = AsAnnotations(store, expected);
    QCOMPARE(f.annotations.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k) QCOMPARE(f.annotations[k].text, want[k].text);
}

void TestEdfExport::refusals() {
    struct Case {
        const char* what;
        void (*change)(RecordingStore&);
        std::vector<ExportEvent> events;
    };
    const std::vector<Case> cases = {
        {"no samples", [](RecordingStore& s) { s.DataCount = 0; }, {}},
        {"before 1985",
         [](RecordingStore& s) { s.StartTime = DT(1984, 12, 31, 23, 59, 59, 0); },
         {}},
        {"after 2084", [](RecordingStore& s) { s.StartTime = DT(2085, 1, 1, 0, 0, 0, 0); }, {}},
        {"no date", [](RecordingStore& s) { s.StartTime = std::nan(""); }, {}},
        {"no channels", [](RecordingStore& s) { s.ChCount = 0; }, {}},
        {"no interval", [](RecordingStore& s) { s.Rate = 0; }, {}},
        {"event beyond", [](RecordingStore&) {}, {{"late", 2, 9}}},
        {"too many notes", [](RecordingStore& s) { s.DataCount = 1; },
         std::vector<ExportEvent>(65, ExportEvent{"n", 0, 0})},
    };
    for (const Case& c : cases) {
        Plain(store, 6);
        c.change(store);
        OutputFile out(Out(EdfKind::Edf, "refused"), true);
        std::string error;
        QVERIFY2(!WriteEdf(store, c.events, EdfKind::Edf, out, error), c.what);
        QVERIFY2(!error.empty(), c.what);
        out.Discard();
    }
    // 64 annotations for a single record still fit.
    Plain(store, 1);
    RoundTrip(std::vector<ExportEvent>(64, ExportEvent{"n", 0, 0}), EdfKind::Edf);
    QVERIFY(!QFile::exists(QString::fromStdString(Out(EdfKind::Edf, "refused"))));
}

void TestEdfExport::failedWriteLeavesNothing() {
    QVERIFY(LoadBytes(store, files, "demo.lqd",
                      lqd::EncodeWs56(demo::MakeThreeChannelDemo(3000).header,
                                      demo::MakeThreeChannelDemo(3000).records)));
    const auto events = RecordingEvents(store);
    QDir dir(QString::fromStdString(files.Path("faults")));
    QVERIFY(dir.mkpath("."));
    for (EdfKind kind : {EdfKind::Edf, EdfKind::Bdf}) {
        const std::string target =
            dir.filePath(kind == EdfKind::Edf ? "x.edf" : "x.bdf").toStdString();
        std::string error;
        QVERIFY2(Export(store, events, kind, target, error), error.c_str());
        struct stat st {};
        QCOMPARE(stat(target.c_str(), &st), 0);
        QVERIFY(QFile::remove(QString::fromStdString(target)));
        // In the header, among the records, and the very last byte.
        for (const rlim_t limit :
             {rlim_t(100), rlim_t(3000), rlim_t(st.st_size / 2), rlim_t(st.st_size - 1)}) {
            bool written;
            {
                const FileSizeLimit small(limit);
                QVERIFY(small.Set());
                OutputFile out(target, true);
                written = WriteEdf(store, events, kind, out, error);
                if (!written) out.Discard();
            }
            QVERIFY2(!written, qPrintable(QString("limit %1").arg(limit)));
            QVERIFY(!error.empty());
            QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
        }
    }
}

void TestEdfExport::fullCapacity() {
    // 48 hours of three channels: 345,600 records, 172,800 one-second data records.
    static RecordingStore big(SAMPLE_CAPACITY);
    const auto demo = demo::MakeThreeChannelDemo(SAMPLE_CAPACITY);
    QVERIFY(LoadBytes(big, files, "full.lqd", lqd::EncodeWs56(demo.header, demo.records)));
    QCOMPARE(big.DataCount, SAMPLE_CAPACITY);
    const auto events = RecordingEvents(big);
    for (EdfKind kind : {EdfKind::Edf, EdfKind::Bdf}) {
        const std::string path = Out(kind, "full");
        OutputFile out(path, true);
        std::string error;
        QElapsedTimer timer;
        timer.start();
        QVERIFY2(WriteEdf(big, events, kind, out, error), error.c_str());
        const qint64 ms = timer.elapsed();
        QVERIFY(out.Commit());
        qInfo("%s: %lld ms for %zu annotations", kind == EdfKind::Edf ? "EDF" : "BDF",
              static_cast<long long>(ms), events.size());
        EdfRead f;
        QVERIFY(ReadEdf(path, f, false));
        QCOMPARE(f.hdr->edfsignals, 13);
        QCOMPARE(f.hdr->datarecords_in_file, 172800LL);
        QCOMPARE(f.hdr->annotations_in_file, qint64(events.size()));
        // A few samples at the start, the middle and the end.
        const int h =
            edfopen_file_readonly(path.c_str(), f.hdr.get(), EDFLIB_DO_NOT_READ_ANNOTATIONS);
        QVERIFY(h >= 0);
        for (int i = 0; i < 13; ++i)
            for (std::int32_t j : {0, 1, SAMPLE_CAPACITY / 2 + 1, SAMPLE_CAPACITY - 1}) {
                double v = 0;
                QCOMPARE(edfseek(h, i, j, EDFSEEK_SET), qint64(j));
                QCOMPARE(edfread_physical_samples(h, i, 1, &v), 1);
                const Expected e = ExpectedSample(big, f.labels[i], j);
                if (e.valid) QVERIFY(std::fabs(v - e.value) <= f.Step(i) * (0.5 + 1e-6));
            }
        edfclose_file(h);
        QVERIFY(QFile::remove(QString::fromStdString(path)));
    }
}

void TestEdfExport::mneReadsTheDemo_data() {
    QTest::addColumn<EdfKind>("kind");
    QTest::addColumn<int>("rate");
    QTest::newRow("edf") << EdfKind::Edf << 500;
    QTest::newRow("bdf") << EdfKind::Bdf << 500;
    QTest::newRow("edf, 600 ms") << EdfKind::Edf << 600;
}

void TestEdfExport::mneReadsTheDemo() {
    QFETCH(EdfKind, kind);
    QFETCH(int, rate);
    const auto demo = demo::MakeThreeChannelDemo();
    QVERIFY(LoadBytes(store, files, "demo.lqd", lqd::EncodeWs56(demo.header, demo.records)));
    store.Rate = rate; // the store as a slower device would have left it
    const auto events = RecordingEvents(store, {Note{0, 100, "Übung 1"}}, 10, 7000);
    const std::string path = Out(kind, "mne");
    std::string error;
    QVERIFY2(Export(store, events, kind, path, error), error.c_str());
    EdfRead f;
    QVERIFY(ReadEdf(path, f));
    CheckSamples(store, f);
    CheckRangeUse(store, f);

    QProcess py;
    const QString data = QString::fromStdString(files.Path("mne.f64"));
    py.start(TESMORA_PYTHON,
             {TESMORA_EXPORT_SCRIPTS "/edf_readback.py", QString::fromStdString(path), data});
    QVERIFY(py.waitForFinished(120000));
    QVERIFY2(py.exitStatus() == QProcess::NormalExit && py.exitCode() == 0,
             py.readAllStandardError().constData());
    const QByteArray report = py.readAllStandardOutput();
    if (qEnvironmentVariableIsSet("TESMORA_SHOW_MNE")) qInfo("%s", report.constData());
    const QJsonObject o = QJsonDocument::fromJson(report).object();
    QStringList names;
    for (const auto& l : Labels(store)) names << QString::fromStdString(l);
    QCOMPARE(o["ch_names"].toVariant().toStringList(), names);
    QCOMPARE(o["sfreq"].toDouble(), 1000.0 / rate);
    const DateTimeParts s = DecodeDateTime(store.StartTime);
    QCOMPARE(o["meas_date"].toString(),
             QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d+00:00", s.year, s.month, s.day,
                               s.hour, s.minute, s.second));
    const QJsonArray ann = o["annotations"].toArray();
    const auto want = AsAnnotations(store, events);
    QCOMPARE(ann.size(), qsizetype(want.size()));
    std::vector<Annotation> got;
    for (const auto& a : ann) {
        const QJsonArray x = a.toArray();
        got.push_back({x[0].toDouble(), x[1].toDouble(), x[2].toString().toStdString()});
    }
    std::sort(got.begin(), got.end());
    for (std::size_t k = 0; k < want.size(); ++k) {
        QCOMPARE(got[k].text, want[k].text);
        QVERIFY(std::fabs(got[k].onset - want[k].onset) < 1e-9);
        QVERIFY(std::fabs(got[k].duration - want[k].duration) < 1e-9);
    }

    // MNE's values against the store, as EDFlib's were.
    const std::vector<std::uint8_t> raw = TestFiles::ReadAll(data.toStdString());
    const auto times = static_cast<std::size_t>(o["n_times"].toInt());
    QCOMPARE(raw.size(), names.size() * times * sizeof(double));
    for (int i = 0; i < f.hdr->edfsignals; ++i) {
        const double step = f.Step(i);
        for (std::int32_t j = 0; j < store.DataCount; ++j) {
            double v;
            std::memcpy(&v, raw.data() + (i * times + j) * sizeof v, sizeof v);
            const Expected e = ExpectedSample(store, f.labels[i], j);
            const double expected = e.valid ? e.value : f.hdr->signalparam[i].phys_min;
            if (std::fabs(v - expected) > step * (0.5 + 1e-6))
                QFAIL(qPrintable(QString("MNE: %1 sample %2: %3, not %4")
                                     .arg(f.labels[i].c_str())
                                     .arg(j)
                                     .arg(v, 0, 'g', 17)
                                     .arg(expected, 0, 'g', 17)));
        }
    }
}

QTEST_GUILESS_MAIN(TestEdfExport)
#include "tst_edf_export.moc"

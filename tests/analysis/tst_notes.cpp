// The notes' sidecar: what it reads back, and what it refuses.

#include "analysis/notes.h"
#include "support/test_files.h"

#include <QTest>

using namespace tesmora;
using namespace tesmora::test;

namespace {

const RecordingIdentity kId{"Pc56-A0417", "2026/03/14 09:30:00", 14400, 500};

std::string Sidecar(const std::string& recording, const std::string& notes, int version = 1) {
    return "{\"format\": \"tesmora-notes\", \"version\": " + std::to_string(version) +
           ", \"recording\": " + recording + ", \"notes\": " + notes + "}";
}
const std::string kRecording = "{\"serialNo\": \"Pc56-A0417\", \"startTime\": \"2026/03/14 "
                               "09:30:00\", \"dataCount\": 14400, \"rateMs\": 500}";

} // namespace

class TestNotes : public QObject {
    Q_OBJECT
    TestFiles files;
private slots:
    void roundTrip();
    void refused_data();
    void refused();
    void textsAreCleaned();
};

void TestNotes::roundTrip() {
    QCOMPARE(NotesPath("/x/demo_pc56.lqd"), std::string("/x/demo_pc56.lqd.notes.json"));
    const std::vector<Note> notes = {{500, 1, "drug given"}, {3600000, 7200, "\u00e9tat \"ok\""}};
    const std::string path = files.Path("r.lqd.notes.json");
    std::string error;
    QVERIFY(WriteNotes(path, kId, notes, error));
    const NotesRead back = ReadNotes(path, kId);
    QCOMPARE(back.status, NotesRead::Status::Loaded);
    QCOMPARE(back.notes, notes);
    // None there: nothing, and nothing to say.
    QCOMPARE(ReadNotes(files.Path("none.json"), kId).status, NotesRead::Status::Missing);
    // Notes beyond the recording are left out; the others come in the order of their samples.
    files.Write("order.json", Sidecar(kRecording, "[{\"index\": 9000, \"text\": \"b\"}, "
                                                  "{\"index\": 20000, \"text\": \"gone\"}, "
                                                  "{\"index\": -1, \"text\": \"gone\"}, "
                                                  "{\"index\": 3, \"text\": \"a\"}]"));
    const NotesRead order = ReadNotes(files.Path("order.json"), kId);
    QCOMPARE(order.notes.size(), std::size_t{2});
    QCOMPARE(order.notes[0].text, std::string("a"));
    QCOMPARE(order.notes[1].elapsedMs, std::int64_t{9000 * 500});
    // A folder that cannot be written: the system's reason.
    QVERIFY(!WriteNotes(files.Path("no/such/folder/x.json"), kId, notes, error));
    QCOMPARE(error, std::string("No such file or directory"));
}

void TestNotes::refused_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("why");
    QTest::newRow("not JSON") << QByteArray("{\"notes\": [") << "is not a notes file";
    QTest::newRow("not an object") << QByteArray("[1, 2]") << "is not a notes file";
    QTest::newRow("another version")
        << QByteArray::fromStdString(Sidecar(kRecording, "[]", 2)) << "is of an unknown version";
    QTest::newRow("another format")
        << QByteArray("{\"format\": \"x\", \"version\": 1}") << "is of an unknown version";
    QTest::newRow("another recording")
        << QByteArray::fromStdString(
               Sidecar("{\"serialNo\": \"Pc56-A0417\", \"startTime\": \"2026/03/14 09:30:00\", "
                       "\"dataCount\": 14399, \"rateMs\": 500}",
                       "[]"))
        << "belongs to another recording";
    QTest::newRow("too big") << QByteArray(SIDECAR_MAX_BYTES + 1, ' ') << "is larger than 1 MB";
}

void TestNotes::refused() {
    QFETCH(QByteArray, text);
    QFETCH(QString, why);
    const std::string path = files.Write("refused.json", text.toStdString());
    const NotesRead r = ReadNotes(path, kId);
    QCOMPARE(r.status, NotesRead::Status::Ignored);
    QCOMPARE(QString::fromStdString(r.why), why);
    QVERIFY(r.notes.empty());
}

void TestNotes::textsAreCleaned() {
    // A hand-edited sidecar: control characters, bytes that are not UTF-8, markup, and a text
    // longer than a note may be. Shown as plain characters, one line, 200 at most.
    const std::string raw = Sidecar(kRecording, "[{\"index\": 1, \"text\": \"a\\u0007b\\nc\xff"
                                                "<b>d</b>" +
                                                    std::string(300, 'x') + "\"}]");
    const NotesRead r = ReadNotes(files.Write("edited.json", raw), kId);
    QCOMPARE(r.status, NotesRead::Status::Loaded);
    const QString text = QString::fromStdString(r.notes[0].text);
    QVERIFY(text.startsWith(QString::fromUtf8("a\uFFFDb\uFFFDc\uFFFD<b>d</b>xxx")));
    QCOMPARE(text.size(), 200);
    QCOMPARE(CleanNoteText("plain"), std::string("plain"));
}

QTEST_APPLESS_MAIN(TestNotes)
#include "tst_notes.moc"

#include "loading/load.h"
#include "support/exact.h"
#include "support/memory_io.h"
#include "support/recording_builder.h"
#include "support/test_files.h"
#include "support/text_builder.h"

#include <QTest>
#include <sys/stat.h>

using namespace tesmora;
using namespace tesmora::test;

class TestLoad : public QObject {
    Q_OBJECT
    RecordingStore store;
    TestFiles files;

    // Loads a three-channel recording of n records, so a later failure has something to lose.
    void LoadSomething(int n = 10) {
        const LoadOutcome o =
            LoadRecording(store, files.Write("ok.lqd", Ws56File().Records(1, n).Bytes()));
        QVERIFY(o.opened && o.messages.empty() && !o.error);
        QCOMPARE(store.DataCount, n);
    }

private slots:
    void binaryByExtension_data();
    void binaryByExtension();
    void freshStore();
    void unopenableLeavesStoreAlone_data();
    void unopenableLeavesStoreAlone();
    void formatErrorDiscardsRecords();
    void conversionErrorDiscardsRecords();
    void storeFullIsReportedWhileReading();
    void oneChannelAfterThree();
    void openedSeesAnEmptyStore();
    void contentIsNotExamined();
};

void TestLoad::binaryByExtension_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("binary");
    QTest::newRow("lqd") << "/d/rec.lqd" << true;
    QTest::newRow("LQD") << "/d/REC.LQD" << true;
    QTest::newRow("Lqd") << "rec.Lqd" << true;
    QTest::newRow("csv") << "/d/rec.csv" << false;
    QTest::newRow("txt") << "/d/rec.txt" << false;
    QTest::newRow("no extension") << "/d/rec" << false;
    QTest::newRow("dot in folder only") << "/d.lqd/rec" << false;
    QTest::newRow("lqd then csv") << "rec.lqd.csv" << false;
    QTest::newRow("lqd with trailing space") << "rec.lqd " << false;
}

void TestLoad::binaryByExtension() {
    QFETCH(QString, path);
    QFETCH(bool, binary);
    QCOMPARE(IsBinaryRecordingPath(path.toStdString()), binary);
}

void TestLoad::freshStore() {
    RecordingStore fresh;
    QCOMPARE(fresh.DataCount, 0);
    QCOMPARE(fresh.ChCount, 1);
    QCOMPARE(fresh.DataType, 0);
    QCOMPARE(fresh.Rate, 0);
    QVERIFY(fresh.SerialNo.empty());
    QCOMPARE_EXACT(fresh.SampleBuff[SAMPLE_CAPACITY - 1].Ch[3].StO2, 0.0f);
    QCOMPARE_EXACT(fresh.RowBuff.Time, 0.0);
}

void TestLoad::unopenableLeavesStoreAlone_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("directory") << "directory";
    QTest::newRow("unreadable") << "unreadable";
}

void TestLoad::unopenableLeavesStoreAlone() {
    QFETCH(QString, kind);
    LoadSomething();
    std::string path = files.Path("nothing.lqd");
    if (kind == "directory") {
        path = files.Path("folder.lqd");
        QCOMPARE(::mkdir(path.c_str(), 0755), 0);
    } else if (kind == "unreadable") {
        path = files.Write("locked.lqd", Ws56File().Records(1, 3).Bytes());
        ::chmod(path.c_str(), 0);
        if (::geteuid() == 0) QSKIP("root reads every file");
    }
    const LoadOutcome o = LoadRecording(store, path);
    QVERIFY(!o.opened);
    QVERIFY(!o.openError.empty());
    QCOMPARE(store.DataCount, 10);
    QCOMPARE(store.DataType, 4);
}

void TestLoad::formatErrorDiscardsRecords() {
    std::vector<std::uint8_t> bytes = Ws56File().Records(1, 5).Bytes();
    bytes.resize(bytes.size() - 3); // the fifth record ends inside channel 3
    std::vector<LoadMessage> heard;
    const LoadOutcome o =
        LoadRecording(store, files.Write("cut.lqd", bytes),
                      LoadObserver::Reporting([&](LoadMessage m) { heard.push_back(m); }));
    QVERIFY(o.opened);
    QVERIFY(o.binary);
    QCOMPARE(o.messages, std::vector<LoadMessage>{LoadMessage::DataFormatError});
    QCOMPARE(heard, o.messages);
    QCOMPARE(store.DataCount, 0);
    QCOMPARE(QString(MessageText(LoadMessage::DataFormatError)), QString("Data format error."));
}

void TestLoad::conversionErrorDiscardsRecords() {
    LoadSomething();
    // Records first, then a stamp that is no time of day: nothing of it may stay.
    const std::string path = files.Write(
        "badstamp.lqd",
        Ws31File().Stamped(10, 0, 0).Untimed(20).RawStamped({0x61, 0x00, 0x10, 0}).Bytes());
    const LoadOutcome o = LoadRecording(store, path);
    QVERIFY(o.opened);
    QVERIFY(o.error.has_value());
    QCOMPARE(QString::fromStdString(*o.error),
             QString("'2021/06/01 10:00:61' is not a valid date and time"));
    QVERIFY(o.messages.empty());
    QCOMPARE(store.DataCount, 0);
}

void TestLoad::storeFullIsReportedWhileReading() {
    const std::string path =
        files.Write("full.lqd", Ws56File().Record(0).Record(SAMPLE_CAPACITY + 5).Bytes());
    int heardWhileOpen = 0;
    const LoadOutcome o = LoadRecording(store, path, LoadObserver::Reporting([&](LoadMessage m) {
                                            QCOMPARE(m, LoadMessage::StoreFull);
                                            // The records read so far are already
                                            // in the store when it is shown.
                                            QCOMPARE(store.DataCount, SAMPLE_CAPACITY);
                                            ++heardWhileOpen;
                                        }));
    QCOMPARE(heardWhileOpen, 1);
    QCOMPARE(o.messages, std::vector<LoadMessage>{LoadMessage::StoreFull});
    QCOMPARE(store.DataCount, SAMPLE_CAPACITY);
}

void TestLoad::openedSeesAnEmptyStore() {
    LoadSomething();
    // The window repaints when told the file is open: the store is already empty then.
    LoadObserver observer;
    int calls = 0;
    observer.opened = [&] {
        ++calls;
        QCOMPARE(store.DataCount, 0);
        QCOMPARE(store.DataType, 0);
    };
    LoadRecording(store, files.Write("again.lqd", Ws56File().Records(1, 4).Bytes()), observer);
    QCOMPARE(calls, 1);
    QCOMPARE(store.DataCount, 4);
    LoadRecording(store, files.Path("missing.lqd"), observer);
    QCOMPARE(calls, 1); // not for a file that does not open
    // Bytes from elsewhere: once, as for a file, then the messages in their order.
    LoadSomething();
    std::vector<LoadMessage> heard;
    observer.report = [&](LoadMessage m) {
        QCOMPARE(calls, 2);
        heard.push_back(m);
    };
    const std::vector<std::uint8_t> bytes = Ws56File().Records(1, 3).Bytes();
    MemorySource src(std::string(bytes.begin(), bytes.end() - 1)); // the last record cut short
    const LoadOutcome o = LoadFromSource(store, src, FormatFor("x.lqd"), observer);
    QCOMPARE(calls, 2);
    QCOMPARE(heard, std::vector<LoadMessage>{LoadMessage::DataFormatError});
    QCOMPARE(o.messages, std::vector<LoadMessage>{LoadMessage::DataFormatError});
    QVERIFY(o.binary);
    QCOMPARE(store.DataCount, 0);
}

void TestLoad::oneChannelAfterThree() {
    LoadSomething();
    const float ch2 = store.SampleBuff[0].Ch[1].OXHb;
    const LoadOutcome o =
        LoadRecording(store, files.Write("one.lqd", Ws31File().Stamped(10, 0, 0).Bytes()));
    QVERIFY(o.messages.empty());
    QCOMPARE(store.ChCount, 1);
    QCOMPARE(store.DataCount, 1);
    QCOMPARE(store.PatientID, std::string());
    QCOMPARE_EXACT(store.SampleBuff[0].Ch[1].OXHb, ch2); // left over, shown by nothing
}

void TestLoad::contentIsNotExamined() {
    // The extension alone decides: a text recording named .txt reads as text...
    LoadOutcome o =
        LoadRecording(store, files.Write("rec.txt", TextRecording::MV31().Rows(4).Text()));
    QVERIFY(!o.binary && o.messages.empty());
    QCOMPARE(store.DataType, 1);
    QCOMPARE(store.DataCount, 4);
    // ...and a binary recording named .csv does not read at all.
    o = LoadRecording(store, files.Write("rec.csv", Ws56File().Records(1, 5).Bytes()));
    QVERIFY(!o.binary);
    QCOMPARE(store.DataCount, 0);
    QCOMPARE(store.DataType, 0);
}

QTEST_APPLESS_MAIN(TestLoad)
#include "tst_load.moc"

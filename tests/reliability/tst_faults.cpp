// Forced failures: read errors, odd files, failing writes, broken settings, and memory that
// stays flat over many loads.

#include "app/main_window.h"
#include "loading/load.h"
#include "support/memory_io.h"
#include "support/recording_builder.h"
#include "support/text_builder.h"
#include "support/window_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <fstream>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace tesmora;
using namespace tesmora::test;

namespace {

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

std::string Str(const std::vector<std::uint8_t>& b) {
    return std::string(b.begin(), b.end());
}

} // namespace

class TestFaults : public QObject, WindowFixture {
    Q_OBJECT

    bool NothingShown() const {
        return window->Store().DataCount == 0 &&
               window->findChild<QLabel*>("CountLabel")->isHidden();
    }

private slots:
    void init();
    void cleanup();
    void readErrorMidFile_data();
    void readErrorMidFile();
    void oddFilesFinish_data();
    void oddFilesFinish();
    void fifoWithAWriter();
    void converterWriteError_data();
    void converterWriteError();
    void brokenSettingsFiles_data();
    void brokenSettingsFiles();
    void memoryStaysFlat();
};

void TestFaults::init() {
    StartWindow();
}

void TestFaults::cleanup() {
    StopWindow();
}

void TestFaults::readErrorMidFile_data() {
    QTest::addColumn<bool>("binary");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("failAt");
    QTest::addColumn<int>("count");                                  // samples shown
    QTest::addColumn<bool>("message");                               // "Data format error."
    const std::string ws56 = Str(Ws56File().Records(1, 10).Bytes()); // 80 + 50 per record
    const std::string text = TextRecording::MV31().Rows(10).Text();
    QTest::newRow("binary, between records")
        << true << QByteArray::fromStdString(ws56) << 80 + 50 * 4 << 4 << false;
    QTest::newRow("binary, inside a channel")
        << true << QByteArray::fromStdString(ws56) << 80 + 50 * 4 + 20 << 0 << true;
    QTest::newRow("binary, in the header")
        << true << QByteArray::fromStdString(ws56) << 40 << 0 << true;
    const int fourRows = static_cast<int>(TextRecording::MV31().Rows(4).Text().size());
    QTest::newRow("text, after four rows")
        << false << QByteArray::fromStdString(text) << fourRows << 4 << false;
    QTest::newRow("text, inside a row")
        << false << QByteArray::fromStdString(text) << fourRows + 10 << 4 << false;
    QTest::newRow("text, in the head")
        << false << QByteArray::fromStdString(text) << 30 << 0 << false;
}

void TestFaults::readErrorMidFile() {
    QFETCH(bool, binary);
    QFETCH(QByteArray, bytes);
    QFETCH(int, failAt);
    QFETCH(int, count);
    QFETCH(bool, message);
    // A read error counts as the end of the file.
    MemorySource src(bytes.toStdString(), failAt, 16);
    RecordingStore store(1000);
    const LoadOutcome o = LoadFromSource(store, src, FormatFor(binary ? "x.lqd" : "x.csv"));
    QVERIFY(src.Failed());
    QCOMPARE(store.DataCount, count);
    QCOMPARE(o.messages == std::vector<LoadMessage>{LoadMessage::DataFormatError}, message);
}

void TestFaults::oddFilesFinish_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("messages");
    const QStringList bad{"Data format error."};
    QTest::newRow("directory") << "dir"
                               << "folder.lqd" << QStringList();
    QTest::newRow("FIFO without a writer, binary") << "fifo"
                                                   << "pipe.lqd" << bad;
    QTest::newRow("FIFO without a writer, text") << "fifo"
                                                 << "pipe.csv" << QStringList();
    QTest::newRow("/dev/zero as binary") << "/dev/zero"
                                         << "zero.lqd" << bad;
    QTest::newRow("/dev/zero as text") << "/dev/zero"
                                       << "zero.csv" << QStringList();
    QTest::newRow("random bytes as binary") << "random"
                                            << "random.lqd" << bad;
    // Random bytes as text: a first line that ends is rejected as a header; 511 bytes without
    // a line feed end the text at once, with nothing to say.
    QTest::newRow("random bytes as text, a first line") << "random line"
                                                        << "random.csv" << bad;
    QTest::newRow("random bytes as text, no first line") << "random no line"
                                                         << "random.csv" << QStringList();
    QTest::newRow("vanished") << "none"
                              << "gone.lqd" << QStringList();
}

void TestFaults::oddFilesFinish() {
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(QStringList, messages);
    const std::string path = files->Path(name.toStdString());
    if (kind == "dir")
        QVERIFY(QDir().mkpath(QString::fromStdString(path)));
    else if (kind == "fifo")
        QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
    else if (kind.startsWith("/dev/"))
        QCOMPARE(::symlink(kind.toStdString().c_str(), path.c_str()), 0);
    else if (kind.startsWith("random")) {
        std::mt19937 rng(20261210);
        std::string bytes(1 << 16, '\0');
        for (char& b : bytes) b = static_cast<char>(rng());
        for (std::size_t i = 0; i < 600; ++i)
            if (bytes[i] == '\n') bytes[i] = 'x';
        if (kind == "random line") bytes[100] = '\n';
        files->Write(name.toStdString(), bytes);
    }
    dialogs.files.push_back(QString::fromStdString(path));
    window->findChild<QAction*>("O1")->trigger(); // finishes, whatever the file is
    QVERIFY(NothingShown());
    QCOMPARE(dialogs.TakeTexts(), messages);
    QVERIFY(!QApplication::overrideCursor());
}

void TestFaults::fifoWithAWriter() {
    const std::string path = files->Path("feed.lqd");
    QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
    const std::string bytes = Str(Ws56File().Records(1, 300).Bytes());
    std::thread writer([&] {
        std::ofstream out(path, std::ios::binary); // blocks until the viewer opens the pipe
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    });
    // The viewer opens without waiting for the writer: keep offering until it has come.
    for (int attempt = 0; attempt < 200 && window->Store().DataCount == 0; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(attempt ? 10 : 0));
        dialogs.files.push_back(QString::fromStdString(path));
        window->findChild<QAction*>("O1")->trigger();
        dialogs.messages.clear();
    }
    writer.join();
    QCOMPARE(window->Store().DataCount, 300);
}

void TestFaults::converterWriteError_data() {
    QTest::addColumn<QString>("format");
    for (const char* format : {"csv", "snirf", "edf", "bdf"}) QTest::newRow(format) << format;
}

void TestFaults::converterWriteError() {
    QFETCH(QString, format);
    const std::string in = files->Write("rec.lqd", Ws56File().Records(1, 5000).Bytes());
    const std::string out = files->Write("rec." + format.toStdString(), std::string("precious"));
    QProcess p;
    p.setChildProcessModifier([] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{20000, 20000};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    p.start(TESMORA_CONVERT_EXE, {"--format", format, "--force", QString::fromStdString(in)});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(QString(p.readAllStandardError())
                .startsWith(QString::fromStdString(in + ": cannot write " + out + ": ")));
    QCOMPARE(Str(TestFiles::ReadAll(out)), std::string("precious"));
    QCOMPARE(QDir(QString::fromStdString(files->Path("")))
                 .entryList({"*.tmp*"}, QDir::Hidden | QDir::Files),
             QStringList());
}

void TestFaults::brokenSettingsFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("10 MB of garbage") << "garbage";
    QTest::newRow("read-only") << "readonly";
    QTest::newRow("a directory") << "directory";
}

void TestFaults::brokenSettingsFiles() {
    QFETCH(QString, kind);
    window.reset();
    const std::string ini = files->Path("tesmora.INI");
    if (kind == "garbage") {
        std::string junk(10 * 1024 * 1024, '\0');
        std::uint32_t x = 1;
        for (char& c : junk) c = static_cast<char>((x = x * 1664525u + 1013904223u) >> 24);
        files->Write("tesmora.INI", junk);
    } else if (kind == "readonly") {
        files->Write("tesmora.INI", std::string("[Settings]\nAmp=3\n"));
        ::chmod(ini.c_str(), 0444);
    } else {
        QVERIFY(QDir().mkpath(QString::fromStdString(ini)));
    }
    NewWindow();
    if (kind != "readonly")
        QCOMPARE(window->findChild<QComboBox*>("AmpComboBox")->currentIndex(), 1); // defaults
    window->close();
    QVERIFY(!window->isVisible()); // it closes whatever the write did
    if (kind == "directory") QCOMPARE(dialogs.messages.size(), 1);
}

void TestFaults::memoryStaysFlat() {
    // The largest recording, opened again and again in one window.
    const std::string path = files->Path("full.lqd");
    lqd::WriteFile(path, Ws56File().Record(0).Record(SAMPLE_CAPACITY - 1).Bytes());
    window->OpenRecording(QString::fromStdString(path));
    window->repaint();
    QCOMPARE(window->Store().DataCount, SAMPLE_CAPACITY);
    const long first = ResidentKiB();
    for (int k = 1; k < 100; ++k) {
        window->OpenRecording(QString::fromStdString(path));
        window->repaint();
    }
    const long last = ResidentKiB();
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer holds freed blocks back (up to 256 MB) to catch late uses: resident
    // memory grows by design there. The loads still run, under its leak check.
    (void)last;
    (void)first;
#else
    QVERIFY2(last <= first * 105 / 100,
             qPrintable(QString("%1 KiB after the first load, %2 after 100").arg(first).arg(last)));
#endif
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"

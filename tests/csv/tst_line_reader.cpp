#include "csv/line_buffer.h"
#include "support/memory_io.h"

#include <QTest>

using namespace tesmora;
using namespace tesmora::test;

class TestLineReader : public QObject {
    Q_OBJECT
private slots:
    void readLine_data();
    void readLine();
    void linesInSequence();
    void readErrorEndsTheLine();
    void split_data();
    void split();
    void hundredFieldsAtMost();
    void emptyLineIsRejected();
};

void TestLineReader::readLine_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("line"); // what buff holds
    QTest::newRow("CR LF") << QByteArray("A,B\r\n") << 3 << QByteArray("A,B");
    QTest::newRow("LF only") << QByteArray("A,B\nC") << 3 << QByteArray("A,B");
    QTest::newRow("empty line") << QByteArray("\r\n") << 0 << QByteArray();
    QTest::newRow("CR inside") << QByteArray("12\r34\n") << 4 << QByteArray("1234");
    QTest::newRow("two-byte char") << QByteArray("\x93\x8C,x\n") << 3 << QByteArray("?,x");
    QTest::newRow("lead byte eats LF") << QByteArray("a\xC3\nb\n") << 3 << QByteArray("a?b");
    QTest::newRow("lead byte eats CR") << QByteArray("a\xC3\rb\n") << 3 << QByteArray("a?b");
    QTest::newRow("lead byte last") << QByteArray("ab\xC3") << -1 << QByteArray("ab");
    QTest::newRow("no final LF") << QByteArray("abc") << -1 << QByteArray("abc");
    QTest::newRow("end of file") << QByteArray() << -1 << QByteArray();
    QTest::newRow("NUL kept") << QByteArray("a\0b\n", 4) << 3 << QByteArray("a\0b", 3);
    QTest::newRow("510 bytes") << QByteArray(510, 'x') + "\n" << 510 << QByteArray(510, 'x');
    QTest::newRow("511 bytes") << QByteArray(511, 'x') + "\n" << -1 << QByteArray(511, 'x');
    QTest::newRow("600 bytes") << QByteArray(600, 'x') + "\n" << -1 << QByteArray(511, 'x');
    QTest::newRow("CRs not counted") << QByteArray(510, 'x') + QByteArray(40, '\r') + "\n"
                                     << 510 << QByteArray(510, 'x');
    QTest::newRow("two-byte chars count once") << QByteArray(1000, '\xC3') + "\n"
                                               << 500 << QByteArray(500, '?');
}

void TestLineReader::readLine() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, result);
    QFETCH(QByteArray, line);
    MemorySource src(bytes.toStdString());
    LINE_BUFF_TYPE lb;
    QCOMPARE(ReadLine(src, lb), result);
    QCOMPARE(lb.n, int(line.size()));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(lb.buff), lb.n), line);
    QCOMPARE(lb.buff[lb.n], std::uint8_t{0});
}

void TestLineReader::linesInSequence() {
    // Each call continues after the line feed; an overlong line leaves its tail unread.
    MemorySource src("one\r\n" + std::string(520, 'y') + "\ntwo\n");
    LINE_BUFF_TYPE lb;
    QCOMPARE(ReadLine(src, lb), 3);
    QCOMPARE(ReadLine(src, lb), -1);
    QCOMPARE(ReadLine(src, lb), 9); // the nine y after the first 511, then the line feed
    QCOMPARE(ReadLine(src, lb), 3);
    QCOMPARE(ReadLine(src, lb), -1);
}

void TestLineReader::readErrorEndsTheLine() {
    MemorySource src("abc\ndef\nghi\n", 6);
    LINE_BUFF_TYPE lb;
    QCOMPARE(ReadLine(src, lb), 3);
    QCOMPARE(ReadLine(src, lb), -1);
    QVERIFY(src.Failed());
}

void TestLineReader::split_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("two fields") << QByteArray("A,B") << QStringList{"A", "B"};
    QTest::newRow("no comma") << QByteArray("ABC") << QStringList{"ABC"};
    QTest::newRow("two commas") << QByteArray(",,") << QStringList{"", "", ""};
    QTest::newRow("not trimmed") << QByteArray(" a , b") << QStringList{" a ", " b"};
    QTest::newRow("trailing empty") << QByteArray("x,") << QStringList{"x", ""};
}

void TestLineReader::split() {
    QFETCH(QByteArray, line);
    QFETCH(QStringList, fields);
    MemorySource src(line.toStdString() + "\n");
    LINE_BUFF_TYPE lb;
    QCOMPARE(ReadLine(src, lb), int(line.size()));
    SplitLine(lb);
    QCOMPARE(lb.cn, int(fields.size()) - 1);
    for (int i = 0; i < fields.size(); ++i)
        QCOMPARE(QString::fromLatin1(lb.Field(i).data(), qsizetype(lb.Field(i).size())), fields[i]);
}

void TestLineReader::hundredFieldsAtMost() {
    LINE_BUFF_TYPE lb;
    MemorySource src(std::string(150, ',') + "tail\n");
    QCOMPARE(ReadLine(src, lb), 154);
    SplitLine(lb);
    QCOMPARE(lb.cn, 99);
    QCOMPARE(lb.pos[99], 99);
    QCOMPARE(lb.len[99], 0); // field 99 ends at the 100th comma; the rest is ignored
    QCOMPARE(lb.Field(100), std::string_view());

    MemorySource named(std::string(99, ',') + "last,more\n");
    QCOMPARE(ReadLine(named, lb), 108);
    SplitLine(lb);
    QCOMPARE(lb.cn, 99);
    QCOMPARE(lb.Field(99), std::string_view("last"));
}

void TestLineReader::emptyLineIsRejected() {
    LINE_BUFF_TYPE lb;
    RecordingStore store;
    QCOMPARE(int(GetColumn(lb, store)), 1);
}

QTEST_APPLESS_MAIN(TestLineReader)
#include "tst_line_reader.moc"

// The recent files in their section of the settings file.

#include "settings/recent_files.h"

#include <QTest>

using namespace tesmora;

class TestRecentFiles : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void addMovesToTheFront();
    void writeKeepsEverythingElse();
};

void TestRecentFiles::read_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("folder");
    QTest::newRow("none") << QByteArray("[Form]\nTop=1\n") << QStringList() << "";
    QTest::newRow("in order, any case")
        << QByteArray("[recent]\nfile1=/a/x.lqd\nFILE2=/b/y.csv\nLastFolder=/a\n")
        << QStringList{"/a/x.lqd", "/b/y.csv"} << "/a";
    QTest::newRow("gaps, repeats and blanks left out")
        << QByteArray("[Recent]\nFile1=/a.lqd\nFile2=\nFile3=/a.lqd\nFile5=/c.lqd\n")
        << QStringList{"/a.lqd", "/c.lqd"} << "";
    QTest::newRow("control characters and odd bytes")
        << QByteArray("[Recent]\nFile1=/a\x01.lqd\nFile2=/\xff\xfe.lqd\nFile3=/\x1b[2J\n")
        << QStringList{QString::fromLatin1("/\xff\xfe.lqd")} << "";
    QTest::newRow("garbage") << QByteArray("[Recent\n=\n[Recent]]\nFile1\n==\x00\x01\n", 23)
                             << QStringList() << "";
}

void TestRecentFiles::read() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, files);
    QFETCH(QString, folder);
    const RecentFiles r = RecentFiles::Read(IniFile(text.toStdString()));
    QStringList got;
    for (const std::string& f : r.Files()) got << QString::fromLatin1(f.c_str());
    QCOMPARE(got, files);
    QCOMPARE(QString::fromStdString(r.LastFolder()), folder);
}

void TestRecentFiles::addMovesToTheFront() {
    // A thousand entries: only File1..File8 are read.
    std::string text = "[Recent]\n";
    for (int k = 1; k <= 1000; ++k)
        text += "File" + std::to_string(k) + "=/r/" + std::to_string(k) + ".lqd\n";
    RecentFiles r = RecentFiles::Read(IniFile(text));
    QCOMPARE(r.Files().size(), std::size_t{8});
    r.Add("/r/5.lqd"); // already there: moves to the front
    QCOMPARE(r.Files().front(), std::string("/r/5.lqd"));
    QCOMPARE(r.Files().size(), std::size_t{8});
    r.Add("/new/z.lqd"); // the oldest goes
    QCOMPARE(r.Files().front(), std::string("/new/z.lqd"));
    QCOMPARE(r.Files().back(), std::string("/r/7.lqd"));
    QCOMPARE(r.LastFolder(), std::string("/new"));
    r.Add("/bad\nname.lqd"); // the settings file cannot hold it
    QCOMPARE(r.Files().front(), std::string("/new/z.lqd"));
    r.Remove("/r/1.lqd");
    QCOMPARE(r.Files().size(), std::size_t{7});
}

void TestRecentFiles::writeKeepsEverythingElse() {
    // The ten keys of the program stay as they are, in their order; the section follows.
    const std::string parts = "[Form]\nTop=50\nLeft=100\nWidth=1100\nHeight=700\n[Settings]\n"
                              "Amp=4\nAve=3\nCheck1=0\nCheck2=0\nCheck3=1\nCheck4=1\n";
    IniFile ini(parts);
    RecentFiles r;
    r.Write(ini); // nothing to keep: no section at all
    QCOMPARE(ini.Text(), parts);
    r.Add("/a/x.lqd");
    r.Add("/b/y.csv");
    r.Write(ini);
    QCOMPARE(ini.Text(), parts + "[Recent]\nFile1=/b/y.csv\nFile2=/a/x.lqd\nLastFolder=/b\n");
    // A shorter list removes the keys it no longer needs; other lines of the section stay.
    IniFile again(ini.Text() + "; mine\n");
    r.Remove("/a/x.lqd");
    r.Write(again);
    QCOMPARE(again.Text(), parts + "[Recent]\nFile1=/b/y.csv\nLastFolder=/b\n; mine\n");
    QCOMPARE(RecentFiles::Read(again).Files(), std::vector<std::string>{"/b/y.csv"});
}

QTEST_APPLESS_MAIN(TestRecentFiles)
#include "tst_recent_files.moc"

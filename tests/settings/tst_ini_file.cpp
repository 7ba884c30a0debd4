#include "settings/ini_file.h"

#include <QTest>

using namespace tesmora;

class TestIniFile : public QObject {
    Q_OBJECT
private slots:
    void freshFileInOrder();
    void writesInPlace();
    void readInteger_data();
    void readInteger();
    void readBool_data();
    void readBool();
    void anyTextParses();
    void linesStayByteForByte();
};

void TestIniFile::freshFileInOrder() {
    IniFile ini;
    ini.WriteInteger("Form", "Top", 50);
    ini.WriteInteger("Form", "Left", 100);
    ini.WriteInteger("Settings", "Amp", 1);
    ini.WriteBool("Settings", "Check1", true);
    ini.WriteBool("Settings", "Check2", false);
    QCOMPARE(QString::fromStdString(ini.Text()),
             QString("[Form]\nTop=50\nLeft=100\n[Settings]\nAmp=1\nCheck1=1\nCheck2=0\n"));
}

void TestIniFile::writesInPlace() {
    IniFile ini("; kept\r\n[form]\r\nTOP = 1\r\nOther=x\r\n\r\n[Extra]\r\nKey=v\r\n");
    ini.WriteInteger("Form", "Top", 7);     // replaced where it stands, any letter case
    ini.WriteInteger("Form", "Width", 900); // after the section's last key, before the blank
    ini.WriteString("New", "K", "v");       // a new section at the end
    QCOMPARE(QString::fromStdString(ini.Text()),
             QString("; "
                     "kept\r\n[form]\r\nTop=7\r\nOther=x\r\nWidth=900\r\n\r\n[Extra]\r\nKey=v\r\n["
                     "New]\r\nK=v\r\n"));
    QCOMPARE(ini.ReadString("FORM", "other").value_or("?"), std::string("x"));
    QCOMPARE(ini.ReadString("Extra", "Top").has_value(), false);
}

void TestIniFile::readInteger_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("result");
    QTest::newRow("decimal") << "42" << 42;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("spaces") << "  17  " << 17;
    QTest::newRow("hex") << "0x1F" << 31;
    QTest::newRow("hex upper X") << "0X10" << 16;
    QTest::newRow("0x alone") << "0x" << -99;
    QTest::newRow("letters") << "abc" << -99;
    QTest::newRow("empty") << "" << -99;
    QTest::newRow("too big") << "99999999999" << -99;
    QTest::newRow("decimal point") << "1.5" << -99;
}

void TestIniFile::readInteger() {
    QFETCH(QString, value);
    QFETCH(int, result);
    const IniFile ini("[S]\nK=" + value.toStdString() + "\n");
    QCOMPARE(ini.ReadInteger("S", "K", -99), result);
    QCOMPARE(ini.ReadInteger("S", "Missing", -99), -99);
    QCOMPARE(ini.ReadInteger("Missing", "K", -99), -99);
}

void TestIniFile::readBool_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("def");
    QTest::addColumn<bool>("result");
    QTest::newRow("1") << "1" << false << true;
    QTest::newRow("0") << "0" << true << false;
    QTest::newRow("5 is true") << "5" << false << true;
    QTest::newRow("hex zero") << "0x0" << true << false;
    QTest::newRow("garbage keeps default") << "yes" << true << true;
}

void TestIniFile::readBool() {
    QFETCH(QString, value);
    QFETCH(bool, def);
    const IniFile ini("[S]\nB=" + value.toStdString() + "\n");
    QFETCH(bool, result);
    QCOMPARE(ini.ReadBool("S", "B", def), result);
}

void TestIniFile::anyTextParses() {
    std::string garbage;
    for (int k = 0; k < 100000; ++k) garbage.push_back(static_cast<char>((k * 7919) % 251));
    IniFile ini(garbage);
    ini.WriteInteger("Form", "Top", 3);
    QCOMPARE(IniFile(ini.Text()).ReadInteger("Form", "Top", -1), 3);
}

void TestIniFile::linesStayByteForByte() {
    // Found by the fuzzers: a last line of carriage returns without a line feed lost one of
    // them when the file was written back.
    const std::string odd = "[Odd]\r\r\rkey=1\r\r";
    IniFile ini(odd);
    ini.WriteInteger("Settings", "Amp", 4);
    QCOMPARE(QString::fromStdString(ini.Text()),
             QString::fromStdString(odd + "\n[Settings]\nAmp=4"));
    // A file with CR LF gets CR LF on its new lines too.
    IniFile dos("[Settings]\r\nAve=1\r\n");
    dos.WriteInteger("Settings", "Amp", 2);
    QCOMPARE(QString::fromStdString(dos.Text()), QString("[Settings]\r\nAve=1\r\nAmp=2\r\n"));
}

QTEST_APPLESS_MAIN(TestIniFile)
#include "tst_ini_file.moc"

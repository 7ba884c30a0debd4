// The window in a German locale: numbers on the screen take its decimal comma, files never do.
// CTest runs this with LANG and LC_ALL set to de_DE.UTF-8.

#include "app/main_window.h"
#include "chart/painter.h"
#include "support/recording_builder.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QTest>
#include <clocale>

using namespace tesmora;
using namespace tesmora::test;

class TestLocale : public QObject {
    Q_OBJECT
    TestFiles files;
    ScriptedDialogs dialogs;

private slots:
    void theLocaleIsInForce();
    void screenTakesTheCommaFilesKeepThePoint();
};

void TestLocale::theLocaleIsInForce() {
    // Both Qt's locale and the C library's (which printf would use): without them this test
    // could not see a file written with the comma.
    QCOMPARE(QLocale().decimalPoint(), QString(","));
    QCOMPARE(QString(std::localeconv()->decimal_point), QString(","));
}

void TestLocale::screenTakesTheCommaFilesKeepThePoint() {
    // The value grid's labels.
    const std::vector<ValueGridLine> lines = ValueGridLines(ValueWindowFor(0, 2), 2, 20, 412, 392);
    QCOMPARE(lines[0].right, QString("0,1"));
    QCOMPARE(lines[0].left, QString("20"));

    // The read-out of the real window.
    MainWindow window(dialogs, QString::fromStdString(files.Path("tesmora.INI")), QString());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    Ws31File file;
    file.Stamped(10, 0, 0, 0, 0.6543f, 0.1234f, -0.05f);
    for (int k = 0; k < 3; ++k) file.Untimed(0.6543f, 0.1234f, -0.05f);
    const std::string rec = files.Write("rec.lqd", file.Bytes());
    dialogs.files = {QString::fromStdString(rec)};
    window.findChild<QAction*>("O1")->trigger();
    QTest::mouseClick(window.findChild<QWidget*>("PaintBox1"), Qt::LeftButton, {}, {22, 100});
    QCOMPARE(window.findChild<QLabel*>("OXHbLabel")->text(), QString(" 0,1234"));
    QCOMPARE(window.findChild<QLabel*>("STO2Label")->text(), QString(" 65,4[%]"));

    // Save As CSV and the converter write points.
    const QString saved = QString::fromStdString(files.Path("saved.csv"));
    dialogs.files = {saved};
    window.findChild<QAction*>("S1")->trigger();
    QFile f(saved);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY2(text.contains("\r\n00:00:00,0,, 0.1234,-0.0500, 0.0734, 65.43\r\n"), text.constData());
    QProcess convert;
    convert.start(TESMORA_CONVERT_EXE, {"--output", "-", QString::fromStdString(rec)});
    QVERIFY(convert.waitForFinished(20000));
    QCOMPARE(convert.exitCode(), 0);
    QCOMPARE(convert.readAllStandardOutput(), text);
}

QTEST_MAIN(TestLocale)
#include "tst_locale.moc"

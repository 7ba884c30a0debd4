#include "recording/convert_error.h"
#include "recording/datetime.h"
#include "support/exact.h"

#include <QTest>

using namespace tesmora;

class TestDateTime : public QObject {
    Q_OBJECT
private slots:
    void build_data();
    void build();
    void rejectsInvalid_data();
    void rejectsInvalid();
    void format_data();
    void format();
    void roundTripsEveryPart();
    void errorTextForDisplay_data();
    void errorTextForDisplay();
};

void TestDateTime::build_data() {
    QTest::addColumn<QList<int>>("parts");
    QTest::addColumn<double>("expected");
    QTest::newRow("epoch") << QList<int>{1899, 12, 30, 0, 0, 0, 0} << 0.0;
    QTest::newRow("1900-01-01") << QList<int>{1900, 1, 1, 0, 0, 0, 0} << 2.0;
    QTest::newRow("before epoch") << QList<int>{1899, 12, 29, 0, 0, 0, 0} << -1.0;
    QTest::newRow("leap day 2000") << QList<int>{2000, 2, 29, 0, 0, 0, 0} << 36585.0;
    // The time part is one division of whole milliseconds, exactly as written.
    QTest::newRow("2021-06-01 12:34:56")
        << QList<int>{2021, 6, 1, 12, 34, 56, 0}
        << 44348.0 + (12 * 3600000.0 + 34 * 60000.0 + 56000.0) / 86400000.0;
    QTest::newRow("milliseconds") << QList<int>{1899, 12, 30, 0, 0, 0, 500} << 500.0 / 86400000.0;
    QTest::newRow("last moment") << QList<int>{9999, 12, 31, 23, 59, 59, 999}
                                 << 2958465.0 + 86399999.0 / 86400000.0;
    QTest::newRow("first day") << QList<int>{1, 1, 1, 0, 0, 0, 0} << -693593.0;
}

void TestDateTime::build() {
    QFETCH(QList<int>, parts);
    QFETCH(double, expected);
    const double v = DT(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
    QCOMPARE_EXACT(v, expected);
    const double ms = parts[3] * 3600000.0 + parts[4] * 60000.0 + parts[5] * 1000.0 + parts[6];
    QCOMPARE_EXACT(EncodeTime(parts[3], parts[4], parts[5], parts[6]), ms / 86400000.0);
}

void TestDateTime::rejectsInvalid_data() {
    QTest::addColumn<QList<int>>("parts");
    QTest::addColumn<QString>("message");
    const QString tail = " is not a valid date and time";
    QTest::newRow("month 0") << QList<int>{2021, 0, 1, 0, 0, 0} << "'2021/00/01 00:00:00'" + tail;
    QTest::newRow("month 13") << QList<int>{2021, 13, 1, 12, 0, 0}
                              << "'2021/13/01 12:00:00'" + tail;
    QTest::newRow("day 0") << QList<int>{2021, 1, 0, 0, 0, 0} << "'2021/01/00 00:00:00'" + tail;
    QTest::newRow("31 April") << QList<int>{2021, 4, 31, 0, 0, 0} << "'2021/04/31 00:00:00'" + tail;
    QTest::newRow("29 Feb 2100") << QList<int>{2100, 2, 29, 0, 0, 0}
                                 << "'2100/02/29 00:00:00'" + tail;
    QTest::newRow("hour 24") << QList<int>{2021, 1, 1, 24, 0, 0} << "'2021/01/01 24:00:00'" + tail;
    QTest::newRow("minute 60") << QList<int>{2021, 1, 1, 0, 60, 0}
                               << "'2021/01/01 00:60:00'" + tail;
    QTest::newRow("second 60") << QList<int>{2021, 1, 1, 0, 0, 60}
                               << "'2021/01/01 00:00:60'" + tail;
    QTest::newRow("year 0") << QList<int>{0, 1, 1, 0, 0, 0} << "'0000/01/01 00:00:00'" + tail;
    QTest::newRow("year 10000") << QList<int>{10000, 1, 1, 0, 0, 0}
                                << "'10000/01/01 00:00:00'" + tail;
}

void TestDateTime::rejectsInvalid() {
    QFETCH(QList<int>, parts);
    QFETCH(QString, message);
    try {
        DT(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], 0);
        QFAIL("no error");
    } catch (const ConvertError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
}

void TestDateTime::format_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("dateTime");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("shortTime");
    const double ms = 1.0 / 86400000.0;
    QTest::newRow("epoch") << 0.0 << "1899/12/30 00:00:00"
                           << "00:00:00"
                           << "0:00:00";
    QTest::newRow("just below zero") << -ms << "1899/12/29 23:59:59"
                                     << "23:59:59"
                                     << "23:59:59";
    QTest::newRow("afternoon") << DT(2021, 6, 1, 15, 4, 5, 0) << "2021/06/01 15:04:05"
                               << "15:04:05"
                               << "15:04:05";
    // Taking apart rounds to the millisecond first: a hair below a second is that second.
    QTest::newRow("hair below a second")
        << DT(2021, 6, 1, 9, 0, 1, 0) - 1e-12 << "2021/06/01 09:00:01"
        << "09:00:01"
        << "9:00:01";
    QTest::newRow("999 ms stays") << DT(2021, 6, 1, 9, 0, 0, 999) << "2021/06/01 09:00:00"
                                  << "09:00:00"
                                  << "9:00:00";
    QTest::newRow("elapsed 36.5 h") << 1.5 + 0.5 / 24 << "1899/12/31 12:30:00"
                                    << "12:30:00"
                                    << "12:30:00";
}

void TestDateTime::format() {
    QFETCH(double, value);
    QFETCH(QString, dateTime);
    QCOMPARE(QString::fromStdString(FormatDateTime(value)), dateTime);
    QFETCH(QString, time);
    QCOMPARE(QString::fromStdString(FormatTime(value)), time);
    QFETCH(QString, shortTime);
    QCOMPARE(QString::fromStdString(FormatTimeShort(value)), shortTime);
}

void TestDateTime::roundTripsEveryPart() {
    // Building and taking apart agree on every millisecond pattern, over a leap year.
    for (int day = 0; day < 366; day += 7) {
        for (int msOfDay = 0; msOfDay < 86400000; msOfDay += 86399999 / 997) {
            const int h = msOfDay / 3600000, m = msOfDay / 60000 % 60, s = msOfDay / 1000 % 60,
                      ms = msOfDay % 1000;
            const double date = EncodeDate(2024, 1, 1) + day;
            const DateTimeParts p = DecodeDateTime(date + EncodeTime(h, m, s, ms));
            if (p.hour != h || p.minute != m || p.second != s || p.ms != ms)
                QFAIL(qPrintable(QString("day %1 ms %2").arg(day).arg(msOfDay)));
            QCOMPARE_EXACT(EncodeDate(p.year, p.month, p.day), date);
        }
    }
}

void TestDateTime::errorTextForDisplay_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Invalid argument to time encode"
                            << "Invalid argument to time encode.";
    QTest::newRow("quote") << "'x' is not a valid value for 'Single'"
                           << "'x' is not a valid value for 'Single'";
    QTest::newRow("period") << "Done."
                            << "Done.";
    QTest::newRow("digit") << "code 7"
                           << "code 7.";
    QTest::newRow("bracket") << "(none)"
                             << "(none)";
    QTest::newRow("slash") << "a/"
                           << "a/.";
    QTest::newRow("empty") << ""
                           << "";
}

void TestDateTime::errorTextForDisplay() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(QString::fromStdString(ErrorTextForDisplay(text.toStdString())), shown);
}

QTEST_APPLESS_MAIN(TestDateTime)
#include "tst_datetime.moc"

// "Go To Time...": the sample a typed time names, or why there is none.

#include "navigation/time_target.h"
#include "recording/datetime.h"

#include <QTest>

using namespace tesmora;

namespace {

// 2021/06/01 23:00:00 to 2021/06/03 00:59:59.5 at 500 ms: three calendar days.
const RecordingSpan kLong{DT(2021, 6, 1, 23, 0, 0, 0), 500, (26 * 3600) * 2};
// 2021/06/01 09:30:00 to 10:29:59 at 1000 ms: one day.
const RecordingSpan kShort{DT(2021, 6, 1, 9, 30, 0, 0), 1000, 3600};

} // namespace

class TestTimeTarget : public QObject {
    Q_OBJECT

private slots:
    void found_data();
    void found();
    void refused_data();
    void refused();
    void days();
};

void TestTimeTarget::found_data() {
    QTest::addColumn<bool>("spansDays");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("day"); // index into the recording's days, -1 none
    QTest::addColumn<int>("index");
    QTest::newRow("clock") << false << "09:45:30" << -1 << 930;
    QTest::newRow("clock, short hour, spaces") << false << " 9:45:30 " << -1 << 930;
    QTest::newRow("clock without seconds") << false << "10:00" << -1 << 1800;
    QTest::newRow("the first sample") << false << "09:30:00" << -1 << 0;
    QTest::newRow("the last sample") << false << "10:29:59" << -1 << 3599;
    QTest::newRow("elapsed") << false << "+0:15:30" << -1 << 930;
    QTest::newRow("elapsed zero") << false << "+0:00" << -1 << 0;
    // Past midnight the clock falls on the next day; where it occurs twice, the first.
    QTest::newRow("after midnight") << true << "00:30:00" << -1 << 3 * 3600;
    QTest::newRow("twice: the first") << true << "23:30:00" << -1 << 3600;
    QTest::newRow("twice: the day chosen") << true << "23:30:00" << 1 << 3600 + 24 * 7200;
    QTest::newRow("elapsed past a day") << true << "+25:00:00" << -1 << 25 * 7200;
}

void TestTimeTarget::found() {
    QFETCH(bool, spansDays);
    QFETCH(QString, text);
    QFETCH(int, day);
    QFETCH(int, index);
    const RecordingSpan& span = spansDays ? kLong : kShort;
    std::optional<std::int64_t> d;
    if (day >= 0) d = RecordingDays(span)[static_cast<std::size_t>(day)];
    const TimeTarget t = FindTimeTarget(text.toStdString(), span, d);
    QVERIFY2(t.index, t.message.c_str());
    QCOMPARE(*t.index, index);
}

void TestTimeTarget::refused_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString how = "Enter a clock time as hh:mm:ss, or the time since the start as +h:mm:ss.";
    QTest::newRow("empty") << "" << how;
    QTest::newRow("blank") << "   " << how;
    QTest::newRow("words") << "noon"
                           << "\"noon\" is not a time. " + how;
    QTest::newRow("hour 24") << "24:00:00"
                             << "\"24:00:00\" is not a time. " + how;
    QTest::newRow("minute 60") << "10:60:00"
                               << "\"10:60:00\" is not a time. " + how;
    QTest::newRow("one digit minutes") << "10:5:00"
                                       << "\"10:5:00\" is not a time. " + how;
    QTest::newRow("a fourth part") << "10:05:00:00"
                                   << "\"10:05:00:00\" is not a time. " + how;
    QTest::newRow("a sign and nothing") << "+"
                                        << "\"+\" is not a time. " + how;
    QTest::newRow("huge hours") << "+99999999999:00:00"
                                << "\"+99999999999:00:00\" is not a time. " + how;
    QTest::newRow("before the start")
        << "09:00:00"
        << "09:00:00 is not within the recording, which runs from 2021/06/01 09:30:00 to "
           "2021/06/01 10:29:59.";
    QTest::newRow("after the end")
        << "10:30:00"
        << "10:30:00 is not within the recording, which runs from 2021/06/01 09:30:00 to "
           "2021/06/01 10:29:59.";
    QTest::newRow("elapsed past the end") << "+1:00:00"
                                          << "The recording ends +0:59:59 after its start.";
}

void TestTimeTarget::refused() {
    QFETCH(QString, text);
    QFETCH(QString, message);
    const TimeTarget t = FindTimeTarget(text.toStdString(), kShort);
    QVERIFY(!t.index);
    QCOMPARE(QString::fromStdString(t.message), message);
    // A day of its own the recording does not touch: no sample either.
    QVERIFY(!FindTimeTarget("09:45:00", kShort, RecordingDays(kShort)[0] + 1).index);
    QVERIFY(!FindTimeTarget("09:45:00", RecordingSpan{}).index);
}

void TestTimeTarget::days() {
    QCOMPARE(RecordingDays(kShort).size(), std::size_t{1});
    const std::vector<std::int64_t> d = RecordingDays(kLong);
    QCOMPARE(d.size(), std::size_t{3});
    QCOMPARE(d[0], std::int64_t{static_cast<std::int64_t>(DT(2021, 6, 1, 0, 0, 0, 0))});
    QCOMPARE(d[2] - d[0], std::int64_t{2});
}

QTEST_APPLESS_MAIN(TestTimeTarget)
#include "tst_time_target.moc"

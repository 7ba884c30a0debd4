// Navigating the real window on the three-channel demo recording: wheel, keys, the View
// menu's commands, "Go To Time...", drag and drop, and the recent files.

#include "app/main_window.h"
#include "chart/time_grid.h"
#include "support/recording_builder.h"
#include "support/window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QUrl>

using namespace tesmora;
using namespace tesmora::test;

class TestNavigationWindow : public QObject, WindowFixture {
    Q_OBJECT
    std::string demo; // the three-channel demo recording: 14,400 samples, 2021 counter wrap

    QScrollBar* Bar() const { return Find<QScrollBar>("ScrollBar1"); }
    int TimeScale() const { return window->Chart().TimeScale; }

    void Wheel(QPoint at, QPoint delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWheelEvent e(QPointF(at), Chart()->mapToGlobal(QPointF(at)), QPoint(), delta, Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Chart(), &e);
    }
    void Drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(400, 300);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
    }
    // "Go To Time...": the text typed, OK pressed; what the dialog says afterwards.
    QString GoTo(const QString& text) {
        QString said;
        dialogs.onRun = [&](QDialog& d) {
            d.findChild<QLineEdit*>("TimeEdit")->setText(text);
            d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            if (d.isVisible()) said = d.findChild<QLabel*>("MessageLabel")->text();
        };
        Find<QAction>("GoToTime1")->trigger();
        return said;
    }

private slots:
    void init();
    void cleanup();
    void wheelScrollsAndZoomsAroundThePointer();
    void keysPageThroughTheRecording();
    void wholeRecordingAndZoomCommands();
    void goToTime();
    void dropOpensAsOpenDoes();
    void dropDuringALoadIsRefused();
    void recentFiles();
    void garbageRecentSectionStartsFine();
};

void TestNavigationWindow::init() {
    StartWindow();
    demo = WriteThreeChannelDemo();
    Open(demo);
    QVERIFY(dialogs.files.isEmpty());
    QCOMPARE(window->Store().DataCount, 14400);
}

void TestNavigationWindow::cleanup() {
    StopWindow();
}

void TestNavigationWindow::wheelScrollsAndZoomsAroundThePointer() {
    const ChartState& s = window->Chart();
    const int left = s.ChLeft[0], top = s.ChTop[0] + 10;
    // Zoom out by ten notches with Ctrl held, the pointer 300 columns into the first panel:
    // the sample under it stays under it, as far as the range allows.
    Bar()->setValue(4000);
    const int under = Bar()->value() + 300 * TimeScale();
    Wheel({left + 300, top}, {0, -10 * 120}, Qt::ControlModifier);
    QCOMPARE(TimeScale(), 11);
    QCOMPARE(Bar()->value() + 300 * TimeScale(), under);
    // And in by four: the same sample.
    Wheel({left + 300, top}, {0, 4 * 120}, Qt::ControlModifier);
    QCOMPARE(TimeScale(), 7);
    QCOMPARE(Bar()->value() + 300 * TimeScale(), under);
    QCOMPARE(s.GridTime, CalcTimeGrid(500, 7)); // the grid of the new zoom
    // The wheel scrolls a tenth of the span per notch; Shift and a horizontal wheel too.
    const int at = Bar()->value();
    const int tenth = s.PlotWidth * TimeScale() / 10;
    Wheel({left + 10, top}, {0, -120});
    QCOMPARE(Bar()->value(), at + tenth);
    Wheel({left + 10, top}, {0, 120}, Qt::ShiftModifier);
    QCOMPARE(Bar()->value(), at);
    Wheel({left + 10, top}, {-120, 0});
    QCOMPARE(Bar()->value(), at + tenth);
    // A flood of huge deltas stays within every range.
    for (int k = 0; k < 1000; ++k)
        Wheel({left + k % 900, top}, {0, k % 2 ? 1 << 30 : -(1 << 30)},
              k % 3 ? Qt::ControlModifier : Qt::NoModifier);
    QVERIFY(TimeScale() >= 1 && TimeScale() <= s.TimeScaleMax);
    QVERIFY(Bar()->value() >= 0 && Bar()->value() <= Bar()->maximum());
}

void TestNavigationWindow::keysPageThroughTheRecording() {
    const ChartState& s = window->Chart();
    QTest::mouseClick(Chart(), Qt::LeftButton, {}, {s.ChLeft[0] + 50, s.ChTop[0] + 50});
    QCOMPARE(QApplication::focusWidget(), Chart()); // it takes the focus when clicked
    const struct {
        Qt::Key key;
        int position;
    } keys[] = {{Qt::Key_PageDown, s.PlotWidth},
                {Qt::Key_Right, s.PlotWidth + s.PlotWidth / 10},
                {Qt::Key_Left, s.PlotWidth},
                {Qt::Key_End, 14400 - s.PlotWidth},
                {Qt::Key_PageDown, 14400 - s.PlotWidth},
                {Qt::Key_Home, 0}};
    for (const auto& k : keys) {
        QTest::keyClick(Chart(), k.key);
        QCOMPARE(Bar()->value(), k.position);
    }
    QTest::keyClick(Chart(), Qt::Key_Down);
    QCOMPARE(window->Chart().YShift, 1000 / s.PlotHeight);
    QTest::keyClick(Chart(), Qt::Key_Up);
    QCOMPARE(window->Chart().YShift, 0);
    // "+" and "-" zoom around the centre.
    QTest::keyClick(Chart(), Qt::Key_Minus);
    QCOMPARE(TimeScale(), 2);
    QTest::keyClick(Chart(), Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(TimeScale(), 1);
}

void TestNavigationWindow::wholeRecordingAndZoomCommands() {
    Bar()->setValue(3000);
    Find<QAction>("WholeRecording1")->trigger();
    QCOMPARE(TimeScale(), window->Chart().TimeScaleMax);
    QCOMPARE(Bar()->value(), 0);
    Find<QAction>("ZoomIn1")->trigger();
    QCOMPARE(TimeScale(), window->Chart().TimeScaleMax - 1);
    Find<QAction>("ZoomOut1")->trigger();
    QCOMPARE(TimeScale(), window->Chart().TimeScaleMax);
}

void TestNavigationWindow::goToTime() {
    const ChartState& s = window->Chart();
    // The demo starts at 2026/03/14 09:30:00: 10:00:00 is sample 3600, centred, with the
    // cursor and its read-out.
    QCOMPARE(GoTo("10:00:00"), QString());
    QCOMPARE(Bar()->value(), 3600 - s.PlotWidth / 2);
    QCOMPARE(s.CursorIndex, 3600);
    QVERIFY(!Find("ReadoutGroupBox")->isHidden());
    QCOMPARE(Find<QGroupBox>("ReadoutGroupBox")->title(), QString("10:00:00"));
    QCOMPARE(GoTo("+1:30:00"), QString());
    QCOMPARE(s.CursorIndex, 10800);
    // Wrong texts are answered in the dialog, and nothing moves.
    const int at = Bar()->value();
    QVERIFY(GoTo("").startsWith("Enter a clock time"));
    QVERIFY(GoTo("12:00:00").contains("is not within the recording"));
    QVERIFY(GoTo("ab").contains("is not a time"));
    QCOMPARE(Bar()->value(), at);
    QCOMPARE(s.CursorIndex, 10800);
    QCOMPARE(dialogs.runs, 5);
}

void TestNavigationWindow::dropOpensAsOpenDoes() {
    const std::string other = files->Write("other.lqd", Ws56File().Records(1, 3000).Bytes());
    Drop({QUrl::fromLocalFile(QString::fromStdString(other))});
    QCOMPARE(window->Store().DataCount, 3000);
    QVERIFY(window->statusBar()->currentMessage().startsWith("FileName[ other.lqd ]"));
    QVERIFY(Find("StatusNoteLabel")->isHidden());
    // Two files: the first opens, the second is named in a note.
    Drop({QUrl::fromLocalFile(QString::fromStdString(demo)),
          QUrl::fromLocalFile(QString::fromStdString(other))});
    QCOMPARE(window->Store().DataCount, 14400);
    QVERIFY(!Find("StatusNoteLabel")->isHidden());
    QCOMPARE(Find<QLabel>("StatusNoteLabel")->text(),
             QString("Only the first of 2 dropped files was opened."));
    // A folder, a file gone before it opens, a web address: as an unopenable file, nothing.
    Drop({QUrl::fromLocalFile(QString::fromStdString(files->Path("")))});
    Drop({QUrl::fromLocalFile(QString::fromStdString(files->Path("gone.lqd")))});
    Drop({QUrl("https://example.org/rec.lqd")});
    QCOMPARE(window->Store().DataCount, 14400);
    QVERIFY(dialogs.messages.isEmpty());
    // A bad file dropped: the messages of the Open command.
    Drop({QUrl::fromLocalFile(QString::fromStdString(files->Write("bad.lqd", std::string("x"))))});
    QCOMPARE(dialogs.TakeTexts(), QStringList{"Data format error."});
    QCOMPARE(window->Store().DataCount, 0);
}

void TestNavigationWindow::dropDuringALoadIsRefused() {
    // "Unable to read anymore." comes while the file is read: a drop then changes nothing.
    const std::string full =
        files->Write("full.lqd", Ws56File().Record(0).Record(SAMPLE_CAPACITY + 1).Bytes());
    const std::string other = files->Write("other.lqd", Ws56File().Records(1, 3000).Bytes());
    bool dropped = false;
    dialogs.onMessage = [&](const ScriptedDialogs::Shown&) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(other))});
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
        dropped = !enter.isAccepted() && !drop.isAccepted();
    };
    Open(full);
    QVERIFY(dropped);
    QCOMPARE(window->Store().DataCount, SAMPLE_CAPACITY);
    QVERIFY(window->statusBar()->currentMessage().startsWith("FileName[ full.lqd ]"));
}

void TestNavigationWindow::recentFiles() {
    const std::string other = files->Write("other.lqd", Ws56File().Records(1, 3000).Bytes());
    Open(other);
    auto items = [this] {
        QStringList texts;
        for (QAction* a : Find<QMenu>("RecentFiles1")->actions())
            texts << (a->isSeparator() ? QString("-") : a->text());
        return texts;
    };
    QCOMPARE(items(),
             QStringList({"&1 " + QString::fromStdString(other),
                          "&2 " + QString::fromStdString(demo), "-", "Clear Recent Files(&C)"}));
    // A recent file opens as the Open command opens it.
    Find<QAction>("RecentFile2")->trigger();
    QCOMPARE(window->Store().DataCount, 14400);
    QCOMPARE(items().first(), "&1 " + QString::fromStdString(demo));
    // One that is gone: nothing changes, and it leaves the list.
    QVERIFY(QFile::remove(QString::fromStdString(other)));
    Find<QAction>("RecentFile2")->trigger();
    QCOMPARE(window->Store().DataCount, 14400);
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(items().size(), 3);
    // Kept in a section of their own: the program's ten keys stay in order and value.
    window->close();
    QFile ini(QString::fromStdString(files->Path("tesmora.INI")));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(ini.readAll()).split('\n');
    QCOMPARE(lines.mid(0, 12).join('|').replace(QRegularExpression("=-?[0-9]+"), "=#"),
             QString("[Form]|Top=#|Left=#|Width=#|Height=#|[Settings]|Amp=#|Ave=#|Check1=#|"
                     "Check2=#|Check3=#|Check4=#"));
    const QString folder = QFileInfo(QString::fromStdString(demo)).absolutePath();
    QCOMPARE(lines.mid(12, 3), QStringList({"[Recent]", "File1=" + QString::fromStdString(demo),
                                            "LastFolder=" + folder}));
    // The next start knows them; "Clear Recent Files" empties the list.
    NewWindow();
    QCOMPARE(items().size(), 3);
    Find<QAction>("ClearRecent1")->trigger();
    QCOMPARE(items(), QStringList({"-", "Clear Recent Files(&C)"}));
}

void TestNavigationWindow::garbageRecentSectionStartsFine() {
    window.reset();
    std::string text = "[Form]\nTop=20\n[Recent]\nFile1=\x01\x02\nFile2=/no/such/file.lqd\n"
                       "File2=/dup.lqd\nFile3=/no/such/file.lqd\n";
    for (int k = 4; k < 1000; ++k)
        text += "File" + std::to_string(k) + "=/x" + std::to_string(k) + "\n";
    files->Write("tesmora.INI", text);
    NewWindow();
    const QList<QAction*> actions = Find<QMenu>("RecentFiles1")->actions();
    QCOMPARE(actions.size(), 6 + 2); // File2 and File4..File8; the separator and Clear
    // The one that does not exist ends as an unopenable file.
    Find<QAction>("RecentFile1")->trigger();
    QCOMPARE(window->Store().DataCount, 0);
    QVERIFY(dialogs.messages.isEmpty());
}

QTEST_MAIN(TestNavigationWindow)
#include "tst_navigation_window.moc"

// A random user: a seeded sequence of actions on the real window, the invariants checked
// after every one. TESMORA_SOAK_ACTIONS sets the count (2,000 by default).

#include "app/main_window.h"
#include "app/widgets.h"
#include "support/recording_builder.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"
#include "support/text_builder.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <QWheelEvent>
#include <random>

using namespace tesmora;
using namespace tesmora::test;

namespace {

template <typename T>
T* Find(QWidget& window, const QString& name) {
    T* found = window.findChild<T*>(name);
    if (!found) qFatal("no control %s", qPrintable(name));
    return found;
}

} // namespace

class TestSoak : public QObject {
    Q_OBJECT
private slots:
    void randomUser();
};

void TestSoak::randomUser() {
    const int actions = qEnvironmentVariableIsSet("TESMORA_SOAK_ACTIONS")
                            ? qEnvironmentVariableIntValue("TESMORA_SOAK_ACTIONS")
                            : 2000;
    const unsigned seed = qEnvironmentVariableIsSet("TESMORA_SOAK_SEED")
                              ? qEnvironmentVariableIntValue("TESMORA_SOAK_SEED")
                              : 20261210u;
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };

    TestFiles files;
    std::vector<std::uint8_t> cut = Ws56File().Records(1, 40).Bytes();
    cut.resize(cut.size() - 7);
    const std::vector<QString> recordings = {
        QString::fromStdString(files.Write(
            "three.lqd", Ws56File()
                             .Patient("A1", "N")
                             .Record(1, {Error(), Error(0x41), Values(0.2f, 0.1f, 0.6f, 0x2000)})
                             .Records(2, 6000)
                             .Bytes())),
        QString::fromStdString(files.Write("one.lqd", Ws31File()
                                                          .Stamped(10, 0, 0)
                                                          .Untimed(700)
                                                          .Stamped(10, 6, 0, 0x80)
                                                          .Untimed(300)
                                                          .Bytes())),
        QString::fromStdString(files.Write("mv31.csv", TextRecording::MV31(1000).Rows(900).Text())),
        QString::fromStdString(files.Write("pc48.txt", TextRecording::Pc48().Rows(400).Text())),
        QString::fromStdString(files.Write("pc56.csv", TextRecording::Pc56().Rows(2500).Text())),
        QString::fromStdString(files.Write("cut.lqd", cut)),
        QString::fromStdString(files.Write("empty.lqd", std::vector<std::uint8_t>())),
        QString::fromStdString(files.Write("header.lqd", Ws56File().Bytes())),
        QString::fromStdString(files.Write(
            "date.lqd", Ws56File().RawStart({0x21, 0x13, 1, 0, 0, 0}).Records(1, 5).Bytes())),
        QString::fromStdString(
            files.Write("full.lqd", Ws56File().Record(0).Record(SAMPLE_CAPACITY - 1).Bytes())),
    };

    ScriptedDialogs dialogs;
    MainWindow w(dialogs, QString::fromStdString(files.Path("soak.INI")), QString());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* const box = Find<QWidget>(w, "PaintBox1");
    auto* const bar = Find<QScrollBar>(w, "ScrollBar1");
    auto* const readout = Find<QGroupBox>(w, "ReadoutGroupBox");
    auto menuItem = [&](const char* name) { return Find<QAction>(w, name); };

    auto randomPoint = [&] {
        return QPoint(pick(box->width() + 40) - 20, pick(box->height() + 40) - 20);
    };
    int step = 0;
    for (; step < actions; ++step) {
        const int action = pick(22);
        bool mayReportAnError = false;
        switch (action) {
        case 0:
        case 1: { // a left or middle press, some moves (some within 5 pixels), a release
            const Qt::MouseButton button = action == 0 ? Qt::LeftButton : Qt::MiddleButton;
            QPoint p = randomPoint();
            QTest::mousePress(box, button, {}, p);
            for (int k = pick(4); k > 0; --k) {
                p += pick(2) ? QPoint(pick(11) - 5, pick(11) - 5)
                             : QPoint(pick(400) - 200, pick(200) - 100);
                QTest::mouseMove(box, p);
            }
            QTest::mouseRelease(box, button, {}, p);
            break;
        }
        case 2: {
            const QPoint p = randomPoint();
            QTest::mouseDClick(box, Qt::LeftButton, {}, p);
            QTest::mouseRelease(box, Qt::LeftButton, {}, p);
            break;
        }
        case 3:
            if (!bar->isHidden()) bar->setValue(pick(bar->maximum() + 1));
            break;
        case 4:
            Find<QCheckBox>(w, QString("Region1Data%1CheckBox").arg(pick(4) + 1))->click();
            break;
        case 5: {
            QCheckBox* ch = Find<QCheckBox>(w, QString("CH%1CheckBox").arg(pick(4) + 1));
            if (!ch->isHidden()) ch->click();
            break;
        }
        case 6:
        case 7: {
            QComboBox* combo = Find<QComboBox>(w, action == 6 ? "AveComboBox" : "AmpComboBox");
            const int index = pick(combo->count());
            combo->setCurrentIndex(index);
            emit combo->activated(index); // as a choice of the user
            break;
        }
        case 8:
            if (!Find<QGroupBox>(w, "ArrangeGroupBox")->isHidden())
                Find<QToolButton>(w, pick(2) ? "SpeedButton1" : "SpeedButton2")->click();
            break;
        case 9:
            w.resize(300 + pick(1700), 200 + pick(900)); // below the minimum too
            break;
        case 10:
            menuItem("I1")->trigger();
            break;
        case 11:
        case 12: { // the full recording now and then, the others often
            const int r = pick(40) == 0 ? static_cast<int>(recordings.size()) - 1
                                        : pick(static_cast<int>(recordings.size()) - 1);
            dialogs.files.push_back(
                pick(10) == 0 ? std::nullopt
                              : std::optional<QString>(recordings[static_cast<std::size_t>(r)]));
            menuItem("O1")->trigger();
            mayReportAnError = true;
            break;
        }
        case 13:
            if (menuItem("S1")->isEnabled()) {
                dialogs.files.push_back(
                    QString::fromStdString(files.Path("saved" + std::to_string(pick(3)) + ".csv")));
                dialogs.answers = {true};
                menuItem("S1")->trigger();
            }
            break;
        case 14:
            bar->triggerAction(pick(2) ? QAbstractSlider::SliderSingleStepAdd
                                       : QAbstractSlider::SliderPageStepSub);
            break;
        case 15:
        case 16: { // the wheel: any delta, with or without Ctrl or Shift, horizontal or not
            static const int deltas[] = {120, -120, 15, -15, 0, 1200, -360, 1 << 30, -(1 << 30)};
            const int d = deltas[pick(static_cast<int>(std::size(deltas)))];
            const QPointF at = randomPoint();
            const Qt::KeyboardModifiers m = pick(3) == 0   ? Qt::ControlModifier
                                            : pick(4) == 0 ? Qt::ShiftModifier
                                                           : Qt::NoModifier;
            QWheelEvent e(at, box->mapToGlobal(at), QPoint(), pick(5) ? QPoint(0, d) : QPoint(d, 0),
                          Qt::NoButton, m, Qt::NoScrollPhase, false);
            QApplication::sendEvent(box, &e);
            break;
        }
        case 17: { // a key on the chart
            static const int keys[] = {
                Qt::Key_Left, Qt::Key_Right, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home,
                Qt::Key_End,  Qt::Key_Plus,  Qt::Key_Minus,  Qt::Key_Up,       Qt::Key_Down};
            box->setFocus();
            QTest::keyClick(box, static_cast<Qt::Key>(keys[pick(10)]));
            break;
        }
        case 18: { // a drop: a recording, two of them, or a folder
            QMimeData data;
            QList<QUrl> urls{QUrl::fromLocalFile(recordings[static_cast<std::size_t>(
                pick(static_cast<int>(recordings.size()) - 1))])};
            if (pick(4) == 0) urls.append(QUrl::fromLocalFile(recordings[0]));
            if (pick(6) == 0) urls = {QUrl::fromLocalFile(QString::fromStdString(files.Path("")))};
            data.setUrls(urls);
            QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton,
                            Qt::NoModifier);
            QApplication::sendEvent(&w, &drop);
            mayReportAnError = true;
            break;
        }
        case 19: { // a recent file, or clearing the list
            const QList<QAction*> recent = Find<QMenu>(w, "RecentFiles1")->actions();
            QAction* a = recent[pick(static_cast<int>(recent.size()))];
            if (!a->isSeparator() && a->isEnabled()) a->trigger();
            mayReportAnError = true;
            break;
        }
        case 20: { // the View menu's commands
            static const char* names[] = {"ZoomIn1", "ZoomOut1", "WholeRecording1"};
            menuItem(names[pick(3)])->trigger();
            break;
        }
        case 21: { // an export, now and then cancelled; the picture at its preset size
            static const char* const names[][2] = {
                {"ExportSnirf1", "x.snirf"},    {"ExportEdf1", "x.edf"},
                {"ExportBdf1", "x.bdf"},        {"ExportChartImage1", "x.svg"},
                {"ExportChartImage1", "x.png"}, {"SaveRangeAsCsv1", "x.csv"}};
            const auto& [item, name] = names[pick(6)];
            if (!menuItem(item)->isEnabled()) break;
            dialogs.files.push_back(
                pick(8) == 0 ? std::nullopt
                             : std::optional<QString>(QString::fromStdString(files.Path(name))));
            dialogs.answers = {pick(4) != 0};
            dialogs.onRun = [](QDialog& d) {
                d.findChild<QDialogButtonBox*>("Buttons")->button(QDialogButtonBox::Ok)->click();
            };
            menuItem(item)->trigger();
            dialogs.onRun = nullptr;
            mayReportAnError = true; // a recording the format cannot hold says so
            break;
        }
        }
        dialogs.files.clear();
        dialogs.answers.clear();
        box->repaint(); // a paint completes

        // The invariants.
        const ChartState& s = w.Chart();
        const int panels = static_cast<int>(
            std::count_if(std::begin(s.ChSlot), std::end(s.ChSlot), [](int c) { return c >= 0; }));
        const int s0 = bar->isHidden() ? 0 : bar->value();
        const auto fail = [&](const char* what) {
            return QString("after action %1 (kind %2, seed %3): %4")
                .arg(step)
                .arg(action)
                .arg(seed)
                .arg(what);
        };
        QVERIFY2(s.TimeScale >= 1 && s.TimeScale <= s.TimeScaleMax, qPrintable(fail("TimeScale")));
        QVERIFY2(s.YShift >= -100 && s.YShift <= 100, qPrintable(fail("YShift")));
        QVERIFY2(bar->value() >= bar->minimum() && bar->value() <= bar->maximum(),
                 qPrintable(fail("scroll position")));
        QVERIFY2(s.CursorCh == -1 || (s.CursorCh >= 0 && s.CursorCh < panels),
                 qPrintable(fail("CursorCh")));
        QVERIFY2(s.CursorIndex == -1 || (s.CursorIndex >= 0 && s.CursorIndex < w.Store().DataCount),
                 qPrintable(fail("CursorIndex")));
        const bool cursorShown = s.TimeScale == 1 && s.CursorCh != -1 && s0 < s.CursorIndex &&
                                 s.CursorIndex < s0 + s.PlotWidth;
        QVERIFY2(readout->isHidden() || cursorShown, qPrintable(fail("read-out without a cursor")));
        QVERIFY2(w.Store().DataCount >= 0 && w.Store().DataCount <= SAMPLE_CAPACITY,
                 qPrintable(fail("DataCount")));
        for (const ScriptedDialogs::Shown& m : dialogs.messages)
            QVERIFY2(mayReportAnError || m.icon != Dialogs::Icon::Error,
                     qPrintable(fail(qPrintable(m.text))));
        dialogs.messages.clear();
        QVERIFY2(!QApplication::overrideCursor(), qPrintable(fail("busy cursor left on")));
    }
    qInfo("random user: %d actions, seed %u", step, seed);
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"

// The real main window on the offscreen platform, driven through its controls' names.

#include "app/application.h"
#include "app/main_window.h"
#include "pointer_events.h"
#include "support/exact.h"
#include "support/recording_builder.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"
#include "support/text_builder.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <sys/stat.h>

using namespace tesmora;
using namespace tesmora::test;

class TestMainWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<TestFiles> files;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;

    template <typename T = QWidget>
    T* Find(const char* name) const {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        if (!w) qFatal("no control %s", name);
        return w;
    }
    QAction* Action(const char* name) const { return Find<QAction>(name); }
    bool Hidden(const char* name) const { return Find(name)->isHidden(); }
    QString Text(const char* name) const { return Find<QLabel>(name)->text(); }
    QString Status() const { return window->statusBar()->currentMessage(); }

    void NewWindow() {
        window.reset();
        window = std::make_unique<MainWindow>(
            dialogs, QString::fromStdString(files->Path("tesmora.INI")),
            QString::fromStdString(files->Path("tesmora_en.pdf")));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    // "Open(&O)" with the dialog answered by path (nothing: Cancel).
    void Open(std::optional<std::string> path) {
        dialogs.files.push_back(path ? std::optional<QString>(QString::fromStdString(*path))
                                     : std::nullopt);
        Action("O1")->trigger();
        QVERIFY(dialogs.files.isEmpty());
    }
    void OpenBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        Open(files->Write(name, bytes));
    }
    void OpenText(const std::string& name, const std::string& text) {
        Open(files->Write(name, text));
    }
    void CheckNothingShown() {
        QCOMPARE(window->Store().DataCount, 0);
        for (const char* l :
             {"Label1", "Label2", "Label3", "StartTimeLabel", "EndTimeLabel", "CountLabel"})
            QVERIFY2(Hidden(l), l);
        // The empty chart keeps the panels of the checked channels, and their arrangement
        // buttons when there are more than two.
        QCOMPARE(Hidden("ArrangeGroupBox"), window->Chart().ChSlot[2] < 0);
        QVERIFY(Hidden("CHGroupBox"));
        QVERIFY(Hidden("ScrollBar1"));
        QVERIFY(!Action("S1")->isEnabled());
        QCOMPARE(window->Chart().TimeScaleMax, 1);
        QVERIFY(Hidden("ReadoutGroupBox")); // no values of the recording that went
    }

private slots:
    void init();
    void cleanup();
    void startsAsDesigned();
    void menuAsDesigned();
    void opensEachKind_data();
    void opensEachKind();
    void statusBarText_data();
    void statusBarText();
    void cancelAndUnopenableChangeNothing();
    void brokenRecordingShowsNothing_data();
    void brokenRecordingShowsNothing();
    void storeFullIsShownWhileBusy();
    void scrollBarThreshold();
    void averagingChoice();
    void arrangement();
    void resizeKeepsAnchors();
    void settingsFirstRunAndRestart();
    void settingsValues_data();
    void settingsValues();
    void settingsUnwritable();
    void settingsReadOnly();
    void clickPlacesTheCursor();
    void dragsPanShiftAndZoom();
    void initializeViewSettings();
    void arrangementKeepsAZoomedCursor();
    void dragAfterDoubleClickStartsFromNoShift();
    void halfALoadIsNeverPainted();
    void scrollBarTakesTheKeyboard();
    void uncaughtErrorsReachTheErrorHandler();
};

void TestMainWindow::init() {
    files = std::make_unique<TestFiles>();
    dialogs = ScriptedDialogs();
    NewWindow();
}

void TestMainWindow::cleanup() {
    window.reset();
    files.reset();
}

void TestMainWindow::startsAsDesigned() {
    QCOMPARE(window->objectName(), QString("Form1"));
    QCOMPARE(window->windowTitle(), QString("Tesmora for Medical"));
    const struct {
        const char* name;
        QRect geometry;
    } design[] = {{"GroupBox1", {8, 8, 233, 58}},
                  {"GroupBox4", {264, 8, 96, 58}},
                  {"GroupBox5", {375, 8, 96, 58}},
                  {"ArrangeGroupBox", {486, 8, 97, 58}},
                  {"Region1Data1CheckBox", {16, 23, 17, 17}},
                  {"AveComboBox", {20, 26, 57, 21}},
                  {"AmpComboBox", {20, 26, 57, 21}},
                  {"SpeedButton2", {58, 19, 28, 28}},
                  {"CH4CheckBox", {16, 93, 97, 17}}};
    for (const auto& d : design) QCOMPARE(Find(d.name)->geometry(), d.geometry);
    // The window opens at its design size (the offscreen screen has no frame); the client
    // area grows to the minimum width.
    // The client area may have grown to the minimum size; Panel1 grows with it.
    const QSize client = window->centralWidget()->size();
    QCOMPARE(Find("Panel1")->geometry(),
             QRect(8, 80, 900 + client.width() - 1008, 449 + client.height() - 550));
    QCOMPARE(Find("PaintBox1")->size(), Find("Panel1")->size()); // the scroll bar is hidden
    for (const char* h : {"StartTimeLabel", "Label1", "ReadoutGroupBox", "CHGroupBox",
                          "ArrangeGroupBox", "ScrollBar1"})
        QVERIFY2(Hidden(h), h);
    QCOMPARE(Text("Region1Data1Label"), QString("OXHb"));
    QCOMPARE(Text("Region1Data4Label"), QString("STO2"));
    // Defaults of a first run: x0.5, none, OXHb and StO2 shown.
    QCOMPARE(Find<QComboBox>("AmpComboBox")->currentText(), QString("x0.5"));
    QCOMPARE(Find<QComboBox>("AveComboBox")->currentText(), QString("none"));
    QCOMPARE(Find<QComboBox>("AveComboBox")->count(), 6);
    QVERIFY(Find<QCheckBox>("Region1Data1CheckBox")->isChecked());
    QVERIFY(!Find<QCheckBox>("Region1Data2CheckBox")->isChecked());
    QVERIFY(Find<QCheckBox>("Region1Data4CheckBox")->isChecked());
    QVERIFY(Find<QCheckBox>("CH1CheckBox")->isChecked());
    QVERIFY(!Find<QCheckBox>("CH2CheckBox")->isChecked());
    // Trace colours come from the labels.
    const QRgb colors[4] = {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 128, 0), qRgb(128, 0, 128)};
    for (int k = 0; k < 4; ++k) QCOMPARE(window->Chart().TraceColor[k], colors[k]);
    for (int k = 0; k < 4; ++k)
        QCOMPARE(window->Chart().ChSlot[k], k == 0 ? 0 : -1); // one empty panel
    QCOMPARE(Status(), QString());
    QVERIFY(window->frameGeometry().width() >= 1024 && window->frameGeometry().height() >= 600);
}

void TestMainWindow::menuAsDesigned() {
    const struct {
        const char* name;
        const char* caption;
    } items[] = {{"F1", "File(&F)"},        {"O1", "Open(&O)"},
                 {"S1", "Save As CSV(&S)"}, {"U1", "Print Setup(&U)"},
                 {"P1", "Print(&P)"},       {"X1", "Exit(&X)"},
                 {"N1", "View(&V)"},        {"I1", "Initialize View Settings(&I)"},
                 {"H1", "Help(&H)"},        {"H2", "Help(&H)"},
                 {"A1", "About(&A)"}};
    for (const auto& item : items) {
        QObject* o = window->findChild<QObject*>(item.name);
        QVERIFY2(o, item.name);
        const QString caption = qobject_cast<QAction*>(o) ? qobject_cast<QAction*>(o)->text()
                                                          : qobject_cast<QMenu*>(o)->title();
        QCOMPARE(caption, QString(item.caption));
    }
    // The items of each menu in order: the program's own, with the recent files before the
    // exit item's separator and the navigation commands below "Initialize View Settings".
    auto names = [this](const char* menu) {
        QStringList out;
        for (QAction* a : window->findChild<QMenu*>(menu)->actions())
            out << (a->isSeparator() ? "-" + a->objectName()
                    : a->menu()      ? a->menu()->objectName()
                                     : a->objectName());
        return out;
    };
    QCOMPARE(names("F1"),
             QStringList({"O1", "-N4", "S1", "ExportMeasurements1", "ExportAnalysis1", "Export1",
                          "-N2", "U1", "P1", "-N5", "RecentFiles1", "-N3", "X1"}));
    QCOMPARE(names("N1"), QStringList({"I1", "-N6", "ZoomIn1", "ZoomOut1", "WholeRecording1", "-N7",
                                       "GoToTime1", "-N8", "Measurements1", "Oximetry1"}));
    QVERIFY(!Action("S1")->isEnabled());
    // No two items of the menu bar share an access key, the new ones included.
    QStringList keys;
    for (QMenu* m : window->findChildren<QMenu*>()) {
        if (m->parent() != window->menuBar()) continue;
        for (QAction* a : m->actions()) {
            const QString text = a->menu() ? a->menu()->title() : a->text();
            const int amp = text.indexOf('&');
            if (a->isSeparator() || amp < 0) continue;
            const QString key = m->objectName() + ":" + text.mid(amp + 1, 1).toUpper();
            QVERIFY2(!keys.contains(key), qPrintable(key));
            keys << key;
        }
    }
    const struct {
        const char* name;
        const char* caption;
        const char* shortcut;
    } added[] = {{"ZoomIn1", "Zoom In(&Z)", "Ctrl++"},
                 {"ZoomOut1", "Zoom Out(&T)", "Ctrl+-"},
                 {"WholeRecording1", "Whole Recording(&W)", "Ctrl+0"},
                 {"GoToTime1", "Go To Time...(&G)", "Ctrl+G"},
                 {"Measurements1", "Measurements(&M)", ""},
                 {"Oximetry1", "Oximetry(&O)", ""},
                 {"ExportAnalysis1", "Export Analysis...(&A)", ""}};
    for (const auto& a : added) {
        QCOMPARE(Action(a.name)->text(), QString(a.caption));
        QCOMPARE(Action(a.name)->shortcut().toString(), QString(a.shortcut));
        QCOMPARE(Action(a.name)->isEnabled(),
                 QString(a.name) == "Measurements1" || QString(a.name) == "Oximetry1");
    }
    QCOMPARE(window->findChild<QMenu*>("RecentFiles1")->title(), QString("Recent Files(&R)"));
}

void TestMainWindow::opensEachKind_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("channels");
    QTest::addColumn<bool>("saveEnabled");
    QTest::addColumn<bool>("tempShown");
    QTest::addColumn<QString>("countText");
    auto b = [](const std::vector<std::uint8_t>& v) {
        return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
    };
    auto t = [](const std::string& s) { return QByteArray::fromStdString(s); };
    QTest::newRow("three-channel lqd") << "a.lqd" << b(Ws56File().Records(1, 2000).Bytes()) << 2000
                                       << 3 << true << false << "2000 (500[ms])";
    QTest::newRow("single-channel LQD") << "b.LQD" << b(Ws31File().Untimed(10).Bytes()) << 10 << 1
                                        << true << false << "10 (500[ms])";
    QTest::newRow("MV31 csv") << "c.csv" << t(TextRecording::MV31(1000).Rows(5).Text()) << 5 << 1
                              << false << false << "5 (1000[ms])";
    QTest::newRow("Pc48 txt") << "d.txt" << t(TextRecording::Pc48().Rows(5).Text()) << 5 << 1
                              << false << true << "5 (500[ms])";
    QTest::newRow("Pc56 csv") << "e.csv" << t(TextRecording::Pc56().Rows(5).Text()) << 5 << 3
                              << false << false << "5 (500[ms])";
}

void TestMainWindow::opensEachKind() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, count);
    QFETCH(int, channels);
    QFETCH(bool, saveEnabled);
    QFETCH(bool, tempShown);
    QFETCH(QString, countText);
    OpenText(name.toStdString(), bytes.toStdString());
    QCOMPARE(dialogs.presets, QStringList{QString()}); // the dialog's file name is cleared first
    QCOMPARE(dialogs.messages.size(), 0);
    QCOMPARE(window->Store().DataCount, count);
    for (const char* l :
         {"Label1", "Label2", "Label3", "StartTimeLabel", "EndTimeLabel", "CountLabel"})
        QVERIFY2(!Hidden(l), l);
    QCOMPARE(Text("CountLabel"), countText);
    QCOMPARE(Text("StartTimeLabel").size(), 19);
    for (int k = 1; k <= 4; ++k) {
        const QByteArray box = "CH" + QByteArray::number(k) + "CheckBox";
        QCOMPARE(Hidden(box.constData()), k > channels);
        QCOMPARE(Find<QCheckBox>(box.constData())->isChecked(), k <= channels);
    }
    QCOMPARE(Hidden("CHGroupBox"), channels < 2);
    QCOMPARE(Hidden("ArrangeGroupBox"), channels < 3);
    QCOMPARE(Action("S1")->isEnabled(), saveEnabled);
    QCOMPARE(Hidden("TempLabel"), !tempShown);
    QCOMPARE(window->Chart().TimeScale, 1);
    const bool bar = count > window->Chart().PlotWidth;
    QCOMPARE(Hidden("ScrollBar1"), !bar);
    if (bar) {
        QCOMPARE(Find<QScrollBar>("ScrollBar1")->maximum(), count - window->Chart().PlotWidth);
        QCOMPARE(Find<QScrollBar>("ScrollBar1")->value(), 0);
        QCOMPARE(window->Chart().TimeScaleMax,
                 (count + window->Chart().PlotWidth - 1) / window->Chart().PlotWidth);
        QCOMPARE(window->Chart().GridTime, 60000);
    }
}

void TestMainWindow::statusBarText_data() {
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tail");
    QTest::newRow("no patient") << ""
                                << ""
                                << "";
    QTest::newRow("id only") << "A12"
                             << ""
                             << "    PatientID[ A12 ]";
    QTest::newRow("id and name") << "A12"
                                 << "Jane"
                                 << "    PatientID[ A12(Jane) ]";
    QTest::newRow("name alone is not shown") << ""
                                             << "Jane"
                                             << "";
}

void TestMainWindow::statusBarText() {
    QFETCH(QString, id);
    QFETCH(QString, name);
    QFETCH(QString, tail);
    OpenBytes("rec.lqd", Ws56File()
                             .Serial("0042")
                             .Patient(id.toStdString(), name.toStdString())
                             .Records(1, 3)
                             .Bytes());
    QCOMPARE(Status(), "FileName[ rec.lqd ]    DeviceID[ Pc56-0042 ]" + tail);
}

void TestMainWindow::cancelAndUnopenableChangeNothing() {
    OpenBytes("rec.lqd", Ws56File().Records(1, 3).Bytes());
    const QString status = Status();
    Open(std::nullopt);
    Open(files->Path("vanished.lqd"));
    QCOMPARE(window->Store().DataCount, 3);
    QCOMPARE(Status(), status);
    QVERIFY(!Hidden("CountLabel"));
    QVERIFY(dialogs.messages.isEmpty());
}

void TestMainWindow::brokenRecordingShowsNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    auto b = [](std::vector<std::uint8_t> v) {
        return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
    };
    std::vector<std::uint8_t> cut = Ws56File().Records(1, 4).Bytes();
    cut.pop_back();
    QTest::newRow("cut record") << "cut.lqd" << b(cut) << "ERROR"
                                << "Data format error." << int(Dialogs::Icon::None);
    QTest::newRow("bad first row")
        << "bad.csv" << QByteArray::fromStdString(TextRecording::MV31().Row("x").Text()) << "ERROR"
        << "Data format error." << int(Dialogs::Icon::None);
    QTest::newRow("header only") << "empty.lqd" << b(Ws56File().Bytes()) << ""
                                 << "" << 0;
    // A value that does not convert: the general error handler, caption from the executable.
    QTest::newRow("invalid date")
        << "date.lqd" << b(Ws56File().RawStart({0x21, 0x13, 1, 0, 0, 0}).Records(1, 3).Bytes())
        << "Tst_main_window"
        << "'2021/13/01 00:00:00' is not a valid date and time." << int(Dialogs::Icon::Error);
    QTest::newRow("bad number")
        << "num.csv"
        << QByteArray::fromStdString(
               TextRecording::MV31().Rows(3).Row("00:00:09,1,,x,2,3,4").Text())
        << "Tst_main_window"
        << "'x' is not a valid floating point value for Single type." << int(Dialogs::Icon::Error);
}

void TestMainWindow::brokenRecordingShowsNothing() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, caption);
    QFETCH(QString, text);
    QFETCH(int, icon);
    OpenBytes("good.lqd", Ws56File().Records(1, 2000).Bytes());
    QTest::mouseClick(Find("PaintBox1"), Qt::LeftButton, {},
                      {100, 100}); // a cursor and its read-out
    Find("PaintBox1")->repaint();
    QVERIFY(!Hidden("ReadoutGroupBox"));
    OpenText(name.toStdString(), bytes.toStdString());
    if (text.isEmpty()) {
        QVERIFY(dialogs.messages.isEmpty());
    } else {
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].caption, caption);
        QCOMPARE(dialogs.messages[0].text, text);
        QCOMPARE(int(dialogs.messages[0].icon), icon);
        QVERIFY(!dialogs.messages[0].busyCursor); // the file is closed and the cursor back
        QCOMPARE(dialogs.beeps, 1);
    }
    CheckNothingShown();
    QCOMPARE(Status(), QString());
    QVERIFY(!QApplication::overrideCursor());
}

void TestMainWindow::storeFullIsShownWhileBusy() {
    OpenBytes("full.lqd", Ws56File().Record(0).Record(SAMPLE_CAPACITY + 1).Bytes());
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, QString("Unable to read anymore."));
    QVERIFY(dialogs.messages[0].busyCursor);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(window->Store().DataCount, SAMPLE_CAPACITY);
    QVERIFY(!Hidden("ScrollBar1"));
    const int width = window->Chart().PlotWidth;
    QCOMPARE(window->Chart().TimeScaleMax, (SAMPLE_CAPACITY + width - 1) / width);
    QCOMPARE(window->Chart().GridTime, 60000);
}

void TestMainWindow::scrollBarThreshold() {
    const int width = window->Chart().PlotWidth;
    QCOMPARE(width, Find("PaintBox1")->width() - 40);
    OpenBytes("eq.lqd", Ws56File().Records(1, width).Bytes());
    QVERIFY(Hidden("ScrollBar1"));
    QCOMPARE(window->Chart().TimeScaleMax, 1);
    OpenBytes("more.lqd", Ws56File().Records(1, width + 1).Bytes());
    QVERIFY(!Hidden("ScrollBar1"));
    QCOMPARE(Find<QScrollBar>("ScrollBar1")->maximum(), 1);
    QCOMPARE(window->Chart().TimeScaleMax, 2);
    QCOMPARE(Find("PaintBox1")->height(), Find("Panel1")->height() - 17);
}

void TestMainWindow::averagingChoice() {
    OpenText("avg.csv", TextRecording::MV31(1000)
                            .Row("00:00:00,0,,1,0,0,0")
                            .Row("00:00:01,1,,2,0,0,0")
                            .Row("00:00:02,2,,3,0,0,0")
                            .Row("00:00:03,3,,4,0,0,0")
                            .Text());
    QCOMPARE_EXACT(window->Store().SampleBuff[0].Ave[0].OXHb, 1.0f);
    auto* ave = Find<QComboBox>("AveComboBox");
    QTest::keyClick(ave, Qt::Key_Down); // "3 points", chosen as a user chooses it
    QCOMPARE(ave->currentIndex(), 1);
    const float expected[4] = {1.5f, 2, 3, 3.5f};
    for (int j = 0; j < 4; ++j)
        QCOMPARE_EXACT(window->Store().SampleBuff[j].Ave[0].OXHb, expected[j]);
    // A new load averages with the choice in force.
    OpenText(
        "avg2.csv",
        TextRecording::MV31(1000).Row("00:00:00,0,,1,0,0,0").Row("00:00:01,1,,3,0,0,0").Text());
    QCOMPARE_EXACT(window->Store().SampleBuff[0].Ave[0].OXHb, 2.0f);
}

void TestMainWindow::arrangement() {
    OpenBytes("three.lqd", Ws56File().Records(1, 5000).Bytes());
    QVERIFY(!Hidden("ArrangeGroupBox"));
    const int rowsWidth = window->Chart().PlotWidth;
    QCOMPARE(window->Chart().TimeScaleMax, (5000 + rowsWidth - 1) / rowsWidth);
    Find<QToolButton>("SpeedButton2")->click();
    QCOMPARE(window->Chart().ArrangeMode, 1);
    const int gridWidth = window->Chart().PlotWidth;
    QCOMPARE(gridWidth, (rowsWidth + 40 - 60) / 2);
    QCOMPARE(window->Chart().TimeScaleMax, (5000 + gridWidth - 1) / gridWidth);
    QCOMPARE(Find<QScrollBar>("ScrollBar1")->maximum(), 5000 - gridWidth);
    // The button already in force changes nothing.
    Find<QToolButton>("SpeedButton2")->click();
    QCOMPARE(window->Chart().PlotWidth, gridWidth);
    // Unchecking a channel leaves two panels: the buttons go, the arrangement is one column.
    Find<QCheckBox>("CH3CheckBox")->click();
    QVERIFY(Hidden("ArrangeGroupBox"));
    QCOMPARE(window->Chart().PlotWidth, rowsWidth);
}

void TestMainWindow::resizeKeepsAnchors() {
    const QRect panel = Find("Panel1")->geometry();
    const QPoint ch = Find("CHGroupBox")->pos(), readout = Find("ReadoutGroupBox")->pos(),
                 group = Find("GroupBox5")->pos();
    window->resize(window->width() + 200, window->height() + 100);
    QCOMPARE(Find("Panel1")->geometry(), panel.adjusted(0, 0, 200, 100));
    QCOMPARE(Find("CHGroupBox")->pos(), ch + QPoint(200, 0));
    QCOMPARE(Find("ReadoutGroupBox")->pos(), readout + QPoint(200, 100));
    QCOMPARE(Find("GroupBox5")->pos(), group);
    QCOMPARE(Find("PaintBox1")->size(), Find("Panel1")->size());
    window->resize(300, 200);
    QCOMPARE(window->frameGeometry().size(), QSize(1024, 600));
}

void TestMainWindow::settingsFirstRunAndRestart() {
    const std::string ini = files->Path("tesmora.INI");
    QVERIFY(!QFile::exists(QString::fromStdString(ini)));
    const QSize frame = window->frameGeometry().size() - window->size();
    window->move(100, 50);
    window->resize(QSize(1100, 700) - frame);
    Find<QComboBox>("AmpComboBox")->setCurrentIndex(4);
    Find<QComboBox>("AveComboBox")->setCurrentIndex(3);
    Find<QCheckBox>("Region1Data1CheckBox")->setChecked(false);
    Find<QCheckBox>("Region1Data3CheckBox")->setChecked(true);
    Action("X1")->trigger(); // Exit closes as the close button does: the settings are written
    const std::vector<std::uint8_t> bytes = TestFiles::ReadAll(ini);
    QCOMPARE(
        QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
        QString("[Form]\nTop=50\nLeft=100\nWidth=1100\nHeight=700\n[Settings]\nAmp=4\nAve=3\n"
                "Check1=0\nCheck2=0\nCheck3=1\nCheck4=1\n"));
    NewWindow();
    QCOMPARE(window->frameGeometry(), QRect(100, 50, 1100, 700));
    QCOMPARE(Find<QComboBox>("AmpComboBox")->currentIndex(), 4);
    QCOMPARE(Find<QComboBox>("AveComboBox")->currentIndex(), 3);
    QVERIFY(!Find<QCheckBox>("Region1Data1CheckBox")->isChecked());
    QVERIFY(Find<QCheckBox>("Region1Data3CheckBox")->isChecked());
}

void TestMainWindow::settingsValues_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("amp");
    QTest::addColumn<int>("ave");
    QTest::addColumn<QList<bool>>("checks");
    QTest::addColumn<QRect>("bounds"); // empty: centred at the design size
    QTest::newRow("hex, other sections kept")
        << "; mine\n[Other]\nA=1\n[settings]\nAmp=0x3\nAve=0X2\nCheck1=0x0\nCheck2=5\n"
        << 3 << 2 << QList<bool>{false, true, false, true} << QRect();
    QTest::newRow("malformed") << "[Settings]\nAmp=big\nAve=\nCheck3=yes\n"
                               << 1 << 0 << QList<bool>{true, false, false, true} << QRect();
    QTest::newRow("out of range") << "[Settings]\nAmp=7\nAve=-1\n"
                                  << 1 << 0 << QList<bool>{true, false, false, true} << QRect();
    QTest::newRow("small stored size grows")
        << "[Form]\nTop=10\nLeft=20\nWidth=800\nHeight=300\n"
        << 1 << 0 << QList<bool>{true, false, false, true} << QRect(20, 10, 1024, 600);
    QTest::newRow("no size at a visible place")
        << "[Form]\nTop=10\nLeft=20\nWidth=0\nHeight=0\n"
        << 1 << 0 << QList<bool>{true, false, false, true} << QRect(20, 10, 1024, 600);
    // A size far beyond the screen is cut to its work area (1920 x 1080 here).
    QTest::newRow("far too large")
        << "[Form]\nTop=10\nLeft=20\nWidth=99999\nHeight=99999\n"
        << 1 << 0 << QList<bool>{true, false, false, true} << QRect(0, 0, 1920, 1080);
    QTest::newRow("too wide, cut and moved in")
        << "[Form]\nTop=100\nLeft=1500\nWidth=2500\nHeight=700\n"
        << 1 << 0 << QList<bool>{true, false, false, true} << QRect(0, 100, 1920, 700);
    QTest::newRow("a size that fits keeps its place, partly off the screen too")
        << "[Form]\nTop=100\nLeft=1500\nWidth=1900\nHeight=700\n"
        << 1 << 0 << QList<bool>{true, false, false, true} << QRect(1500, 100, 1900, 700);
    QTest::newRow("the largest numbers")
        << "[Form]\nTop=2147483647\nLeft=0\nWidth=2147483647\nHeight=2147483647\n"
        << 1 << 0 << QList<bool>{true, false, false, true} << QRect();
    QTest::newRow("negative left centres")
        << "[Form]\nTop=10\nLeft=-1300\nWidth=1100\nHeight=700\n"
        << 1 << 0 << QList<bool>{true, false, false, true} << QRect();
    QTest::newRow("off every screen centres")
        << "[Form]\nTop=5000\nLeft=9000\nWidth=1100\nHeight=700\n"
        << 1 << 0 << QList<bool>{true, false, false, true} << QRect();
}

void TestMainWindow::settingsValues() {
    QFETCH(QString, text);
    QFETCH(int, amp);
    QFETCH(int, ave);
    QFETCH(QList<bool>, checks);
    QFETCH(QRect, bounds);
    files->Write("tesmora.INI", text.toStdString());
    NewWindow();
    QCOMPARE(Find<QComboBox>("AmpComboBox")->currentIndex(), amp);
    QCOMPARE(Find<QComboBox>("AveComboBox")->currentIndex(), ave);
    for (int k = 0; k < 4; ++k)
        QCOMPARE(Find<QCheckBox>(
                     QByteArray("Region1Data" + QByteArray::number(k + 1) + "CheckBox").constData())
                     ->isChecked(),
                 checks[k]);
    if (bounds.isEmpty()) {
        QCOMPARE(window->frameGeometry().width(), 1024); // the design's 1008 is below the minimum
        QVERIFY(window->frameGeometry().left() >= 0 && window->frameGeometry().top() >= 0);
    } else {
        QCOMPARE(window->frameGeometry(), bounds);
    }
    window->close();
    const std::vector<std::uint8_t> bytes = TestFiles::ReadAll(files->Path("tesmora.INI"));
    const QString after =
        QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    if (text.startsWith("; mine"))
        QVERIFY(
            after.startsWith("; mine\n[Other]\nA=1\n[settings]\nAmp=3\nAve=2\nCheck1=0\nCheck2=1\n"
                             "Check3=0\nCheck4=1\n[Form]\nTop="));
    QCOMPARE(after.count("Check"), 4);
}

void TestMainWindow::settingsReadOnly() {
    // A settings file the user made read-only is left as it is, even by root.
    const std::string path = files->Write("tesmora.INI", std::string("[Form]\nTop=5\n"));
    ::chmod(path.c_str(), 0444);
    window->close();
    QVERIFY(!window->isVisible());
    QCOMPARE(dialogs.TakeTexts(),
             QStringList{"Unable to write to " + QString::fromStdString(path) + "."});
    const std::vector<std::uint8_t> kept = TestFiles::ReadAll(path);
    QCOMPARE(std::string(kept.begin(), kept.end()), std::string("[Form]\nTop=5\n"));
}

void TestMainWindow::settingsUnwritable() {
    if (::geteuid() == 0) {
        // Root writes anywhere: make the path a folder, which no one can write as a file.
        QVERIFY(QDir().mkpath(QString::fromStdString(files->Path("tesmora.INI"))));
    } else {
        ::chmod(files->Path("").c_str(), 0555);
    }
    window->close();
    QVERIFY(!window->isVisible()); // it closes all the same
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text,
             "Unable to write to " + QString::fromStdString(files->Path("tesmora.INI")) + ".");
    QCOMPARE(int(dialogs.messages[0].icon), int(Dialogs::Icon::Error));
    ::chmod(files->Path("").c_str(), 0755);
}

void TestMainWindow::clickPlacesTheCursor() {
    OpenBytes("c.lqd", Ws56File()
                           .Record(1)
                           .Record(2, {Values(0.0123f, -0.05f, 0.653f), Error(), Error(0x0041)})
                           .Records(3, 3000)
                           .Bytes());
    auto* box = Find("PaintBox1");
    window->repaint();
    const QPoint at(window->Chart().ChLeft[0] + 1, window->Chart().ChTop[0] + 30);
    QTest::mouseClick(box, Qt::LeftButton, {}, at);
    QCOMPARE(window->Chart().CursorCh, 0);
    QCOMPARE(window->Chart().CursorIndex, 1);
    box->repaint();
    QVERIFY(!Hidden("ReadoutGroupBox"));
    QCOMPARE(Find<QGroupBox>("ReadoutGroupBox")->title(), QString("12:00:00")); // + 0.5 s
    QCOMPARE(Text("OXHbLabel"), QString(" 0.0123"));
    QCOMPARE(Text("STO2Label"), QString(" 65.3[%]"));
    // The cursor in the second panel, on an error sample without code: blank values.
    QTest::mouseClick(box, Qt::LeftButton, {},
                      at + QPoint(0, window->Chart().ChTop[1] - window->Chart().ChTop[0]));
    QCOMPARE(window->Chart().CursorCh, 1);
    box->repaint();
    QCOMPARE(Text("OXHbLabel"), QString());
    // Scrolling at full resolution removes it.
    Find<QScrollBar>("ScrollBar1")->setValue(5);
    box->repaint();
    QCOMPARE(window->Chart().CursorIndex, -1);
    QVERIFY(Hidden("ReadoutGroupBox"));
}

void TestMainWindow::dragsPanShiftAndZoom() {
    OpenBytes("d.lqd", Ws56File().Records(1, 20000).Bytes());
    auto* box = Find("PaintBox1");
    auto* bar = Find<QScrollBar>("ScrollBar1");
    bar->setValue(500);
    // Left drag 100 pixels to the right: 100 samples earlier.
    QTest::mousePress(box, Qt::LeftButton, {}, {400, 100});
    QTest::mouseMove(box, {450, 101});
    QTest::mouseMove(box, {500, 101});
    QTest::mouseRelease(box, Qt::LeftButton, {}, {500, 101});
    QCOMPARE(bar->value(), 400);
    QCOMPARE(window->Chart().CursorCh, -1); // a drag is no click
    // Left drag down: the traces shift.
    QTest::mousePress(box, Qt::LeftButton, {}, {400, 50});
    QTest::mouseMove(box, {400, 90});
    QTest::mouseRelease(box, Qt::LeftButton, {}, {400, 90});
    QCOMPARE(window->Chart().YShift, 40 * 100 / window->Chart().PlotHeight);
    QVERIFY(window->Chart().YShift > 0);
    // A double click cancels the shift.
    QTest::mouseDClick(box, Qt::LeftButton, {}, {400, 60});
    QTest::mouseRelease(box, Qt::LeftButton, {}, {400, 60});
    QCOMPARE(window->Chart().YShift, 0);
    // Middle drag 120 pixels to the left: two steps out.
    QTest::mousePress(box, Qt::MiddleButton, {}, {400, 100});
    QTest::mouseMove(box, {280, 100});
    QTest::mouseRelease(box, Qt::MiddleButton, {}, {280, 100});
    QCOMPARE(window->Chart().TimeScale, 3);
    QCOMPARE(window->Chart().GridTime, 300000);
}

void TestMainWindow::initializeViewSettings() {
    OpenBytes("i.lqd", Ws56File().Records(1, 20000).Bytes());
    Find<QScrollBar>("ScrollBar1")->setValue(700);
    QTest::mousePress(Find("PaintBox1"), Qt::MiddleButton, {}, {400, 100});
    QTest::mouseMove(Find("PaintBox1"), {250, 100});
    QTest::mouseRelease(Find("PaintBox1"), Qt::MiddleButton, {}, {250, 100});
    QCOMPARE(window->Chart().TimeScale, 4);
    Action("I1")->trigger();
    QCOMPARE(window->Chart().TimeScale, 1);
    QCOMPARE(window->Chart().GridTime, 60000);
    QCOMPARE(Find<QScrollBar>("ScrollBar1")->value(), 0);
    QCOMPARE(Find<QCheckBox>("CH1CheckBox")->isChecked(), true);
}

void TestMainWindow::arrangementKeepsAZoomedCursor() {
    // A cursor placed, then zoomed out: switching the arrangement clamps the scroll position
    // while the zoom is still in force, which keeps the cursor for when the view zooms back.
    OpenBytes("z.lqd", Ws56File().Records(1, 20000).Bytes());
    Find<QToolButton>("SpeedButton2")->click();
    auto* bar = Find<QScrollBar>("ScrollBar1");
    bar->setValue(bar->maximum());
    auto* box = Find("PaintBox1");
    QTest::mouseClick(box, Qt::LeftButton, {},
                      {window->Chart().ChLeft[0] + 100, window->Chart().ChTop[0] + 20});
    const int cursor = window->Chart().CursorIndex;
    QVERIFY(cursor > 0);
    QTest::mousePress(box, Qt::MiddleButton, {}, {400, 100});
    QTest::mouseMove(box, {290, 100});
    QTest::mouseRelease(box, Qt::MiddleButton, {}, {290, 100});
    QCOMPARE(window->Chart().TimeScale, 3);
    Find<QToolButton>("SpeedButton1")->click();
    QCOMPARE(window->Chart().TimeScale, 1);
    QCOMPARE(window->Chart().CursorIndex, cursor);
}

void TestMainWindow::dragAfterDoubleClickStartsFromNoShift() {
    OpenBytes("d.lqd", Ws56File().Records(1, 5000).Bytes());
    QWidget* box = Find("PaintBox1");
    const int height = window->Chart().PlotHeight;
    tools::Drag(box, Qt::LeftButton, {400, 100}, {400, 100 + height / 2});
    QCOMPARE(window->Chart().YShift, (height / 2 * 100) / height);
    // A double click whose second press is held and dragged: the drag starts from the shift
    // the double click reset, not from the one before.
    tools::Click(box, {400, 100});
    tools::SendMouse(box, QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, {400, 100});
    QCOMPARE(window->Chart().YShift, 0);
    tools::SendMouse(box, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, {400, 100 + height / 4});
    QCOMPARE(window->Chart().YShift, (height / 4 * 100) / height);
    tools::SendMouse(box, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton,
                     {400, 100 + height / 4});
}

void TestMainWindow::halfALoadIsNeverPainted() {
    OpenBytes("good.lqd", Ws56File().Records(1, 2000).Bytes());
    QWidget* box = Find("PaintBox1");
    auto tracePixels = [&] {
        const QImage image = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixel(x, y) == qRgb(255, 0, 0) || image.pixel(x, y) == qRgb(128, 0, 128);
        return n;
    };
    QVERIFY(tracePixels() > 0);
    // "Unable to read anymore." comes while the file is read: the store holds the new samples
    // and the averages of the old recording then. A paint at that moment shows no traces.
    int paintedDuringTheMessage = -1;
    dialogs.onMessage = [&](const ScriptedDialogs::Shown&) {
        paintedDuringTheMessage = tracePixels();
    };
    OpenBytes("full.lqd", Ws56File().Record(0).Record(SAMPLE_CAPACITY + 1).Bytes());
    QCOMPARE(paintedDuringTheMessage, 0);
    QVERIFY(tracePixels() > 0); // and the recording shows once it is loaded
}

void TestMainWindow::scrollBarTakesTheKeyboard() {
    OpenBytes("k.lqd", Ws56File().Records(1, 5000).Bytes());
    auto* bar = Find<QScrollBar>("ScrollBar1");
    QVERIFY(!bar->isHidden());
    QCOMPARE(Find("SpeedButton1")->focusPolicy(), Qt::NoFocus);
    QCOMPARE(Find("SpeedButton2")->focusPolicy(), Qt::NoFocus);
    // The scroll bar is first in the tab order, before the data check boxes.
    Find("Region1Data1CheckBox")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), bar);
    // The keys of a standard scroll bar; the chart follows.
    const struct {
        Qt::Key key;
        int value;
    } keys[] = {{Qt::Key_Right, 1},
                {Qt::Key_Down, 2},
                {Qt::Key_Left, 1},
                {Qt::Key_Up, 0},
                {Qt::Key_End, bar->maximum()},
                {Qt::Key_PageUp, bar->maximum() - 1},
                {Qt::Key_Home, 0}};
    for (const auto& k : keys) {
        QTest::keyClick(bar, k.key);
        QCOMPARE(bar->value(), k.value);
    }
}

void TestMainWindow::uncaughtErrorsReachTheErrorHandler() {
    // An error that escapes an event's handling is shown by the general error handler once
    // the event is over, and the program goes on.
    struct Throwing : QObject {
        bool event(QEvent* e) override {
            if (e->type() == QEvent::User) throw std::runtime_error("Something went wrong");
            return QObject::event(e);
        }
    } target;
    auto* app = qobject_cast<Application*>(QCoreApplication::instance());
    QVERIFY(app);
    app->onError = [this](const QString& text) { window->ShowError(text); };
    QEvent e(QEvent::User);
    QCoreApplication::sendEvent(&target, &e);
    QVERIFY(dialogs.messages.isEmpty());
    QTRY_COMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, QString("Something went wrong."));
    QCOMPARE(dialogs.messages[0].icon, Dialogs::Icon::Error);
    app->onError = nullptr;
}

// The program's own application object, as the viewer runs with it.
int main(int argc, char** argv) {
    Application app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestMainWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_main_window.moc"

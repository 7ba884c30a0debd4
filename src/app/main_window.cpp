#include "app/main_window.h"

#include "analysis/desaturation_table.h"
#include "app/about_box.h"
#include "app/glyphs.h"
#include "app/go_to_time_dialog.h"
#include "app/measurements_panel.h"
#include "app/oximetry_panel.h"
#include "app/printing.h"
#include "app/widgets.h"
#include "chart/layout.h"
#include "chart/painter.h"
#include "chart/time_grid.h"
#include "csv/csv_writer.h"
#include "loading/load.h"
#include "processing/moving_average.h"
#include "recording/byte_sink.h"
#include "recording/convert_error.h"
#include "recording/datetime.h"
#include "settings/ini_file.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <span>
#include <type_traits>

namespace tesmora {
namespace {

// The client area at design size, below the menu bar, status bar included.
constexpr int kClientWidth = 1008;
constexpr int kClientHeight = 569;
constexpr int kStatusHeight = 19;
constexpr int kScrollBarHeight = 17;
constexpr int kMinOuterWidth = 1024;
constexpr int kMinOuterHeight = 600;

constexpr QRgb kRed = qRgb(255, 0, 0), kBlue = qRgb(0, 0, 255), kGreen = qRgb(0, 128, 0),
               kPurple = qRgb(128, 0, 128);

template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

void SetLabelText(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize(); // labels size themselves to their text, left edge fixed
}

// The labels, group boxes and check boxes of the window, in creation order (the chart, the
// lists, the status bar and the arrangement buttons are made in between, by code).
enum class Kind { Label, GroupBox, CheckBox };
struct ControlDesign {
    Kind kind;
    const char* name;
    const char* parent; // nullptr: the client area
    QRect rect;         // labels take only the position: they size themselves to their text
    const char* text;
    QRgb color; // labels: the font colour, 0 for the window's text colour
    bool state; // check boxes: checked; labels and group boxes: hidden
};

constexpr ControlDesign kLoadLabels[] = {
    {Kind::Label, "StartTimeLabel", nullptr, {656, 14, 0, 0}, "StartTimeLabel", 0, true},
    {Kind::Label, "EndTimeLabel", nullptr, {656, 32, 0, 0}, "EndTimeLabel", 0, true},
    {Kind::Label, "CountLabel", nullptr, {656, 50, 0, 0}, "CountLabel", 0, true},
    {Kind::Label, "Label1", nullptr, {600, 14, 0, 0}, "Start", 0, true},
    {Kind::Label, "Label2", nullptr, {600, 32, 0, 0}, "End", 0, true},
    {Kind::Label, "Label3", nullptr, {600, 50, 0, 0}, "Count", 0, true},
};

constexpr ControlDesign kDataSelect[] = {
    {Kind::GroupBox, "GroupBox1", nullptr, {8, 8, 233, 58}, "Display Data Select", 0, false},
    {Kind::Label, "Region1Data1Label", "GroupBox1", {34, 24, 0, 0}, "OXHb", kRed, false},
    {Kind::Label, "Region1Data2Label", "GroupBox1", {88, 24, 0, 0}, "DXHb", kBlue, false},
    {Kind::Label, "Region1Data3Label", "GroupBox1", {137, 24, 0, 0}, "TOHb", kGreen, false},
    {Kind::Label, "Region1Data4Label", "GroupBox1", {192, 24, 0, 0}, "STO2", kPurple, false},
    {Kind::CheckBox, "Region1Data1CheckBox", "GroupBox1", {16, 23, 17, 17}, "", 0, true},
    {Kind::CheckBox, "Region1Data2CheckBox", "GroupBox1", {71, 23, 18, 17}, "", 0, false},
    {Kind::CheckBox, "Region1Data3CheckBox", "GroupBox1", {120, 23, 17, 17}, "", 0, false},
    {Kind::CheckBox, "Region1Data4CheckBox", "GroupBox1", {175, 23, 18, 17}, "", 0, true},
    {Kind::GroupBox, "GroupBox4", nullptr, {264, 8, 96, 58}, "Moving avg.", 0, false},
    {Kind::GroupBox, "GroupBox5", nullptr, {375, 8, 96, 58}, "Scaling", 0, false},
};

constexpr ControlDesign kReadout[] = {
    {Kind::GroupBox, "ReadoutGroupBox", nullptr, {918, 400, 80, 129}, "", 0, true},
    {Kind::Label, "OXHbLabel", "ReadoutGroupBox", {8, 24, 0, 0}, "OXHbLabel", kRed, false},
    {Kind::Label, "DXHbLabel", "ReadoutGroupBox", {8, 43, 0, 0}, "DXHbLabel", kBlue, false},
    {Kind::Label, "TOHbLabel", "ReadoutGroupBox", {8, 62, 0, 0}, "TOHbLabel", kGreen, false},
    {Kind::Label, "STO2Label", "ReadoutGroupBox", {8, 81, 0, 0}, "STO2Label", kPurple, false},
    {Kind::Label, "TempLabel", "ReadoutGroupBox", {8, 100, 0, 0}, "TempLabel", 0, false},
};

constexpr ControlDesign kChannelSelect[] = {
    {Kind::GroupBox, "CHGroupBox", nullptr, {918, 80, 80, 121}, "CH Select", 0, true},
    {Kind::CheckBox, "CH1CheckBox", "CHGroupBox", {16, 24, 97, 17}, "CH1", 0, true},
    {Kind::CheckBox, "CH2CheckBox", "CHGroupBox", {16, 47, 97, 17}, "CH2", 0, false},
    {Kind::CheckBox, "CH3CheckBox", "CHGroupBox", {16, 70, 97, 17}, "CH3", 0, false},
    {Kind::CheckBox, "CH4CheckBox", "CHGroupBox", {16, 93, 97, 17}, "CH4", 0, false},
    {Kind::GroupBox, "ArrangeGroupBox", nullptr, {486, 8, 97, 58}, "Arrangement", 0, true},
};

// Makes the controls of a table, each under its parent (made earlier, or the client area).
void MakeControls(QWidget* client, std::span<const ControlDesign> designs) {
    for (const ControlDesign& c : designs) {
        QWidget* parent =
            c.parent ? client->findChild<QWidget*>(QString::fromLatin1(c.parent)) : client;
        const QString text = QString::fromLatin1(c.text);
        QWidget* made = nullptr;
        switch (c.kind) {
        case Kind::Label: {
            auto* label = new QLabel(text, parent);
            if (c.color != 0) {
                QPalette p = label->palette();
                p.setColor(QPalette::WindowText, QColor::fromRgb(c.color));
                label->setPalette(p);
            }
            label->move(c.rect.topLeft());
            label->adjustSize();
            made = label;
            break;
        }
        case Kind::GroupBox:
            made = new QGroupBox(text, parent);
            made->setGeometry(c.rect);
            break;
        case Kind::CheckBox: {
            auto* box = new QCheckBox(text, parent);
            box->setGeometry(c.rect);
            box->setChecked(c.state);
            made = box;
            break;
        }
        }
        made->setObjectName(QString::fromLatin1(c.name));
        if (c.kind != Kind::CheckBox && c.state) made->hide();
    }
}

QComboBox* MakeList(QGroupBox* parent, const char* name, const QStringList& items, int index) {
    auto* list = Named(new QComboBox(parent), name);
    list->setGeometry(20, 26, 57, 21);
    list->addItems(items);
    list->setCurrentIndex(index);
    return list;
}

// The executable's file name up to its first ".", as a title: "Tesmora".
QString ApplicationCaption() {
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    name = name.left(name.indexOf('.') < 0 ? name.size() : name.indexOf('.'));
    return name.left(1).toUpper() + name.mid(1).toLower();
}

} // namespace

MainWindow::MainWindow(Dialogs& dialogs, QString settingsPath, QString helpPath, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), settingsPath_(std::move(settingsPath)),
      helpPath_(std::move(helpPath)) {
    setObjectName("Form1");
    setWindowTitle("Tesmora for Medical");
    CreateMenu();
    CreateControls();
    CreateDialogs();
    WireControls();
    SetTabOrder();
    const int menuHeight = menuBar()->sizeHint().height();
    resize(kClientWidth, kClientHeight + menuHeight);
    FormCanResize();
    FormCreate();
}

MainWindow::~MainWindow() {
    // The members are gone once this body ends, but QWidget's destructor still hides the
    // children, and a panel being hidden signals it: no handler may run from here on.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

void MainWindow::CreateMenu() {
    QMenuBar* bar = Named(menuBar(), "MainMenu1");
    auto item = [this](QMenu* menu, const char* name, const QString& caption,
                       void (MainWindow::*handler)()) {
        QAction* a = Named(menu->addAction(caption), name);
        Wire(a, &QAction::triggered, [this, handler] { (this->*handler)(); });
        return a;
    };
    auto separator = [](QMenu* menu, const char* name) { Named(menu->addSeparator(), name); };

    QMenu* file = Named(bar->addMenu("File(&F)"), "F1");
    O1 = item(file, "O1", "Open(&O)", &MainWindow::O1Click);
    separator(file, "N4");
    S1 = item(file, "S1", "Save As CSV(&S)", &MainWindow::S1Click);
    S1->setEnabled(false);
    ExportMeasurements1 = item(file, "ExportMeasurements1", "Export Measurements...(&E)",
                               &MainWindow::ExportMeasurements);
    ExportMeasurements1->setEnabled(false);
    ExportAnalysis1 =
        item(file, "ExportAnalysis1", "Export Analysis...(&A)", &MainWindow::ExportAnalysis);
    ExportAnalysis1->setEnabled(false);
    Export1 = Named(file->addMenu("Export(&T)"), "Export1");
    ExportSnirf1 = Named(Export1->addAction("SNIRF...(&S)"), "ExportSnirf1");
    Wire(ExportSnirf1, &QAction::triggered, [this] { ExportRecording(ExportFormat::Snirf); });
    ExportEdf1 = Named(Export1->addAction("EDF+...(&E)"), "ExportEdf1");
    Wire(ExportEdf1, &QAction::triggered, [this] { ExportRecording(ExportFormat::Edf); });
    ExportBdf1 = Named(Export1->addAction("BDF+...(&B)"), "ExportBdf1");
    Wire(ExportBdf1, &QAction::triggered, [this] { ExportRecording(ExportFormat::Bdf); });
    Named(Export1->addSeparator(), "N9");
    ExportChartImage1 =
        item(Export1, "ExportChartImage1", "Chart Image...(&C)", &MainWindow::ExportChartImage);
    SaveRangeAsCsv1 =
        item(Export1, "SaveRangeAsCsv1", "Range As CSV...(&R)", &MainWindow::SaveRangeAsCsv);
    Export1->setEnabled(false);
    separator(file, "N2");
    U1 = item(file, "U1", "Print Setup(&U)", &MainWindow::U1Click);
    P1 = item(file, "P1", "Print(&P)", &MainWindow::P1Click);
    separator(file, "N5");
    RecentFiles1 = Named(file->addMenu("Recent Files(&R)"), "RecentFiles1");
    separator(file, "N3");
    X1 = item(file, "X1", "Exit(&X)", &MainWindow::X1Click);
    QMenu* view = Named(bar->addMenu("View(&V)"), "N1");
    I1 = item(view, "I1", "Initialize View Settings(&I)", &MainWindow::I1Click);
    separator(view, "N6");
    ZoomIn1 = item(view, "ZoomIn1", "Zoom In(&Z)", &MainWindow::ZoomIn1Click);
    ZoomIn1->setShortcuts({QKeySequence("Ctrl++"), QKeySequence("+"), QKeySequence("Ctrl+=")});
    ZoomOut1 = item(view, "ZoomOut1", "Zoom Out(&T)", &MainWindow::ZoomOut1Click);
    ZoomOut1->setShortcuts({QKeySequence("Ctrl+-"), QKeySequence("-")});
    WholeRecording1 =
        item(view, "WholeRecording1", "Whole Recording(&W)", &MainWindow::WholeRecording1Click);
    WholeRecording1->setShortcut(QKeySequence("Ctrl+0"));
    separator(view, "N7");
    GoToTime1 = item(view, "GoToTime1", "Go To Time...(&G)", &MainWindow::GoToTime1Click);
    GoToTime1->setShortcut(QKeySequence("Ctrl+G"));
    separator(view, "N8"); // the Measurements and Oximetry panels' items follow (CreateDialogs)
    for (QAction* a : {ZoomIn1, ZoomOut1, WholeRecording1, GoToTime1}) a->setEnabled(false);
    QMenu* help = Named(bar->addMenu("Help(&H)"), "H1");
    H2 = item(help, "H2", "Help(&H)", &MainWindow::H2Click);
    A1 = item(help, "A1", "About(&A)", &MainWindow::A1Click);
}

void MainWindow::CreateControls() {
    client_ = Named(new ClientArea(this), "ClientArea");
    setCentralWidget(client_);
    QWidget* w = client_;
    auto find = [w](auto*& member, const char* name) {
        member =
            w->findChild<std::remove_reference_t<decltype(*member)>*>(QString::fromLatin1(name));
    };

    MakeControls(w, kLoadLabels);
    find(StartTimeLabel, "StartTimeLabel");
    find(EndTimeLabel, "EndTimeLabel");
    find(CountLabel, "CountLabel");
    find(Label1, "Label1");
    find(Label2, "Label2");
    find(Label3, "Label3");

    Panel1 = Named(new QWidget(w), "Panel1");
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(white);
    PaintBox1 = Named(new ChartWidget(Panel1), "PaintBox1");
    // The right button is the markers'; the window's own menu of docks must not answer it.
    PaintBox1->setContextMenuPolicy(Qt::PreventContextMenu);
    ScrollBar1 = Named(new HorizontalScrollBar(Panel1), "ScrollBar1");
    ScrollBar1->setRange(0, 0);
    ScrollBar1->setSingleStep(1);
    ScrollBar1->setPageStep(1);
    ScrollBar1->hide();

    MakeControls(w, kDataSelect);
    find(GroupBox1, "GroupBox1");
    find(GroupBox4, "GroupBox4");
    find(GroupBox5, "GroupBox5");
    for (int k = 0; k < 4; ++k) {
        const QByteArray n = QByteArray::number(k + 1);
        find(Region1DataLabel[k], ("Region1Data" + n + "Label").constData());
        find(Region1DataCheckBox[k], ("Region1Data" + n + "CheckBox").constData());
    }
    AveComboBox =
        MakeList(GroupBox4, "AveComboBox",
                 {"none", "3 points", "5 points", "7 points", "9 points", "11 points"}, 0);
    AmpComboBox =
        MakeList(GroupBox5, "AmpComboBox", {"x0.25", "x0.5", "x1", "x2", "x4", "x8", "x16"}, 2);
    auto* compact = new CompactComboStyle();
    compact->setParent(this);
    AveComboBox->setStyle(compact);
    AmpComboBox->setStyle(compact);

    MakeControls(w, kReadout);
    find(ReadoutGroupBox, "ReadoutGroupBox");
    find(OXHbLabel, "OXHbLabel");
    find(DXHbLabel, "DXHbLabel");
    find(TOHbLabel, "TOHbLabel");
    find(STO2Label, "STO2Label");
    find(TempLabel, "TempLabel");

    StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setFixedHeight(kStatusHeight);
    setStatusBar(StatusBar1);
    // Beside the status text, which the load owns: what a drop left unopened, what became
    // of the notes.
    StatusNoteLabel = Named(new QLabel(StatusBar1), "StatusNoteLabel");
    StatusNoteLabel->setTextFormat(Qt::PlainText);
    StatusBar1->addPermanentWidget(StatusNoteLabel);
    StatusNoteLabel->hide();
    setAcceptDrops(true);

    MakeControls(w, kChannelSelect);
    find(CHGroupBox, "CHGroupBox");
    for (int k = 0; k < 4; ++k)
        find(CHCheckBox[k], ("CH" + QByteArray::number(k + 1) + "CheckBox").constData());
    find(ArrangeGroupBox, "ArrangeGroupBox");
    for (int tag = 0; tag < 2; ++tag) {
        auto* button =
            Named(new QToolButton(ArrangeGroupBox), tag == 0 ? "SpeedButton1" : "SpeedButton2");
        button->setGeometry(tag == 0 ? 11 : 58, 19, 28, 28);
        button->setAutoRaise(true);
        button->setIcon(ArrangementIcon(tag));
        button->setIconSize(QSize(20, 20));
        button->setProperty("tag", tag);
        button->setFocusPolicy(Qt::NoFocus); // picture buttons are no tab stops
        (tag == 0 ? SpeedButton1 : SpeedButton2) = button;
    }
}

void MainWindow::WireControls() {
    PaintBox1->onPaint = [this](QPainter& p) { PaintBox1Paint(p); }; // guards itself
    PaintBox1->onMouseDown = Guarded<Qt::MouseButton, QPoint>(
        [this](Qt::MouseButton b, QPoint p) { PaintBox1MouseDown(b, p.x(), p.y()); });
    PaintBox1->onMouseMove = Guarded<Qt::MouseButtons, QPoint>(
        [this](Qt::MouseButtons b, QPoint p) { PaintBox1MouseMove(b, p.x(), p.y()); });
    PaintBox1->onMouseUp = Guarded<Qt::MouseButton, QPoint>(
        [this](Qt::MouseButton b, QPoint p) { PaintBox1MouseUp(b, p.x(), p.y()); });
    PaintBox1->onDblClick = Guarded<>([this] { PaintBox1DblClick(); });
    PaintBox1->onWheel = Guarded<QPoint, Qt::KeyboardModifiers, QPoint>(
        [this](QPoint d, Qt::KeyboardModifiers m, QPoint at) { PaintBox1Wheel(d, m, at); });
    PaintBox1->onPinch =
        Guarded<double, QPoint>([this](double v, QPoint at) { PaintBox1Pinch(v, at); });
    PaintBox1->onToolTip = [this](QPoint at) {
        QString tip;
        Guard([&] { tip = NoteTip(at); });
        return tip;
    };
    MeasurementsPanel1->onCopy = Guarded<>([this] { CopyValues(); });
    MeasurementsPanel1->onExport = Guarded<>([this] { ExportMeasurements(); });
    MeasurementsPanel1->onGoToNote = Guarded<int>([this](int i) {
        if (i >= 0 && static_cast<std::size_t>(i) < notes_.size())
            CentreOn(notes_[static_cast<std::size_t>(i)].index);
    });
    MeasurementsPanel1->onEditNote = Guarded<int>([this](int i) { EditNote(i); });
    MeasurementsPanel1->onDeleteNote = Guarded<int>([this](int i) { DeleteNote(i); });
    OximetryPanel1->onChanged = Guarded<>([this] { UpdateOximetry(); });
    OximetryPanel1->onExport = Guarded<>([this] { ExportAnalysis(); });
    OximetryPanel1->onGoToEpisode = Guarded<int>([this](int row) {
        if (const std::optional<EpisodeRef> e = EpisodeAt(desaturation_, row))
            CentreOn(e->episode->nadirIndex, e->channel);
    });
    Wire(OximetryPanel1, &QDockWidget::visibilityChanged, [this] { UpdateOximetry(); });
    // Shown by the user: it comes on top of a panel in its tabs, and the window widens for it.
    Wire(Oximetry1, &QAction::triggered, [this] {
        if (Oximetry1->isChecked()) WidenFor(*OximetryPanel1);
    });
    Wire(Measurements1, &QAction::triggered, [this] {
        if (Measurements1->isChecked()) WidenFor(*MeasurementsPanel1);
    });
    PaintBox1->onKey = [this](int key, Qt::KeyboardModifiers m) {
        bool handled = false;
        Guard([&] { handled = PaintBox1Key(key, m); });
        return handled;
    };
    Wire(ScrollBar1, &QScrollBar::valueChanged, [this] { ScrollBar1Change(); });
    // Setting a check box's state from the program runs its handler too, as a click does.
    for (QCheckBox* box : Region1DataCheckBox)
        Wire(box, &QCheckBox::toggled, [this] { Region1Data1CheckBoxClick(); });
    for (QCheckBox* box : CHCheckBox)
        Wire(box, &QCheckBox::toggled, [this] { CH1CheckBoxClick(); });
    // A choice of the user; selecting an entry from the program raises no change.
    Wire(AveComboBox, &QComboBox::activated, [this] { AveComboBoxChange(); });
    Wire(AmpComboBox, &QComboBox::activated, [this] { AmpComboBoxChange(); });
    for (QToolButton* button : {SpeedButton1, SpeedButton2})
        Wire(button, &QToolButton::clicked,
             [this, button] { SpeedButton1Click(button->property("tag").toInt()); });
    client_->onResize = Guarded<>([this] {
        LayoutClient();
        FormResize();
    });
}

void MainWindow::SetTabOrder() {
    // The containers from Panel1 on; inside each, its controls in their order.
    ScrollBar1->setFocusPolicy(Qt::StrongFocus);
    QWidget* order[] = {ScrollBar1,
                        Region1DataCheckBox[0],
                        Region1DataCheckBox[1],
                        Region1DataCheckBox[2],
                        Region1DataCheckBox[3],
                        AveComboBox,
                        AmpComboBox,
                        CHCheckBox[0],
                        CHCheckBox[1],
                        CHCheckBox[2],
                        CHCheckBox[3]};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void MainWindow::CreateDialogs() {
    OpenDialog1 = Named(new QFileDialog(this), "OpenDialog1");
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setNameFilters({"lqd files (*.lqd)", "csv files (*.csv)", "All files (*)"});
    OpenDialog1->setDefaultSuffix("lqd");
    SaveDialog1 = Named(new QFileDialog(this), "SaveDialog1");
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setNameFilters({"CSV files (*.csv)"});
    SaveDialog1->setDefaultSuffix("csv");
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite); // the command asks itself
    Form2 = new AboutBox(this);                                // hidden until asked for
    // Docked at the right when shown; hidden at start, so that the window looks as designed.
    MeasurementsPanel1 = new MeasurementsPanel(this);
    MeasurementsPanel1->setMinimumWidth(380); // the table's first columns in view
    addDockWidget(Qt::RightDockWidgetArea, MeasurementsPanel1);
    MeasurementsPanel1->hide();
    Measurements1 = Named(MeasurementsPanel1->toggleViewAction(), "Measurements1");
    Measurements1->setText("Measurements(&M)");
    findChild<QMenu*>("N1")->addAction(Measurements1);
    // In the Measurements panel's place, as a tab beside it when both are shown.
    OximetryPanel1 = new OximetryPanel(this);
    OximetryPanel1->setMinimumWidth(380);
    addDockWidget(Qt::RightDockWidgetArea, OximetryPanel1);
    tabifyDockWidget(MeasurementsPanel1, OximetryPanel1);
    OximetryPanel1->hide();
    Oximetry1 = Named(OximetryPanel1->toggleViewAction(), "Oximetry1");
    Oximetry1->setText("Oximetry(&O)");
    findChild<QMenu*>("N1")->addAction(Oximetry1);
    // The exports' file dialogs are made when first used (ExportDialog): each took 10 ms of
    // every start, and most sessions never export.
}

void MainWindow::FormCreate() {
    for (int i = 0; i < 4; ++i)
        chart_.TraceColor[i] = Region1DataLabel[i]->palette().color(QPalette::WindowText).rgb();
    for (int& slot : chart_.ChSlot) slot = -1;
}

QSize MainWindow::FrameMargins() const {
    return frameGeometry().size() - geometry().size();
}

void MainWindow::FormCanResize() {
    // The limit is on the outer size; Qt's minimum is on the inner one.
    const QSize frame = FrameMargins();
    setMinimumSize(kMinOuterWidth - frame.width(), kMinOuterHeight - frame.height());
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    FormCanResize();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormCanResize();
}

void MainWindow::LayoutClient() {
    // Anchors: Panel1 grows with the client area, the right column keeps to the right edge,
    // the read-out to the lower right corner; everything else stays where it is.
    const int dw = client_->width() - kClientWidth;
    const int dh = client_->height() - (kClientHeight - kStatusHeight);
    Panel1->setGeometry(8, 80, 900 + dw, 449 + dh);
    CHGroupBox->move(918 + dw, 80);
    ReadoutGroupBox->move(918 + dw, 400 + dh);
    LayoutPanel1();
}

void MainWindow::LayoutPanel1() {
    const bool bar = !ScrollBar1->isHidden();
    const int w = Panel1->width(), h = Panel1->height();
    ScrollBar1->setGeometry(0, h - kScrollBarHeight, w, kScrollBarHeight);
    PaintBox1->setGeometry(0, 0, w, bar ? h - kScrollBarHeight : h);
}

void MainWindow::SetScrollBarVisible(bool visible) {
    if (ScrollBar1->isHidden() != visible) return;
    ScrollBar1->setVisible(visible);
    LayoutPanel1();
}

void MainWindow::FitScrollBar(RangeChange why) {
    // One rule for a load, a resize and an arrangement change. The bar is needed when the
    // recording is longer than a panel is wide; its range is then in samples, whatever the
    // zoom. The bar moves first and the zoom follows, so that the bar's change handler sees
    // the zoom that was in force while the bar moved (a load has set it to 1 already). A bar
    // that goes away keeps its position after a load and returns to 0 otherwise.
    const bool needed = store_.DataCount > chart_.PlotWidth;
    const bool wasVisible = !ScrollBar1->isHidden();
    if (needed) {
        ScrollBar1->setMaximum(store_.DataCount - chart_.PlotWidth); // clamps the position
        if (why == RangeChange::Load || !wasVisible) ScrollBar1->setValue(0);
        SetScrollBarVisible(true);
    } else if (wasVisible) {
        if (why != RangeChange::Load) ScrollBar1->setValue(0);
        SetScrollBarVisible(false);
    }
    if (why == RangeChange::Resize) return; // the zoom stays as it is
    if (why == RangeChange::Load || needed || wasVisible) {
        chart_.TimeScale = 1;
        chart_.TimeScaleMax =
            needed ? WholeRecordingTimeScale(store_.DataCount, chart_.PlotWidth) : 1;
    }
    chart_.GridTime = CalcTimeGrid(store_.Rate, chart_.TimeScale);
}

LayoutInput MainWindow::LayoutFor(QSize size) const {
    LayoutInput in;
    in.width = size.width();
    in.height = size.height();
    for (int k = 0; k < 4; ++k) {
        in.showData[k] = Region1DataCheckBox[k]->isChecked();
        in.channelChecked[k] = CHCheckBox[k]->isChecked();
    }
    in.channelCount = store_.ChCount;
    return in;
}

int MainWindow::Layout() {
    panels_ = tesmora::GetSettings(chart_, LayoutFor(PaintBox1->size()));
    return panels_;
}

int MainWindow::GetSettings() {
    const int n = Layout();
    ArrangeGroupBox->setVisible(n > 2);
    return n;
}

const RecordingStore& MainWindow::ShownStore() const {
    // Half a load holds the new samples and the old averages: nothing of it is shown.
    static const RecordingStore empty(0);
    return loading_ ? empty : store_;
}

void MainWindow::ShowChartNeighbours(int n) {
    ArrangeGroupBox->setVisible(n > 2);
    const ScrollBarState bar = ScrollBar();
    const Readout r = CursorReadout(ShownStore(), chart_, n, bar.FirstVisible());
    if (!r.update) return; // nothing loaded: the box keeps its state
    if (r.visible) {
        ReadoutGroupBox->setTitle(r.texts.caption);
        SetLabelText(OXHbLabel, r.texts.oxhb);
        SetLabelText(DXHbLabel, r.texts.dxhb);
        SetLabelText(TOHbLabel, r.texts.tohb);
        SetLabelText(STO2Label, r.texts.sto2);
        SetLabelText(TempLabel, r.texts.temp);
    }
    ReadoutGroupBox->setVisible(r.visible);
    shownReadout_ = r;
}

void MainWindow::RefreshChart() {
    ShowChartNeighbours(Layout());
    PaintBox1->update();
}

void MainWindow::ReportMessage(const QString& text) {
    dialogs_.Beep();
    dialogs_.Message(this, "ERROR", text, Dialogs::Icon::None);
}

void MainWindow::ShowError(const QString& text) {
    dialogs_.Beep();
    dialogs_.Message(this, ApplicationCaption(),
                     QString::fromStdString(ErrorTextForDisplay(text.toStdString())),
                     Dialogs::Icon::Error);
}

void MainWindow::Guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowError("Unknown error");
    }
}

void MainWindow::O1Click() {
    QString fileName; // cleared before every showing
    if (!dialogs_.ExecuteFileDialog(*OpenDialog1, fileName)) return;
    OpenRecording(fileName);
}

bool MainWindow::OpenRecording(const QString& fileName, QString* openError) {
    openFileName_ = fileName;
    bool opened = false;
    Guard([&] {
        BusyCursor busy;
        LoadObserver observer;
        observer.opened = [&] {
            loading_ = true;
            chart_.CursorCh = -1;
            chart_.CursorIndex = -1;
            chart_.YShift = 0;
            chart_.TimeScale = 1;
            StatusBar1->clearMessage();
            SayInStatus(QString());
            wheel_.Reset();
            busy.Begin();
            // Let the cleared status bar and the cursor show before the read; no user input.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        };
        observer.report = [&](LoadMessage m) {
            // "Unable to read anymore." comes while the file is still being read.
            if (m != LoadMessage::StoreFull) busy.End();
            ReportMessage(QString::fromLatin1(MessageText(m)));
        };
        struct LoadEnds {
            bool& loading;
            ~LoadEnds() { loading = false; }
        } ends{loading_};
        const LoadOutcome outcome =
            LoadRecording(store_, QFile::encodeName(fileName).toStdString(), observer);
        busy.End();
        loading_ = false;
        if (!outcome.opened) { // nothing changes
            if (openError) *openError = QString::fromStdString(outcome.openError);
            return;
        }
        opened = true;
        paintErrorShown_ = false;
        ShowRecordingState(fileName, outcome.binary);
        if (store_.DataCount > 0) {
            // The recording goes first in the recent files, and the open dialog starts in its
            // folder next time.
            const QFileInfo info(fileName);
            recent_.Add(QFile::encodeName(info.absoluteFilePath()).toStdString());
            OpenDialog1->setDirectory(info.absolutePath());
            UpdateRecentMenu();
        }
        if (outcome.error) ShowError(QString::fromStdString(*outcome.error));
    });
    return opened;
}

void MainWindow::ShowRecordingState(const QString& fileName, bool binary) {
    QLabel* const loadLabels[6] = {Label1,         Label2,       Label3,
                                   StartTimeLabel, EndTimeLabel, CountLabel};
    if (store_.DataCount > 0) {
        SetLabelText(StartTimeLabel, QString::fromStdString(FormatDateTime(store_.StartTime)));
        SetLabelText(EndTimeLabel, QString::fromStdString(FormatDateTime(store_.EndTime)));
        SetLabelText(CountLabel, QString("%1 (%2[ms])").arg(store_.DataCount).arg(store_.Rate));
        for (QLabel* l : loadLabels) l->show();

        QString status = "FileName[ " + QFileInfo(fileName).fileName() + " ]    DeviceID[ " +
                         QString::fromStdString(store_.SerialNo) + " ]";
        if (!store_.PatientID.empty()) {
            status += "    PatientID[ " + QString::fromStdString(store_.PatientID);
            if (!store_.PatientName.empty())
                status += "(" + QString::fromStdString(store_.PatientName) + ")";
            status += " ]";
        }
        StatusBar1->showMessage(status);

        for (int k = 0; k < 4; ++k) {
            CHCheckBox[k]->setVisible(store_.ChCount >= k + 1);
            CHCheckBox[k]->setChecked(store_.ChCount >= k + 1);
        }
        CHGroupBox->setVisible(store_.ChCount >= 2);
        GetSettings();
        CalcCompareData(store_, std::max(AveComboBox->currentIndex(), 0));
        S1->setEnabled(binary);
        for (QAction* a : {ZoomIn1, ZoomOut1, WholeRecording1, GoToTime1}) a->setEnabled(true);
    } else {
        for (QLabel* l : loadLabels) l->hide();
        ArrangeGroupBox->hide();
        CHGroupBox->hide();
        // The read-out would go on showing the values of a recording no longer loaded: a
        // paint without samples leaves it as it is.
        ReadoutGroupBox->hide();
        S1->setEnabled(false);
        for (QAction* a : {ZoomIn1, ZoomOut1, WholeRecording1, GoToTime1}) a->setEnabled(false);
    }
    FitScrollBar(RangeChange::Load);
    TempLabel->setVisible(store_.DataType == 3);
    markers_ = {};
    LoadNotes(fileName);
    UpdateMeasurements();
    UpdateOximetry();
    ExportAnalysis1->setEnabled(store_.DataCount > 0);
    EnableExports();
    RefreshChart();
}

void MainWindow::S1Click() {
    if (store_.DataCount == 0) return;
    const QFileInfo opened(openFileName_);
    QString name = opened.fileName().isEmpty()
                       ? QString()
                       : opened.dir().filePath(opened.completeBaseName() + ".csv");
    for (;;) {
        if (!dialogs_.ExecuteFileDialog(*SaveDialog1, name)) return;
        if (!QFileInfo::exists(name)) break;
        dialogs_.Beep();
        if (dialogs_.AskYesNo(this, "CAUTION", "Do you want to overwrite the existing file?"))
            break;
        name.clear();
    }
    // The new file is written beside the target and replaces it only once complete, so a
    // failure leaves the old file as it was; a target the user protected is never replaced.
    std::unique_ptr<OutputFile> out;
    if (!QFileInfo(name).isDir())
        out = std::make_unique<OutputFile>(QFile::encodeName(name).toStdString(), true);
    if (!out || !out->IsOpen()) {
        ReportMessage("Unable to create file.");
        return;
    }
    BusyCursor busy;
    busy.Begin();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    ByteSink sink(out->Descriptor());
    const bool written = WriteCsvRecording(store_, sink) && sink.Flush() && out->Commit();
    busy.End();
    if (!written) ReportMessage("Unable to write file.");
}

QPrinter& MainWindow::Printer() {
    // Made when first needed: finding the printers can take a while.
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

void MainWindow::U1Click() {
    dialogs_.PrinterSetup(this, Printer());
}

QPixmap MainWindow::ClientSnapshot() {
    const int top = menuBar()->isVisible() ? menuBar()->geometry().bottom() + 1 : 0;
    return grab(QRect(0, top, width(), height() - top));
}

void MainWindow::P1Click() {
    const QPixmap snapshot = ClientSnapshot();
    QPrinter& printer = Printer();
    // Without a printing system Qt falls back to PDF output, which needs a file to go to.
    const bool none = printer.outputFormat() == QPrinter::NativeFormat
                          ? !printer.isValid() || printer.printerName().isEmpty()
                          : printer.outputFileName().isEmpty();
    if (none) throw std::runtime_error("There is no default printer.");
    const QSizeF image = snapshot.deviceIndependentSize();
    const PrintPlacement place =
        PlaceOnPage(printer.width(), printer.height(), static_cast<int>(image.width()),
                    static_cast<int>(image.height()));
    QPainter painter;
    if (!painter.begin(&printer)) throw std::runtime_error("The printer could not start printing.");
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(place.Target(), snapshot);
    if (!painter.end()) throw std::runtime_error("The printer did not accept the page.");
}

void MainWindow::H2Click() {
    if (QFileInfo(helpPath_).isFile() && dialogs_.OpenDocument(helpPath_)) return;
    ReportMessage("Help file not found.");
}

void MainWindow::A1Click() {
    Form2->PlaceForShowing();
    dialogs_.ShowModal(*Form2);
}

void MainWindow::X1Click() {
    close();
}

void MainWindow::AveComboBoxChange() {
    CalcCompareData(store_, std::max(AveComboBox->currentIndex(), 0));
    RefreshChart();
}

void MainWindow::AmpComboBoxChange() {
    RefreshChart();
}
void MainWindow::Region1Data1CheckBoxClick() {
    RefreshChart();
}
void MainWindow::CH1CheckBoxClick() {
    RefreshChart();
    UpdateMeasurements(); // the channels with a panel
}

void MainWindow::FormResize() {
    GetSettings();
    FitScrollBar(RangeChange::Resize);
    // The resized chart repaints by itself; its neighbours follow the new layout now.
    ShowChartNeighbours(Layout());
}

void MainWindow::SpeedButton1Click(int tag) {
    if (tag == chart_.ArrangeMode) return;
    chart_.ArrangeMode = tag;
    GetSettings();
    FitScrollBar(RangeChange::Arrangement);
    RefreshChart();
}

void MainWindow::PaintBox1Paint(QPainter& painter) {
    try {
        const ScrollBarState bar = ScrollBar();
        const std::int32_t s0 = bar.FirstVisible();
        const int n = Layout();
        const RecordingStore& shown = ShownStore();
        painter.setFont(font()); // the window font; only its colour changes while drawing
        const ChartOverlay overlay = Overlay();
        PaintChart(painter, shown, chart_, n, AmpComboBox->currentIndex(), s0, &paintCache_,
                   &overlay);
        // The neighbours are widgets of their own: when this paint's layout differs from what
        // they show (the chart was resized), they follow once the paint is over.
        const Readout r = CursorReadout(shown, chart_, n, s0);
        const bool differs =
            ArrangeGroupBox->isHidden() == (n > 2) ||
            (r.update && (r != shownReadout_ || ReadoutGroupBox->isHidden() == r.visible));
        if (differs && !neighboursQueued_) {
            neighboursQueued_ = true;
            Later([this] {
                neighboursQueued_ = false;
                ShowChartNeighbours(Layout());
            });
        }
        if (shown.DataCount > 0 && onChartPainted) onChartPainted();
    } catch (const std::exception& e) {
        // No message box inside a paint: report it once the paint is over, once per recording.
        if (paintErrorShown_) return;
        paintErrorShown_ = true;
        Later([this, text = QString::fromUtf8(e.what())] { ShowError(text); });
    }
}

ScrollBarState MainWindow::ScrollBar() const {
    return {!ScrollBar1->isHidden(), ScrollBar1->value(), ScrollBar1->maximum()};
}

void MainWindow::Apply(const GestureEffect& effect) {
    if (effect.scrollTo) ScrollBar1->setValue(*effect.scrollTo); // runs ScrollBar1Change
    if (effect.repaint) RefreshChart();
}

static MouseButton ButtonOf(Qt::MouseButton b) {
    return b == Qt::LeftButton     ? MouseButton::Left
           : b == Qt::MiddleButton ? MouseButton::Middle
                                   : MouseButton::Right;
}

void MainWindow::PaintBox1MouseDown(Qt::MouseButton button, int x, int y) {
    if (button == Qt::RightButton) { // the markers' button, which the drags leave alone
        rightDown_ = QPoint(x, y);
        markerGestures_.Press(x, y, chart_, panels_, ScrollBar().FirstVisible(), store_.DataCount,
                              markers_);
        return;
    }
    if (button != Qt::LeftButton && button != Qt::MiddleButton) return;
    Apply(gestures_.MouseDown(ButtonOf(button), x, y, chart_, ScrollBar()));
}

void MainWindow::PaintBox1MouseMove(Qt::MouseButtons buttons, int x, int y) {
    Apply(gestures_.MouseMove(buttons & Qt::LeftButton, buttons & Qt::MiddleButton, x, y, chart_,
                              store_.DataCount, store_.Rate, ScrollBar()));
    if (buttons & Qt::RightButton)
        if (const std::optional<Markers> m = markerGestures_.Move(
                x, y, chart_, ScrollBar().FirstVisible(), store_.DataCount, markers_))
            SetMarkers(*m); // the panel follows the drag
}

void MainWindow::PaintBox1MouseUp(Qt::MouseButton button, int x, int y) {
    Apply(gestures_.MouseUp(ButtonOf(button), x, y, chart_, store_.DataCount, store_.ChCount,
                            ScrollBar()));
    if (button == Qt::RightButton && markerGestures_.Release()) ChartMenu(rightDown_);
}

void MainWindow::PaintBox1DblClick() {
    Apply(gestures_.DblClick(chart_));
}

void MainWindow::ScrollBar1Change() {
    Apply(gestures_.ScrollChanged(chart_, ScrollBar()));
}

void MainWindow::I1Click() {
    Apply(gestures_.InitializeView(chart_, store_.Rate, ScrollBar()));
}

// --- Navigation beyond the drags ---

void MainWindow::ApplyView(const ViewChange& change) {
    // The bar first, its change handler seeing the zoom in force, as after a drag.
    if (change.scrollTo) ScrollBar1->setValue(*change.scrollTo);
    bool repaint = false;
    if (change.timeScale) repaint = SetTimeScale(chart_, *change.timeScale, store_.Rate);
    if (change.yShift && *change.yShift != chart_.YShift) {
        chart_.YShift = *change.yShift;
        repaint = true;
    }
    if (repaint) RefreshChart();
}

int MainWindow::PanelOffset(QPoint at) const {
    int p = 0; // the panel under the pointer, or one in the pointer's column
    bool found = false;
    for (int k = 0; k < panels_ && !found; ++k) {
        const bool inColumn = chart_.ChLeft[k] <= at.x() && at.x() <= chart_.ChRight[k];
        if (inColumn) p = k;
        found = inColumn && chart_.ChTop[k] <= at.y() && at.y() <= chart_.ChBottom[k];
    }
    return std::clamp(at.x() - chart_.ChLeft[p], 0, std::max(chart_.PlotWidth, 0));
}

void MainWindow::PaintBox1Wheel(QPoint delta, Qt::KeyboardModifiers modifiers, QPoint at) {
    if (store_.DataCount == 0) return;
    if (modifiers & Qt::ControlModifier) {
        ApplyView(wheel_.Zoom(chart_, ScrollBar(), delta.y() != 0 ? delta.y() : delta.x(),
                              PanelOffset(at)));
        return;
    }
    // Vertical, with Shift, or horizontal: all scroll in time.
    ApplyView(wheel_.Scroll(chart_, ScrollBar(), delta.x() != 0 ? delta.x() : delta.y()));
}

void MainWindow::PaintBox1Pinch(double scale, QPoint at) {
    if (store_.DataCount == 0) return;
    ApplyView(wheel_.Pinch(chart_, ScrollBar(), scale, PanelOffset(at)));
}

bool MainWindow::PaintBox1Key(int key, Qt::KeyboardModifiers modifiers) {
    static const struct {
        int key;
        ChartKey action;
    } keys[] = {{Qt::Key_Left, ChartKey::Left},     {Qt::Key_Right, ChartKey::Right},
                {Qt::Key_PageUp, ChartKey::PageUp}, {Qt::Key_PageDown, ChartKey::PageDown},
                {Qt::Key_Home, ChartKey::Home},     {Qt::Key_End, ChartKey::End},
                {Qt::Key_Plus, ChartKey::ZoomIn},   {Qt::Key_Equal, ChartKey::ZoomIn},
                {Qt::Key_Minus, ChartKey::ZoomOut}, {Qt::Key_Up, ChartKey::Up},
                {Qt::Key_Down, ChartKey::Down}};
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier)) return false;
    for (const auto& k : keys) {
        if (k.key != key) continue;
        ApplyView(KeyNavigation(chart_, ScrollBar(), store_.DataCount, k.action));
        return true;
    }
    return false;
}

void MainWindow::ZoomIn1Click() {
    ApplyView(KeyNavigation(chart_, ScrollBar(), store_.DataCount, ChartKey::ZoomIn));
}

void MainWindow::ZoomOut1Click() {
    ApplyView(KeyNavigation(chart_, ScrollBar(), store_.DataCount, ChartKey::ZoomOut));
}

void MainWindow::WholeRecording1Click() {
    if (store_.DataCount == 0) return;
    ViewChange change;
    if (!ScrollBar1->isHidden() && ScrollBar1->value() != 0) change.scrollTo = 0;
    change.timeScale = chart_.TimeScaleMax;
    ApplyView(change);
}

void MainWindow::CentreOn(std::int32_t index, int channel) {
    const ScrollBarState bar = ScrollBar();
    const int position = PositionFor(index, chart_.PlotWidth / 2, chart_.TimeScale, bar);
    if (bar.visible && position != bar.position) ScrollBar1->setValue(position);
    if (chart_.TimeScale == 1 && panels_ > 0) {
        chart_.CursorIndex = index;
        if (chart_.CursorCh < 0) chart_.CursorCh = 0;
        for (int p = 0; p < panels_; ++p)
            if (chart_.ChSlot[p] == channel) chart_.CursorCh = p;
    }
    RefreshChart();
}

void MainWindow::GoToTime1Click() {
    if (store_.DataCount == 0) return;
    GoToTimeDialog dialog({store_.StartTime, store_.Rate, store_.DataCount}, this);
    if (!dialogs_.Run(dialog)) return;
    CentreOn(dialog.Target());
}

void MainWindow::UpdateRecentMenu() {
    RecentFiles1->clear();
    const std::vector<std::string>& files = recent_.Files();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const int k = static_cast<int>(i);
        // "&&" keeps an ampersand of the path from becoming an access key.
        const QString path = QFile::decodeName(QByteArray::fromStdString(files[i]));
        QAction* a = RecentFiles1->addAction(
            QString("&%1 %2").arg(k + 1).arg(QString(path).replace("&", "&&")));
        a->setObjectName(QString("RecentFile%1").arg(k + 1));
        Wire(a, &QAction::triggered, [this, k] { OpenRecent(k); });
    }
    RecentFiles1->addSeparator();
    ClearRecent1 = Named(RecentFiles1->addAction("Clear Recent Files(&C)"), "ClearRecent1");
    Wire(ClearRecent1, &QAction::triggered, [this] { ClearRecent1Click(); });
    ClearRecent1->setEnabled(!files.empty());
}

void MainWindow::OpenRecent(int k) {
    if (k < 0 || static_cast<std::size_t>(k) >= recent_.Files().size()) return;
    const std::string path = recent_.Files()[static_cast<std::size_t>(k)];
    // A recent file that is gone ends as an unopenable file does, and leaves the list.
    if (!OpenRecording(QFile::decodeName(QByteArray::fromStdString(path)))) {
        recent_.Remove(path);
        UpdateRecentMenu();
    }
}

void MainWindow::ClearRecent1Click() {
    recent_.Clear();
    UpdateRecentMenu();
}

// --- Markers, measurements and notes ---

ChartOverlay MainWindow::Overlay() const {
    ChartOverlay o;
    o.markerA = markers_.a;
    o.markerB = markers_.b;
    for (const Note& n : notes_) o.notes.push_back(n.index);
    o.desaturation = desaturationShown_;
    return o;
}

void MainWindow::SetMarkers(const Markers& markers) {
    if (markers == markers_) return;
    markers_ = markers;
    // The panel appears with the first marker, as it is what a marker is for.
    if (markers_.a || markers_.b) ShowPanel(*MeasurementsPanel1);
    UpdateMeasurements();
    if (OximetryPanel1->Choice().baselineFromMarkers) UpdateOximetry();
    RefreshChart();
}

MeasurementTable MainWindow::CurrentTable() const {
    if (!markers_.a || !markers_.b || store_.DataCount == 0) return {};
    std::vector<int> channels; // those with a panel
    for (int p = 0; p < panels_; ++p) channels.push_back(chart_.ChSlot[p]);
    return MakeMeasurementTable(store_, *markers_.a, *markers_.b, channels);
}

void MainWindow::UpdateMeasurements() {
    const MeasurementTable table = CurrentTable();
    MeasurementsPanel1->ShowTable(table);
    ExportMeasurements1->setEnabled(!table.rows.empty());
}

void MainWindow::ChartMenu(QPoint at) {
    const int p = PanelAt(chart_, panels_, at.x(), at.y());
    const bool onSample = p >= 0 && store_.DataCount > 0;
    const std::int32_t sample =
        onSample ? SampleAtColumn(chart_, p, ScrollBar().FirstVisible(), store_.DataCount, at.x())
                 : 0;
    QMenu menu(this);
    menu.setObjectName("ChartMenu");
    auto item = [&](const char* name, const QString& text, bool enabled,
                    std::function<void()> handler) {
        QAction* a = Named(menu.addAction(text), name);
        a->setEnabled(enabled);
        Wire(a, &QAction::triggered, std::move(handler));
    };
    item("SetMarkerA1", "Set Marker A Here", onSample, [this, sample] {
        SetMarkers({sample, markers_.b});
    });
    item("SetMarkerB1", "Set Marker B Here", onSample, [this, sample] {
        SetMarkers({markers_.a, sample});
    });
    item("ClearMarkers1", "Clear Markers", markers_.a || markers_.b, [this] { SetMarkers({}); });
    menu.addSeparator();
    item("AddNote1", "Add Annotation Here...", onSample, [this, sample] { AddNote(sample); });
    item("CopyValues1", "Copy Values", markers_.a && markers_.b, [this] { CopyValues(); });
    dialogs_.PopupMenu(menu, PaintBox1->mapToGlobal(at));
}

void MainWindow::CopyValues() {
    const MeasurementTable table = CurrentTable();
    if (table.rows.empty()) return;
    QGuiApplication::clipboard()->setText(QString::fromStdString(TableText(table, '\t')));
}

void MainWindow::ExportMeasurements() {
    const MeasurementTable table = CurrentTable();
    if (table.rows.empty()) return;
    ExportText(
        ExportDialog(MeasurementsDialog1, "MeasurementsDialog1", {"CSV files (*.csv)"}, "csv"),
        "_measurements.csv", table.summary + "\r\n" + TableText(table, ','));
}

void MainWindow::ExportText(QFileDialog& dialog, const QString& suffix, const std::string& text) {
    if (const std::optional<QString> name = AskExportName(dialog, suffix))
        WriteWhole(*name, QByteArray::fromStdString(text));
}

std::optional<QString> MainWindow::AskExportName(QFileDialog& dialog, const QString& suffix) {
    const QFileInfo opened(openFileName_);
    QString name = opened.dir().filePath(opened.completeBaseName() + suffix);
    if (!dialogs_.ExecuteFileDialog(dialog, name) || !MayOverwrite(name)) return std::nullopt;
    return name;
}

bool MainWindow::MayOverwrite(const QString& name) {
    if (!QFileInfo::exists(name)) return true;
    dialogs_.Beep();
    return dialogs_.AskYesNo(this, "CAUTION", "Do you want to overwrite the existing file?");
}

void MainWindow::ShowPanel(QDockWidget& panel) {
    if (!panel.isHidden()) return;
    panel.show();
    WidenFor(panel);
}

void MainWindow::WidenFor(QDockWidget& panel) {
    panel.raise();
    // Only the first panel at the right takes room; a second one goes into its tabs.
    for (QDockWidget* other :
         {static_cast<QDockWidget*>(MeasurementsPanel1), static_cast<QDockWidget*>(OximetryPanel1)})
        if (other != &panel && !other->isHidden() && !other->isFloating()) return;
    if (panel.isFloating() || isMaximized() || isFullScreen() || !windowHandle()) return;
    const QRect screen = windowHandle()->screen()->availableGeometry();
    QRect outer = frameGeometry();
    const int grow = std::min(panel.minimumWidth(), screen.width() - outer.width());
    if (grow <= 0) return;
    outer.setWidth(outer.width() + grow);
    if (outer.right() > screen.right()) outer.moveRight(screen.right());
    move(outer.topLeft());
    resize(width() + grow, height());
}

// --- The oximetry analysis ---

DesaturationSettings MainWindow::OximetrySettings() const {
    const OximetryChoice choice = OximetryPanel1->Choice();
    DesaturationSettings s = choice.settings;
    if (choice.baselineFromMarkers) {
        if (markers_.a && markers_.b)
            s.baselineSamples = {{*markers_.a, *markers_.b}};
        else
            s.baselineMinutes = 0; // no interval: no baseline, rather than another one
    }
    return s;
}

void MainWindow::UpdateOximetry() {
    desaturation_ = {};
    desaturationShown_ = {};
    if (OximetryPanel1->isHidden()) {
        RefreshChart();
        return;
    }
    if (store_.DataCount == 0) {
        OximetryPanel1->ShowResults({}, {}, "Open a recording to see its desaturation.");
        RefreshChart();
        return;
    }
    const OximetryChoice choice = OximetryPanel1->Choice();
    desaturation_ = AnalyseDesaturation(store_, OximetrySettings());
    QStringList notes;
    const bool noMarkers = choice.baselineFromMarkers && !(markers_.a && markers_.b);
    if (noMarkers) notes << "Set markers A and B: the baseline is taken between them.";
    const bool relative = choice.settings.mode == DesaturationSettings::Mode::Relative;
    for (int c = 0; c < std::clamp(store_.ChCount, 0, 4); ++c) {
        const DesaturationResult& r = desaturation_[static_cast<std::size_t>(c)];
        if (relative && !r.baseline && !noMarkers)
            notes << QString("CH%1: no valid sample in the baseline interval, so no threshold.")
                         .arg(c + 1);
        DesaturationOverlay& shown = desaturationShown_[static_cast<std::size_t>(c)];
        shown.threshold = r.threshold;
        for (const Episode& e : r.episodes) shown.episodes.push_back({e.first, e.last});
    }
    OximetryPanel1->ShowResults(ChannelTable(store_, desaturation_),
                                EpisodeTable(store_, desaturation_), notes.join('\n'));
    RefreshChart();
}

void MainWindow::ExportAnalysis() {
    if (store_.DataCount == 0) return;
    const OximetryChoice choice = OximetryPanel1->Choice();
    const DesaturationSettings settings = OximetrySettings();
    const std::string file = QFileInfo(openFileName_).fileName().toStdString();
    ExportText(ExportDialog(AnalysisDialog1, "AnalysisDialog1", {"CSV files (*.csv)"}, "csv"),
               "_analysis.csv",
               AnalysisCsv(store_, file, AnalyseDesaturation(store_, settings),
                           SettingsText(settings, choice.baselineFromMarkers)));
}

RecordingIdentity MainWindow::Identity() const {
    return IdentityOf(store_);
}

void MainWindow::SayInStatus(const QString& text) {
    StatusNoteLabel->setText(text);
    StatusNoteLabel->setVisible(!text.isEmpty());
}

void MainWindow::LoadNotes(const QString& recordingPath) {
    notes_.clear();
    notesPath_.clear();
    notesWritable_ = false;
    notesFailureSaid_ = false;
    if (store_.DataCount > 0) {
        notesPath_ = NotesPath(QFile::encodeName(recordingPath).toStdString());
        const NotesRead read = ReadNotes(notesPath_, Identity());
        notesWritable_ = read.status != NotesRead::Status::Ignored;
        notes_ = read.notes;
        if (read.status == NotesRead::Status::Ignored)
            SayInStatus(
                QFileInfo(QFile::decodeName(QByteArray::fromStdString(notesPath_))).fileName() +
                " " + QString::fromStdString(read.why) + ": its notes are not shown.");
    }
    ShowNotes();
}

void MainWindow::ShowNotes() {
    std::vector<QString> times;
    for (const Note& n : notes_)
        times.push_back(QString::fromStdString(
            FormatTimeShort(store_.StartTime + store_.SampleBuff[n.index].Time)));
    MeasurementsPanel1->ShowNotes(notes_, times);
    RefreshChart();
}

void MainWindow::SaveNotes() {
    ShowNotes();
    if (notesPath_.empty()) return;
    const QString name =
        QFileInfo(QFile::decodeName(QByteArray::fromStdString(notesPath_))).fileName();
    if (!notesWritable_) {
        // Never over a sidecar that belongs to another recording, or that could not be read.
        if (!notesFailureSaid_)
            SayInStatus("Notes are kept until you close: " + name +
                        " belongs to something else and is left as it is.");
        notesFailureSaid_ = true;
        return;
    }
    std::string error;
    if (WriteNotes(notesPath_, Identity(), notes_, error)) return;
    if (!notesFailureSaid_)
        SayInStatus("Notes are kept until you close: " + name + " cannot be written (" +
                    QString::fromStdString(error) + ").");
    notesFailureSaid_ = true;
}

void MainWindow::AddNote(std::int32_t index) {
    if (store_.DataCount == 0) return;
    const std::optional<QString> text =
        dialogs_.AskText(this, "Add Annotation",
                         "Note at " +
                             QString::fromStdString(FormatTimeShort(
                                 store_.StartTime + store_.SampleBuff[index].Time)) +
                             ":",
                         QString(), NOTE_MAX_LENGTH);
    if (!text || text->trimmed().isEmpty()) return;
    Note note{std::int64_t{index} * store_.Rate, index, CleanNoteText(text->toStdString())};
    const auto at =
        std::upper_bound(notes_.begin(), notes_.end(), note,
                         [](const Note& a, const Note& b) { return a.index < b.index; });
    notes_.insert(at, note);
    ShowPanel(*MeasurementsPanel1);
    SaveNotes();
}

void MainWindow::EditNote(int i) {
    if (i < 0 || static_cast<std::size_t>(i) >= notes_.size()) return;
    Note& note = notes_[static_cast<std::size_t>(i)];
    const std::optional<QString> text = dialogs_.AskText(
        this, "Edit Annotation", "Note:", QString::fromStdString(note.text), NOTE_MAX_LENGTH);
    if (!text) return;
    if (text->trimmed().isEmpty()) {
        DeleteNote(i);
        return;
    }
    note.text = CleanNoteText(text->toStdString());
    SaveNotes();
}

void MainWindow::DeleteNote(int i) {
    if (i < 0 || static_cast<std::size_t>(i) >= notes_.size()) return;
    notes_.erase(notes_.begin() + i);
    SaveNotes();
}

QString MainWindow::NoteTip(QPoint at) const {
    const int p = PanelAt(chart_, panels_, at.x(), at.y());
    if (p < 0 || at.y() > chart_.ChTop[p] + 12 || store_.DataCount == 0) return {};
    const std::int32_t s0 = ScrollBar().FirstVisible();
    QStringList texts; // every note whose flag is within 3 pixels
    for (const Note& n : notes_) {
        if (n.index < s0) continue;
        const std::int64_t x = chart_.ChLeft[p] + (n.index - s0) / std::max(chart_.TimeScale, 1);
        if (x > chart_.ChRight[p]) continue;
        if (std::abs(x - at.x()) <= 3) texts << QString::fromStdString(n.text);
    }
    return texts.join('\n');
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    const bool files =
        std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
    if (!loading_ && files) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    Guard([&] {
        QStringList paths;
        for (const QUrl& url : event->mimeData()->urls())
            if (url.isLocalFile()) paths << url.toLocalFile();
        if (loading_ || paths.isEmpty()) { // a load is running, or nothing to open
            event->ignore();
            return;
        }
        event->acceptProposedAction();
        OpenRecording(paths.first()); // as if chosen in "Open(&O)"
        if (paths.size() > 1)
            SayInStatus(
                QString("Only the first of %1 dropped files was opened.").arg(paths.size()));
    });
}

// --- Settings file ---

bool MainWindow::event(QEvent* event) {
    // Menu items have no status tips; letting their empty tips through would wipe the status
    // bar's text whenever the pointer crosses the menu.
    if (event->type() == QEvent::StatusTip) return true;
    return QMainWindow::event(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    if (!shown_) {
        shown_ = true;
        Guard([this] { FormShow(); });
    }
    QMainWindow::showEvent(event);
    FormCanResize();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    Guard([this] { FormClose(); });
    event->accept(); // the window closes whatever the settings write did
}

void MainWindow::PlaceCentred() {
    const QSize frame = FrameMargins();
    const QSize outer(kClientWidth + frame.width(),
                      kClientHeight + menuBar()->sizeHint().height() + frame.height());
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desk =
        screen ? screen->virtualGeometry() : QRect(0, 0, outer.width(), outer.height());
    resize(outer - frame);
    move(std::max(desk.left(), desk.left() + desk.width() / 2 - outer.width() / 2),
         std::max(desk.top(), desk.top() + desk.height() / 2 - outer.height() / 2));
}

static QRect StoredBoundsOnScreen(int top, int left, int width, int height) {
    // Any stored number is accepted; beyond what a screen could be, it is one that no screen
    // shows (and the rectangle's arithmetic cannot overflow).
    constexpr int kFar = 1 << 24;
    QRect outer(std::min(left, kFar), std::min(top, kFar), std::clamp(width, kMinOuterWidth, kFar),
                std::clamp(height, kMinOuterHeight, kFar));
    // The screen that shows most of the window; none: a monitor since unplugged.
    const QScreen* screen = nullptr;
    qint64 best = 0;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect shown = s->geometry() & outer;
        const qint64 area = qint64{shown.width()} * shown.height();
        if (!shown.isEmpty() && area > best) {
            best = area;
            screen = s;
        }
    }
    if (!screen) return QRect();
    // A size beyond the screen's work area would make a window no screen can show, and be
    // written back at every close: it is cut to the work area and the window moved into it.
    const QRect work = screen->availableGeometry();
    if (outer.width() > work.width()) {
        outer.setWidth(std::max(work.width(), kMinOuterWidth));
        outer.moveLeft(std::clamp(outer.left(), work.left(),
                                  std::max(work.left(), work.right() + 1 - outer.width())));
    }
    if (outer.height() > work.height()) {
        outer.setHeight(std::max(work.height(), kMinOuterHeight));
        outer.moveTop(std::clamp(outer.top(), work.top(),
                                 std::max(work.top(), work.bottom() + 1 - outer.height())));
    }
    return outer;
}

void MainWindow::PlaceAtStoredBounds(int top, int left, int width, int height) {
    // The minimum size applies to stored sizes too: a stored width of 0 opens at the stored
    // place with the minimum width.
    const QRect outer = StoredBoundsOnScreen(top, left, width, height);
    if (outer.isNull()) {
        PlaceCentred();
        return;
    }
    move(outer.topLeft());
    const QSize frame = FrameMargins();
    resize(outer.size() - frame);
    pendingOuterSize_ = outer.size();
    // The frame is known only once the window system has shown it: correct the size then.
    Later([this] {
        const QSize f = FrameMargins();
        if (!pendingOuterSize_.isEmpty() && !f.isNull())
            resize(pendingOuterSize_.width() - f.width(), pendingOuterSize_.height() - f.height());
        pendingOuterSize_ = QSize();
    });
}

void MainWindow::FormShow() {
    QFile file(settingsPath_);
    const IniFile ini(file.open(QIODevice::ReadOnly) ? file.readAll().toStdString()
                                                     : std::string());
    const int top = ini.ReadInteger("Form", "Top", -1);
    const int left = ini.ReadInteger("Form", "Left", -1);
    const int width = ini.ReadInteger("Form", "Width", -1);
    const int height = ini.ReadInteger("Form", "Height", -1);
    if (top < 0 || left < 0 || width < 0 || height < 0)
        PlaceCentred();
    else
        PlaceAtStoredBounds(top, left, width, height);
    // Indexes outside the lists take the key's default.
    const int amp = ini.ReadInteger("Settings", "Amp", 1);
    AmpComboBox->setCurrentIndex(amp >= 0 && amp < AmpComboBox->count() ? amp : 1);
    const int ave = ini.ReadInteger("Settings", "Ave", 0);
    AveComboBox->setCurrentIndex(ave >= 0 && ave < AveComboBox->count() ? ave : 0);
    const bool defaults[4] = {true, false, false, true};
    for (int k = 0; k < 4; ++k)
        Region1DataCheckBox[k]->setChecked(
            ini.ReadBool("Settings", QString("Check%1").arg(k + 1).toStdString(), defaults[k]));
    if (ini.ReadBool("Measurements", "Visible", false)) MeasurementsPanel1->show();
    const OximetryChoice oximetry = ReadOximetryChoice(ini);
    OximetryPanel1->SetChoice(oximetry);
    if (oximetry.visible) OximetryPanel1->show();
    recent_ = RecentFiles::Read(ini);
    UpdateRecentMenu();
    const QString folder = QFile::decodeName(QByteArray::fromStdString(recent_.LastFolder()));
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) OpenDialog1->setDirectory(folder);
}

void MainWindow::FormClose() {
    QFile in(settingsPath_);
    IniFile ini(in.open(QIODevice::ReadOnly) ? in.readAll().toStdString() : std::string());
    in.close();
    const QRect outer = frameGeometry();
    ini.WriteInteger("Form", "Top", outer.top());
    ini.WriteInteger("Form", "Left", outer.left());
    ini.WriteInteger("Form", "Width", outer.width());
    ini.WriteInteger("Form", "Height", outer.height());
    ini.WriteInteger("Settings", "Amp", AmpComboBox->currentIndex());
    ini.WriteInteger("Settings", "Ave", AveComboBox->currentIndex());
    for (int k = 0; k < 4; ++k)
        ini.WriteBool("Settings", QString("Check%1").arg(k + 1).toStdString(),
                      Region1DataCheckBox[k]->isChecked());
    recent_.Write(ini); // a section of its own, after the ten keys
    // The panel's visibility in a section of its own too; nothing until it was ever shown.
    if (!MeasurementsPanel1->isHidden() || ini.ReadString("Measurements", "Visible"))
        ini.WriteBool("Measurements", "Visible", !MeasurementsPanel1->isHidden());
    if (!OximetryPanel1->isHidden() || ini.ReadString("Oximetry", "Visible"))
        WriteOximetryChoice(ini, OximetryPanel1->Choice());

    // A settings file the user made read-only is never replaced.
    const std::string path = QFile::encodeName(settingsPath_).toStdString();
    OutputFile out(path, true);
    bool ok = out.IsOpen();
    if (ok) {
        ByteSink sink(out.Descriptor());
        sink.Write(ini.Text());
        ok = sink.Flush() && out.Commit();
    }
    if (!ok) throw std::runtime_error("Unable to write to " + settingsPath_.toStdString());
}

} // namespace tesmora

#pragma once
// The main window: its controls, menu and dialogs, and every command of the program.

#include "analysis/desaturation.h"
#include "analysis/measurement_table.h"
#include "analysis/notes.h"
#include "app/dialogs.h"
#include "chart/chart_picture.h"
#include "chart/chart_state.h"
#include "chart/gestures.h"
#include "chart/layout.h"
#include "chart/markers.h"
#include "chart/navigation.h"
#include "chart/painter.h"
#include "export/export_format.h"
#include "recording/store.h"
#include "settings/recent_files.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

class QAction;
class QPrinter;
class QCheckBox;
class QComboBox;
class QDockWidget;
class QFileDialog;
class QGroupBox;
class QLabel;
class QMenu;
class QScrollBar;
class QStatusBar;
class QToolButton;

namespace tesmora {

class AboutBox;
class ChartWidget;
class ClientArea;
class MeasurementsPanel;
class OximetryPanel;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    /// settingsPath: the settings file read when the window is first shown and written when
    /// it closes; helpPath: the user manual.
    MainWindow(Dialogs& dialogs, QString settingsPath, QString helpPath, QWidget* parent = nullptr);
    ~MainWindow() override;

    const RecordingStore& Store() const { return store_; }
    const ChartState& Chart() const { return chart_; }
    const QString& SettingsPath() const { return settingsPath_; }

    /// The chart as the window shows it now, laid out anew for a picture of `size`.
    ChartView ChartViewFor(QSize size) const;

    /// Called after each paint of the chart that showed samples (for measurements).
    std::function<void()> onChartPainted;

    /// The Open command after its dialog: loads fileName and sets the window up for it. False
    /// when the file did not open (nothing changed then); openError tells why.
    bool OpenRecording(const QString& fileName, QString* openError = nullptr);

    /// The application's general error handler: the beep, then the error's text under the
    /// program's name with the error icon.
    void ShowError(const QString& text);

    // Command handlers, named after their controls.
    void O1Click();
    void S1Click();
    void U1Click();
    void P1Click();
    void X1Click();
    void H2Click();
    void A1Click();
    void I1Click();
    void ZoomIn1Click();
    void ZoomOut1Click();
    void WholeRecording1Click();
    void GoToTime1Click();
    void ClearRecent1Click();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Why the scroll range is fitted to the layout (FitScrollBar).
    enum class RangeChange { Load, Resize, Arrangement };

    void CreateControls();
    void CreateMenu();
    void CreateDialogs();
    void WireControls();
    void SetTabOrder();
    void FormCreate();
    void FormCanResize();
    void LayoutClient();
    void LayoutPanel1();
    void SetScrollBarVisible(bool visible);
    void FitScrollBar(RangeChange why);
    void ShowRecordingState(const QString& fileName, bool binary);
    QSize FrameMargins() const;
    ScrollBarState ScrollBar() const;
    void Apply(const GestureEffect& effect);
    void PlaceAtStoredBounds(int top, int left, int width, int height);
    void PlaceCentred();
    QPrinter& Printer();
    /// The client area as the user sees it: everything below the menu bar.
    QPixmap ClientSnapshot();

    void AveComboBoxChange();
    void AmpComboBoxChange();
    void Region1Data1CheckBoxClick();
    void CH1CheckBoxClick();
    void SpeedButton1Click(int tag);
    void FormResize();
    void FormShow();
    void FormClose();
    void PaintBox1Paint(QPainter& painter);
    void PaintBox1MouseDown(Qt::MouseButton button, int x, int y);
    void PaintBox1MouseMove(Qt::MouseButtons buttons, int x, int y);
    void PaintBox1MouseUp(Qt::MouseButton button, int x, int y);
    void PaintBox1DblClick();
    void ScrollBar1Change();
    void PaintBox1Wheel(QPoint delta, Qt::KeyboardModifiers modifiers, QPoint at);
    void PaintBox1Pinch(double scale, QPoint at);
    bool PaintBox1Key(int key, Qt::KeyboardModifiers modifiers);
    /// Carries out a move of the view through the scroll bar and the zoom step of the drags.
    void ApplyView(const ViewChange& change);
    /// The pixel column under the pointer, counted from the left edge of its panel.
    int PanelOffset(QPoint at) const;
    /// Scrolls so that sample `index` lies at the chart's centre; at full resolution the
    /// cursor goes there too, into the panel of `channel` when one shows it.
    void CentreOn(std::int32_t index, int channel = -1);
    void OpenRecent(int k);
    void UpdateRecentMenu();

    // Markers, measurements and notes.
    /// The chart's menu for a right click at (x, y) of the chart.
    void ChartMenu(QPoint at);
    void SetMarkers(const Markers& markers);
    /// The statistics between the markers into the Measurements panel.
    void UpdateMeasurements();
    MeasurementTable CurrentTable() const;
    void CopyValues();
    void ExportMeasurements();
    void AddNote(std::int32_t index);
    void EditNote(int i);
    void DeleteNote(int i);
    /// The notes of the recording just loaded, from its sidecar.
    void LoadNotes(const QString& recordingPath);
    /// Writes the notes to the sidecar after a change, when it may be written.
    void SaveNotes();
    void ShowNotes();
    /// The text of the note whose flag lies under (x, y), or none.
    QString NoteTip(QPoint at) const;
    /// A note beside the status text (the load owns the status text itself).
    void SayInStatus(const QString& text);
    RecordingIdentity Identity() const;
    ChartOverlay Overlay() const;
    /// Shows a panel at the right that is hidden, and widens the window for it (WidenFor).
    void ShowPanel(QDockWidget& panel);
    /// A panel just shown by the user comes on top; when it is the only one at the right, the
    /// window grows by its width, as far as the screen has room, rather than the chart giving
    /// its width away.
    void WidenFor(QDockWidget& panel);
    /// Asks for a file name (suggested: the recording's name and `suffix`), confirms an
    /// overwrite, and writes `text` there in one piece.
    void ExportText(QFileDialog& dialog, const QString& suffix, const std::string& text);
    /// The file name for an export (suggested: the recording's name and `suffix`), an
    /// overwrite confirmed; nothing when the user cancelled.
    std::optional<QString> AskExportName(QFileDialog& dialog, const QString& suffix);
    /// True when `name` does not exist or the user agrees to overwrite it.
    bool MayOverwrite(const QString& name);
    /// Writes a new file through `write` (which says why when it fails), with the hourglass,
    /// and moves it into place once complete; false, after saying why, when it failed.
    bool WriteFile(const QString& name,
                   const std::function<bool(OutputFile&, std::string& why)>& write);
    /// Writes bytes to a new file in one piece (WriteFile).
    bool WriteWhole(const QString& name, const QByteArray& bytes);

    // The Export menu.
    void ExportRecording(ExportFormat format);
    void ExportChartImage();
    void SaveRangeAsCsv();
    /// The samples the range covers: marker A to marker B, or the visible span.
    std::pair<std::int32_t, std::int32_t> SavedRange() const;
    void EnableExports();
    /// One of the exports' file dialogs, made on first use.
    QFileDialog& ExportDialog(QFileDialog*& dialog, const char* name, const QStringList& filters,
                              const char* suffix);

    // The oximetry analysis.
    /// The analysis's settings as the Oximetry panel and the markers make them.
    DesaturationSettings OximetrySettings() const;
    /// Analyses the recording into the Oximetry panel and the chart, while the panel is shown.
    void UpdateOximetry();
    void ExportAnalysis();

    /// What the layout reads from the controls, for a chart of `size`.
    LayoutInput LayoutFor(QSize size) const;
    /// The layout of the chart's panels for the current controls (no widget changes).
    /// Returns the panel count.
    int Layout();
    /// The layout, and ArrangeGroupBox shown for more than two panels.
    int GetSettings();
    /// The chart's view changed: its neighbours (the arrangement buttons, the read-out) follow
    /// the new layout, then the chart repaints.
    void RefreshChart();
    /// Shows in the arrangement box and the read-out what the chart shows with n panels.
    void ShowChartNeighbours(int n);
    /// What a paint shows: the recording, or nothing while a load is half done.
    const RecordingStore& ShownStore() const;

    /// A message of the program: the beep, then "ERROR" with the text and an OK button.
    void ReportMessage(const QString& text);
    /// Runs a handler; an error it does not handle ends it and reaches ShowError.
    void Guard(const std::function<void()>& handler);
    /// Connects a signal to a handler that runs under the guard.
    template <typename Sender, typename Signal>
    void Wire(Sender* sender, Signal signal, std::function<void()> handler) {
        connect(sender, signal, this, [this, handler = std::move(handler)] { Guard(handler); });
    }
    /// A callback for a widget that runs under the guard.
    template <typename... Args>
    std::function<void(Args...)>
    Guarded(std::type_identity_t<std::function<void(Args...)>> handler) {
        return [this, handler = std::move(handler)](Args... args) {
            Guard([&] { handler(args...); });
        };
    }
    /// Runs a handler under the guard once the events now pending have been handled.
    void Later(std::function<void()> handler) {
        QTimer::singleShot(0, this, [this, handler = std::move(handler)] { Guard(handler); });
    }

    Dialogs& dialogs_;
    const QString settingsPath_;
    const QString helpPath_;
    QString openFileName_; // the file last chosen to open
    std::unique_ptr<QPrinter> printer_;
    RecordingStore store_;
    ChartState chart_;
    Gestures gestures_;
    WheelNavigation wheel_;
    RecentFiles recent_;
    Markers markers_;
    MarkerGestures markerGestures_;
    QPoint rightDown_;           // where the right button went down
    std::vector<Note> notes_;    // in the order of their samples
    std::string notesPath_;      // the sidecar of the recording shown, empty: none
    bool notesWritable_ = false; // false: the sidecar found there is another's, left alone
    bool notesFailureSaid_ = false;
    std::array<DesaturationResult, 4> desaturation_{}; // what the Oximetry panel shows
    std::array<DesaturationOverlay, 4> desaturationShown_{};
    PaintCache paintCache_;
    bool shown_ = false;
    bool loading_ = false;         // a load is half done: the store is not to be shown
    bool paintErrorShown_ = false; // a failed paint is reported once per recording
    bool neighboursQueued_ = false;
    QSize pendingOuterSize_; // stored bounds waiting for the frame to be known
    Readout shownReadout_;   // what the read-out box shows
    int panels_ = 0;         // panel count of the last layout

    // Controls, named as the program names them (their objectName is the same).
    QLabel *StartTimeLabel, *EndTimeLabel, *CountLabel, *Label1, *Label2, *Label3;
    QWidget* Panel1;
    ChartWidget* PaintBox1;
    QScrollBar* ScrollBar1;
    QGroupBox* GroupBox1;
    QLabel* Region1DataLabel[4];
    QCheckBox* Region1DataCheckBox[4];
    QGroupBox *GroupBox4, *GroupBox5;
    QComboBox *AveComboBox, *AmpComboBox;
    QGroupBox* ReadoutGroupBox;
    QLabel *OXHbLabel, *DXHbLabel, *TOHbLabel, *STO2Label, *TempLabel;
    QStatusBar* StatusBar1;
    QGroupBox* CHGroupBox;
    QCheckBox* CHCheckBox[4];
    QGroupBox* ArrangeGroupBox;
    QToolButton *SpeedButton1, *SpeedButton2;
    QAction *O1, *S1, *U1, *P1, *X1, *I1, *H2, *A1;
    QAction *ZoomIn1, *ZoomOut1, *WholeRecording1, *GoToTime1, *ClearRecent1;
    QMenu* RecentFiles1;
    QLabel* StatusNoteLabel;
    QAction *Measurements1, *ExportMeasurements1;
    MeasurementsPanel* MeasurementsPanel1;
    QFileDialog* MeasurementsDialog1 = nullptr;
    QAction *Oximetry1, *ExportAnalysis1;
    OximetryPanel* OximetryPanel1;
    QFileDialog* AnalysisDialog1 = nullptr;
    QMenu* Export1;
    QAction *ExportSnirf1, *ExportEdf1, *ExportBdf1, *ExportChartImage1, *SaveRangeAsCsv1;
    QFileDialog *ExportDialog1 = nullptr, *ChartImageDialog1 = nullptr, *RangeDialog1 = nullptr;
    QFileDialog *OpenDialog1, *SaveDialog1;
    AboutBox* Form2;
    ClientArea* client_;
};

} // namespace tesmora

// The Export menu's commands: the recording as SNIRF, EDF+ or BDF+, the chart as a picture,
// and a range of samples as a text recording of its own.

#include "app/main_window.h"
#include "app/picture_size_dialog.h"
#include "app/widgets.h"
#include "chart/chart_picture.h"
#include "chart/layout.h"
#include "csv/csv_writer.h"
#include "export/range_recording.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QScrollBar>
#include <algorithm>

namespace tesmora {
namespace {

QString FailureText(const char* what, const std::string& why) {
    return why.empty() ? QString(what) : QString(what) + "\n" + QString::fromStdString(why);
}

// Writes through a sink on the file; the system's reason when a write failed.
bool WriteWith(OutputFile& out, std::string& why, const std::function<bool(ByteSink&)>& write) {
    ByteSink sink(out.Descriptor());
    const bool written = write(sink) && sink.Flush();
    if (sink.Failed()) why = SystemErrorText(sink.Error());
    return written;
}

} // namespace

QFileDialog& MainWindow::ExportDialog(QFileDialog*& dialog, const char* name,
                                      const QStringList& filters, const char* suffix) {
    if (dialog == nullptr) {
        dialog = new QFileDialog(this);
        dialog->setObjectName(name);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setNameFilters(filters);
        dialog->setDefaultSuffix(suffix);
        dialog->setOption(QFileDialog::DontConfirmOverwrite); // the commands ask themselves
    }
    return *dialog;
}

void MainWindow::EnableExports() {
    const bool loaded = store_.DataCount > 0;
    Export1->setEnabled(loaded);
    for (QAction* a : {ExportSnirf1, ExportEdf1, ExportBdf1, ExportChartImage1})
        a->setEnabled(loaded);
    SaveRangeAsCsv1->setEnabled(loaded && CanWriteCsv(store_));
}

bool MainWindow::WriteFile(const QString& name,
                           const std::function<bool(OutputFile&, std::string&)>& write) {
    OutputFile out(QFile::encodeName(name).toStdString(), true);
    if (!out.IsOpen()) {
        ReportMessage(FailureText("Unable to create file.", out.Error()));
        return false;
    }
    BusyCursor busy;
    busy.Begin();
    std::string why;
    const bool written = write(out, why) && out.Commit();
    busy.End();
    if (!written)
        ReportMessage(FailureText("Unable to write file.", why.empty() ? out.Error() : why));
    return written;
}

bool MainWindow::WriteWhole(const QString& name, const QByteArray& bytes) {
    return WriteFile(name, [&](OutputFile& out, std::string& why) {
        return WriteWith(out, why, [&](ByteSink& sink) {
            sink.Write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
            return true;
        });
    });
}

void MainWindow::ExportRecording(ExportFormat format) {
    if (store_.DataCount == 0) return;
    QFileDialog& dialog = ExportDialog(ExportDialog1, "ExportDialog1", {}, "");
    // The digits each format keeps, where the choice is made.
    switch (format) {
    case ExportFormat::Snirf:
        dialog.setWindowTitle("Export SNIRF");
        dialog.setNameFilters({"SNIRF files (*.snirf)"});
        break;
    case ExportFormat::Edf:
        dialog.setWindowTitle("Export EDF+ (16-bit samples: about 4.5 significant digits)");
        dialog.setNameFilters({"EDF+ files, 16-bit samples: about 4.5 digits (*.edf)"});
        break;
    case ExportFormat::Bdf:
        dialog.setWindowTitle("Export BDF+ (24-bit samples: about 7 significant digits)");
        dialog.setNameFilters({"BDF+ files, 24-bit samples: about 7 digits (*.bdf)"});
        break;
    }
    const char* extension = ExportExtension(format);
    dialog.setDefaultSuffix(QString(extension).mid(1));
    if (const std::optional<QString> name = AskExportName(dialog, extension))
        WriteFile(*name, [&](OutputFile& out, std::string& why) {
            return WriteExport(store_, RecordingEvents(store_, notes_, markers_.a, markers_.b),
                               format, out, why);
        });
}

void MainWindow::ExportChartImage() {
    if (store_.DataCount == 0) return;
    std::optional<QString> name = AskExportName(
        ExportDialog(ChartImageDialog1, "ChartImageDialog1",
                     {"PNG image (*.png)", "SVG drawing (*.svg)", "PDF document (*.pdf)"}, "png"),
        ".png");
    if (!name) return;
    std::optional<PictureFormat> format = PictureFormatOf(*name);
    if (!format) { // a name without one of the three extensions: a PNG
        *name += ".png";
        format = PictureFormat::Png;
        if (!MayOverwrite(*name)) return;
    }
    PictureSizeDialog ask(PaintBox1->size(), devicePixelRatioF(), *format == PictureFormat::Png,
                          this);
    if (!dialogs_.Run(ask)) return;

    const ChartView view = ChartViewFor(ask.PictureSize());
    BusyCursor busy;
    busy.Begin();
    const QByteArray bytes = ChartPicture(view, *format, ask.PixelRatio());
    busy.End();
    if (bytes.isEmpty()) {
        ReportMessage(QString("Unable to make a picture of %1 x %2 pixels.")
                          .arg(view.size.width() * ask.PixelRatio())
                          .arg(view.size.height() * ask.PixelRatio()));
        return;
    }
    WriteWhole(*name, bytes);
}

ChartView MainWindow::ChartViewFor(QSize size) const {
    ChartView view;
    view.store = &ShownStore();
    view.state = chart_;
    view.size = size;
    view.panels = tesmora::GetSettings(view.state, LayoutFor(size));
    view.ampIndex = AmpComboBox->currentIndex();
    view.s0 = ScrollBar().FirstVisible();
    view.overlay = Overlay();
    view.font = font();
    return view;
}

std::pair<std::int32_t, std::int32_t> MainWindow::SavedRange() const {
    if (markers_.a && markers_.b) return std::minmax(*markers_.a, *markers_.b);
    const std::int32_t s0 = ScrollBar().FirstVisible();
    const std::int64_t last =
        std::min<std::int64_t>(s0 + VisibleSpan(chart_), store_.DataCount) - 1;
    return {s0, static_cast<std::int32_t>(last)};
}

void MainWindow::SaveRangeAsCsv() {
    if (store_.DataCount == 0 || !CanWriteCsv(store_)) return;
    const auto [first, last] = SavedRange();
    const std::unique_ptr<RecordingStore> range = RangeRecording(store_, first, last);
    if (!range) return;
    if (const std::optional<QString> name = AskExportName(
            ExportDialog(RangeDialog1, "RangeDialog1", {"CSV files (*.csv)"}, "csv"), "_range.csv"))
        WriteFile(*name, [&](OutputFile& out, std::string& why) {
            return WriteWith(out, why,
                             [&](ByteSink& sink) { return WriteCsvRecording(*range, sink); });
        });
}

} // namespace tesmora

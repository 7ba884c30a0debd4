// The exports of the full recording: SNIRF, EDF+, and the chart as a PNG.

#include "app/dialogs.h"
#include "app/main_window.h"
#include "bench_inputs.h"
#include "chart/chart_picture.h"
#include "export/events.h"
#include "export/export_format.h"
#include "pointer_events.h"

#include <QAction>
#include <QCheckBox>
#include <benchmark/benchmark.h>

namespace {

using namespace tesmora;

void Export(benchmark::State& state, ExportFormat format) {
    const RecordingStore& store = bench::FullStore();
    const std::string target = bench::InputDir() + "/export" + ExportExtension(format);
    for (auto _ : state) {
        OutputFile out(target, true);
        std::string error;
        if (!WriteExport(store, RecordingEvents(store), format, out, error) || !out.Commit())
            state.SkipWithError(error.c_str());
    }
}

void export_snirf_full(benchmark::State& state) {
    Export(state, ExportFormat::Snirf);
}
BENCHMARK(export_snirf_full)->Unit(benchmark::kMillisecond);

void export_edf_full(benchmark::State& state) {
    Export(state, ExportFormat::Edf);
}
BENCHMARK(export_edf_full)->Unit(benchmark::kMillisecond);

// The whole recording in a 1920 x 1080 window, every series shown, as a PNG of the chart.
void export_png_full(benchmark::State& state) {
    static NoDialogs dialogs;
    MainWindow w(dialogs, QString(), QString());
    w.show();
    w.resize(1920, 1080);
    w.OpenRecording(QString::fromStdString(bench::FullLqd()));
    for (int k = 1; k <= 4; ++k)
        w.findChild<QCheckBox*>(QString("Region1Data%1CheckBox").arg(k))->setChecked(true);
    w.findChild<QAction*>("WholeRecording1")->trigger();
    const QWidget* chart = w.findChild<QWidget*>("PaintBox1");
    for (auto _ : state) {
        const QByteArray png = ChartPicture(w.ChartViewFor(chart->size()), PictureFormat::Png);
        if (png.isEmpty()) state.SkipWithError("no picture");
        benchmark::DoNotOptimize(png.data());
    }
    state.counters["width"] = chart->width();
    state.counters["height"] = chart->height();
}
BENCHMARK(export_png_full)->Unit(benchmark::kMillisecond);

} // namespace

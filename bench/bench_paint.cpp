// Painting the chart of a full 48-hour three-channel recording into an image.

#include "chart/layout.h"
#include "chart/painter.h"
#include "demo_recordings.h"
#include "lqd_encoder.h"
#include "processing/moving_average.h"
#include "recording/load.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <filesystem>

namespace {

using namespace tesmora;

// The chart area of a 1920 x 1080 window: the client less the menu, controls and status bar.
constexpr int kChartWidth = 1812, kChartHeight = 950;

RecordingStore& Loaded() {
    static RecordingStore store;
    static const bool once = [] {
        std::filesystem::create_directories(TESMORA_BENCH_DIR);
        const std::string p = std::string(TESMORA_BENCH_DIR) + "/paint_pc56.lqd";
        demo::ThreeChannelDemo d = demo::MakeThreeChannelDemo();
        std::vector<lqd::Ws56Record> records;
        for (std::uint32_t k = 0; k < static_cast<std::uint32_t>(SAMPLE_CAPACITY); ++k) {
            lqd::Ws56Record r = d.records[k % d.records.size()];
            r.counter = k & 0xFFFF;
            records.push_back(r);
        }
        lqd::WriteFile(p, lqd::EncodeWs56(d.header, records));
        LoadRecording(store, p);
        CalcCompareData(store, 5);
        return true;
    }();
    (void)once;
    return store;
}

ChartState Layout(const RecordingStore& store, bool zoomedOut) {
    ChartState s;
    LayoutInput in;
    in.width = kChartWidth;
    in.height = kChartHeight;
    in.channelCount = 3;
    for (int c = 0; c < 3; ++c) in.channelChecked[c] = true;
    for (bool& d : in.showData) d = true;
    GetSettings(s, in);
    s.TimeScaleMax = WholeRecordingTimeScale(store.DataCount, s.PlotWidth);
    s.TimeScale = zoomedOut ? s.TimeScaleMax : 1;
    s.GridTime = 3600000;
    const QRgb colors[4] = {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 128, 0), qRgb(128, 0, 128)};
    for (int k = 0; k < 4; ++k) s.TraceColor[k] = colors[k];
    return s;
}

void Paint(benchmark::State& state, bool zoomedOut) {
    const RecordingStore& store = Loaded();
    const ChartState s = Layout(store, zoomedOut);
    const std::int32_t s0 = zoomedOut ? 0 : (store.DataCount - s.PlotWidth) / 2;
    QImage image(kChartWidth, kChartHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        PaintChart(painter, store, s, 3, 1, s0);
    }
}

void paint_zoomed_out(benchmark::State& state) {
    Paint(state, true);
}
BENCHMARK(paint_zoomed_out)->Unit(benchmark::kMillisecond);

void paint_timescale_1(benchmark::State& state) {
    Paint(state, false);
}
BENCHMARK(paint_timescale_1)->Unit(benchmark::kMillisecond);

// The reference: every sample a segment with the 2-pixel pen.
void paint_zoomed_out_per_sample(benchmark::State& state) {
    const RecordingStore& store = Loaded();
    const ChartState s = Layout(store, true);
    const ValueWindow w = ValueWindowFor(0, 1);
    QImage image(kChartWidth, kChartHeight, QImage::Format_RGB32);
    std::vector<QLine> segments;
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        for (int p = 0; p < 3; ++p)
            for (int k = 0; k < 4; ++k) {
                painter.setPen(QPen(QColor::fromRgb(s.TraceColor[k]), 2));
                TraceSegmentsPerSample(store, s, p, k, 0, w, segments);
                painter.drawLines(segments.data(), static_cast<int>(segments.size()));
            }
    }
}
BENCHMARK(paint_zoomed_out_per_sample)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

namespace {
void scan_zoomed_out(benchmark::State& state) {
    const RecordingStore& store = Loaded();
    const ChartState s = Layout(store, true);
    std::vector<PanelScan> scans;
    for (auto _ : state) ScanPanels(store, s, 3, 0, ValueWindowFor(0, 1), scans);
}
BENCHMARK(scan_zoomed_out)->Unit(benchmark::kMillisecond);
} // namespace

// Painting the chart of the full recording in a 1920 x 1080 window, three panels, four traces
// each, "11 points".

#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/widgets.h"
#include "bench_inputs.h"
#include "chart/painter.h"
#include "pointer_events.h"
#include "support/trace_reference.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <benchmark/benchmark.h>

namespace {

using namespace tesmora;

ChartWidget* Chart(MainWindow& w) {
    return w.findChild<ChartWidget*>("PaintBox1");
}

// The real window with the full recording, every series shown, "11 points".
MainWindow& Window() {
    static NoDialogs dialogs;
    static MainWindow* window = [] {
        auto* w = new MainWindow(dialogs, QString(), QString());
        w->show();
        w->resize(1920, 1080); // after the first showing, which places the window
        w->OpenRecording(QString::fromStdString(bench::FullLqd()));
        for (int k = 1; k <= 4; ++k)
            w->findChild<QCheckBox*>(QString("Region1Data%1CheckBox").arg(k))->setChecked(true);
        auto* average = w->findChild<QComboBox*>("AveComboBox");
        average->setCurrentIndex(5);
        emit average->activated(5); // as the user's choice
        return w;
    }();
    return *window;
}

void ZoomOut(MainWindow& w) {
    w.findChild<QAction*>("I1")->trigger();
    tools::Drag(Chart(w), Qt::MiddleButton, QPoint(1000, 100), QPoint(1000 - 50 * 1000, 100));
}

void PaintLoop(benchmark::State& state, MainWindow& w) {
    ChartWidget* chart = Chart(w);
    QImage image(chart->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        state.PauseTiming();
        image.fill(Qt::white); // the window system's erase, before the handler runs
        state.ResumeTiming();
        QPainter painter(&image);
        chart->onPaint(painter);
    }
    state.counters["TimeScale"] = w.Chart().TimeScale;
    state.counters["PlotWidth"] = w.Chart().PlotWidth;
}

void paint_zoomed_out(benchmark::State& state) {
    MainWindow& w = Window();
    ZoomOut(w);
    if (w.Chart().TimeScale != w.Chart().TimeScaleMax) state.SkipWithError("not zoomed out");
    PaintLoop(state, w);
}
BENCHMARK(paint_zoomed_out)->Unit(benchmark::kMillisecond);

void paint_timescale_1(benchmark::State& state) {
    MainWindow& w = Window();
    w.findChild<QAction*>("I1")->trigger();
    w.findChild<QScrollBar*>("ScrollBar1")
        ->setValue((w.Store().DataCount - w.Chart().PlotWidth) / 2);
    PaintLoop(state, w);
}
BENCHMARK(paint_timescale_1)->Unit(benchmark::kMillisecond);

// One wheel notch on the chart, from the event to the painted frame, through the real widget:
// the notch scrolls a tenth of the span (back and forth, so the view stays in the middle).
void WheelLoop(benchmark::State& state, MainWindow& w) {
    ChartWidget* chart = Chart(w);
    int direction = -1;
    for (auto _ : state) {
        const QPointF at(400, 200);
        QWheelEvent e(at, chart->mapToGlobal(at), QPoint(), QPoint(0, 120 * direction),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(chart, &e);
        chart->repaint();
        direction = -direction;
    }
    state.counters["TimeScale"] = w.Chart().TimeScale;
}

void wheel_step_zoomed_out(benchmark::State& state) {
    MainWindow& w = Window();
    ZoomOut(w);
    w.findChild<QScrollBar*>("ScrollBar1")->setValue(w.Store().DataCount / 3);
    if (w.Chart().TimeScale != w.Chart().TimeScaleMax) state.SkipWithError("not zoomed out");
    WheelLoop(state, w);
}
BENCHMARK(wheel_step_zoomed_out)->Unit(benchmark::kMillisecond);

void wheel_step_timescale_1(benchmark::State& state) {
    MainWindow& w = Window();
    w.findChild<QAction*>("I1")->trigger();
    w.findChild<QScrollBar*>("ScrollBar1")->setValue(w.Store().DataCount / 2);
    WheelLoop(state, w);
}
BENCHMARK(wheel_step_timescale_1)->Unit(benchmark::kMillisecond);

// A marker dragged across the zoomed-out chart: the statistics between the markers (over most
// of the recording) and the repaint, from the move event to the painted frame.
void marker_drag_update(benchmark::State& state) {
    MainWindow& w = Window();
    ZoomOut(w);
    ChartWidget* chart = Chart(w);
    const int left = w.Chart().ChLeft[0], y = w.Chart().ChTop[0] + 30;
    tools::SendMouse(chart, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton,
                     QPoint(left + 2, y));
    int x = left + 1500;
    for (auto _ : state) {
        tools::SendMouse(chart, QEvent::MouseMove, Qt::NoButton, Qt::RightButton, QPoint(x, y));
        chart->repaint();
        x = x == left + 1500 ? left + 1400 : left + 1500;
    }
    tools::SendMouse(chart, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton,
                     QPoint(x, y));
    state.counters["TimeScale"] = w.Chart().TimeScale;
}
BENCHMARK(marker_drag_update)->Unit(benchmark::kMillisecond);

// The reference: every sample a segment with the 2-pixel pen.
void paint_zoomed_out_reference(benchmark::State& state) {
    MainWindow& w = Window();
    ZoomOut(w);
    const ChartState& s = w.Chart();
    const ValueWindow win =
        ValueWindowFor(s.YShift, w.findChild<QComboBox*>("AmpComboBox")->currentIndex());
    QImage image(Chart(w)->size(), QImage::Format_RGB32);
    std::vector<QLine> segments;
    for (auto _ : state) {
        state.PauseTiming();
        image.fill(Qt::white);
        state.ResumeTiming();
        QPainter painter(&image);
        for (int p = 0; p < 3; ++p)
            for (int k = 0; k < 4; ++k) {
                painter.setPen(QPen(QColor::fromRgb(s.TraceColor[k]), 2));
                test::TraceSegmentsPerSample(w.Store(), s, p, k, 0, win, segments);
                painter.drawLines(segments.data(), static_cast<int>(segments.size()));
            }
    }
}
BENCHMARK(paint_zoomed_out_reference)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

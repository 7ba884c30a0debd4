#include "chart/navigation.h"

#include "chart/time_grid.h"

#include <algorithm>
#include <cmath>

namespace tesmora {

bool SetTimeScale(ChartState& s, int timeScale, int rate) {
    const int t = std::clamp(timeScale, 1, std::max(s.TimeScaleMax, 1));
    if (t == s.TimeScale) return false;
    s.TimeScale = t;
    s.GridTime = CalcTimeGrid(rate, s.TimeScale);
    return true;
}

std::int64_t VisibleSpan(const ChartState& s) {
    return std::int64_t{std::max(s.PlotWidth, 0)} * std::max(s.TimeScale, 1);
}

int PositionFor(std::int64_t sample, int offset, int timeScale, const ScrollBarState& bar) {
    if (!bar.visible) return bar.position;
    const std::int64_t p = sample - std::int64_t{offset} * timeScale;
    return static_cast<int>(std::clamp<std::int64_t>(p, 0, std::max(bar.maximum, 0)));
}

ViewChange ZoomAround(const ChartState& s, const ScrollBarState& bar, int steps, int offset) {
    ViewChange change;
    const std::int64_t wanted = std::int64_t{s.TimeScale} - steps;
    const int t =
        static_cast<int>(std::clamp<std::int64_t>(wanted, 1, std::max(s.TimeScaleMax, 1)));
    if (t == s.TimeScale) return change;
    offset = std::clamp(offset, 0, std::max(s.PlotWidth, 0));
    const std::int64_t sample =
        std::int64_t{bar.FirstVisible()} + std::int64_t{offset} * s.TimeScale;
    change.timeScale = t;
    const int position = PositionFor(sample, offset, t, bar);
    if (bar.visible && position != bar.position) change.scrollTo = position;
    return change;
}

ViewChange WheelNavigation::Scroll(const ChartState& s, const ScrollBarState& bar, int delta) {
    ViewChange change;
    if (!bar.visible || delta == 0) return change;
    // A notch is a tenth of the span; a smaller delta moves as much less, and what does not
    // make a whole sample yet waits for the next one.
    if ((delta > 0) != (scrollRest_ > 0)) scrollRest_ = 0;
    scrollRest_ +=
        static_cast<double>(delta) / WHEEL_NOTCH * static_cast<double>(VisibleSpan(s)) / 10;
    const double whole = std::trunc(scrollRest_);
    if (whole == 0) return change;
    scrollRest_ -= whole;
    const double p = std::clamp(static_cast<double>(bar.position) - whole, 0.0,
                                static_cast<double>(std::max(bar.maximum, 0)));
    if (static_cast<int>(p) != bar.position)
        change.scrollTo = static_cast<int>(p);
    else
        scrollRest_ = 0; // at an end: nothing saved up for the way back
    return change;
}

ViewChange WheelNavigation::Zoom(const ChartState& s, const ScrollBarState& bar, int delta,
                                 int offset) {
    if ((delta > 0) != (zoomRest_ > 0)) zoomRest_ = 0;
    zoomRest_ = static_cast<int>(std::clamp<std::int64_t>(std::int64_t{zoomRest_} + delta,
                                                          -1000 * WHEEL_NOTCH, 1000 * WHEEL_NOTCH));
    const int notches = zoomRest_ / WHEEL_NOTCH;
    zoomRest_ -= notches * WHEEL_NOTCH;
    if (notches == 0) return {};
    return ZoomAround(s, bar, notches, offset);
}

ViewChange WheelNavigation::Pinch(const ChartState& s, const ScrollBarState& bar, double scale,
                                  int offset) {
    // Ten percent larger is one step in, as a notch is.
    if (!std::isfinite(scale)) return {};
    if ((scale > 0) != (pinchRest_ > 0)) pinchRest_ = 0;
    pinchRest_ = std::clamp(pinchRest_ + scale, -100.0, 100.0);
    const int steps = static_cast<int>(std::trunc(pinchRest_ / 0.1));
    if (steps == 0) return {};
    pinchRest_ -= steps * 0.1;
    return ZoomAround(s, bar, steps, offset);
}

void WheelNavigation::Reset() {
    scrollRest_ = 0;
    zoomRest_ = 0;
    pinchRest_ = 0;
}

ViewChange KeyNavigation(const ChartState& s, const ScrollBarState& bar, int dataCount,
                         ChartKey key) {
    ViewChange change;
    if (dataCount <= 0) return change;
    const std::int64_t span = VisibleSpan(s);
    auto scrollBy = [&](std::int64_t samples) {
        if (!bar.visible) return;
        const int p = static_cast<int>(std::clamp<std::int64_t>(
            std::int64_t{bar.position} + samples, 0, std::max(bar.maximum, 0)));
        if (p != bar.position) change.scrollTo = p;
    };
    // The vertical step of a drag of 10 pixels, at least one percent.
    const int shiftStep = s.PlotHeight > 0 ? std::max(1000 / s.PlotHeight, 1) : 1;
    auto shiftBy = [&](int d) {
        const int y = std::clamp(s.YShift + d, -100, 100);
        if (y != s.YShift) change.yShift = y;
    };
    switch (key) {
    case ChartKey::Left:
        scrollBy(-std::max<std::int64_t>(span / 10, 1));
        break;
    case ChartKey::Right:
        scrollBy(std::max<std::int64_t>(span / 10, 1));
        break;
    case ChartKey::PageUp:
        scrollBy(-span);
        break;
    case ChartKey::PageDown:
        scrollBy(span);
        break;
    case ChartKey::Home:
        scrollBy(-std::int64_t{bar.position});
        break;
    case ChartKey::End:
        scrollBy(std::int64_t{bar.maximum} - bar.position);
        break;
    case ChartKey::ZoomIn:
        return ZoomAround(s, bar, 1, s.PlotWidth / 2);
    case ChartKey::ZoomOut:
        return ZoomAround(s, bar, -1, s.PlotWidth / 2);
    case ChartKey::Up:
        shiftBy(-shiftStep);
        break;
    case ChartKey::Down:
        shiftBy(shiftStep);
        break;
    }
    return change;
}

} // namespace tesmora

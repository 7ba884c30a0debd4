#pragma once
// Moving through the recording with the wheel and the keys: where the view goes. The window
// carries it out through the scroll bar and the same zoom step the drags take, so every rule
// of the scroll bar, the zoom, the time grid and the cursor stays as it is.

#include "chart/chart_state.h"
#include "chart/gestures.h"

#include <optional>

namespace tesmora {

/// Wheel units of one notch (Qt's angle delta: eighths of a degree).
inline constexpr int WHEEL_NOTCH = 120;

/// Sets TimeScale (clamped to 1..TimeScaleMax) and its time grid, as a zoom drag does. True
/// when it changed.
bool SetTimeScale(ChartState& s, int timeScale, int rate);

/// Samples in view: PlotWidth x TimeScale.
std::int64_t VisibleSpan(const ChartState& s);

/// The scroll position that puts `sample` at pixel column `offset` of the panels at the given
/// zoom, within the bar's range.
int PositionFor(std::int64_t sample, int offset, int timeScale, const ScrollBarState& bar);

/// Where a view change leads.
struct ViewChange {
    std::optional<int> scrollTo;  // the scroll bar's new position
    std::optional<int> timeScale; // the new TimeScale
    std::optional<int> yShift;    // the new vertical shift
};

/// Zoom by `steps` (positive: in, fewer samples per column) keeping the sample at pixel
/// column `offset` of the panels where it is, as far as the range allows.
ViewChange ZoomAround(const ChartState& s, const ScrollBarState& bar, int steps, int offset);

/// The wheel: smooth deltas add up, a notch moves a tenth of the span or zooms one step.
class WheelNavigation {
public:
    /// Scrolls by `delta` wheel units (positive: towards the start).
    ViewChange Scroll(const ChartState& s, const ScrollBarState& bar, int delta);
    /// Zooms by `delta` wheel units (positive: in) around pixel column `offset`.
    ViewChange Zoom(const ChartState& s, const ScrollBarState& bar, int delta, int offset);
    /// A pinch by `scale` (Qt's native zoom value: 0.1 is ten percent larger), around `offset`.
    ViewChange Pinch(const ChartState& s, const ScrollBarState& bar, double scale, int offset);
    /// A new recording, or a new direction, starts afresh.
    void Reset();

private:
    double scrollRest_ = 0; // samples not yet scrolled
    int zoomRest_ = 0;      // wheel units not yet zoomed
    double pinchRest_ = 0;
};

/// The keys of the chart.
enum class ChartKey { Left, Right, PageUp, PageDown, Home, End, ZoomIn, ZoomOut, Up, Down };

/// Where a key leads; nothing with no recording loaded.
ViewChange KeyNavigation(const ChartState& s, const ScrollBarState& bar, int dataCount,
                         ChartKey key);

} // namespace tesmora

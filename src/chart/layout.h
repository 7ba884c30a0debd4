#pragma once
// Which channels get a panel, and where the panels lie in the chart.

#include "chart/chart_state.h"

namespace tesmora {

/// What the layout reads from the window.
struct LayoutInput {
    int width = 0, height = 0;   // the chart's size
    bool showData[4] = {};       // the data check boxes
    bool channelChecked[4] = {}; // the CH check boxes
    int channelCount = 1;        // ChCount of the recording
};

/// Recomputes ShowData, ChSlot, the cursor's panel and the panel rectangles. Returns the
/// number of panels, 0..4. The cursor follows its channel to its new panel, or disappears
/// with it.
int GetSettings(ChartState& s, const LayoutInput& in);

/// Number of TimeScale steps that shows the whole recording: DataCount / PlotWidth rounded up.
std::int32_t WholeRecordingTimeScale(std::int32_t dataCount, std::int32_t plotWidth);

} // namespace tesmora

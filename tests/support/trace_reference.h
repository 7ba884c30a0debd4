#pragma once
// The traces as the naive painter draws them: one segment per pair of consecutive samples.
// The chart's per-column drawing must ink exactly these pixels.

#include "chart/painter.h"

#include <QLine>
#include <vector>

namespace tesmora::test {

/// Series k of panel p from sample s0 on, as many samples as the panel shows, in device
/// pixels at `scale` per pixel of the chart.
void TraceSegmentsPerSample(const RecordingStore& store, const ChartState& s, int p, int k,
                            std::int32_t s0, const ValueWindow& w, std::vector<QLine>& out,
                            int scale = 1);

} // namespace tesmora::test

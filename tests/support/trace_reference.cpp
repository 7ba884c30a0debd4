#include "support/trace_reference.h"

#include <algorithm>

namespace tesmora::test {

void TraceSegmentsPerSample(const RecordingStore& store, const ChartState& s, int p, int k,
                            std::int32_t s0, const ValueWindow& w, std::vector<QLine>& out) {
    out.clear();
    const std::int64_t shown = std::int64_t{std::max(s.PlotWidth, 0)} * s.TimeScale;
    const auto count = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(store.DataCount - std::int64_t{s0}, 0, shown));
    const int c = s.ChSlot[p];
    const double hScale = s.PlotHeight / (w.hHi - w.hLo);
    QPoint prev;
    for (std::int32_t j = 0; j < count; ++j) {
        const QPoint pt(s.ChLeft[p] + j / s.TimeScale,
                        TraceRow(ChannelValue(store.SampleBuff[s0 + j].Ave[c], k), k, w, s.ChTop[p],
                                 s.ChBottom[p], s.PlotHeight, hScale));
        if (j > 0) out.emplace_back(prev, pt);
        prev = pt;
    }
}

} // namespace tesmora::test

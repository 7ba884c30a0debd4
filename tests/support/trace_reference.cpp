#include "support/trace_reference.h"

#include <algorithm>

namespace tesmora::test {

void TraceSegmentsPerSample(const RecordingStore& store, const ChartState& s, int p, int k,
                            std::int32_t s0, const ValueWindow& w, std::vector<QLine>& out,
                            int scale) {
    out.clear();
    const std::int64_t shown = std::int64_t{std::max(s.PlotWidth, 0)} * s.TimeScale;
    const auto count = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(store.DataCount - std::int64_t{s0}, 0, shown));
    const int c = s.ChSlot[p];
    const double hScale = s.PlotHeight / (w.hHi - w.hLo) * scale;
    QPoint prev;
    for (std::int32_t j = 0; j < count; ++j) {
        const QPoint pt(
            static_cast<int>(s.ChLeft[p] * scale + std::int64_t{j} * scale / s.TimeScale),
            TraceRow(ChannelValue(store.SampleBuff[s0 + j].Ave[c], k), k, w, s.ChTop[p] * scale,
                     s.ChBottom[p] * scale, s.PlotHeight * scale, hScale));
        if (j > 0) out.emplace_back(prev, pt);
        prev = pt;
    }
}

} // namespace tesmora::test

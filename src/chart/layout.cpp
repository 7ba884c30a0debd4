#include "chart/layout.h"

#include <algorithm>

namespace tesmora {

int GetSettings(ChartState& s, const LayoutInput& in) {
    for (int k = 0; k < 4; ++k) s.ShowData[k] = in.showData[k];
    const int cc = s.CursorCh >= 0 && s.CursorCh < 4 ? s.ChSlot[s.CursorCh] : -1;
    int n = 0;
    for (int c = 0; c < std::clamp(in.channelCount, 0, 4); ++c) {
        if (in.channelChecked[c]) {
            if (c == cc) s.CursorCh = n;
            s.ChSlot[n++] = c;
        } else if (c == cc) {
            s.CursorCh = -1;
            s.CursorIndex = -1;
        }
    }
    for (int p = n; p < 4; ++p) s.ChSlot[p] = -1;

    const int W = in.width, H = in.height;
    if (n <= 1) {
        s.PlotWidth = W - 40;
        s.PlotHeight = H - 40;
        s.ChLeft[0] = 20;
        s.ChTop[0] = 20;
    } else if (n == 2 || s.ArrangeMode == 0) {
        s.PlotWidth = W - 40;
        s.PlotHeight = (H - 20 * (n + 1)) / n;
        for (int k = 0; k < n; ++k) {
            s.ChLeft[k] = 20;
            s.ChTop[k] = 20 + k * (s.PlotHeight + 20);
        }
    } else {
        s.PlotWidth = (W - 60) / 2;
        s.PlotHeight = (H - 60) / 2;
        for (int k = 0; k < n; ++k) {
            s.ChLeft[k] = 20 + (k / 2) * (s.PlotWidth + 20);
            s.ChTop[k] = k % 2 == 0 ? 20 : s.PlotHeight + 40;
        }
    }
    for (int k = 0; k < std::max(n, 1); ++k) {
        s.ChRight[k] = s.ChLeft[k] + s.PlotWidth;
        s.ChBottom[k] = s.ChTop[k] + s.PlotHeight;
    }
    return n;
}

std::int32_t WholeRecordingTimeScale(std::int32_t dataCount, std::int32_t plotWidth) {
    if (plotWidth <= 0) return std::max(dataCount, 1);
    return dataCount / plotWidth + (dataCount % plotWidth != 0 ? 1 : 0);
}

} // namespace tesmora

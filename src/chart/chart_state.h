#pragma once
// The view state and panel geometry of the chart, owned once by the main window.

#include <QRgb>
#include <cstdint>

namespace tesmora {

struct ChartState {
    // View state
    std::int32_t TimeScale = 1;    // samples per pixel column
    std::int32_t TimeScaleMax = 1; // TimeScale that shows the whole recording
    std::int32_t GridTime = 0;     // time grid spacing, ms
    std::int32_t YShift = 0;       // vertical shift, percent
    std::int32_t CursorCh = -1;    // panel of the cursor, -1 = none
    std::int32_t CursorIndex = -1; // sample of the cursor, -1 = none
    std::int32_t ArrangeMode = 0;  // 0 one column, 1 two columns

    // Panel geometry, computed by GetSettings
    bool ShowData[4] = {};                     // OXHb, DXHb, TOHb, StO2 drawn
    std::int32_t ChSlot[4] = {-1, -1, -1, -1}; // channel of panel p, -1 = no panel
    std::int32_t PlotWidth = 0;
    std::int32_t PlotHeight = 0;
    std::int32_t ChLeft[4] = {}, ChRight[4] = {}, ChTop[4] = {}, ChBottom[4] = {};

    QRgb TraceColor[4] = {}; // OXHb, DXHb, TOHb, StO2
};

} // namespace tesmora

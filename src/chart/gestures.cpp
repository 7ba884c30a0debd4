#include "chart/gestures.h"

#include "chart/navigation.h"
#include "chart/time_grid.h"

#include <algorithm>
#include <cstdlib>

namespace tesmora {

GestureEffect Gestures::MouseDown(MouseButton button, int x, int y, const ChartState& s,
                                  const ScrollBarState& bar) {
    if (button == MouseButton::Right) return {};
    DownX = x;
    DownY = y;
    DownScrollPos = bar.position;
    DownYShift = s.YShift;
    DownTimeScale = s.TimeScale;
    DragAxis = -1;
    DragMoved = false;
    if (button == MouseButton::Left) LeftDown = true;
    return {};
}

GestureEffect Gestures::MouseMove(bool leftHeld, bool middleHeld, int x, int y, ChartState& s,
                                  int dataCount, int rate, const ScrollBarState& bar) {
    GestureEffect effect;
    if (!((leftHeld && LeftDown) || middleHeld)) return effect;
    const int dx = x - DownX, dy = y - DownY;
    if (dataCount == 0) return effect;
    if (dx == 0 && dy == 0 && DragAxis == -1) return effect;
    if (DragAxis == -1 && (std::abs(dx) > 5 || std::abs(dy) > 5)) {
        DragAxis = std::abs(dx) > std::abs(dy) ? 0 : 1; // a tie counts as vertical
        DragMoved = true;
    }
    if (leftHeld) {
        if (DragAxis == 0 && bar.visible) {
            // Pan: the chart follows the pointer at TimeScale samples per pixel.
            const long long p = std::clamp<long long>(
                DownScrollPos - static_cast<long long>(dx) * s.TimeScale, 0, bar.maximum);
            if (p != bar.position) effect.scrollTo = static_cast<int>(p);
        } else if (DragAxis == 1 && s.PlotHeight != 0) {
            const int shift = std::clamp(DownYShift + (dy * 100) / s.PlotHeight, -100, 100);
            if (shift != s.YShift) {
                s.YShift = shift;
                effect.repaint = true;
            }
        }
    } else if (DragAxis == 0) {
        // Zoom: one sample per pixel column per 50 pixels; the first visible sample stays.
        if (SetTimeScale(s, DownTimeScale - dx / 50, rate)) effect.repaint = true;
    }
    return effect;
}

GestureEffect Gestures::MouseUp(MouseButton button, int x, int y, ChartState& s, int dataCount,
                                int chCount, const ScrollBarState& bar) {
    if (button != MouseButton::Left || !LeftDown || DragMoved || s.TimeScale != 1 ||
        dataCount == 0) {
        LeftDown = false;
        return {};
    }
    // A click: the cursor goes to the sample under the pointer, or away.
    LeftDown = false;
    s.CursorCh = -1;
    s.CursorIndex = -1;
    for (int p = 0; p < std::min(chCount, 4) && s.ChSlot[p] != -1; ++p) {
        if (s.ChLeft[p] < x && x < s.ChRight[p] && s.ChTop[p] < y && y < s.ChBottom[p]) {
            const int idx = x - s.ChLeft[p] + bar.FirstVisible();
            if (idx < dataCount) {
                s.CursorIndex = idx;
                s.CursorCh = p;
                break;
            }
        }
    }
    return {true, std::nullopt};
}

GestureEffect Gestures::DblClick(ChartState& s) {
    if (s.YShift == 0) return {};
    s.YShift = 0;
    return {true, std::nullopt};
}

GestureEffect Gestures::ScrollChanged(ChartState& s, const ScrollBarState& bar) {
    if (s.TimeScale == 1 || LastScrollPos == -1) {
        s.CursorIndex = -1; // any scroll at full resolution removes the cursor
        LastScrollPos = bar.position;
        return {true, std::nullopt};
    }
    if (std::abs(bar.position - LastScrollPos) >= s.TimeScale) {
        LastScrollPos = bar.position;
        return {true, std::nullopt};
    }
    return {}; // small steps add up until they amount to one pixel column
}

GestureEffect Gestures::InitializeView(ChartState& s, int rate, const ScrollBarState& bar) {
    if (s.YShift == 0 && s.TimeScale == 1 && bar.visible && bar.position == 0) return {};
    s.YShift = 0;
    s.TimeScale = 1;
    s.GridTime = CalcTimeGrid(rate, s.TimeScale);
    GestureEffect effect{true, std::nullopt};
    if (bar.position != 0) effect.scrollTo = 0;
    return effect;
}

} // namespace tesmora

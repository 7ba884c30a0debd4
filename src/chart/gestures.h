#pragma once
// Pointer gestures and scrolling of the chart: a small state machine over plain inputs. The
// window forwards its events here and carries out what comes back.

#include "chart/chart_state.h"

#include <optional>

namespace tesmora {

/// The scroll bar as the gestures see it.
struct ScrollBarState {
    bool visible = false;
    int position = 0;
    int maximum = 0;
    /// The first sample in view: the position, or 0 while the whole recording fits.
    int FirstVisible() const { return visible ? position : 0; }
};

/// What the window must do after an event.
struct GestureEffect {
    bool repaint = false;
    std::optional<int> scrollTo; // set the scroll bar's position (its change handler follows)
};

enum class MouseButton { Left, Middle, Right };

class Gestures {
public:
    // Press snapshot and drag state.
    int DragAxis = -1; // -1 undecided, 0 horizontal, 1 vertical
    bool DragMoved = false;
    bool LeftDown = false;
    int DownX = 0, DownY = 0, DownScrollPos = 0, DownYShift = 0, DownTimeScale = 1;
    int LastScrollPos = -1;

    GestureEffect MouseDown(MouseButton button, int x, int y, const ChartState& s,
                            const ScrollBarState& bar);
    GestureEffect MouseMove(bool leftHeld, bool middleHeld, int x, int y, ChartState& s,
                            int dataCount, int rate, const ScrollBarState& bar);
    GestureEffect MouseUp(MouseButton button, int x, int y, ChartState& s, int dataCount,
                          int chCount, const ScrollBarState& bar);
    GestureEffect DblClick(ChartState& s);
    /// The scroll bar's position changed to bar.position.
    GestureEffect ScrollChanged(ChartState& s, const ScrollBarState& bar);
    /// "Initialize View Settings": shift, zoom and scroll back to their start.
    GestureEffect InitializeView(ChartState& s, int rate, const ScrollBarState& bar);
};

} // namespace tesmora

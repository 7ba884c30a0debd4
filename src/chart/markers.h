#pragma once
// The two markers A and B, set and moved with the right button: a click opens the chart's
// menu, a drag inside a panel sets A at the press and B where it goes, and a drag that
// starts within 3 pixels of a marker moves that marker.

#include "chart/chart_state.h"

#include <cstdint>
#include <optional>

namespace tesmora {

struct Markers {
    std::optional<std::int32_t> a, b;
    bool operator==(const Markers&) const = default;
};

/// The panel whose plot rectangle holds (x, y), or -1.
int PanelAt(const ChartState& s, int panels, int x, int y);

/// The sample at pixel column x of panel p: the first sample of that column, within the
/// recording.
std::int32_t SampleAtColumn(const ChartState& s, int p, std::int32_t s0, int dataCount, int x);

class MarkerGestures {
public:
    /// The right button went down at (x, y).
    void Press(int x, int y, const ChartState& s, int panels, std::int32_t s0, int dataCount,
               const Markers& markers);
    /// The pointer moved with the right button held: the markers as the drag makes them, or
    /// nothing when the drag does not (yet) change them.
    std::optional<Markers> Move(int x, int y, const ChartState& s, std::int32_t s0, int dataCount,
                                const Markers& markers);
    /// The right button went up: true for a click (the menu opens at the press).
    bool Release();

private:
    enum class Drag { None, Setting, MovingA, MovingB };
    bool down_ = false, moved_ = false;
    int downX_ = 0, downY_ = 0, panel_ = -1;
    Drag drag_ = Drag::None;
    std::int32_t pressSample_ = 0;
};

} // namespace tesmora

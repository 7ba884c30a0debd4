#include "chart/markers.h"

#include <algorithm>
#include <cstdlib>

namespace tesmora {

int PanelAt(const ChartState& s, int panels, int x, int y) {
    for (int p = 0; p < std::clamp(panels, 0, 4); ++p)
        if (s.ChLeft[p] <= x && x <= s.ChRight[p] && s.ChTop[p] <= y && y <= s.ChBottom[p])
            return p;
    return -1;
}

std::int32_t SampleAtColumn(const ChartState& s, int p, std::int32_t s0, int dataCount, int x) {
    const std::int64_t j =
        std::int64_t{s0} + std::int64_t{x - s.ChLeft[p]} * std::max(s.TimeScale, 1);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(j, 0, std::max(dataCount - 1, 0)));
}

namespace {

// Within 3 pixels of the marker's column in panel p.
bool Near(const ChartState& s, int p, std::int32_t s0, std::optional<std::int32_t> m, int x) {
    if (!m) return false;
    const std::int64_t column = s.ChLeft[p] + (std::int64_t{*m} - s0) / std::max(s.TimeScale, 1);
    return *m >= s0 && std::abs(column - x) <= 3;
}

} // namespace

void MarkerGestures::Press(int x, int y, const ChartState& s, int panels, std::int32_t s0,
                           int dataCount, const Markers& markers) {
    down_ = true;
    moved_ = false;
    downX_ = x;
    downY_ = y;
    panel_ = dataCount > 0 ? PanelAt(s, panels, x, y) : -1;
    drag_ = Drag::None;
    if (panel_ < 0) return;
    pressSample_ = SampleAtColumn(s, panel_, s0, dataCount, x);
    drag_ = Near(s, panel_, s0, markers.a, x)   ? Drag::MovingA
            : Near(s, panel_, s0, markers.b, x) ? Drag::MovingB
                                                : Drag::Setting;
}

std::optional<Markers> MarkerGestures::Move(int x, int y, const ChartState& s, std::int32_t s0,
                                            int dataCount, const Markers& markers) {
    if (!down_) return std::nullopt;
    // As with the other buttons, 5 pixels of movement make a drag; less is a click.
    if (!moved_ && std::abs(x - downX_) <= 5 && std::abs(y - downY_) <= 5) return std::nullopt;
    moved_ = true;
    if (drag_ == Drag::None) return std::nullopt; // it started outside the panels
    const std::int32_t sample = SampleAtColumn(s, panel_, s0, dataCount, x);
    Markers next = markers;
    switch (drag_) {
    case Drag::Setting:
        next.a = pressSample_;
        next.b = sample;
        break;
    case Drag::MovingA:
        next.a = sample;
        break;
    case Drag::MovingB:
        next.b = sample;
        break;
    case Drag::None:
        break;
    }
    if (next == markers) return std::nullopt;
    return next;
}

bool MarkerGestures::Release() {
    const bool click = down_ && !moved_;
    down_ = false;
    moved_ = false;
    drag_ = Drag::None;
    return click;
}

} // namespace tesmora

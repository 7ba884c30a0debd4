#pragma once
// What the chart draws beyond the recording's own items, after them: the markers and the
// notes' flags. The window describes them; the one painter draws them wherever it paints.

#include <QRgb>
#include <cstdint>
#include <optional>
#include <vector>

namespace tesmora {

/// Colours no other item of the chart uses.
inline constexpr QRgb MARKER_A_COLOR = qRgb(255, 140, 0); // orange
inline constexpr QRgb MARKER_B_COLOR = qRgb(0, 140, 140); // teal
inline constexpr QRgb NOTE_COLOR = qRgb(150, 75, 0);      // brown

struct ChartOverlay {
    std::optional<std::int32_t> markerA, markerB; // sample indices
    std::vector<std::int32_t> notes;              // the samples that carry a note
};

} // namespace tesmora

#pragma once
// What the chart draws beyond the recording's own items, after them: the markers, the notes'
// flags and the oximetry analysis. The window describes them; the one painter draws them
// wherever it paints.

#include <QRgb>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tesmora {

/// Colours no other item of the chart uses.
inline constexpr QRgb MARKER_A_COLOR = qRgb(255, 140, 0); // orange
inline constexpr QRgb MARKER_B_COLOR = qRgb(0, 140, 140); // teal
inline constexpr QRgb NOTE_COLOR = qRgb(150, 75, 0);      // brown

/// A channel's desaturation as the chart shows it: the threshold as a dotted line on the
/// StO2 scale, each episode as a bar along the inside of the panel's bottom edge, both in
/// the StO2 trace's colour.
struct DesaturationOverlay {
    std::optional<double> threshold; // percent
    struct Span {
        std::int32_t first, last; // samples, both included
    };
    std::vector<Span> episodes;
};

struct ChartOverlay {
    std::optional<std::int32_t> markerA, markerB;    // sample indices
    std::vector<std::int32_t> notes;                 // the samples that carry a note
    std::array<DesaturationOverlay, 4> desaturation; // by channel, not by panel
};

} // namespace tesmora

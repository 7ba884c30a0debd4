#pragma once
// The chart as a picture file: PNG at any size and pixel density, SVG and PDF as shapes. All
// three are drawn by the one painter, so they show what the window shows.

#include "chart/chart_state.h"
#include "chart/overlay.h"
#include "recording/store.h"

#include <QByteArray>
#include <QFont>
#include <QSize>
#include <QString>
#include <optional>

namespace tesmora {

enum class PictureFormat { Png, Svg, Pdf };

/// The format a file name asks for by its extension (".png", ".svg", ".pdf", any case).
std::optional<PictureFormat> PictureFormatOf(const QString& fileName);

/// What the picture shows: the chart as the window lays it out for `size`.
struct ChartView {
    const RecordingStore* store = nullptr;
    ChartState state; // laid out for `size` (GetSettings has run)
    int panels = 0;
    int ampIndex = 0;
    std::int32_t s0 = 0; // the first sample in view
    ChartOverlay overlay;
    QFont font;
    QSize size; // the chart's size in its own pixels
};

/// The largest side of a picture, in its device pixels.
inline constexpr int PICTURE_MAX_SIDE = 16384;

/// The picture's bytes. PNG: `pixelRatio` device pixels per pixel of the chart (so 2 gives
/// a picture of twice the width and height, as sharp as on a screen of twice the density);
/// SVG and PDF: the chart's pixels as units, the traces as one line per panel and series.
/// Empty when the picture could not be made (a size of nothing, or beyond PICTURE_MAX_SIDE).
QByteArray ChartPicture(const ChartView& view, PictureFormat format, double pixelRatio = 1);

} // namespace tesmora

#pragma once
// The chart: status bands, value grid, frames and headers, time grid, traces, cursor. One
// painter function draws it on any QPainter (the widget, an image, the printer).

#include "chart/chart_state.h"
#include "chart/overlay.h"
#include "recording/store.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QLine>
#include <QRect>
#include <QStaticText>
#include <QString>
#include <optional>
#include <vector>

class QPainter;

namespace tesmora {

/// A number written with printf's "%f" forms, its decimal point the user's (a comma in a German
/// locale). Only numbers on the screen take the locale: files never do.
QString WithLocaleDecimalPoint(QString printed);

/// Label widths of the Hb values by scaling index: the decimals are the width minus 2.
inline constexpr int AmpDigits[7] = {3, 3, 3, 4, 5, 6, 7};

/// The value windows of a panel for a vertical shift and a scaling index 0..6.
struct ValueWindow {
    double F;        // Hb range factor, 2^(2 - index)
    double sLo, sHi; // StO2 shown at the bottom and top edges (fractions)
    double hLo, hHi; // Hb shown at the bottom and top edges
    int kFirst;      // first of the four value grid lines
    int yShift;      // the shift they were made for, percent
};
ValueWindow ValueWindowFor(int yShift, int ampIndex);

/// One horizontal line of the value grid and its labels.
struct ValueGridLine {
    int y;
    bool labelled; // more than 20 pixels below the panel's top edge
    QString left;  // StO2 percent, "%d"
    QString right; // Hb value, "%*.*f"
};
std::vector<ValueGridLine> ValueGridLines(const ValueWindow& w, int ampIndex, int top, int bottom,
                                          int plotHeight);

/// A status band: pixel columns x0 (included) to x1 (excluded) of a panel.
struct Band {
    int x0, x1;
    bool p; // a "P" run (aqua); otherwise an error run (fuchsia)
};

/// One trace in one device column that holds samples: the column (counted from the panel's
/// left edge), its first, lowest, highest and last sample's device rows (rows grow downwards,
/// so lo <= hi), and how many samples it holds.
struct ColumnSpan {
    int x, first, lo, hi, last, count;
};

/// What one pass over the visible samples finds for a panel: its bands and, per shown
/// series, the spans of its pixel columns.
struct PanelScan {
    std::vector<Band> bands;
    std::vector<ColumnSpan> trace[4];
};

/// The row of value v of series k (0..2 Hb, 3 StO2) in a panel: clamped to the panel's edges,
/// NaN on the bottom edge. hScale is the panel's pixels per Hb unit.
inline int TraceRow(double v, int k, const ValueWindow& w, int top, int bottom, int plotHeight,
                    double hScale) {
    // The rows lie within the panel, never negative: truncation is the floor.
    if (k == 3) {
        if (!(v >= w.sLo)) return bottom;
        if (v > w.sHi) return top;
        return static_cast<int>(top + plotHeight * (w.sHi - v) / 0.8);
    }
    if (!(v >= w.hLo)) return bottom;
    if (v > w.hHi) return top;
    return static_cast<int>(top + (w.hHi - v) * hScale);
}

/// The working memory of a scan, kept between paints so that a paint allocates nothing.
struct ScanScratch {
    struct ValueSpan {
        float first, last, lo, hi;
    };
    std::vector<ValueSpan> spans[4][4];
    std::vector<std::int32_t> at, held;
};

/// One pass over samples s0 .. s0 + PlotWidth * TimeScale - 1 (stopping at DataCount) for
/// panels 0..n-1. Bands are in the chart's pixels; trace columns and rows in device pixels,
/// `scale` of them per pixel of the chart.
void ScanPanels(const RecordingStore& store, const ChartState& s, int n, std::int32_t s0,
                const ValueWindow& w, std::vector<PanelScan>& out, int scale = 1,
                ScanScratch* scratch = nullptr);

/// Device pixels per pixel of the chart on the painter's device: 1, or 2 on a screen (or an
/// image) of twice the density.
int DeviceScale(const QPainter& painter);

/// The traces' pixels, drawn with a 2 x 2 pixel brush along thin lines: the 2-pixel pen of
/// the chart. Drawn per pixel column as the span from its lowest to its highest row and the
/// step from the previous column's last sample to its first, a trace inks exactly the pixels
/// of one segment per pair of consecutive samples: a column's samples share x, and the union
/// of two such segments' pixels is the pixels of their union.
class TraceLayer {
public:
    TraceLayer() = default;
    explicit TraceLayer(QRect area, int scale = 1);
    /// Makes the layer cover `area` (chart pixels) at `scale` device pixels per pixel, all
    /// transparent. Drawing is in device pixels; the brush is 2 x 2 pixels of the chart.
    void Clear(QRect area, int scale = 1);
    void Draw(const std::vector<QLine>& segments, QRgb color);
    /// Columns of one trace; `left`: the device column of the panel's left edge.
    void DrawColumns(const std::vector<ColumnSpan>& columns, int left, QRgb color);
    const QImage& Image() const { return image_; }
    /// Draws the layer at its area: only the runs of rows that hold trace pixels.
    void Paint(QPainter& painter) const;

private:
    void Stamp(int x, int y0, int y1, QRgb color);
    void Line(QLine segment, QRgb color);
    QRect area_;
    int scale_ = 1;
    QImage image_;
    QRgb* bits_ = nullptr;
    int stride_ = 0;
    std::vector<std::uint8_t> rowUsed_; // rows that hold trace pixels, cleared by Clear()
};

/// What paints keep between them to save work: the traces' layer, and label texts laid out
/// once with their widths. Nothing in it depends on the recording.
class PaintCache {
public:
    TraceLayer layer;
    std::vector<PanelScan> scans;
    ScanScratch scratch;
    /// A paint with this font starts.
    void Begin(const QFont& font);
    /// The label laid out for drawing with the given font.
    const QStaticText& Text(const QString& text, const QFont& font);
    /// Its width as the font metrics measure it.
    int Width(const QString& text, const QFontMetrics& fm);

private:
    void Use(const QFont& font);
    QFont font_;
    QHash<QString, QStaticText> texts_;
    QHash<QString, int> widths_;
};

/// One vertical line of the time grid and, when they fit, its labels.
struct TimeGridLine {
    int x;
    bool labelled;
    QString elapsed; // "h:nn:ss" since the start, hours counting on past 24
    QString clock;   // the clock time, "h:nn:ss" of the day
    int elapsedX, clockX;
};
std::vector<TimeGridLine> TimeGridLines(const RecordingStore& store, const ChartState& s, int p,
                                        std::int32_t s0, const QFontMetrics& fm,
                                        PaintCache* cache = nullptr);

/// The texts of the read-out box for one sample of one channel.
struct ReadoutTexts {
    QString caption, oxhb, dxhb, tohb, sto2, temp;
    bool operator==(const ReadoutTexts&) const = default;
};
ReadoutTexts ReadoutFor(const RecordingStore& store, std::int32_t index, int channel);

/// What the read-out box shows beside a chart.
struct Readout {
    bool update = false; // false: nothing loaded, the box keeps its state
    bool visible = false;
    ReadoutTexts texts;
    bool operator==(const Readout&) const = default;
};

/// The pixel column of the cursor line, when the cursor lies in the visible span of its
/// panel at full resolution (strictly after the first visible sample).
std::optional<int> CursorColumn(const RecordingStore& store, const ChartState& s, int n,
                                std::int32_t s0);

/// The read-out for the chart as it is laid out in s with first visible sample s0.
Readout CursorReadout(const RecordingStore& store, const ChartState& s, int n, std::int32_t s0);

/// Draws the whole chart for n panels laid out in s (GetSettings has run), scaling index
/// ampIndex and first visible sample s0: bands, value grid, frames and headers, then, with
/// samples loaded, time grid, traces, cursor and the overlay. cache: kept between paints, or
/// none.
void PaintChart(QPainter& painter, const RecordingStore& store, const ChartState& s, int n,
                int ampIndex, std::int32_t s0, PaintCache* cache = nullptr,
                const ChartOverlay* overlay = nullptr);

} // namespace tesmora

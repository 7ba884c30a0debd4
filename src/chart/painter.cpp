#include "chart/painter.h"

#include "recording/datetime.h"
#include "recording/simd.h"

#include <QLocale>
#include <QPaintEngine>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <optional>

namespace tesmora {
namespace {

const QColor kAqua(0, 255, 255), kFuchsia(255, 0, 255), kSilver(192, 192, 192),
    kGray(128, 128, 128), kDarkGray(64, 64, 64), kLime(0, 255, 0);

// Text placed by its top-left corner, as the chart's labels are positioned.
void TextOut(QPainter& painter, const QFontMetrics& fm, int x, int y, const QString& text,
             PaintCache* cache) {
    if (cache)
        painter.drawStaticText(QPoint(x, y), cache->Text(text, painter.font()));
    else
        painter.drawText(QPoint(x, y + fm.ascent()), text);
}

int Width(const QFontMetrics& fm, const QString& text, PaintCache* cache) {
    return cache ? cache->Width(text, fm) : fm.horizontalAdvance(text);
}

// A line one pixel wide from (x0, y0) up to but excluding (x1, y1); horizontal or vertical
// only. Filled as a rectangle, so that on a screen of two device pixels per pixel it covers
// both, as everything else of the chart does.
void LineTo(QPainter& painter, const QColor& color, int x0, int y0, int x1, int y1) {
    if (x0 == x1 && y0 == y1) return;
    const int ex = x1 + (x1 > x0 ? -1 : x1 < x0 ? 1 : 0);
    const int ey = y1 + (y1 > y0 ? -1 : y1 < y0 ? 1 : 0);
    painter.fillRect(QRect(QPoint(std::min(x0, ex), std::min(y0, ey)),
                           QPoint(std::max(x0, ex), std::max(y0, ey))),
                     color);
}

// The outline of a rectangle: columns left..right and rows top..bottom, both included.
void Outline(QPainter& painter, const QColor& color, int left, int top, int right, int bottom) {
    painter.fillRect(QRect(QPoint(left, top), QPoint(right, top)), color);
    painter.fillRect(QRect(QPoint(left, bottom), QPoint(right, bottom)), color);
    painter.fillRect(QRect(QPoint(left, top), QPoint(left, bottom)), color);
    painter.fillRect(QRect(QPoint(right, top), QPoint(right, bottom)), color);
}

// "h:nn:ss" with hours counting on past 24.
QString ElapsedText(std::int64_t ms) {
    const std::int64_t s = ms / 1000;
    return QString::asprintf("%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                             static_cast<long long>(s % 3600 / 60), static_cast<long long>(s % 60));
}

// The four values of a channel (OXHb, DXHb, TOHb, StO2 lie side by side), four at a time.
struct Quad {
#if TESMORA_SSE2
    __m128 v;
    static Quad Fill(float x) {
        return {_mm_set1_ps(x)};
    }
    static Quad Values(const ChannelData& ch) {
        return {_mm_loadu_ps(&ch.OXHb)};
    }
    void Store(float* out) const {
        _mm_storeu_ps(out, v);
    }
    // Of two values the first, when it is a NaN, gives way to the second.
    friend Quad Min(Quad a, Quad b) {
        return {_mm_min_ps(a.v, b.v)};
    }
    friend Quad Max(Quad a, Quad b) {
        return {_mm_max_ps(a.v, b.v)};
    }
    friend Quad Or(Quad a, Quad b) {
        return {_mm_or_ps(a.v, b.v)};
    }
    friend Quad Unordered(Quad a) {
        return {_mm_cmpunord_ps(a.v, a.v)};
    }
#else
    float v[4];
    static Quad Fill(float x) {
        return {{x, x, x, x}};
    }
    static Quad Values(const ChannelData& ch) {
        return {{ch.OXHb, ch.DXHb, ch.TOHb, ch.StO2}};
    }
    void Store(float* out) const {
        std::copy(v, v + 4, out);
    }
    friend Quad Min(Quad a, Quad b) {
        for (int i = 0; i < 4; ++i) a.v[i] = a.v[i] < b.v[i] ? a.v[i] : b.v[i];
        return a;
    }
    friend Quad Max(Quad a, Quad b) {
        for (int i = 0; i < 4; ++i) a.v[i] = a.v[i] > b.v[i] ? a.v[i] : b.v[i];
        return a;
    }
    friend Quad Or(Quad a, Quad b) {
        for (int i = 0; i < 4; ++i) a.v[i] = (a.v[i] != 0 || b.v[i] != 0) ? 1.0f : 0.0f;
        return a;
    }
    friend Quad Unordered(Quad a) {
        for (float& x : a.v) x = x != x ? 1.0f : 0.0f;
        return a;
    }
#endif
};

// Band walk state of one panel.
struct BandWalk {
    std::int32_t pStart = -1, eStart = -1;
    void Close(std::int32_t& start, std::int32_t j, bool p, int left, int timeScale,
               std::vector<Band>& out) {
        out.push_back({left + start / timeScale, left + j / timeScale, p});
        start = -1;
    }
    void Step(std::uint16_t status, std::int32_t j, int left, int ts, std::vector<Band>& out) {
        if (status & STS_P) {
            if (pStart < 0) {
                pStart = j;
                if (eStart >= 0) Close(eStart, j, false, left, ts, out);
            }
        } else if (status & 0x00FF) {
            if (eStart < 0) {
                eStart = j;
                if (pStart >= 0) Close(pStart, j, true, left, ts, out);
            }
        } else if (pStart >= 0) {
            Close(pStart, j, true, left, ts, out);
        } else if (eStart >= 0) {
            Close(eStart, j, false, left, ts, out);
        }
    }
    void Finish(std::int32_t walked, int left, int ts, std::vector<Band>& out) {
        // The last column of an open run is left unfilled.
        if (pStart >= 0) Close(pStart, walked - 1, true, left, ts, out);
        if (eStart >= 0) Close(eStart, walked - 1, false, left, ts, out);
    }
};

std::int32_t VisibleCount(const RecordingStore& store, const ChartState& s, std::int32_t s0) {
    const std::int64_t n = static_cast<std::int64_t>(std::max(s.PlotWidth, 0)) * s.TimeScale;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(store.DataCount - std::int64_t{s0}, 0, n));
}

} // namespace

QString WithLocaleDecimalPoint(QString printed) {
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String(".")) printed.replace(QLatin1Char('.'), point);
    return printed;
}

ValueWindow ValueWindowFor(int yShift, int ampIndex) {
    ValueWindow w{};
    w.F = std::ldexp(1.0, 2 - ampIndex);
    const double u = yShift / 100.0;
    w.sLo = 0.8 * u;
    w.sHi = 0.8 * u + 0.8;
    w.hLo = 0.4 * u * w.F;
    w.hHi = (0.4 * u + 0.4) * w.F;
    w.kFirst = (yShift + 100) / 25 + 1;
    w.yShift = yShift;
    return w;
}

std::vector<ValueGridLine> ValueGridLines(const ValueWindow& w, int ampIndex, int top, int bottom,
                                          int plotHeight) {
    std::vector<ValueGridLine> lines;
    const int digits = AmpDigits[std::clamp(ampIndex, 0, 6)];
    for (int k = w.kFirst; k <= w.kFirst + 3; ++k) {
        // bottom - PlotHeight * (v_k - sLo) / (sHi - sLo) with v_k = (20k - 80) / 100 and
        // sLo = 0.8 * YShift / 100, in whole numbers: the same value without rounding, so the
        // lines divide the panel into equal parts whenever the shift allows it.
        const std::int64_t num = std::int64_t{plotHeight} * (100 * k - 400 - 4 * w.yShift);
        const std::int64_t q = num >= 0 ? (num + 399) / 400 : -(-num / 400); // ceiling
        const int y = static_cast<int>(bottom - q);
        lines.push_back({y, y - top > 20, QString::asprintf("%d", 20 * k - 80),
                         WithLocaleDecimalPoint(QString::asprintf("%*.*f", digits, digits - 2,
                                                                  (0.1 * k - 0.4) * w.F))});
    }
    return lines;
}

void ScanPanels(const RecordingStore& store, const ChartState& s, int n, std::int32_t s0,
                const ValueWindow& w, std::vector<PanelScan>& out, int scale,
                ScanScratch* scratch) {
    ScanScratch local;
    ScanScratch& work = scratch ? *scratch : local;
    out.resize(static_cast<std::size_t>(std::max(n, 0)));
    scale = std::max(scale, 1);
    const std::int32_t count = VisibleCount(store, s, s0);
    const int ts = std::max(s.TimeScale, 1);
    // Device columns: sample j lies in column j * scale / ts of its panel, so a column holds
    // the samples from ceil(c * ts / scale) on. With fewer samples per pixel than device
    // pixels per pixel, some columns hold none.
    const std::int64_t columns =
        count > 0 ? (std::int64_t{count - 1} * scale) / ts + 1 : std::int64_t{0};

    // A column's values: its first and last, and its extremes with NaN taken as the lowest
    // value there is (it is drawn on the bottom edge, as values below the window are).
    using ValueSpan = ScanScratch::ValueSpan;
    auto& spans = work.spans;
    std::vector<std::int32_t>& at = work.at; // the device column of each span, and its count
    std::vector<std::int32_t>& held = work.held;
    at.clear();
    held.clear();
    BandWalk walks[4];
    for (int p = 0; p < n; ++p) {
        out[p].bands.clear();
        for (int k = 0; k < 4; ++k) {
            out[p].trace[k].clear();
            spans[p][k].clear();
            if (s.ShowData[k]) spans[p][k].reserve(static_cast<std::size_t>(columns));
        }
    }

    // One pass over the records: the samples of all panels share their columns. The four
    // values of a channel lie side by side and are taken together.
    const SampleRecord* const buf = store.SampleBuff.get() + s0;
    constexpr float kLowest = -std::numeric_limits<float>::infinity();
    for (std::int64_t col = 0; col < columns; ++col) {
        const auto j = static_cast<std::int32_t>((col * ts + scale - 1) / scale);
        const auto end = static_cast<std::int32_t>(
            std::min<std::int64_t>(((col + 1) * ts + scale - 1) / scale, count));
        if (j >= end) continue; // no sample in this device column
        Quad lo[4], hi[4], nan[4];
        for (int p = 0; p < n; ++p) {
            lo[p] = Quad::Fill(std::numeric_limits<float>::infinity());
            hi[p] = Quad::Fill(kLowest);
            nan[p] = Quad::Fill(0);
        }
        for (std::int32_t i = j; i < end; ++i) {
            const SampleRecord& r = buf[i];
            // The records a little ahead: their lines are on the way while this one is used.
            PrefetchForRead(&buf[std::min(i + 16, count - 1)].Ch[0]);
            PrefetchForRead(&buf[std::min(i + 16, count - 1)].Ave[0]);
            PrefetchForRead(&buf[std::min(i + 16, count - 1)].Ave[2]);
            for (int p = 0; p < n; ++p) {
                const int c = s.ChSlot[p];
                walks[p].Step(r.Ch[c].Status, i, s.ChLeft[p], ts, out[p].bands);
                const Quad v = Quad::Values(r.Ave[c]);
                lo[p] = Min(v, lo[p]); // a NaN leaves the extremes as they are...
                hi[p] = Max(v, hi[p]);
                nan[p] = Or(nan[p], Unordered(v)); // ...and is noted here
            }
        }
        at.push_back(static_cast<std::int32_t>(col));
        held.push_back(end - j);
        for (int p = 0; p < n; ++p) {
            const ChannelData& a = buf[j].Ave[s.ChSlot[p]];
            const ChannelData& z = buf[end - 1].Ave[s.ChSlot[p]];
            float l[4], h[4], q[4];
            lo[p].Store(l);
            hi[p].Store(h);
            nan[p].Store(q);
            for (int k = 0; k < 4; ++k)
                if (s.ShowData[k])
                    spans[p][k].push_back(
                        {ChannelValue(a, k), ChannelValue(z, k), q[k] != 0 ? kLowest : l[k], h[k]});
        }
    }
    for (int p = 0; p < n; ++p) walks[p].Finish(count, s.ChLeft[p], ts, out[p].bands);

    // Rows per column, in device pixels; the mapping to rows falls as values rise, so the
    // highest value gives the lowest row.
    const double hScale = s.PlotHeight / (w.hHi - w.hLo) * scale;
    for (int p = 0; p < n; ++p) {
        const int top = s.ChTop[p] * scale, bottom = s.ChBottom[p] * scale;
        for (int k = 0; k < 4; ++k) {
            if (!s.ShowData[k]) continue;
            std::vector<ColumnSpan>& rows = out[p].trace[k];
            rows.resize(at.size());
            for (std::size_t i = 0; i < at.size(); ++i) {
                const ValueSpan& v = spans[p][k][i];
                auto row = [&](float x) {
                    return TraceRow(x, k, w, top, bottom, s.PlotHeight * scale, hScale);
                };
                rows[i] = {at[i], row(v.first), row(v.hi), row(v.lo), row(v.last), held[i]};
            }
        }
    }
}

TraceLayer::TraceLayer(QRect area, int scale) {
    Clear(area, scale);
}

void TraceLayer::Clear(QRect area, int scale) {
    area_ = area;
    scale_ = std::max(scale, 1);
    const QSize size = area.size() * scale_;
    if (image_.size() != size) {
        image_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
        image_.fill(Qt::transparent);
        rowUsed_.assign(static_cast<std::size_t>(std::max(size.height(), 0)), 0);
    } else {
        // Only the rows the last traces used hold anything.
        for (std::size_t row = 0; row < rowUsed_.size(); ++row) {
            if (!rowUsed_[row]) continue;
            std::memset(image_.scanLine(static_cast<int>(row)), 0,
                        static_cast<std::size_t>(image_.bytesPerLine()));
            rowUsed_[row] = 0;
        }
    }
    bits_ = reinterpret_cast<QRgb*>(image_.bits());
    stride_ = image_.bytesPerLine() / static_cast<int>(sizeof(QRgb));
}

void TraceLayer::Paint(QPainter& painter) const {
    const int rows = static_cast<int>(rowUsed_.size());
    for (int row = 0; row < rows;) {
        if (!rowUsed_[static_cast<std::size_t>(row)]) {
            ++row;
            continue;
        }
        int end = row;
        while (end < rows && rowUsed_[static_cast<std::size_t>(end)]) ++end;
        // Device rows onto the chart's pixels: at a scale above 1 the image is finer.
        const QRectF target(area_.left(), area_.top() + static_cast<double>(row) / scale_,
                            area_.width(), static_cast<double>(end - row) / scale_);
        painter.drawImage(target, image_, QRectF(0, row, image_.width(), end - row));
        row = end;
    }
}

void TraceLayer::Stamp(int x, int y0, int y1, QRgb color) {
    // The brush: 2 x 2 pixels of the chart, the pixel and those left of and above it, in
    // device pixels, clipped to the layer.
    const int b = 2 * scale_;
    const int originX = area_.left() * scale_, originY = area_.top() * scale_;
    const int left = std::max(x - b + 1 - originX, 0),
              right = std::min(x - originX, image_.width() - 1);
    const int top = std::max(y0 - b + 1 - originY, 0),
              bottom = std::min(y1 - originY, image_.height() - 1);
    if (left > right || top > bottom) return;
    std::memset(rowUsed_.data() + top, 1, static_cast<std::size_t>(bottom - top + 1));
    QRgb* line = bits_ + static_cast<std::ptrdiff_t>(top) * stride_ + left;
    if (right == left + 1) {
        const std::uint64_t two = std::uint64_t{color} << 32 | color;
        for (int row = top; row <= bottom; ++row, line += stride_)
            std::memcpy(line, &two, sizeof two);
    } else {
        const int width = right - left + 1;
        for (int row = top; row <= bottom; ++row, line += stride_)
            std::fill(line, line + width, color);
    }
}

void TraceLayer::Line(QLine segment, QRgb color) {
    // The pixels of the thin line (Bresenham, both ends included), each widened by the brush:
    // stamped as vertical runs per column.
    int x0 = segment.x1(), y0 = segment.y1();
    const int x1 = segment.x2(), y1 = segment.y2();
    if (x0 == x1) {
        Stamp(x0, std::min(y0, y1), std::max(y0, y1), color);
        return;
    }
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int runX = x0, runFrom = y0, runTo = y0;
    for (;;) {
        if (x0 != runX) {
            Stamp(runX, std::min(runFrom, runTo), std::max(runFrom, runTo), color);
            runX = x0;
            runFrom = y0;
        }
        runTo = y0;
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
    Stamp(runX, std::min(runFrom, runTo), std::max(runFrom, runTo), color);
}

void TraceLayer::Draw(const std::vector<QLine>& segments, QRgb color) {
    const QRgb opaque = color | 0xFF000000u;
    for (const QLine& l : segments) Line(l, opaque);
}

void TraceLayer::DrawColumns(const std::vector<ColumnSpan>& columns, int left, QRgb color) {
    const QRgb opaque = color | 0xFF000000u;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const ColumnSpan& c = columns[i];
        const int x = left + c.x;
        if (i > 0) Line(QLine(left + columns[i - 1].x, columns[i - 1].last, x, c.first), opaque);
        if (c.count > 1) Stamp(x, c.lo, c.hi, opaque);
    }
}

void PaintCache::Begin(const QFont& font) {
    Use(font);
}

void PaintCache::Use(const QFont& font) {
    // Made for one font; a new font, or too many labels (scrolling far), starts afresh.
    if (font != font_ || texts_.size() > 4000 || widths_.size() > 4000) {
        font_ = font;
        texts_.clear();
        widths_.clear();
    }
}

const QStaticText& PaintCache::Text(const QString& text, const QFont& font) {
    Use(font);
    auto it = texts_.find(text);
    if (it == texts_.end()) {
        QStaticText st(text);
        st.setTextFormat(Qt::PlainText);
        st.prepare(QTransform(), font);
        it = texts_.insert(text, st);
    }
    return *it;
}

int PaintCache::Width(const QString& text, const QFontMetrics& fm) {
    // Widths are asked for with the painter's metrics, after its font has been set (Text()
    // or Begin() clears them for a new font).
    auto it = widths_.find(text);
    if (it == widths_.end()) it = widths_.insert(text, fm.horizontalAdvance(text));
    return *it;
}

std::vector<TimeGridLine> TimeGridLines(const RecordingStore& store, const ChartState& s, int p,
                                        std::int32_t s0, const QFontMetrics& fm,
                                        PaintCache* cache) {
    std::vector<TimeGridLine> lines;
    if (s.GridTime <= 0 || store.Rate <= 0) return lines;
    const std::int64_t t0 = std::int64_t{s0} * store.Rate;
    const std::int64_t step = std::int64_t{store.Rate} * std::max(s.TimeScale, 1);
    const int left = s.ChLeft[p], right = s.ChRight[p];
    for (std::int64_t g = (t0 / s.GridTime + 1) * s.GridTime;; g += s.GridTime) {
        const std::int64_t x64 = left + (g - t0) / step;
        if (x64 > right) break;
        TimeGridLine line{static_cast<int>(x64), false, {}, {}, 0, 0};
        const int x = line.x;
        const QString elapsed = ElapsedText(g);
        const int w = Width(fm, elapsed, cache);
        if (left + w / 2 < x && x < right - w / 2) {
            line.labelled = true;
            line.elapsed = elapsed;
            line.elapsedX = x - w / 2;
            const double clock =
                store.StartTime + static_cast<double>(g / 1000 * 1000) / MS_PER_DAY;
            line.clock = QString::fromStdString(FormatTimeShort(clock));
            const int w2 = Width(fm, line.clock, cache);
            line.clockX = left + w2 / 2 >= x    ? left + 1
                          : right - w2 / 2 <= x ? right - w2 - 1
                                                : x - w2 / 2;
        }
        lines.push_back(line);
    }
    return lines;
}

ReadoutTexts ReadoutFor(const RecordingStore& store, std::int32_t index, int channel) {
    const SampleRecord& r = store.SampleBuff[index];
    const ChannelData& ch = r.Ch[channel];
    ReadoutTexts t;
    t.caption = QString::fromStdString(FormatTimeShort(store.StartTime + r.Time));
    if (ch.Status == 0) {
        t.oxhb = WithLocaleDecimalPoint(QString::asprintf("%7.4f", double(ch.OXHb)));
        t.dxhb = WithLocaleDecimalPoint(QString::asprintf("%7.4f", double(ch.DXHb)));
        t.tohb = WithLocaleDecimalPoint(QString::asprintf("%7.4f", double(ch.TOHb)));
        t.sto2 = WithLocaleDecimalPoint(QString::asprintf("%5.1f[%%]", double(ch.StO2) * 100));
        t.temp = WithLocaleDecimalPoint(QString::asprintf("%4.1f", double(ch.Temp))) +
                 QString::fromUtf8("[\u2103]");
    } else if (ch.Status & (STS_NOCODE | STS_P)) {
        // blank
    } else {
        t.oxhb = t.dxhb = t.tohb = "*****";
        t.sto2 = "*****[%]";
        t.temp = QString::fromUtf8("**.*[\u2103]");
    }
    return t;
}

std::optional<int> CursorColumn(const RecordingStore& store, const ChartState& s, int n,
                                std::int32_t s0) {
    const int cp = s.CursorCh;
    if (store.DataCount <= 0 || s.TimeScale != 1 || cp < 0 || cp >= std::clamp(n, 0, 4))
        return std::nullopt;
    if (!(s0 < s.CursorIndex && s.CursorIndex < s0 + s.PlotWidth &&
          s.CursorIndex < store.DataCount))
        return std::nullopt;
    return s.ChLeft[cp] + (s.CursorIndex - s0);
}

Readout CursorReadout(const RecordingStore& store, const ChartState& s, int n, std::int32_t s0) {
    Readout readout;
    if (store.DataCount <= 0) return readout;
    readout.update = true;
    if (CursorColumn(store, s, n, s0)) {
        readout.visible = true;
        readout.texts = ReadoutFor(store, s.CursorIndex, s.ChSlot[s.CursorCh]);
    }
    return readout;
}

namespace {

// What every step of a paint shares.
struct PaintContext {
    QPainter& painter;
    const RecordingStore& store;
    const ChartState& s;
    int n;
    int ampIndex;
    std::int32_t s0;
    PaintCache* cache;
    ValueWindow w;
    QFontMetrics fm;
    int scale; // device pixels per pixel of the chart, for the traces
};

// Status bands, under everything else.
void PaintBands(PaintContext& c, const std::vector<PanelScan>& scans) {
    for (std::size_t p = 0; p < scans.size(); ++p)
        for (const Band& b : scans[p].bands)
            if (b.x1 > b.x0)
                c.painter.fillRect(
                    QRect(b.x0, c.s.ChTop[p], b.x1 - b.x0, c.s.ChBottom[p] - c.s.ChTop[p]),
                    b.p ? kAqua : kFuchsia);
}

// Value grid with its labels, the frame and the header of every panel.
void PaintValueGrid(PaintContext& c) {
    QPainter& painter = c.painter;
    const QFontMetrics& fm = c.fm;
    painter.setBrush(Qt::NoBrush);
    for (int p = 0; p < c.n; ++p) {
        const int L = c.s.ChLeft[p], R = c.s.ChRight[p], T = c.s.ChTop[p], B = c.s.ChBottom[p];
        const std::vector<ValueGridLine> lines =
            ValueGridLines(c.w, c.ampIndex, T, B, c.s.PlotHeight);
        for (const ValueGridLine& line : lines) LineTo(painter, kSilver, L, line.y, R, line.y);
        painter.setPen(kGray);
        for (const ValueGridLine& line : lines) {
            if (!line.labelled) continue;
            const int h = fm.height();
            TextOut(painter, fm, L + 5, line.y - h - 1, line.left, c.cache);
            TextOut(painter, fm, R - Width(fm, line.right, c.cache) - 2, line.y - h - 1, line.right,
                    c.cache);
        }
        Outline(painter, kDarkGray, L, T, R, B);
        painter.setPen(kDarkGray);
        const int yH = T - fm.height() - 1;
        TextOut(painter, fm, L + 5, yH, "[%]", c.cache);
        const QString header = QString::asprintf("<  CH%d  >", c.s.ChSlot[p] + 1);
        TextOut(painter, fm, (L + R - Width(fm, header, c.cache)) / 2, yH, header, c.cache);
    }
}

// Time grid with elapsed and clock times.
void PaintTimeGrid(PaintContext& c) {
    QPainter& painter = c.painter;
    const ChartState& s = c.s;
    // Every panel is as wide as the first: its lines and labels are the first's, moved.
    const std::vector<TimeGridLine> first = TimeGridLines(c.store, s, 0, c.s0, c.fm, c.cache);
    for (int p = 0; p < c.n; ++p) {
        std::vector<TimeGridLine> lines = first;
        for (TimeGridLine& line : lines) {
            line.x += s.ChLeft[p] - s.ChLeft[0];
            line.elapsedX += s.ChLeft[p] - s.ChLeft[0];
            line.clockX += s.ChLeft[p] - s.ChLeft[0];
        }
        for (const TimeGridLine& line : lines)
            LineTo(painter, kSilver, line.x, s.ChTop[p], line.x, s.ChBottom[p]);
        painter.setPen(kGray);
        for (const TimeGridLine& line : lines) {
            if (!line.labelled) continue;
            TextOut(painter, c.fm, line.elapsedX, s.ChBottom[p] - c.fm.height() - 1, line.elapsed,
                    c.cache);
            TextOut(painter, c.fm, line.clockX, s.ChTop[p] + 1, line.clock, c.cache);
        }
    }
}

// True for a painter that keeps what is drawn as shapes (SVG, PDF, a picture) rather than
// pixels.
bool DrawsVectors(const QPainter& painter) {
    const QPaintEngine* engine = painter.paintEngine();
    if (engine == nullptr) return false;
    const QPaintEngine::Type t = engine->type();
    return t == QPaintEngine::SVG || t == QPaintEngine::Pdf || t == QPaintEngine::Picture;
}

// Traces as shapes: per panel and series one line through the columns' points (the step from
// the previous column's last sample to the first, then the column's span), drawn with the
// 2-pixel pen whose square covers the pixels the layer's brush inks.
void PaintVectorTraces(PaintContext& c, const std::vector<PanelScan>& scans) {
    const ChartState& s = c.s;
    QPolygonF line;
    for (int p = 0; p < c.n; ++p)
        for (int k = 0; k < 4; ++k) {
            if (!s.ShowData[k] || scans[p].trace[k].empty()) continue;
            line.clear();
            for (const ColumnSpan& col : scans[p].trace[k]) {
                const double x = s.ChLeft[p] + col.x;
                line << QPointF(x, col.first);
                if (col.lo != col.first) line << QPointF(x, col.lo);
                if (col.hi != col.lo) line << QPointF(x, col.hi);
                if (col.last != col.hi) line << QPointF(x, col.last);
            }
            if (line.size() == 1) line << line.front(); // one sample: a dot
            c.painter.setPen(QPen(QColor::fromRgb(s.TraceColor[k]), 2, Qt::SolidLine, Qt::SquareCap,
                                  Qt::MiterJoin));
            c.painter.drawPolyline(line);
        }
}

// Traces, later series over earlier ones, later panels over earlier ones. They all go into one
// layer drawn in one go: a painter primitive per column would cost more than the rest of the
// chart together.
void PaintTraces(PaintContext& c, const std::vector<PanelScan>& scans) {
    if (DrawsVectors(c.painter)) return PaintVectorTraces(c, scans);
    const ChartState& s = c.s;
    QRect area; // the panels, and room for the brush left of and above them
    for (int p = 0; p < c.n; ++p)
        area |= QRect(QPoint(s.ChLeft[p] - 2, s.ChTop[p] - 2), QPoint(s.ChRight[p], s.ChBottom[p]));
    if (area.isEmpty()) return;
    TraceLayer local;
    TraceLayer& layer = c.cache ? c.cache->layer : local;
    layer.Clear(area, c.scale);
    for (int p = 0; p < c.n; ++p)
        for (int k = 0; k < 4; ++k)
            if (s.ShowData[k])
                layer.DrawColumns(scans[p].trace[k], s.ChLeft[p] * c.scale, s.TraceColor[k]);
    layer.Paint(c.painter);
}

// The pixel column of sample `index` in panel p, when it is in view.
std::optional<int> SampleColumn(const PaintContext& c, int p, std::int32_t index) {
    const std::int64_t offset = std::int64_t{index} - c.s0;
    if (offset < 0 || offset >= std::int64_t{VisibleCount(c.store, c.s, c.s0)}) return std::nullopt;
    return c.s.ChLeft[p] + static_cast<int>(offset / std::max(c.s.TimeScale, 1));
}

// A marker: a dashed line across every panel, its letter below the clock labels.
void PaintMarker(PaintContext& c, std::int32_t index, QRgb rgb, const QString& letter) {
    const QColor color = QColor::fromRgb(rgb);
    c.painter.setPen(color);
    for (int p = 0; p < c.n; ++p) {
        const std::optional<int> x = SampleColumn(c, p, index);
        if (!x) continue;
        for (int y = c.s.ChTop[p] + 1; y < c.s.ChBottom[p]; y += 7)
            c.painter.fillRect(QRect(*x, y, 1, std::min(4, c.s.ChBottom[p] - y)), color);
        TextOut(c.painter, c.fm, *x + 3, c.s.ChTop[p] + 2 + c.fm.height(), letter, c.cache);
    }
}

// The notes' flags along the top of every panel.
void PaintNotes(PaintContext& c, const std::vector<std::int32_t>& notes) {
    const QColor color = QColor::fromRgb(NOTE_COLOR);
    for (int p = 0; p < c.n; ++p)
        for (const std::int32_t index : notes)
            if (const std::optional<int> x = SampleColumn(c, p, index)) {
                c.painter.fillRect(QRect(*x, c.s.ChTop[p] + 1, 1, 9), color); // the pole
                c.painter.fillRect(QRect(*x + 1, c.s.ChTop[p] + 1, 5, 4), color);
            }
}

// The desaturation of each panel's channel: the threshold dotted across the panel where the
// StO2 scale shows it, and the episodes' bars, 4 pixels high inside the bottom edge.
void PaintDesaturation(PaintContext& c, const std::array<DesaturationOverlay, 4>& all) {
    const ChartState& s = c.s;
    const QColor color = QColor::fromRgb(s.TraceColor[3]);
    const std::int64_t visible = VisibleCount(c.store, s, c.s0);
    const int step = std::max(s.TimeScale, 1);
    for (int p = 0; p < c.n; ++p) {
        if (s.ChSlot[p] < 0 || s.ChSlot[p] > 3) continue;
        const DesaturationOverlay& d = all[static_cast<std::size_t>(s.ChSlot[p])];
        const int L = s.ChLeft[p], R = s.ChRight[p], T = s.ChTop[p], B = s.ChBottom[p];
        if (d.threshold) {
            const double v = *d.threshold / 100;
            if (v >= c.w.sLo && v <= c.w.sHi) {
                const int y = TraceRow(v, 3, c.w, T, B, s.PlotHeight, 0);
                if (y > T && y < B)
                    for (int x = L + 1; x < R; x += 4)
                        c.painter.fillRect(QRect(x, y, std::min(2, R - x), 1), color);
            }
        }
        for (const DesaturationOverlay::Span& e : d.episodes) {
            const std::int64_t first = std::max<std::int64_t>(e.first - std::int64_t{c.s0}, 0);
            const std::int64_t last =
                std::min<std::int64_t>(e.last - std::int64_t{c.s0}, visible - 1);
            if (first > last) continue; // out of view
            const int x0 = std::max(L + static_cast<int>(first / step), L + 1);
            const int x1 = std::min(L + static_cast<int>(last / step), R - 1);
            if (x1 >= x0) c.painter.fillRect(QRect(x0, B - 4, x1 - x0 + 1, 4), color);
        }
    }
}

void PaintOverlay(PaintContext& c, const ChartOverlay& overlay) {
    PaintDesaturation(c, overlay.desaturation);
    PaintNotes(c, overlay.notes);
    if (overlay.markerA) PaintMarker(c, *overlay.markerA, MARKER_A_COLOR, "A");
    if (overlay.markerB) PaintMarker(c, *overlay.markerB, MARKER_B_COLOR, "B");
}

void PaintCursor(PaintContext& c) {
    if (const std::optional<int> x = CursorColumn(c.store, c.s, c.n, c.s0)) {
        const int cp = c.s.CursorCh;
        LineTo(c.painter, kLime, *x, c.s.ChTop[cp], *x, c.s.ChBottom[cp]);
    }
}

} // namespace

int DeviceScale(const QPainter& painter) {
    if (DrawsVectors(painter)) return 1; // shapes are placed in the chart's own pixels
    const QPaintDevice* device = painter.device();
    const double ratio = device ? device->devicePixelRatioF() : 1.0;
    return std::isfinite(ratio) ? std::clamp(static_cast<int>(std::ceil(ratio - 1e-6)), 1, 8) : 1;
}

void PaintChart(QPainter& painter, const RecordingStore& store, const ChartState& s, int n,
                int ampIndex, std::int32_t s0, PaintCache* cache, const ChartOverlay* overlay) {
    ampIndex = std::clamp(ampIndex, 0, 6);
    PaintContext c{painter,
                   store,
                   s,
                   std::clamp(n, 0, 4),
                   ampIndex,
                   s0,
                   cache,
                   ValueWindowFor(s.YShift, ampIndex),
                   painter.fontMetrics(),
                   DeviceScale(painter)};
    if (cache) cache->Begin(painter.font());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    std::vector<PanelScan> local;
    std::vector<PanelScan>& scans = cache ? cache->scans : local;
    if (store.DataCount > 0)
        ScanPanels(store, s, c.n, s0, c.w, scans, c.scale, cache ? &cache->scratch : nullptr);
    else
        scans.clear();
    PaintBands(c, scans);
    PaintValueGrid(c);
    if (store.DataCount > 0) {
        PaintTimeGrid(c);
        PaintTraces(c, scans);
        PaintCursor(c);
        if (overlay) PaintOverlay(c, *overlay);
    }
    painter.restore();
}

} // namespace tesmora

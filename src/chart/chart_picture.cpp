#include "chart/chart_picture.h"

#include "chart/painter.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <array>
#include <cmath>
#include <cstdint>

namespace tesmora {
namespace {

// Qt's PNG quality q is zlib's level (100 - q) x 9 / 91: 89 is level 1, the fastest. The chart
// is mostly white in a few colours: the fastest level makes a file of some tens of kilobytes,
// half as large again as the default level's, in well under half its time.
constexpr int kPngQuality = 89;

// The image with a palette of its own colours, when it has at most 256 (a chart has a few
// dozen: the series, the grid's greys, the labels' edges). A palette PNG is a third of the
// bytes to pack and skips the row filters a full-colour one tries: the export takes half the
// time, for the same pixels. Nothing when there are more colours.
std::optional<QImage> WithOwnPalette(const QImage& image) {
    QList<QRgb> colors;
    QImage indexed(image.size(), QImage::Format_Indexed8);
    if (indexed.isNull()) return std::nullopt;
    // The colours found so far by hash, open addressing: at most 256 of 1024 slots are taken.
    constexpr std::uint32_t kSlots = 1024;
    struct Slot {
        QRgb color = 0;
        int index = -1;
    };
    std::array<Slot, kSlots> found{};
    auto indexOf = [&](QRgb c) -> int {
        for (std::uint32_t h = (c * 2654435761u) >> 22;; h = (h + 1) & (kSlots - 1)) {
            Slot& slot = found[h];
            if (slot.index >= 0 && slot.color == c) return slot.index;
            if (slot.index < 0) {
                if (colors.size() == 256) return -1;
                slot = {c, static_cast<int>(colors.size())};
                colors.push_back(c);
                return slot.index;
            }
        }
    };
    const int width = image.width(), height = image.height();
    for (int y = 0; y < height; ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uchar* out = indexed.scanLine(y);
        QRgb last = in[0] | 0xFF000000u;
        int lastIndex = indexOf(last);
        if (lastIndex < 0) return std::nullopt;
        for (int x = 0; x < width; ++x) {
            const QRgb c = in[x] | 0xFF000000u;
            if (c != last) { // mostly runs of one colour
                lastIndex = indexOf(c);
                if (lastIndex < 0) return std::nullopt;
                last = c;
            }
            out[x] = static_cast<uchar>(lastIndex);
        }
    }
    indexed.setColorTable(colors);
    indexed.setDevicePixelRatio(image.devicePixelRatio());
    return indexed;
}

// The chart's white panel, then the chart.
void Paint(QPainter& painter, const ChartView& view) {
    painter.fillRect(QRect(QPoint(0, 0), view.size), Qt::white);
    painter.setFont(view.font);
    PaintChart(painter, *view.store, view.state, view.panels, view.ampIndex, view.s0, nullptr,
               &view.overlay);
}

} // namespace

std::optional<PictureFormat> PictureFormatOf(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == "png") return PictureFormat::Png;
    if (suffix == "svg") return PictureFormat::Svg;
    if (suffix == "pdf") return PictureFormat::Pdf;
    return std::nullopt;
}

QByteArray ChartPicture(const ChartView& view, PictureFormat format, double pixelRatio) {
    if (view.store == nullptr || view.size.isEmpty() || !std::isfinite(pixelRatio) ||
        pixelRatio <= 0)
        return {};
    if (format != PictureFormat::Png) pixelRatio = 1;
    const QSize device(static_cast<int>(std::ceil(view.size.width() * pixelRatio - 1e-9)),
                       static_cast<int>(std::ceil(view.size.height() * pixelRatio - 1e-9)));
    if (device.width() > PICTURE_MAX_SIDE || device.height() > PICTURE_MAX_SIDE) return {};

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    switch (format) {
    case PictureFormat::Png: {
        QImage image(device, QImage::Format_RGB32);
        if (image.isNull()) return {};
        image.setDevicePixelRatio(pixelRatio);
        QPainter painter(&image);
        Paint(painter, view);
        painter.end();
        const std::optional<QImage> indexed = WithOwnPalette(image);
        if (!(indexed ? *indexed : image).save(&buffer, "PNG", kPngQuality)) return {};
        break;
    }
    case PictureFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        // A unit is a pixel of the chart: at 96 dots per inch the width and height in
        // millimetres are the chart's pixels in CSS pixels, as browsers show them.
        svg.setResolution(96);
        svg.setSize(view.size);
        svg.setViewBox(QRect(QPoint(0, 0), view.size));
        svg.setTitle("Tesmora chart");
        QPainter painter;
        if (!painter.begin(&svg)) return {};
        Paint(painter, view);
        painter.end();
        break;
    }
    case PictureFormat::Pdf: {
        // A page of the chart's size; at 96 units per inch a unit is a pixel of the chart,
        // as on a screen of standard density.
        QPdfWriter pdf(&buffer);
        pdf.setCreator("Tesmora");
        pdf.setResolution(96);
        pdf.setPageSize(QPageSize(QSizeF(view.size) * 72.0 / 96.0, QPageSize::Point, {},
                                  QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter;
        if (!painter.begin(&pdf)) return {};
        Paint(painter, view);
        if (!painter.end()) return {};
        break;
    }
    }
    return bytes;
}

} // namespace tesmora

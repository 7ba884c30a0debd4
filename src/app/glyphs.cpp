#include "app/glyphs.h"

#include <QImage>

namespace tesmora {

QPixmap ArrangementGlyph(int tag) {
    QImage image(20, 20, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    auto fill = [&](int x0, int x1, int y0, int y1) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) image.setPixel(x, y, qRgb(0, 0, 0));
    };
    if (tag == 0) {
        for (int top : {3, 8, 13}) fill(2, 17, top, top + 2);
    } else {
        for (int x : {2, 11})
            for (int y : {3, 11}) fill(x, x + 6, y, y + 5);
    }
    return QPixmap::fromImage(image);
}

QIcon ArrangementIcon(int tag) {
    QIcon icon;
    const QImage image = ArrangementGlyph(tag).toImage();
    for (int ratio : {1, 2, 3}) {
        QPixmap pixmap = QPixmap::fromImage(
            image.scaled(image.size() * ratio, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        pixmap.setDevicePixelRatio(ratio);
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tesmora

#include "app/artwork.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace tesmora {
namespace {

// A trace dipping and recovering, as the chart shows a desaturation.
QPainterPath Wave(QRectF r) {
    QPainterPath path(QPointF(r.left(), r.top() + r.height() * 0.35));
    path.cubicTo(QPointF(r.left() + r.width() * 0.35, r.top() + r.height() * 0.2),
                 QPointF(r.left() + r.width() * 0.45, r.bottom()),
                 QPointF(r.left() + r.width() * 0.6, r.top() + r.height() * 0.75));
    path.cubicTo(QPointF(r.left() + r.width() * 0.75, r.top() + r.height() * 0.5),
                 QPointF(r.left() + r.width() * 0.85, r.top() + r.height() * 0.3),
                 QPointF(r.right(), r.top() + r.height() * 0.3));
    return path;
}

const QColor kPurple(128, 0, 128), kRed(255, 0, 0);

} // namespace

QPixmap TesmoraLogo(qreal ratio) {
    ratio = std::clamp(ratio, 1.0, 8.0);
    QImage image(QSize(127, 36) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kRed, 2.2));
    p.drawPath(Wave(QRectF(3, 6, 30, 24)));
    p.setPen(QPen(kPurple, 2.2));
    p.drawPath(Wave(QRectF(3, 2, 30, 20)));
    QFont font("Tahoma");
    font.setPixelSize(21);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(64, 64, 64));
    p.drawText(QRect(38, 0, 89, 36), Qt::AlignLeft | Qt::AlignVCenter, "Tesmora");
    p.end();
    return QPixmap::fromImage(image);
}

QIcon TesmoraIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size;
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);
        p.setPen(QPen(kPurple, std::max<qreal>(1.5, s / 12)));
        p.setBrush(Qt::NoBrush);
        p.drawPath(Wave(QRectF(s * 0.12, s * 0.2, s * 0.76, s * 0.6)));
        p.setPen(QPen(QColor(64, 64, 64), std::max<qreal>(1, s / 24)));
        p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);
        p.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace tesmora

#include "app/widgets.h"

#include <QPainter>

namespace tesmora {

void ChartWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (onPaint) onPaint(painter);
}

void ClientArea::resizeEvent(QResizeEvent*) {
    if (onResize) onResize();
}

} // namespace tesmora

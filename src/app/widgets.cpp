#include "app/widgets.h"

#include <QMouseEvent>
#include <QPainter>

namespace tesmora {

void ChartWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (onPaint) onPaint(painter);
}

void ChartWidget::mousePressEvent(QMouseEvent* event) {
    if (onMouseDown) onMouseDown(event->button(), event->position().toPoint());
}

void ChartWidget::mouseMoveEvent(QMouseEvent* event) {
    if (onMouseMove) onMouseMove(event->buttons(), event->position().toPoint());
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (onMouseUp) onMouseUp(event->button(), event->position().toPoint());
}

void ChartWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt turns the second press of a double click into this event: it is a press all the same,
    // followed, for the left button, by the double click itself.
    if (onMouseDown) onMouseDown(event->button(), event->position().toPoint());
    if (event->button() == Qt::LeftButton && onDblClick) onDblClick();
}

void ClientArea::resizeEvent(QResizeEvent*) {
    if (onResize) onResize();
}

} // namespace tesmora

#include "app/widgets.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionComplex>
#include <QToolTip>

namespace tesmora {

ChartWidget::ChartWidget(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::ClickFocus);
}

bool ChartWidget::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = onToolTip ? onToolTip(help->pos()) : QString();
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // Shown as the text it is: escaped, so that nothing in it reads as markup.
            QToolTip::showText(help->globalPos(), "<qt>" + text.toHtmlEscaped() + "</qt>", this);
        }
        return true;
    }
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            if (onPinch) onPinch(gesture->value(), gesture->position().toPoint());
            return true;
        }
    }
    return QWidget::event(event);
}

void ChartWidget::wheelEvent(QWheelEvent* event) {
    if (onWheel) onWheel(event->angleDelta(), event->modifiers(), event->position().toPoint());
    event->accept();
}

void ChartWidget::keyPressEvent(QKeyEvent* event) {
    if (onKey && onKey(event->key(), event->modifiers())) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

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
    // Qt turns the second press of a double click into this event: the double click itself,
    // for the left button, and then a press all the same. The press comes second, so that a
    // drag that goes on from it starts from the vertical shift the double click reset.
    if (event->button() == Qt::LeftButton && onDblClick) onDblClick();
    if (onMouseDown) onMouseDown(event->button(), event->position().toPoint());
}

void HorizontalScrollBar::keyPressEvent(QKeyEvent* event) {
    const bool plain = !(event->modifiers() & ~Qt::KeypadModifier);
    if (plain && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        triggerAction(event->key() == Qt::Key_Left ? SliderSingleStepSub : SliderSingleStepAdd);
        event->accept();
        return;
    }
    QScrollBar::keyPressEvent(event);
}

QRect CompactComboStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                        SubControl sub, const QWidget* widget) const {
    if (control == CC_ComboBox && (sub == SC_ComboBoxArrow || sub == SC_ComboBoxEditField)) {
        constexpr int kArrow = 9; // room for the arrow at the right edge
        const QRect r = option->rect;
        return sub == SC_ComboBoxArrow
                   ? QRect(r.right() - kArrow + 1, r.top(), kArrow, r.height())
                   : QRect(r.left() + 1, r.top() + 2, r.width() - kArrow - 1, r.height() - 4);
    }
    return QProxyStyle::subControlRect(control, option, sub, widget);
}

void ClientArea::resizeEvent(QResizeEvent*) {
    if (onResize) onResize();
}

} // namespace tesmora

#pragma once
// Small widgets of the main window that only forward their events.

#include <QApplication>
#include <QProxyStyle>
#include <QScrollBar>
#include <QWidget>
#include <functional>

namespace tesmora {

/// The chart's surface (PaintBox1): paints through the window's painter function and hands
/// its pointer events to the window.
class ChartWidget : public QWidget {
    Q_OBJECT
public:
    /// Takes the keyboard focus when clicked (it is no tab stop).
    explicit ChartWidget(QWidget* parent);
    std::function<void(QPainter&)> onPaint;
    std::function<void(Qt::MouseButton, QPoint)> onMouseDown, onMouseUp;
    std::function<void(Qt::MouseButtons, QPoint)> onMouseMove;
    std::function<void()> onDblClick;
    /// The wheel: its angle delta (x horizontal, y vertical), the modifiers, the pointer.
    std::function<void(QPoint, Qt::KeyboardModifiers, QPoint)> onWheel;
    /// A touchpad pinch: Qt's zoom value (0.1 is ten percent larger) and the pointer.
    std::function<void(double, QPoint)> onPinch;
    /// A key; true when it was the chart's.
    std::function<bool(int, Qt::KeyboardModifiers)> onKey;
    /// The tip for the pointer's place (a note's text), or none.
    std::function<QString(QPoint)> onToolTip;

protected:
    bool event(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

/// A horizontal scroll bar with the keys of a standard one: Left and Up a step back, Right and
/// Down a step on, Page Up and Page Down a page, Home and End the ends. (Qt's own inverts Left
/// and Right on a horizontal bar.)
class HorizontalScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit HorizontalScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

/// The style of the two 57-pixel lists: the application's, with a narrow arrow and little
/// padding, so that "11 points" fits the list's width in the window font.
class CompactComboStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override;
};

/// The hourglass for the length of a scope, or until ended.
class BusyCursor {
public:
    BusyCursor() = default;
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    void Begin() {
        if (!on_) QApplication::setOverrideCursor(Qt::WaitCursor);
        on_ = true;
    }
    void End() {
        if (on_) QApplication::restoreOverrideCursor();
        on_ = false;
    }
    ~BusyCursor() { End(); }

private:
    bool on_ = false;
};

/// The window's client area below the menu: reports its resizes so that the window can keep
/// its controls anchored.
class ClientArea : public QWidget {
    Q_OBJECT
public:
    explicit ClientArea(QWidget* parent) : QWidget(parent) {}
    std::function<void()> onResize;

protected:
    void resizeEvent(QResizeEvent* event) override;
};

} // namespace tesmora

#pragma once
// Pointer gestures sent to a widget as the window system would send them, for the programs
// that drive the real window themselves (the manual builder, the benchmarks).

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace tesmora::tools {

inline void SendMouse(QWidget* w, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held,
                      QPoint at) {
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

/// Press at `from`, one move to `to`, release there.
inline void Drag(QWidget* w, Qt::MouseButton button, QPoint from, QPoint to) {
    SendMouse(w, QEvent::MouseButtonPress, button, button, from);
    SendMouse(w, QEvent::MouseMove, Qt::NoButton, button, to);
    SendMouse(w, QEvent::MouseButtonRelease, button, Qt::NoButton, to);
}

inline void Click(QWidget* w, QPoint at) {
    Drag(w, Qt::LeftButton, at, at);
}

} // namespace tesmora::tools

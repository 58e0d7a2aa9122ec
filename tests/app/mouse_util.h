#pragma once
// Mouse events sent straight to a widget, no window system involved.

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

namespace tltest {

// A left-button press (or, for MouseMove, a move with the left button held)
// at a widget pixel.
inline void sendMouse(QWidget* widget, QEvent::Type type, QPointF pixel) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pixel, button, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

}  // namespace tltest

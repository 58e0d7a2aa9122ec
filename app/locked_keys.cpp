#include "app/locked_keys.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>
#include <utility>

namespace {

// The window's disabled action whose key the press is, with its modifiers
// (a keypad key as the same key off the keypad), or null. A hidden action
// answers no key, locked or not (simple mode hides Link and its key).
QAction* disabledActionOf(const QWidget& window, const QKeyEvent& press) {
    const int modifiers =
        int(press.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    const QKeySequence sequence(press.key() | modifiers);
    for (QAction* a : window.actions())
        if (!a->isEnabled() && a->isVisible() && a->shortcuts().contains(sequence)) return a;
    return nullptr;
}

}  // namespace

LockedKeys::LockedKeys(QWidget& w, Locked l, Tell t)
    : QObject(&w), window(w), locked(std::move(l)), tell(std::move(t)) {
    window.installEventFilter(this);
}

// A key press reaches the window itself when no widget in it took it and it
// was no enabled action's key: that would have triggered the action.
bool LockedKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window && event->type() == QEvent::KeyPress && locked()) {
        QAction* action = disabledActionOf(window, *static_cast<const QKeyEvent*>(event));
        if (action) tell(*action);
    }
    return QObject::eventFilter(watched, event);
}

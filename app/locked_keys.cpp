#include "app/locked_keys.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>
#include <utility>

namespace {

bool modifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_AltGr ||
           key == Qt::Key_Meta || key == Qt::Key_Super_L || key == Qt::Key_Super_R || key == Qt::Key_unknown;
}

QAction* disabledActionWithKey(const QWidget& window, const QKeySequence& key) {
    for (QAction* a : window.actions())
        if (!a->isEnabled() && a->shortcuts().contains(key)) return a;
    return nullptr;
}

}  // namespace

LockedKeys::LockedKeys(QWidget& w, Holds h, Tell t) : QObject(&w), window(w), holds(std::move(h)), tell(std::move(t)) {
    window.installEventFilter(this);
}

QAction* LockedKeys::disabledActionOf(const QWidget& window, const QKeyEvent& press) {
    const int key = press.key();
    if (modifierKey(key)) return nullptr;
    const int modifiers =
        int(press.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (QAction* a = disabledActionWithKey(window, QKeySequence(key | modifiers))) return a;
    if (!(modifiers & Qt::ShiftModifier)) return nullptr;
    return disabledActionWithKey(window, QKeySequence(key | (modifiers & ~int(Qt::ShiftModifier))));
}

// A key press reaches the window itself when no widget in it took it and no
// enabled action's key it was: the key of an action would have triggered it.
bool LockedKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window && event->type() == QEvent::KeyPress) {
        const auto* press = static_cast<const QKeyEvent*>(event);
        if (!press->isAutoRepeat()) {
            QAction* action = disabledActionOf(window, *press);
            if (action && holds(*action)) tell(*action);
        }
    }
    return QObject::eventFilter(watched, event);
}

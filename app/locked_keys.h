#pragma once
// LockedKeys tells the keys of the commands that the gesture lock holds.
// While the lock is on (a stroke held in the view, a drawing between its
// clicks) the window's locked actions are disabled, and Qt answers no key of
// a disabled action: the key press goes on to the window as an ordinary key
// and the command is dropped without a word (a user who pressed Ctrl+S
// believes the work saved). The teller watches the key presses that reach
// the window unanswered and, when one is the key of a disabled action while
// the lock is on, hands that action to `tell`, which names the command in
// the status bar. The menus stay disabled. (The only other disabled actions
// with keys, Undo and Redo, are the Edit menu's, not the window's.)

#include <QObject>
#include <functional>

class QAction;
class QWidget;

class LockedKeys : public QObject {
public:
    // Whether the gesture lock is on.
    using Locked = std::function<bool()>;
    using Tell = std::function<void(QAction&)>;

    // Watches the key presses that reach `window`; owned by it.
    LockedKeys(QWidget& window, Locked locked, Tell tell);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window;
    Locked locked;
    Tell tell;
};

#pragma once
// ActionButton: a flat push button that stands for one QAction in a menu. It
// shows the action's text, tips, icon, enabled, checkable and checked state,
// follows every later change of the action, and triggers the action when
// clicked, showing the action's state afterwards. The action is not owned.

#include <QPushButton>

class QAction;

class ActionButton : public QPushButton {
    Q_OBJECT

public:
    explicit ActionButton(QWidget* parent);

    // Binds the button to the action, dropping the connections to one bound
    // before.
    void setAction(QAction* action);

    QAction* action = nullptr;  // not owned

public slots:
    // Copies the action's state onto the button; nothing while unbound.
    void updateButtonStatusFromAction();
};

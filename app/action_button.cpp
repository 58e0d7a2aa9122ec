#include "app/action_button.h"

#include <QAction>

ActionButton::ActionButton(QWidget* parent) : QPushButton(parent) {}

void ActionButton::setAction(QAction* a) {
    if (action == a) return;
    if (action) {
        disconnect(action, &QAction::changed, this, &ActionButton::updateButtonStatusFromAction);
        disconnect(this, &QPushButton::clicked, action, &QAction::trigger);
        disconnect(this, &QPushButton::clicked, this, &ActionButton::updateButtonStatusFromAction);
    }
    action = a;
    updateButtonStatusFromAction();
    if (!action) return;
    connect(action, &QAction::changed, this, &ActionButton::updateButtonStatusFromAction);
    connect(this, &QPushButton::clicked, action, &QAction::trigger);
    // The click toggled the button itself; an action that kept its state
    // (the checked entry of an exclusive group) sends no change, so the
    // button takes the action's state again after the trigger.
    connect(this, &QPushButton::clicked, this, &ActionButton::updateButtonStatusFromAction);
}

void ActionButton::updateButtonStatusFromAction() {
    if (!action) return;
    setText(action->text());
    setStatusTip(action->statusTip());
    setToolTip(action->toolTip());
    setIcon(action->icon());
    setEnabled(action->isEnabled());
    setCheckable(action->isCheckable());
    setChecked(action->isChecked());
}

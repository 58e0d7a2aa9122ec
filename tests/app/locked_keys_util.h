#pragma once
// What the tests of the keys the gesture lock holds share: an asker that
// counts the Save dialogs, the status bar's word and the word of a command
// not taken.

#include <QLabel>
#include <QStatusBar>
#include <string>

#include "app/main_window.h"
#include "app/main_window_form.h"
#include "view/asker.h"

namespace tltest {

// Counts the Save dialogs, declining each, as every other question.
struct SaveCount : qel::DecliningAsker {
    int asked = 0;
    QString saveFileName(QWidget*, const QString&, const QString&) override {
        ++asked;
        return QString();
    }
};

// The word the status bar shows.
inline std::string notice(const MainWindow& window) {
    const QLabel* label = window.ui->statusBar->findChild<QLabel*>();
    return label ? label->text().toStdString() : std::string();
}

// The word of the command `name` that a gesture held.
inline std::string refused(const std::string& name) {
    return name + ": not taken, a gesture was under way in the view. Give it again once the gesture has ended.";
}

}  // namespace tltest

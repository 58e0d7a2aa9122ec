// The Edit menu's Undo and Redo commands on the offscreen main window.

#include <gtest/gtest.h>

#include <QAction>

#include "app/main_window.h"
#include "app/main_window_form.h"
#include "view/act.h"
#include "view/glview.h"

namespace {

struct Toggle : qel::Act {
    explicit Toggle(int& state) : state(state) {}
    void apply() override { state ^= 1; }
    int& state;
};

}  // namespace

TEST(MainWindowHistory, UndoAndRedoStepThroughAPushedRecordButNotDuringAGesture) {
    MainWindow window;
    qel::GLView* view = window.view();
    int state = 1;  // applied when pushed
    view->pushAct(new Toggle(state));
    QAction* undo = window.ui->actionUndo;
    QAction* redo = window.ui->actionRedo;

    view->interactionState = 1;
    undo->trigger();
    EXPECT_TRUE(state == 1 && view->historyIndex == 0);
    view->interactionState = 0;
    undo->trigger();
    EXPECT_TRUE(state == 0 && view->historyIndex == -1);
    view->interactionState = 1;
    redo->trigger();
    EXPECT_EQ(state, 0);
    view->interactionState = 0;
    redo->trigger();
    EXPECT_TRUE(state == 1 && view->historyIndex == 0);
}

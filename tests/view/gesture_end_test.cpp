// A gesture ends at its release wherever the pointer is: a sculpt stroke or
// a move let go outside the view runs its own release steps from the last
// frame inside it, and a stroke sculpts only while its button is held.

#include <gtest/gtest.h>

#include <vector>

#include "scene/scene.h"
#include "scene/tool.h"
#include "view/act.h"
#include "view/gesture_fixture_util.h"
#include "view/glview.h"
#include "view/mouse.h"

using namespace qel;
using test::GestureFixture;

namespace {

// Logs each sculpt call: every gesture's state and its last sample's point.
struct RecordingTool : Tool {
    RecordingTool() : Tool(nullptr, mat4::Identity(), pbr(), false) {}
    void sculpt(std::vector<Sculptor*>& s) override {
        ++calls;
        state = s.empty() ? -1 : s[0]->state;
        last = s.empty() ? vec3() : s[0]->samples.back().point;
    }
    int calls = 0;
    int state = -1;
    vec3 last;
};

struct CountingAct : Act {
    explicit CountingAct(int& n) : applied(n) {}
    void apply() override { ++applied; }
    int& applied;
};

class GestureEnd : public GestureFixture {
protected:
    void pressAt(vec2 p) {
        drive.move(p);
        drive.frame();
        drive.left(true);
        drive.frame();
    }
    void moveTo(vec2 p) {
        drive.move(p);
        drive.frame();
    }
    // Undo acts again: a record pushed now is undone.
    bool undoes() {
        int applied = 0;
        view.pushAct(new CountingAct(applied));
        view.UNDO();
        return applied == 1;
    }

    const vec2 inside{400, 300}, outside{-40, 300};
};

}  // namespace

TEST_F(GestureEnd, ASculptStrokeReleasedOutsideTheViewEndsWithItsLastSampleInside) {
    RecordingTool tool;
    // Without a leave event before the release, and with one (the window
    // system may report the pointer leaving while the button is still down).
    for (const bool left : {false, true}) {
        SCOPED_TRACE(left);
        view.setActionMode(GLView::ModeSculpt);
        view.stamps.assign(1, ABrush());
        view.pickBrush.layers = 1;
        view.pickBrush.pickedTool = &tool;
        pressAt(inside);
        ASSERT_EQ(view.interactionState, 1);
        view.stamps[0].point = vec3(1, 2, 3);
        moveTo(inside + vec2(5, 0));
        const int calls = tool.calls;
        view.stamps[0].point = vec3(7, 7, 7);  // would be a sample outside
        moveTo(outside);
        EXPECT_EQ(tool.calls, calls);
        view.stamps[0].point = vec3(1, 2, 3);
        if (left) view.leaveEvent();
        drive.left(false);
        drive.frame();
        EXPECT_TRUE(tool.calls == calls + 1 && tool.state == Gesture::Ended && tool.last == vec3(1, 2, 3));
        EXPECT_TRUE(view.idle() && view.sculptors.empty());
        EXPECT_EQ(view.actionMode, left ? GLView::ModeIdle : GLView::ModeSculpt);
        if (left) view.enterEvent();
        EXPECT_EQ(view.actionMode, GLView::ModeSculpt);
        EXPECT_TRUE(undoes());
    }

    // A stroke whose end never came: hovering without a button sculpts
    // nothing.
    view.setActionMode(GLView::ModeSculpt);
    view.pickBrush.layers = 1;
    view.pickBrush.pickedTool = &tool;
    view.sculptors = {new Sculptor};
    view.sculptors[0]->samples.emplace_back(view.stamps[0]);
    view.interactionState = 1;
    const int calls = tool.calls;
    for (int i = 1; i <= 3; ++i) moveTo(inside + vec2(float(3 * i), 0));
    EXPECT_EQ(tool.calls, calls);
}

TEST_F(GestureEnd, AMoveReleasedOutsideTheViewKeepsItsRecordAndEnds) {
    assembly(GLView::ActionMove);
    view.scene->toList();
    hit(object, id);
    view.pickBrush.pickedWorld = view.scene->objects.matrices[std::size_t(view.scene->pickedIndex)];
    pressAt(inside);
    ASSERT_TRUE(view.interactionState == 1 && view.undoHistory.size() == 1);
    view.targetBrush.delta = vec3(0.5f, 0, 0);
    moveTo(inside + vec2(10, 0));
    moveTo(outside);
    release();
    EXPECT_TRUE(view.idle() && view.actionMode == GLView::ModeAssembly);
    ASSERT_TRUE(view.undoHistory.size() == 1 && view.historyIndex == 0);
    EXPECT_TRUE(view.undoHistory[0]->changed());
    view.UNDO();
    EXPECT_EQ(view.historyIndex, -1);
}

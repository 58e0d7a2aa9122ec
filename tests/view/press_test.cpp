// The button press, frame by frame with scripted buttons and keys: which
// gesture a press starts, the sculpt gestures, the assembly press table with
// its undo records, drawing points and the quick save of the picked object.

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "view/act.h"
#include "view/asker.h"
#include "view/gesture_fixture_util.h"
#include "view/glview.h"
#include "view/keyboard.h"

using namespace qel;
using test::GestureFixture;
using test::ToggleAct;

namespace {

// Logs what every sculpt call receives.
struct RecordingTool : Tool {
    RecordingTool() : Tool(nullptr, mat4::Identity(), pbr(), false) {}
    void sculpt(std::vector<Sculptor*>& s) override {
        ++calls;
        received = s;
    }
    int calls = 0;
    std::vector<Sculptor*> received;
};

struct ScriptedAsker : DecliningAsker {
    QString saveFileNameIn(QWidget*, const QString& title, const QString& folder, const QString& filter) override {
        asked.push_back(title + "|" + folder + "|" + filter);
        return answer;
    }
    QString answer;
    QStringList asked;
};

class Press : public GestureFixture {
protected:
    Press() { view.asker = &asker; }

    // The pick record of a hit on the placed object, remembered by the scene.
    void pickObject() {
        hit(object, id);
        view.pickBrush.pickedMaterial.colour = wvec4(1, 2, 3, 4);
    }
    // Holds the keys for a frame, then presses the left button.
    void press(std::initializer_list<int> held) {
        drive.hold(held);
        drive.frame();
        drive.left(true);
        drive.frame();
    }
    // A release after the gesture was reset: it finishes nothing.
    void letGo() {
        view.resetState(false);
        release();
    }
    void click(std::initializer_list<int> held) {
        press(held);
        release();
    }
    // A history of one record in place of what it held.
    void oneRecord() {
        for (Act* a : view.undoHistory) delete a;
        view.undoHistory = {new ToggleAct};
        view.historyIndex = 0;
    }

    ScriptedAsker asker;
};

}  // namespace

TEST_F(Press, ButtonsTogether) {
    assembly(GLView::ActionMove);
    pickObject();
    QSignalSpy menu(&view, &GLView::openMenu);
    const auto buttons = [&](bool left, bool right, std::initializer_list<int> held = {}) {
        drive.hold(held);
        drive.left(left);
        drive.right(right);
        drive.frame();
    };
    buttons(false, true, {Keyboard::KeyControl});  // idle: the menu and nothing else
    EXPECT_TRUE(menu.count() == 1 && view.idle() && view.actionMode == GLView::ModeAssembly);
    buttons(false, false);
    buttons(false, true);  // a view drag; the left press then starts nothing
    EXPECT_EQ(view.actionMode, GLView::ModeView);
    view.actionMode = GLView::ModeAssembly;
    view.interactionState = 0;
    buttons(true, true);
    EXPECT_TRUE(view.idle() && view.undoHistory.empty() && !view.targetBrush.placed());
    buttons(false, false);  // the release's ending resets the pick
    pickObject();
    // A move under way: a right press with the left held resets it without a
    // view drag; with Control it opens no menu.
    buttons(true, false);
    ASSERT_EQ(view.interactionState, 1);
    buttons(true, true, {Keyboard::KeyControl});
    EXPECT_TRUE(menu.count() == 1 && view.idle() && view.actionMode == GLView::ModeAssembly);
}

TEST_F(Press, SculptMakesOneGesturePerStampAndSculptsOnce) {
    RecordingTool tool;
    const auto pick = [&] {
        view.pickBrush.layers = 1;
        view.pickBrush.pickedTool = &tool;
        view.pickBrush.pickedMaterial.colour = wvec4(9, 9, 9, 9);
        oneRecord();
    };
    view.setActionMode(GLView::ModeSculpt);
    view.setSculptAction(Sculptor::Inflate);
    view.setSculptSelect(Sculptor::SelectPatch);
    view.axisSection = 1;
    view.stamps.resize(3);
    for (int i = 0; i < 3; ++i) {
        view.stamps[std::size_t(i)].handedness = std::int8_t(i == 1 ? -1 : 1);
        view.stamps[std::size_t(i)].viewDirection = view.stamps[std::size_t(i)].point = vec3(float(i), 0, 1);
    }
    pick();
    press({});
    EXPECT_TRUE(view.undoHistory.empty() && view.historyIndex == -1 && view.interactionState == 1);
    EXPECT_EQ(tool.calls, 1);
    ASSERT_EQ(tool.received.size(), 3u);
    EXPECT_EQ(tool.received, view.sculptors);
    for (int i = 0; i < 3; ++i) {
        const Sculptor& s = *view.sculptors[std::size_t(i)];
        EXPECT_TRUE(s.action == Sculptor::Inflate && s.select == Sculptor::SelectPatch &&
                    s.property == Sculptor::PropertyDefault && s.onSection == 1 && s.paintMask == 13 && s.isStarted() &&
                    s.handedness == (i == 1 ? -1 : 1));
        EXPECT_EQ(s.viewDirection, vec3(float(i), 0, 1));
        ASSERT_EQ(s.samples.size(), 1u);
        EXPECT_EQ(s.samples[0].point, vec3(float(i), 0, 1));
    }
    release();  // the stroke's last step, then its gestures go
    EXPECT_TRUE(tool.calls == 2 && view.sculptors.empty() && view.idle());
    // PickMaterial empties the history too, and sculpts nothing.
    view.resetState(false);
    view.setSculptAction(Sculptor::PickMaterial);
    pick();
    press({});
    EXPECT_TRUE(view.undoHistory.empty() && tool.calls == 2);
    EXPECT_EQ(view.brushMaterial.colour, wvec4(9, 9, 9, 9));
    // The pick starts no gesture: the release leaves the picked material.
    view.targetBrush.pickedMaterial.colour = wvec4(5, 5, 5, 5);
    release();
    EXPECT_TRUE(view.brushMaterial.colour == wvec4(9, 9, 9, 9) && tool.calls == 2);
}

TEST_F(Press, AssemblyTable) {
    enum Target { Kept, Anchored, Cleared };
    enum Pick { Object, NoTool, Nothing };  // NoTool: a hit whose id names no listed object
    constexpr int None = -1, Emptied = -2;  // or the kind of the one record pushed
    using A = GLView::TAssemblyAction;
    using M = GLView::TActionMode;
    const struct {
        A action;
        Pick pick;
        int state;
        M mode;
        Target target;
        int record;
    } rows[] = {
        {A::ActionInsert, Object, 1, M::ModeAssembly, Kept, None},
        {A::ActionInsert, Nothing, 1, M::ModeView, Kept, None},
        {A::ActionMultiply, Object, 1, M::ModeAssembly, Kept, None},
        {A::ActionMultiply, NoTool, 1, M::ModeView, Kept, None},
        {A::ActionPick, Object, 1, M::ModeAssembly, Anchored, None},
        {A::ActionSpeed, NoTool, 1, M::ModeView, Kept, None},
        {A::ActionIK, Object, 1, M::ModeAssembly, Anchored, Emptied},
        {A::ActionRotate, Object, 1, M::ModeAssembly, Anchored, Act::KindTransform},
        {A::ActionMove, NoTool, 1, M::ModeView, Kept, None},
        {A::ActionLink, Object, 1, M::ModeAssembly, Cleared, None},
        {A::ActionCounterConstrainRotation, Object, 1, M::ModeAssembly, Cleared, None},
        {A::ActionCounterConstrainTranslation, Object, 1, M::ModeAssembly, Cleared, None},
        {A::ActionMaterial, Object, 1, M::ModeAssembly, Kept, Act::KindMaterial},
        {A::ActionPickMaterial, Object, 1, M::ModeAssembly, Cleared, None},
        {A::ActionPaint, Object, 0, M::ModeAssembly, Kept, None},
        {A::ActionQuickSave, NoTool, 1, M::ModeView, Kept, None},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.action));
        view.resetState(false);
        oneRecord();
        view.activeToolProperties = pbr();
        assembly(row.action);
        if (row.pick != Nothing) pickObject();
        if (row.pick == NoTool) view.pickBrush.pickedTool = nullptr;
        view.targetBrush.kind = 5;
        press({});
        EXPECT_TRUE(view.interactionState == row.state && view.actionMode == row.mode);
        EXPECT_EQ(view.targetBrush.kind, row.target == Kept ? 5 : 0);
        EXPECT_EQ(view.targetBrush.objectId, row.target == Anchored ? id : 0);
        EXPECT_EQ(view.undoHistory.size(), std::size_t(row.record == Emptied ? 0 : row.record == None ? 1 : 2));
        const int kind = view.undoHistory.size() == 2 ? view.undoHistory.back()->kind : None;
        EXPECT_EQ(kind, row.record == Emptied ? None : row.record);
        const bool picked = row.action == A::ActionPickMaterial;
        EXPECT_EQ(view.activeToolProperties.colour, picked ? wvec4(1, 2, 3, 4) : pbr().colour);
        letGo();
    }
    EXPECT_TRUE(asker.asked.isEmpty());  // no quick save without a tool
}

TEST_F(Press, CopyingMovePushesOnlyTheCopyRecord) {
    assembly(GLView::ActionMove);
    pickObject();
    press({Keyboard::KeyControl});
    ASSERT_EQ(view.undoHistory.size(), 1u);
    EXPECT_EQ(view.undoHistory[0]->kind, Act::KindCopyTransform);
    EXPECT_EQ(view.copySource, object);
    ASSERT_NE(view.pickBrush.pickedTool, object);
    EXPECT_EQ(view.pickBrush.pickedTool->parent, object);  // Add To Child: hung under the picked object
    EXPECT_TRUE(view.pickBrush.pickedWorld == object->matrix() && view.copyFrame == object->matrix());
    release();  // a copy stays a change: its record is kept
    EXPECT_TRUE(view.undoHistory.size() == 1 && view.copySource == nullptr);
    view.resetState(false);
    view.UNDO();
    EXPECT_TRUE(object->children.empty());
}

TEST_F(Press, DrawingPoints) {
    drive.picking = true;  // each point is picked off the empty ID buffer
    assembly(GLView::ActionDraw);
    const auto kinds = [&] {
        std::vector<int> k;
        for (const AStroke& s : view.assemblor.strokes)
            for (const ABrush& b : s.stamps) k.push_back(b.kind);
        return k;
    };
    const struct {
        int key, first;
    } firsts[] = {{Keyboard::KeyControl, 3}, {Keyboard::KeyAlt, 2}, {Keyboard::KeyShift, 1}, {'z', 1}};
    for (const auto& f : firsts) {
        view.resetState(false);
        click({f.key});
        EXPECT_EQ(kinds(), std::vector<int>{f.first});
        EXPECT_EQ(view.cornerPending, f.key != 'z');
        EXPECT_TRUE(view.interactionState == 1 && view.assemblor.state == Gesture::Started);
    }
    click({Keyboard::KeyShift});
    click({});
    click({Keyboard::KeyAlt});
    click({Keyboard::KeyControl});
    EXPECT_EQ(kinds(), (std::vector<int>{1, 1, 0, 2, 3}));
    EXPECT_TRUE(view.interactionState == 1 && view.assemblor.state == Gesture::Moving);

    // A drawn axis: single stamps with Space (and while there are some, up to
    // two: the release of the second raises the state to 3), then stroke
    // points.
    view.resetState(false);
    view.toolCreation = GLView::CreateRevoluton;
    press({Keyboard::KeySpace});
    release();
    press({'z'});
    EXPECT_EQ(view.assemblor.stamps.size(), 2u);
    EXPECT_EQ(view.interactionState, 2);
    release();
    EXPECT_EQ(view.interactionState, 3);
    click({'z'});
    EXPECT_EQ(view.assemblor.stamps.size(), 2u);
    EXPECT_EQ(kinds(), std::vector<int>{0});

    view.resetState(false);  // without a tool under creation: a view drag
    view.toolCreation = GLView::CreateUseTool;
    view.activeTool = nullptr;
    press({});
    EXPECT_TRUE(view.actionMode == GLView::ModeView && view.assemblor.stamps.empty());
    release();
    EXPECT_TRUE(view.actionMode == GLView::ModeAssembly && view.idle());
}

TEST_F(Press, QuickSaveNames) {
    QTemporaryDir temp;
    QDir dir(temp.path());
    ASSERT_TRUE(dir.mkdir("my.dir"));
    assembly(GLView::ActionQuickSave);
    const auto save = [&](const QString& name) {
        pickObject();
        asker.answer = name.isEmpty() ? name : dir.filePath(name);
        click({});
        EXPECT_TRUE(view.idle() && !view.pickBrush.placed());
    };
    save("part");
    EXPECT_TRUE(dir.remove("part.tlo"));
    save("part.PNG");
    EXPECT_TRUE(dir.exists("part.tlo"));
    save("part.OBJ");
    QFile obj(dir.filePath("part.OBJ"));
    ASSERT_TRUE(obj.open(QIODevice::ReadOnly));
    EXPECT_TRUE(obj.readAll().contains("\nv "));  // a Wavefront mesh
    save("my.dir/part");
    EXPECT_TRUE(dir.exists("my.dir/part.tlo") && !dir.exists("my.tlo"));
    const QStringList files = dir.entryList(QDir::Files);
    save("");
    EXPECT_EQ(dir.entryList(QDir::Files), files);
    ASSERT_EQ(asker.asked.size(), 5);
    EXPECT_EQ(asker.asked[0], "Save Object|Scenes/Objects/|All (*.tlo *.obj);;Object (*.tlo);;Meshes (*.obj)");
}

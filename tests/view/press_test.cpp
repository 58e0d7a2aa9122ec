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

#include "app/asker.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "view/act.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/keyboard.h"

using namespace qel;
using test::FrameDriver;

namespace {

struct ToggleAct : Act {
    void apply() override {}
};

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

struct ScriptedAsker : Asker {
    QString saveFileNameIn(QWidget*, const QString& title, const QString& folder, const QString& filter) override {
        asked.push_back(title + "|" + folder + "|" + filter);
        return answer;
    }
    QString answer;
    QStringList asked;
};

class Press : public ::testing::Test {
protected:
    Press() : drive(view) {
        view.buildMatrices();
        view.asker = &asker;
        object = view.scene->addObject(&cube, mat4::Translation(0, 0, -1), Scene::HangTop, false);
        view.scene->toList();
        id = view.scene->findID(object);
    }
    ~Press() override { drive.hold({}); }

    // The pick record of a hit on the placed object, remembered by the scene.
    void pickObject() {
        view.pickBrush = ABrush();
        view.pickBrush.selection = ABrush::OnObject;
        view.pickBrush.layers = 1;
        view.pickBrush.objectId = id;
        view.pickBrush.pickedTool = object;
        view.pickBrush.pickedMaterial.colour = wvec4(1, 2, 3, 4);
        view.scene->searchObject(id);
    }
    void assembly(GLView::TAssemblyAction a) {
        view.setActionMode(GLView::ModeAssembly);
        view.setAssemblyAction(a);
    }
    // Holds the keys for a frame, then presses (and with `release` releases)
    // the left button.
    void click(std::initializer_list<int> held, bool release = true) {
        drive.hold(held);
        drive.frame();
        drive.left(true);
        drive.frame();
        if (!release) return;
        drive.left(false);
        drive.frame();
    }
    // A history of one record in place of what it held.
    void oneRecord() {
        for (Act* a : view.undoHistory) delete a;
        view.undoHistory = {new ToggleAct};
        view.historyIndex = 0;
    }
    std::size_t objects() const { return view.scene->objectsRoot->children.size(); }

    GLView view{800, 600};
    FrameDriver drive;
    ScriptedAsker asker;
    Tool cube{Mesh::Cube(), mat4::Identity(), pbr(), false};
    Tool* object;
    int id;
};

}  // namespace

TEST_F(Press, ButtonsTogether) {
    assembly(GLView::ActionMove);
    pickObject();
    QSignalSpy menu(&view, &GLView::openMenu);

    // Control with a right press while idle: the menu and nothing else.
    drive.hold({Keyboard::KeyControl});
    drive.right(true);
    drive.frame();
    EXPECT_EQ(menu.count(), 1);
    EXPECT_TRUE(view.idle());
    EXPECT_EQ(view.actionMode, GLView::ModeAssembly);
    drive.right(false);
    drive.frame();

    // The left press after a right press (a view drag) starts nothing.
    drive.hold({});
    drive.right(true);
    drive.frame();
    EXPECT_EQ(view.actionMode, GLView::ModeView);
    view.actionMode = GLView::ModeAssembly;
    view.interactionState = 0;
    click({}, false);
    EXPECT_TRUE(view.idle() && view.undoHistory.empty() && !view.targetBrush.placed());
    drive.left(false);
    drive.right(false);
    drive.frame();

    // A move under way: a right press with the left held resets it without
    // a view drag; Control with it opens no menu.
    click({}, false);
    ASSERT_EQ(view.interactionState, 1);
    drive.hold({Keyboard::KeyControl});
    drive.right(true);
    drive.frame();
    EXPECT_EQ(menu.count(), 1);
    EXPECT_TRUE(view.idle());
    EXPECT_EQ(view.actionMode, GLView::ModeAssembly);
}

TEST_F(Press, SculptMakesOneGesturePerStampAndSculptsOnce) {
    RecordingTool tool;
    view.setActionMode(GLView::ModeSculpt);
    view.setSculptAction(Sculptor::Inflate);
    view.setSculptSelect(Sculptor::SelectPatch);
    view.axisSection = 1;
    view.pickBrush.layers = 1;
    view.pickBrush.pickedTool = &tool;
    view.pickBrush.pickedMaterial.colour = wvec4(9, 9, 9, 9);
    view.stamps.resize(3);
    for (int i = 0; i < 3; ++i) {
        view.stamps[std::size_t(i)].handedness = std::int8_t(i == 1 ? -1 : 1);
        view.stamps[std::size_t(i)].viewDirection = vec3(float(i), 0, 1);
        view.stamps[std::size_t(i)].point = vec3(0, float(i), 0);
    }
    oneRecord();
    click({});
    EXPECT_TRUE(view.undoHistory.empty());
    EXPECT_EQ(view.historyIndex, -1);
    EXPECT_EQ(tool.calls, 1);
    ASSERT_EQ(tool.received.size(), 3u);
    EXPECT_EQ(tool.received, view.sculptors);
    for (int i = 0; i < 3; ++i) {
        const Sculptor& s = *view.sculptors[std::size_t(i)];
        EXPECT_TRUE(s.action == Sculptor::Inflate && s.select == Sculptor::SelectPatch &&
                    s.property == Sculptor::PropertyDefault);
        EXPECT_TRUE(s.onSection == 1 && s.paintMask == 13 && s.isStarted());
        EXPECT_EQ(s.handedness, i == 1 ? -1 : 1);
        EXPECT_EQ(s.viewDirection, vec3(float(i), 0, 1));
        ASSERT_EQ(s.samples.size(), 1u);
        EXPECT_EQ(s.samples[0].point, vec3(0, float(i), 0));
    }
    EXPECT_EQ(view.interactionState, 1);

    // PickMaterial empties the history too, and sculpts nothing.
    view.resetState(false);
    view.pickBrush.layers = 1;
    view.pickBrush.pickedTool = &tool;
    view.pickBrush.pickedMaterial.colour = wvec4(9, 9, 9, 9);
    view.setSculptAction(Sculptor::PickMaterial);
    oneRecord();
    click({});
    EXPECT_TRUE(view.undoHistory.empty());
    EXPECT_EQ(tool.calls, 1);
    EXPECT_EQ(view.brushMaterial.colour, wvec4(9, 9, 9, 9));

    // A hit without a tool: a view drag.
    view.resetState(false);
    view.setSculptAction(Sculptor::Inflate);
    view.pickBrush.layers = 1;
    click({});
    EXPECT_EQ(view.actionMode, GLView::ModeView);
    EXPECT_EQ(view.interactionState, 1);
}

TEST_F(Press, AssemblyTable) {
    enum Target { Kept, Anchored, Cleared };
    enum Pick { Object, NoTool, Nothing };
    struct Row {
        GLView::TAssemblyAction action;
        Pick pick;
        std::uint8_t state;
        GLView::TActionMode mode;
        Target target;
        int record;  // the kind of the record pushed, -2 none, -3 history emptied
    };
    const Row rows[] = {
        {GLView::ActionInsert, Object, 1, GLView::ModeAssembly, Kept, -2},
        {GLView::ActionInsert, Nothing, 1, GLView::ModeView, Kept, -2},
        {GLView::ActionMultiply, Object, 1, GLView::ModeAssembly, Kept, -2},
        {GLView::ActionMultiply, NoTool, 1, GLView::ModeView, Kept, -2},
        {GLView::ActionPick, Object, 1, GLView::ModeAssembly, Anchored, -2},
        {GLView::ActionSpeed, NoTool, 1, GLView::ModeView, Kept, -2},
        {GLView::ActionIK, Object, 1, GLView::ModeAssembly, Anchored, -3},
        {GLView::ActionRotate, Object, 1, GLView::ModeAssembly, Anchored, Act::KindTransform},
        {GLView::ActionMove, NoTool, 1, GLView::ModeView, Kept, -2},
        {GLView::ActionLink, Object, 1, GLView::ModeAssembly, Cleared, -2},
        {GLView::ActionMaterial, Object, 1, GLView::ModeAssembly, Kept, Act::KindMaterial},
        {GLView::ActionPickMaterial, Object, 1, GLView::ModeAssembly, Cleared, -2},
        {GLView::ActionPaint, Object, 0, GLView::ModeAssembly, Kept, -2},
        {GLView::ActionQuickSave, NoTool, 1, GLView::ModeView, Kept, -2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.action));
        view.resetState(false);
        oneRecord();
        view.activeToolProperties = pbr();
        assembly(row.action);
        if (row.pick != Nothing) pickObject();
        if (row.pick == NoTool) view.pickBrush.pickedTool = nullptr;
        view.targetBrush.kind = 5;
        click({});
        EXPECT_EQ(view.interactionState, row.state);
        EXPECT_EQ(view.actionMode, row.mode);
        EXPECT_EQ(view.targetBrush.kind, row.target == Kept ? 5 : 0);
        EXPECT_EQ(view.targetBrush.objectId, row.target == Anchored ? id : 0);
        if (row.record == -3) {
            EXPECT_TRUE(view.undoHistory.empty());
        } else {
            ASSERT_EQ(view.undoHistory.size(), row.record == -2 ? 1u : 2u);
            if (row.record != -2) {
                EXPECT_EQ(view.undoHistory.back()->kind, row.record);
            }
        }
        const bool picked = row.action == GLView::ActionPickMaterial;
        EXPECT_EQ(view.activeToolProperties.colour, picked ? wvec4(1, 2, 3, 4) : pbr().colour);
        EXPECT_TRUE(asker.asked.isEmpty());
    }
}

TEST_F(Press, CopyingMovePushesOnlyTheCopyRecord) {
    assembly(GLView::ActionMove);
    pickObject();
    click({Keyboard::KeyControl});
    ASSERT_EQ(view.undoHistory.size(), 1u);
    EXPECT_EQ(view.undoHistory[0]->kind, Act::KindCopyTransform);
    EXPECT_EQ(view.copySource, object);
    ASSERT_NE(view.pickBrush.pickedTool, nullptr);
    EXPECT_NE(view.pickBrush.pickedTool, object);
    EXPECT_EQ(view.pickBrush.pickedTool->parent, object);  // hung under the picked object
    EXPECT_EQ(view.pickBrush.pickedWorld, object->matrix());
    EXPECT_EQ(view.copyFrame, object->matrix());
    view.resetState(false);
    view.UNDO();
    EXPECT_EQ(objects(), 1u);
    EXPECT_TRUE(object->children.empty());
}

TEST_F(Press, DrawingPoints) {
    assembly(GLView::ActionDraw);
    const auto kinds = [&] {
        std::vector<int> k;
        for (const AStroke& s : view.assemblor.strokes)
            for (const ABrush& b : s.stamps) k.push_back(b.kind);
        return k;
    };
    click({Keyboard::KeyControl});
    EXPECT_EQ(kinds(), std::vector<int>{3});
    EXPECT_EQ(view.cornerPending, 1);
    EXPECT_EQ(view.interactionState, 1);
    EXPECT_EQ(view.assemblor.state, Gesture::Started);
    click({Keyboard::KeyShift});
    click({});
    click({Keyboard::KeyAlt});
    EXPECT_EQ(kinds(), (std::vector<int>{3, 1, 0, 2}));
    EXPECT_EQ(view.assemblor.state, Gesture::Moving);
    EXPECT_EQ(view.interactionState, 1);

    view.resetState(false);
    click({Keyboard::KeyAlt});
    EXPECT_EQ(kinds(), std::vector<int>{2});
    view.resetState(false);
    click({});
    EXPECT_EQ(kinds(), std::vector<int>{1});
    EXPECT_EQ(view.cornerPending, 0);

    // A drawn axis: single stamps with Space, then stroke points.
    view.resetState(false);
    view.toolCreation = GLView::CreateRevoluton;
    click({Keyboard::KeySpace});
    click({});
    click({});
    EXPECT_EQ(view.assemblor.stamps.size(), 3u);
    EXPECT_TRUE(view.assemblor.strokes.empty());
    EXPECT_EQ(view.interactionState, 3);
    click({});
    EXPECT_EQ(view.assemblor.stamps.size(), 3u);
    EXPECT_EQ(kinds(), std::vector<int>{0});
    EXPECT_EQ(view.assemblor.state, Gesture::Started);

    // Without a tool under creation the press is a view drag.
    view.resetState(false);
    view.toolCreation = GLView::CreateUseTool;
    view.activeTool = nullptr;
    click({});
    EXPECT_EQ(view.actionMode, GLView::ModeView);
    EXPECT_TRUE(view.assemblor.stamps.empty() && view.assemblor.strokes.empty());
}

TEST_F(Press, QuickSaveNames) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir("my.dir"));
    assembly(GLView::ActionQuickSave);
    const auto save = [&](const QString& name) {
        pickObject();
        asker.answer = name.isEmpty() ? name : dir.path() + "/" + name;
        click({});
        EXPECT_TRUE(view.idle());
        EXPECT_FALSE(view.pickBrush.placed());
    };
    save("part");
    EXPECT_TRUE(QFile::exists(dir.path() + "/part.tlo"));
    QFile::remove(dir.path() + "/part.tlo");
    save("part.PNG");
    EXPECT_TRUE(QFile::exists(dir.path() + "/part.tlo"));
    save("part.OBJ");
    QFile obj(dir.path() + "/part.OBJ");
    ASSERT_TRUE(obj.open(QIODevice::ReadOnly));
    EXPECT_TRUE(obj.readAll().contains("\nv "));
    save("my.dir/part");
    EXPECT_TRUE(QFile::exists(dir.path() + "/my.dir/part.tlo"));
    EXPECT_FALSE(QFile::exists(dir.path() + "/my.tlo"));
    const int files = int(QDir(dir.path()).entryList(QDir::Files).size());
    save("");
    EXPECT_EQ(int(QDir(dir.path()).entryList(QDir::Files).size()), files);
    ASSERT_EQ(asker.asked.size(), 5);
    EXPECT_EQ(asker.asked[0], "Save Object|Scenes/Objects/|All (*.tlo *.obj);;Object (*.tlo);;Meshes (*.obj)");
}

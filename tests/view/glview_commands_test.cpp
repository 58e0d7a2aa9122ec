// The view's object commands: the wheel through the frame loop's input half,
// quick save with a scripted file dialog, picking a template, removing
// objects and erasing parts with a recording element, element conversions.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "core/mat.h"
#include "curves/curve.h"
#include "elements/clay.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "scene/element.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/asker.h"
#include "view/camera.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/keyboard.h"

using namespace qel;
using test::FrameDriver;

namespace {

// Keeps a copy of every Sculptor handed to it.
class RecordingElement : public Element {
public:
    RecordingElement() : Element(TType::Mesh) {}
    void sculpt(std::vector<Sculptor*>& sculptors) override {
        ++calls;
        for (const Sculptor* s : sculptors) log.push_back(*s);
    }
    int calls = 0;
    std::vector<Sculptor> log;
};

// Answers the file dialog from a script and records the questions.
struct ScriptedAsker : DecliningAsker {
    QStringList names;  // one answer per dialog; none cancels
    bool replace = false;
    QStringList asked;
    QString saveFileNameIn(QWidget*, const QString& title, const QString& folder, const QString& filter) override {
        asked << title + "|" + folder + "|" + filter;
        return names.isEmpty() ? QString() : names.takeFirst();
    }
    bool yes(QWidget*, const QString&, const QString& text) override { return asked << text, replace; }
};

class ViewCommands : public ::testing::Test {
protected:
    ViewCommands() : drive(view) { view.asker = &asker; }

    // A placed top-level object, listed.
    Tool* place(Element* e) {
        auto* t = new Tool(e, mat4::Translation(1, 2, 3), pbr(), false);
        t->flags |= Tool::FlagObject;
        view.scene->objectsRoot->addChild(t, false);
        view.scene->toList();
        return t;
    }
    RecordingElement* recorder(Tool* t) { return static_cast<RecordingElement*>(t->element); }

    GLView view{800, 600};
    FrameDriver drive;
    ScriptedAsker asker;
};

TEST_F(ViewCommands, WheelZoomsScalesTheBrushOrResetsByModifiersEvenOutside) {
    struct Case {
        std::initializer_list<int> held;
        bool outside;
        float brush, zoom;  // expected brush size and zoom factor
    };
    const Case cases[] = {
        {{}, false, 100.0f, 0.88f * 2.0f},
        {{Keyboard::KeyShift}, false, 100.0f, 0.988f * 2.0f},
        {{Keyboard::KeyControl}, false, 88.0f, 2.0f},
        {{Keyboard::KeyControl, Keyboard::KeyShift}, false, 100.0f, 1.0f},
        {{}, true, 100.0f, 0.88f * 2.0f},
    };
    for (const Case& c : cases) {
        view.brushSize = 100.0f;
        view.camera->scale = 2.0f;
        view.camera->position = vec3(5, 6, 0);
        if (c.outside) view.leaveEvent();
        drive.hold(c.held);
        drive.frame();
        view.redraw = 0;
        drive.wheel(120.0f);
        drive.frame();
        EXPECT_EQ(view.redraw, 1);
        EXPECT_FLOAT_EQ(view.brushSize, c.brush);
        EXPECT_NEAR(view.camera->scale, c.zoom, 1e-5f);
        EXPECT_EQ(view.camera->position.x == 0.0f, c.zoom == 1.0f);  // the pan goes with a reset
        drive.hold({});
        drive.frame();
        view.enterEvent();
    }
}

TEST_F(ViewCommands, QuickSaveWritesTheContextObjectUnderTheMendedName) {
    view.quickSave();  // no context object: nothing is asked
    EXPECT_TRUE(asker.asked.isEmpty());

    QTemporaryDir dir;
    const QString base = dir.path() + "/part";
    view.pickBrush.pickedTool = place(Mesh::Cube());
    view.interactionState = 2;
    asker.names = QStringList{base, base + ".OBJ"};
    view.quickSave();
    EXPECT_TRUE(QFile::exists(base + ".tlo"));
    EXPECT_TRUE(view.idle());
    EXPECT_EQ(view.pickBrush.pickedTool, nullptr);

    view.pickBrush.pickedTool = view.scene->objects.tools[0];
    view.quickSave();
    QFile obj(base + ".OBJ");
    ASSERT_TRUE(obj.open(QIODevice::ReadOnly));
    EXPECT_TRUE(obj.readAll().contains("\nv "));

    // A mended name that is taken is replaced only on Yes; a cancelled
    // dialog writes nothing but still resets the gesture.
    view.pickBrush.pickedTool = view.scene->objects.tools[0];
    QFile::resize(base + ".tlo", 0);
    asker.names = QStringList{base + ".png"};
    view.quickSave();
    EXPECT_EQ(QFileInfo(base + ".tlo").size(), 0);
    view.pickBrush.pickedTool = view.scene->objects.tools[0];
    view.interactionState = 1;
    view.quickSave();
    EXPECT_TRUE(view.idle());
}

TEST_F(ViewCommands, PickMakesACopyTheCurrentTemplateForObjectAndElementOnly) {
    Tool* object = place(Mesh::Cube());
    object->addChild(new Tool(Mesh::Cube(), mat4(), pbr(), false), false);
    auto* empty = new Tool(nullptr, mat4(), pbr(), false);
    view.scene->objectsRoot->addChild(empty, false);
    const std::size_t templates = view.scene->toolsRoot->children.size();

    EXPECT_FALSE(view.pick(nullptr, 0));
    for (unsigned char scope : {2, 3, 4}) EXPECT_FALSE(view.pick(object, scope));
    EXPECT_TRUE(view.pick(empty, 1));
    EXPECT_EQ(view.scene->toolsRoot->children.size(), templates);

    ASSERT_TRUE(view.pick(object, 0));
    EXPECT_EQ(view.scene->currentTool->children.size(), 1u);
    EXPECT_EQ(view.activeTool, view.scene->currentTool);
    ASSERT_TRUE(view.pick(object, 1));
    EXPECT_EQ(view.scene->currentTool->children.size(), 0u);
    EXPECT_EQ(view.scene->toolsRoot->children.size(), templates + 2);
}

TEST_F(ViewCommands, EraseObjectRemovesTheToolPassedThroughAnUndoRecord) {
    Tool* first = place(Mesh::Cube());
    Tool* second = place(Mesh::Cube());
    view.pickBrush.pickedTool = first;  // the context object is not the one removed
    view.pickBrush.objectId = view.scene->findID(first);
    EXPECT_FALSE(view.eraseObject(nullptr));
    EXPECT_FALSE(view.eraseObject(view.scene->currentTool));  // a template, not a placed object
    ASSERT_TRUE(view.eraseObject(second));
    view.scene->toList();
    ASSERT_EQ(view.scene->objects.tools.size(), 1u);
    EXPECT_EQ(view.scene->objects.tools[0], first);
    EXPECT_EQ(view.pickBrush.pickedTool, nullptr);
    view.UNDO();
    view.scene->toList();
    EXPECT_EQ(view.scene->objects.tools.size(), 2u);
}

TEST_F(ViewCommands, ErasePartsBuildsOneTwoSampleStrokePerStampByScope) {
    Tool* object = place(new RecordingElement);
    EXPECT_FALSE(view.eraseParts(object, 3, 0));  // no stamp
    EXPECT_EQ(recorder(object)->calls, 0);

    ABrush a, b;
    a.x = 10;
    a.handedness = 1;
    a.viewDirection = vec3(0, 0, 1);
    b.x = 20;
    b.handedness = -1;
    b.viewDirection = vec3(0, 1, 0);
    view.stamps = {a, b};
    struct Case {
        unsigned char scope, curve;
        Sculptor::TAction action;
        Sculptor::TSelect select;
    };
    const Case cases[] = {
        {2, 0, Sculptor::EraseComponent, Sculptor::SelectComponent},
        {3, 1, Sculptor::ErasePatch, Sculptor::SelectPatch},
        {4, 0, Sculptor::EraseFeature, Sculptor::SelectComponent},
        {5, 2, Sculptor::EraseComponent, Sculptor::SelectComponent},
    };
    for (const Case& c : cases) {
        RecordingElement& r = *recorder(object);
        r.log.clear();
        ASSERT_TRUE(view.eraseParts(object, c.scope, c.curve));
        ASSERT_EQ(r.log.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            const Sculptor& s = r.log[i];
            const ABrush& stamp = view.stamps[i];
            EXPECT_TRUE(s.action == c.action && s.select == c.select && s.state == Gesture::Ended);
            EXPECT_TRUE(s.onSection == (c.curve ? 1 : 0) && s.handedness == stamp.handedness && s.paintMask == 13);
            EXPECT_EQ(s.viewDirection.y, stamp.viewDirection.y);
            ASSERT_EQ(s.samples.size(), 2u);
            EXPECT_TRUE(s.samples[0].screen.x == float(stamp.x) && s.samples[1].screen.x == float(stamp.x));
        }
    }
    EXPECT_TRUE(view.undoHistory.empty());
}

TEST_F(ViewCommands, ConversionsNeedAContextObjectAndResetTheGesture) {
    EXPECT_FALSE(view.makeTriMesh());
    EXPECT_FALSE(view.makeClay());
    EXPECT_FALSE(view.makeUniqueElement());
    Tool* object = place(Mesh::Cube());
    Tool* copy = object->cloneObject(mat4(), true, false);
    view.scene->objectsRoot->addChild(copy, false);
    const Element* shared = object->element;
    ASSERT_EQ(copy->element, shared);

    view.pickBrush.pickedTool = object;
    view.interactionState = 1;
    EXPECT_TRUE(view.makeUniqueElement());
    EXPECT_NE(object->element, copy->element);
    EXPECT_TRUE(view.idle());
}

TEST_F(ViewCommands, MakeTriMeshConvertsATubeForEveryObjectShowingIt) {
    Tool* object = place(new Tube(Curve::Circle(12, false), Curve::Circle(6, false)));
    Tool* copy = object->cloneObject(mat4(), true, false);
    view.scene->objectsRoot->addChild(copy, false);
    Tool* other = place(new Tube(Curve::Circle(12, false), Curve::Circle(6, false)));
    view.scene->toList();
    view.pickBrush.pickedTool = object;
    view.redraw = 0;
    ASSERT_TRUE(view.makeTriMesh());
    EXPECT_EQ(view.redraw, 1);
    ASSERT_TRUE(object->element->isType(Element::TType::Mesh));
    EXPECT_EQ(copy->element, object->element);
    EXPECT_EQ(object->element->refCount, 2);
    const Mesh& mesh = *static_cast<Mesh*>(object->element);
    EXPECT_EQ(mesh.faceCount(), 2 * 12 * 6);
    EXPECT_EQ(meshtest::checkMeshInvariants(mesh), "");
    EXPECT_TRUE(other->element->isType(Element::TType::Tube));
}

TEST_F(ViewCommands, MakeClayConvertsTheMeshForEveryObjectShowingIt) {
    Tool* object = place(Mesh::Cube());
    Tool* copy = object->cloneObject(mat4(), true, false);
    view.scene->objectsRoot->addChild(copy, false);
    Tool* other = place(Mesh::Cube());
    view.scene->toList();
    view.pickBrush.pickedTool = object;
    view.interactionState = 1;
    view.redraw = 0;
    ASSERT_TRUE(view.makeClay());
    EXPECT_TRUE(view.idle());
    EXPECT_EQ(view.redraw, 1);
    ASSERT_TRUE(object->element->isType(Element::TType::Clay));
    EXPECT_EQ(copy->element, object->element);
    EXPECT_EQ(object->element->refCount, 2);
    EXPECT_EQ(static_cast<Clay*>(object->element)->mesh->faces.size(), 12u);
    EXPECT_TRUE(other->element->isType(Element::TType::Mesh));
    // Clay is not converted again.
    view.pickBrush.pickedTool = object;
    view.redraw = 0;
    EXPECT_TRUE(view.makeClay());
    EXPECT_EQ(view.redraw, 0);
}

}  // namespace

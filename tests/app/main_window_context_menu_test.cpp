// The object context menu on the offscreen main window: which menu pops up
// and how it is titled for the picked object, and the entry commands on the
// object picked when they run. Each menu is looked at after openMenu()
// returns and then closed; information boxes are scripted.

#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "app/main_window.h"
#include "app/main_window_form.h"
#include "curves/curve.h"
#include "elements/clay.h"
#include "elements/revoluton.h"
#include "elements/sprite.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/element.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tools/array.h"
#include "view/asker.h"
#include "view/glview.h"

namespace {

using qel::Element;
using qel::Tool;

// Records the information boxes as "title|text".
struct Script : qel::DecliningAsker {
    QStringList boxes;
    void inform(QWidget*, const QString& title, const QString& text) override { boxes << title + "|" + text; }
};

// An open chain of n points along x.
qel::Curve* chain(int n) {
    std::vector<qel::vec3> points;
    for (int i = 0; i < n; ++i) points.emplace_back(float(i), 0, 0);
    return new qel::Curve(points, false);
}

// An element that only carries a type code.
struct TypedElement : Element {
    explicit TypedElement(TType t) : Element(t) {}
};

class ContextMenuTest : public ::testing::Test {
protected:
    ContextMenuTest() { window.asker = &script; }
    ~ContextMenuTest() override { view()->pickBrush.pickedTool = nullptr; }
    qel::GLView* view() { return window.view(); }
    Ui_MainWindow& ui() { return *window.ui; }

    // A placed top-level object on the element, picked by the view.
    Tool* pickPlaced(Element* e) {
        Tool source(e, qel::mat4::Identity(), qel::pbr(), false);
        Tool* object = view()->scene->addObject(&source, qel::mat4::Identity(), qel::Scene::HangTop, false);
        view()->scene->toList();
        view()->pickBrush.pickedTool = object;
        return object;
    }
    // The menu that openMenu() pops up, closed again; null when none.
    QMenu* openedMenu() {
        window.openMenu();
        QMenu* shown = nullptr;
        for (QMenu* m : {ui().menuRender, ui().menuObject, ui().menuObject_Axis_Section})
            if (m->isVisible()) {
                EXPECT_EQ(shown, nullptr);
                shown = m;
                m->close();
            }
        return shown;
    }
    std::size_t objectCount() { return view()->scene->objects.tools.size(); }
    QString notice() {
        const QLabel* label = ui().statusBar->findChild<QLabel*>();
        return label ? label->text() : QString();
    }

    Script script;
    MainWindow window;
};

TEST_F(ContextMenuTest, TheViewsRequestWithoutAPickOpensTheRenderMenu) {
    emit view()->openMenu();
    EXPECT_TRUE(ui().menuRender->isVisible());
    ui().menuRender->close();
}

TEST_F(ContextMenuTest, AMeshGivesTheTriMeshMenuWhoseHiddenEntriesComeBackForTheNextObject) {
    pickPlaced(qel::Mesh::Cube());
    EXPECT_EQ(openedMenu(), ui().menuObject);
    EXPECT_EQ(ui().actionType->text(), "TRI-MESH");
    EXPECT_EQ(ui().actionType->icon().cacheKey(), ui().actionConvert_To_Tri_Mesh->icon().cacheKey());
    EXPECT_FALSE(ui().actionUniform->isVisible());
    EXPECT_FALSE(ui().actionAs_Tri_Mesh->isVisible());
    EXPECT_TRUE(ui().actionAs_Clay->isVisible());

    Tool bare(nullptr, qel::mat4::Identity(), qel::pbr(), false);
    view()->pickBrush.pickedTool = &bare;
    EXPECT_EQ(openedMenu(), nullptr);
    EXPECT_TRUE(ui().actionUniform->isVisible());
    EXPECT_TRUE(ui().actionAs_Tri_Mesh->isVisible());

    bare.kind = Tool::KindBiTool;
    EXPECT_EQ(openedMenu(), ui().menuObject);
    EXPECT_EQ(ui().actionType->text(), "BINARY");
}

TEST_F(ContextMenuTest, ClayGetsTheClayMenuItsMeshsCountsAndConvertsBackToAMesh) {
    std::unique_ptr<qel::Mesh> ico(qel::Mesh::Icosahedron());
    Tool* object = pickPlaced(new qel::Clay(ico.get()));
    EXPECT_EQ(openedMenu(), ui().menuObject);
    EXPECT_EQ(ui().actionType->text(), "CLAY");
    EXPECT_EQ(ui().actionType->icon().cacheKey(), ui().actionConvert_To_Clay->icon().cacheKey());
    EXPECT_FALSE(ui().actionUniform->isVisible());
    EXPECT_FALSE(ui().actionAs_Clay->isVisible());
    EXPECT_TRUE(ui().actionAs_Tri_Mesh->isVisible());
    ui().actionType->trigger();
    EXPECT_EQ(script.boxes, QStringList({"CLAY|12 Vertices ,  20 Faces"}));

    // The conversions take the pick again each time (a command resets it).
    ui().actionAs_Tri_Mesh->trigger();
    EXPECT_TRUE(object->element->isType(Element::TType::Mesh));
    for (QAction* a : {ui().actionAs_Clay, ui().actionConvert_To_Clay}) {
        view()->pickBrush.pickedTool = object;
        a->trigger();
        EXPECT_TRUE(object->element->isType(Element::TType::Clay));
        view()->pickBrush.pickedTool = object;
        ui().actionConvert_To_Tri_Mesh->trigger();
    }
}

TEST_F(ContextMenuTest, ElementsWithoutAMenuOpenNone) {
    for (Element::TType type : {Element::TType::Curve, Element::TType::Sprite, Element::TType::AnimatedSprite}) {
        pickPlaced(new TypedElement(type));
        EXPECT_EQ(openedMenu(), nullptr) << int(type);
    }
}

TEST_F(ContextMenuTest, TheTypeBoxCountsTheMeshsListsWithItsExactSpaces) {
    ui().actionType->trigger();  // nothing picked: no box
    pickPlaced(qel::Mesh::Icosahedron());
    ui().actionType->trigger();
    EXPECT_EQ(script.boxes, QStringList({"TRI-MESH|12 Vertices ,  20 Faces"}));
}

// Every kind of object has a box with a title and its make-up: the copies
// and items of an array, the element of a two-ended tool (a tube: its
// surface, axis and section), the image of a sprite.
TEST_F(ContextMenuTest, TheTitleBoxTellsEveryKindOfObject) {
    QTemporaryDir dir;
    const QString png = dir.filePath("leaf.png");
    ASSERT_TRUE(QImage(4, 2, QImage::Format_ARGB32).save(png));
    pickPlaced(new qel::Sprite(png.toStdString(), false));
    ui().actionType->trigger();
    pickPlaced(new qel::Sprite());
    ui().actionType->trigger();

    Tool item(qel::Mesh::Cube(), qel::mat4::Identity(), qel::pbr(), false);
    auto* array = new qel::Array(chain(4), {&item, nullptr}, {32769}, qel::Array::Chain, qel::mat4::Identity(),
                                 qel::mat4::Identity(), qel::pbr(), false);
    view()->scene->objectsRoot->addChild(array, false);
    view()->scene->toList();
    view()->pickBrush.pickedTool = array;
    ui().actionType->trigger();

    Tool* end = pickPlaced(new qel::Tube(chain(10), qel::Curve::Circle(24, false)));
    end->kind = Tool::KindBiTool;
    ui().actionType->trigger();
    end->kind = Tool::KindTool;
    EXPECT_EQ(script.boxes,
              QStringList({"SPRITE|" + png + "\n4 x 2 Pixels", "SPRITE|No image", "CHAIN|3 Copies ,  1 Items",
                           "BINARY|TUBE\n240 Vertices ,  216 Faces\nAxis: 10 Vertices ,  9 "
                           "Edges\nSection: 24 Vertices ,  24 Edges"}));
}

TEST_F(ContextMenuTest, CommandsDoNothingWithoutAPickedObjectOrItsElement) {
    Tool bare(nullptr, qel::mat4::Identity(), qel::pbr(), false);
    const std::size_t templates = view()->scene->toolsRoot->children.size();
    for (Tool* picked : {static_cast<Tool*>(nullptr), &bare}) {
        view()->pickBrush.pickedTool = picked;
        for (QAction* a : {ui().actionType, ui().actionSimple_Delete, ui().actionSculpt_Unique, ui().actionAs_Tri_Mesh,
                           ui().actionSubdivide, ui().actionPick_Component})
            a->trigger();
        EXPECT_TRUE(script.boxes.isEmpty());
        EXPECT_EQ(view()->pickBrush.pickedTool, picked);
    }
    EXPECT_EQ(view()->scene->toolsRoot->children.size(), templates);
}

TEST_F(ContextMenuTest, PickingPartsLeavesTheSceneAndDeleteIsUndoable) {
    const Tool* object = pickPlaced(qel::Mesh::Cube());
    const Element* element = object->element;
    const std::size_t templates = view()->scene->toolsRoot->children.size();
    const auto creation = view()->toolCreation;
    for (QAction* a : {ui().actionPick_Component, ui().actionPick_Patch, ui().actionPick_Feature}) {
        a->trigger();
        EXPECT_EQ(view()->scene->toolsRoot->children.size(), templates);
        EXPECT_EQ(view()->toolCreation, creation);
        EXPECT_EQ(objectCount(), 1u);
        EXPECT_TRUE(view()->undoHistory.empty());
    }
    ui().actionPick_Object->trigger();
    EXPECT_EQ(view()->scene->toolsRoot->children.size(), templates + 1);

    ui().actionSimple_Delete->trigger();
    EXPECT_EQ(objectCount(), 0u);
    EXPECT_EQ(view()->pickBrush.pickedTool, nullptr);
    window.on_actionUndo_triggered();
    ASSERT_EQ(objectCount(), 1u);
    EXPECT_EQ(view()->scene->objects.tools[0]->element, element);
}

TEST_F(ContextMenuTest, SubdivideRefinesThePickedMeshAndAsksForAFrame) {
    Tool* object = pickPlaced(qel::Mesh::Cube());
    const auto* mesh = static_cast<const qel::Mesh*>(object->element);
    const auto faces = mesh->faces.size();
    view()->redraw = 0;
    ui().actionSubdivide->trigger();
    EXPECT_GT(mesh->faces.size(), faces);
    EXPECT_EQ(object->element->updateStamp, Element::GlobalUpdate);
    EXPECT_EQ(view()->redraw, 1);
}

}  // namespace

TEST_F(ContextMenuTest, TubesAndRevolutonsGetTheAxisSectionMenuAndTheirBoxes) {
    auto* tube = new qel::Tube(chain(10), qel::Curve::Circle(24, false));
    pickPlaced(tube);
    EXPECT_EQ(openedMenu(), ui().menuObject_Axis_Section);
    EXPECT_EQ(ui().actionTYPE->text(), "TUBE");
    ui().actionTYPE->trigger();
    ui().actionSECTION->trigger();
    tube->path->curveType = qel::Curve::UniformCurve;
    ui().actionAXIS->trigger();
    pickPlaced(new qel::Revoluton(chain(3), qel::Curve::Circle(8, false)));
    EXPECT_EQ(openedMenu(), ui().menuObject_Axis_Section);
    EXPECT_EQ(ui().actionTYPE->text(), "REVOLUTON");
    ui().actionTYPE->trigger();
    EXPECT_EQ(script.boxes,
              QStringList({"TUBE|240 Vertices ,  216 Faces", "SECTION|24 Vertices ,  24 Edges",
                           "AXIS|Uniform ,  10 Vertices ,  9 Edges", "REVOLUTON|24 Vertices ,  16 Faces"}));
}

TEST_F(ContextMenuTest, SubdivideActsOnTheChosenCurveAndTouchesTheTube) {
    auto* tube = new qel::Tube(chain(3), qel::Curve::Circle(4, false));
    pickPlaced(tube);
    view()->axisSection = 1;
    view()->redraw = 0;
    tube->updateStamp = 0;
    ui().actionSubdivide->trigger();
    EXPECT_EQ(tube->path->edges.size(), 2u);
    EXPECT_EQ(tube->profile->edges.size(), 8u);
    EXPECT_EQ(tube->updateStamp, Element::GlobalUpdate);
    EXPECT_EQ(view()->redraw, 1);
    view()->redraw = 0;
    tube->updateStamp = 0;
    ui().actionAxis_Subdivide->trigger();
    EXPECT_EQ(tube->path->edges.size(), 4u);
    EXPECT_EQ(tube->updateStamp, Element::GlobalUpdate);
    EXPECT_EQ(view()->redraw, 1);
    ui().actionSection_Subdivide->trigger();
    EXPECT_EQ(tube->profile->edges.size(), 16u);
}

TEST_F(ContextMenuTest, SweptBoxesCountAMissingCurveAsEmpty) {
    pickPlaced(new qel::Tube(chain(4), nullptr));
    ui().actionTYPE->trigger();
    ui().actionSECTION->trigger();
    ui().actionSection_Subdivide->trigger();  // nothing to subdivide
    EXPECT_EQ(script.boxes, QStringList({"TUBE|0 Vertices ,  0 Faces", "SECTION|0 Vertices ,  0 Edges"}));
}

// The title entry shows the icon of the object it is opened on, never the
// one the previous menu left.
TEST_F(ContextMenuTest, TheTitleEntryTakesTheIconOfEachObjectItIsOpenedOn) {
    auto* array = new qel::Array(chain(2), {}, {32769}, qel::Array::Simple, qel::mat4::Identity(),
                                 qel::mat4::Identity(), qel::pbr(), false);
    view()->scene->objectsRoot->addChild(array, false);
    Tool* mesh = pickPlaced(qel::Mesh::Cube());
    Tool end(nullptr, qel::mat4::Identity(), qel::pbr(), false);
    end.kind = Tool::KindBiTool;
    const struct {
        Tool* object;
        qel::Array::TArrayType type;
        QIcon icon;
    } shown[] = {
        {mesh, qel::Array::Simple, ui().actionConvert_To_Tri_Mesh->icon()},
        {array, qel::Array::Simple, ui().actionArray->icon()},
        {array, qel::Array::Chain, ui().actionChain->icon()},
        {&end, qel::Array::Simple, ui().menuBinary->icon()},
        {mesh, qel::Array::Simple, ui().actionConvert_To_Tri_Mesh->icon()},
    };
    for (const auto& s : shown) {
        array->type = s.type;
        view()->pickBrush.pickedTool = s.object;
        EXPECT_EQ(openedMenu(), ui().menuObject);
        EXPECT_EQ(ui().actionType->icon().cacheKey(), s.icon.cacheKey()) << ui().actionType->text().toStdString();
    }
}

// The entries that leave the object as it is say why in the status bar:
// the picks of parts and Uniform (made in the view under a click), and
// Subdivide and Unique on an array, which has no surface and here shares no
// element; a shared element made unique is told too.
TEST_F(ContextMenuTest, EntriesThatChangeNothingSayWhyInTheStatusBar) {
    pickPlaced(qel::Mesh::Cube());
    const std::size_t templates = view()->scene->toolsRoot->children.size();
    ui().actionPick_Component->trigger();
    EXPECT_EQ(notice(),
              "Pick Component: the menu cannot pick a part of an object. In Insert or Place, hold 5 and click the "
              "component to make a tool of it.");
    ui().actionPick_Patch->trigger();
    EXPECT_EQ(notice(),
              "Pick Patch: the menu cannot pick a part of an object. In Insert or Place, hold 6 and click the patch to "
              "make a tool of it.");
    ui().actionPick_Feature->trigger();
    EXPECT_EQ(notice(), "Pick Feature: a feature cannot be made a tool. Pick the object or its element instead.");
    ui().actionUniform->trigger();
    EXPECT_EQ(
        notice(),
        "Convert to Uniform: the menu makes nothing uniform. In Draw, hold 6 and click a curve, tube or revoluton "
        "to make its axis uniform.");
    EXPECT_EQ(view()->scene->toolsRoot->children.size(), templates);

    auto* array = new qel::Array(chain(3), {}, {32769}, qel::Array::Simple, qel::mat4::Identity(),
                                 qel::mat4::Identity(), qel::pbr(), false);
    view()->scene->objectsRoot->addChild(array, false);
    view()->pickBrush.pickedTool = array;
    ui().actionSubdivide->trigger();
    EXPECT_EQ(notice(),
              "Subdivide: an array has no surface of its own to subdivide; its copies show its items as they are.");
    EXPECT_EQ(array->curve->edges.size(), 2u);
    ui().actionSculpt_Unique->trigger();
    EXPECT_EQ(notice(), "Unique: nothing to do. The object's element is its own already, shared with no other object.");
    // Shared, the element is copied: nothing is seen, the status bar says so.
    Element* shared = array->element;
    shared->copy(1);
    view()->pickBrush.pickedTool = array;
    ui().actionSculpt_Unique->trigger();
    EXPECT_EQ(notice(), "Unique: the object now has its own copy of its element; edits to it change no other object.");
    EXPECT_NE(array->element, shared);
    Element::drop(shared, 1);
}

TEST_F(ContextMenuTest, ArraysAndChainsGetTheObjectMenuWithoutConvertUntilTheNextObject) {
    auto* array = new qel::Array(new qel::Curve({qel::vec3(0, 0, 0), qel::vec3(1, 0, 0)}, false), {}, {32769},
                                 qel::Array::Simple, qel::mat4::Identity(), qel::mat4::Identity(), qel::pbr(), false);
    view()->scene->objectsRoot->addChild(array, false);
    for (qel::Array::TArrayType type : {qel::Array::Simple, qel::Array::Chain, qel::Array::Zipper}) {
        array->type = type;
        view()->pickBrush.pickedTool = array;
        EXPECT_EQ(openedMenu(), ui().menuObject);
        EXPECT_EQ(ui().actionType->text(), type == qel::Array::Chain ? "CHAIN" : "ARRAY");
        EXPECT_FALSE(ui().menuConvert->menuAction()->isVisible());
    }
    pickPlaced(qel::Mesh::Cube());
    EXPECT_EQ(openedMenu(), ui().menuObject);
    EXPECT_TRUE(ui().menuConvert->menuAction()->isVisible());
}

// Two-ended tools in the view, on a scene of two cubes driven frame by frame
// through an in-memory ID buffer: the Guide, Hydraulics, Muscle, Lightning
// and Cable under creation, placing a pair from one object to the other
// (a cable taking its shape when drawn) and undoing it,
// removing and picking ends, and dragging an end in its own frame.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/mat.h"
#include "curves/curve.h"
#include "elements/lightning.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "tools/bi_tool.h"
#include "tools/cable.h"
#include "view/act.h"
#include "view/act_remove.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"

using namespace qel;

namespace {

constexpr int Y = 300, XA = 300, XB = 500, YB = 420;

bool near(const vec3& a, const vec3& b, float eps = 1e-4f) { return length(a - b) <= eps; }
vec3 column(const mat4& m, int c) { return vec3(m.at(0, c), m.at(1, c), m.at(2, c)); }
BiTool* end(Tool* t) { return t && t->isBiTool() ? static_cast<BiTool*>(t) : nullptr; }

class TwoEnded : public ::testing::Test {
protected:
    TwoEnded() : drive(view) {
        view.buildMatrices();
        view.setActionMode(GLView::ModeAssembly);
        Tool cube(Mesh::Cube(), mat4::Identity(), pbr(), false);
        a = view.scene->addObject(&cube, mat4::Translation(-2, 0, 0) * mat4::Scale(2.0f), Scene::HangTop, false);
        b = view.scene->addObject(&cube, mat4::Translation(3, 1, 0), Scene::HangTop, false);
        view.scene->toList();
    }
    int id(Tool* t) { return view.scene->findID(t); }
    // The ID buffer shows t at pixel x of its row, facing the viewer.
    // b's pixel lies lower than a's: the line between the ends is not the
    // pixel vector's direction, so an end's list frame is turned.
    static int yOf(int x) { return x == XB ? YB : Y; }
    void show(Tool* t, int x) {
        fakeid::Pixel& p = drive.reader->pixels[{x, yOf(x)}];
        p.stencil = 1;
        p.depth = 0.5f;
        p.ids[0] = {std::uint32_t(id(t)), 0, 0};
        p.normal[0] = vec3(0, 0, 1);
    }
    void at(int x) {
        drive.move(vec2(float(x), float(yOf(x))));
        drive.frame();
    }
    // A Place stroke from pixel x0 to x1; the press and release stamps are
    // kept in pressed and released.
    void placeStroke(int x0, int x1) {
        view.scene->toList();
        show(a, XA);
        show(b, XB);
        view.setAssemblyAction(GLView::ActionPlace);
        at(x0);
        drive.left(true);
        drive.frame();
        pressed = view.pickBrush;
        at(x1);
        released = view.targetBrush;
        // No picking after the release: the stamps as the release left them.
        drive.picking = false;
        drive.left(false);
        drive.frame();
        drive.picking = true;
    }
    // The ends placed under a and b.
    BiTool* endA() { return a->children.empty() ? nullptr : end(a->children.back()); }
    BiTool* endB() { return b->children.empty() ? nullptr : end(b->children.back()); }
    bool linkedPair() { return endA() && endB() && endA()->partner == endB() && endB()->partner == endA(); }

    GLView view{800, 600};
    test::FrameDriver drive;
    Tool *a, *b;
    ABrush pressed, released;
};

}  // namespace

TEST_F(TwoEnded, CreationBuildsTheEndAndAPlainPartner) {
    const std::size_t alive = BiTool::Alive;
    view.activeToolProperties.colour.r = 1234;
    using B = BiTool;
    for (auto [value, type] : {std::pair{GLView::CreateGuide, B::BiPlain},
                               {GLView::CreateHydraulics, B::BiThin},
                               {GLView::CreateMuscle, B::BiVolume}}) {
        view.setActiveTool(value, true);
        BiTool *e = end(view.activeTool), *p = end(view.activeToolAux);
        ASSERT_TRUE(e && p && e->type == type && e->material.colour.r == 1234) << value;
        EXPECT_TRUE(p->type == B::BiPlain && !p->element && !p->partner && !e->partner && B::Alive == alive + 2);
        const Element* m = e->element;
        EXPECT_EQ(m != nullptr, value != GLView::CreateGuide);
        // The cylinder fitted to z 0 .. 1, the sphere shifted by half its size.
        const bool thin = value == GLView::CreateHydraulics;
        EXPECT_TRUE(!m || (m->centre == vec3(0, 0, thin ? -1.0f : -m->size() * 0.5f) && (!thin || m->size() == 2)));
    }
    view.setActiveTool(GLView::CreateCube, true);
    EXPECT_TRUE(BiTool::Alive == alive && !view.activeToolAux);

    // A Draw stroke leaves the Hydraulics' element and transform as built.
    view.setActiveTool(GLView::CreateHydraulics, true);
    const Element& e = *view.activeTool->element;
    const mat4 transform = view.activeTool->transform;
    ABrush s;
    view.assemblor = Assemblor(s, false);
    for (int i = 1; i < 4; ++i) {
        s.point = vec3(float(i), float(i * i), 0);
        view.assemblor.strokes.back().stamps.push_back(s);
    }
    view.updateDrawing();
    EXPECT_TRUE(e.centre == vec3(0, 0, -1) && e.size() == 2.0f && view.activeTool->transform == transform);
}

TEST_F(TwoEnded, LightningAndCableEndsAndTheCablesSectionShape) {
    const std::size_t alive = BiTool::Alive;
    view.setActiveTool(GLView::CreateLightning, false);
    BiTool *e = end(view.activeTool), *p = end(view.activeToolAux);
    const auto* bolt = e ? dynamic_cast<const Lightning*>(e->element) : nullptr;
    ASSERT_TRUE(bolt && p);
    EXPECT_TRUE(e->type == BiTool::BiUniform && e->material == pbr() && !e->partner);
    EXPECT_TRUE(p->type == BiTool::BiPlain && !p->element && !p->partner && BiTool::Alive == alive + 2);
    EXPECT_TRUE(bolt->amplitude == vec2(0.15f, 0.007f) && bolt->scale == vec2(0.005f, 0.00001f) && bolt->octaves == 6);

    // The cable's profile is the section shape; a new shape rebuilds it.
    view.setActiveTool(GLView::CreateCable, false);
    for (auto [shape, corners] : {std::pair{GLView::CurveSquare, 4}, {GLView::CurveTriangle, 3}}) {
        const Tool* before = view.activeTool;
        view.setSectionCreation(shape);
        auto* cable = dynamic_cast<Cable*>(view.activeTool);
        p = end(view.activeToolAux);
        ASSERT_TRUE(cable && cable != before && cable->cableTube() && p) << shape;
        EXPECT_TRUE(cable->type == BiTool::BiUniform && cable->material == pbr() && !cable->partner);
        EXPECT_TRUE(p->type == BiTool::BiPlain && !p->element && !p->partner && BiTool::Alive == alive + 2);
        EXPECT_EQ(cable->cableTube()->profile->vertexCount(), corners);
    }
    // A Draw stroke leaves the cable's tube as built.
    const Element* tube = view.activeTool->element;
    ABrush s;
    view.assemblor = Assemblor(s, false);
    for (int i = 1; i < 4; ++i) {
        s.point = vec3(float(i), float(i * i), 0);
        view.assemblor.strokes.back().stamps.push_back(s);
    }
    view.updateDrawing();
    EXPECT_TRUE(view.activeTool->element == tube && view.activeTool->transform == mat4::Identity());
}

TEST_F(TwoEnded, PlacedLightningAndCableAreLinkedPairsAndTheCableIsShapedWhenDrawn) {
    view.brushSize = 40.0f;
    view.setActiveTool(GLView::CreateLightning, true);
    placeStroke(XA, XB);
    ASSERT_TRUE(linkedPair());
    const Element* bolt = endA()->element;
    EXPECT_TRUE(dynamic_cast<const Lightning*>(bolt) && bolt != view.activeTool->element);

    view.setActiveTool(GLView::CreateCable, true);
    placeStroke(XA, XB);
    ASSERT_TRUE(linkedPair());
    auto* cable = dynamic_cast<Cable*>(endA());
    ASSERT_TRUE(cable && cable->cableTube() && cable->element != view.activeTool->element);
    // One listing and one drawing: the path runs from the origin to the
    // partner at (0, 0, 1) of the stretched frame, bent off the z axis by
    // the ends' turned directions.
    view.scene->toList();
    const mat4 drawn = cable->transformRender(view.scene->objects.matrices[std::size_t(id(cable) - 1)]);
    EXPECT_TRUE(drawn.isFinite() && cable->length > BiTool::MinLength);
    const Curve& path = *cable->cableTube()->path;
    ASSERT_EQ(path.vertexCount(), 51);
    EXPECT_TRUE(near(path.vertices.front().position, vec3(0, 0, 0)) &&
                near(path.vertices.back().position, vec3(0, 0, 1)));
    const vec3 mid = path.vertices[25].position;
    EXPECT_GT(mid.x * mid.x + mid.y * mid.y, 1e-6f);
}

TEST_F(TwoEnded, PlaceAddsALinkedPairThroughOneRecordAndRemovingAnEndTakesBoth) {
    view.setActiveTool(GLView::CreateGuide, true);
    view.brushSize = 40.0f;
    placeStroke(XA, XA);  // no drag: nothing
    EXPECT_TRUE(view.undoHistory.empty() && a->children.empty());

    placeStroke(XA, XB);
    ASSERT_TRUE(view.undoHistory.size() == 1 && view.undoHistory[0]->kind == Act::KindAddBiTool);
    ASSERT_TRUE(linkedPair());
    EXPECT_FALSE(view.pickBrush.placed() || view.targetBrush.placed());
    // Each end at its stamp's point, z along the pixel vector, brush-sized.
    for (auto [host, stamp] : {std::pair{a, &pressed}, {b, &released}}) {
        const mat4 world = host->matrix() * host->children.back()->matrix();
        EXPECT_TRUE(near(world.translation(), stamp->point, 1e-3f));
        EXPECT_TRUE(near(column(world, 2), normalize(stamp->pixelVector) * float(length(stamp->pixelVector) * 40)));
    }
    const std::size_t alive = BiTool::Alive;
    view.UNDO();
    EXPECT_TRUE(a->children.empty() && b->children.empty() && BiTool::Alive == alive - 2);
    view.REDO();
    EXPECT_TRUE(linkedPair());

    view.pushAct(new ActObjectRemove(view.scene, id(endB())));
    EXPECT_TRUE(a->children.empty() && b->children.empty());
    view.UNDO();
    EXPECT_TRUE(linkedPair());
}

TEST_F(TwoEnded, PickMakesTheEndAndItsPartnerTheToolsUnderCreation) {
    view.setActiveTool(GLView::CreateHydraulics, true);
    placeStroke(XA, XB);
    ASSERT_TRUE(linkedPair());
    for (Tool* t : {a, b}) t->children.back()->addChild(new Tool(nullptr, mat4::Identity(), pbr(), false), false);
    view.scene->toList();
    for (unsigned char scope : {0, 1}) {
        ASSERT_TRUE(view.pick(endA(), scope));
        BiTool *e = end(view.activeTool), *p = end(view.activeToolAux);
        ASSERT_TRUE(e && p && e->partner == p && p->partner == e && e->element == endA()->element) << int(scope);
        EXPECT_TRUE(e == view.scene->currentTool && p->parent == view.scene->toolsRoot);
        EXPECT_EQ(e->children.size() + p->children.size(), scope == 0 ? 2u : 0u);
    }
    // The picked pair survives a rebuild and places a linked pair.
    view.UpdateActiveTool();
    placeStroke(XB, XA);
    EXPECT_TRUE(view.undoHistory.size() == 2 && linkedPair());

    // The Pick release on the new plain end.
    show(endA(), 600);
    view.cursorPixel = {600, Y};
    view.pickBrush = view.selection(ABrush::OnObject, nullptr);
    view.releaseAssembly(GLView::ActionPick);
    ASSERT_TRUE(end(view.activeTool) && end(view.activeToolAux));
    EXPECT_TRUE(end(view.activeTool)->type == BiTool::BiPlain && end(view.activeTool)->partner == view.activeToolAux);

    // A template without partner places nothing.
    view.scene->addTool(new BiTool(BiTool::BiPlain, nullptr, mat4::Identity(), pbr(), false));
    view.setActiveTool(GLView::CreateUseTool, true);
    placeStroke(XA, XB);
    EXPECT_EQ(view.undoHistory.size(), 2u);
}

TEST_F(TwoEnded, DragsHierarchyAndPivotMatchingUseTheEndsOwnFrame) {
    view.setActiveTool(GLView::CreateGuide, true);
    placeStroke(XA, XB);
    BiTool* e = endA();
    ASSERT_TRUE(e);
    Tool* child = e->addChild(new Tool(nullptr, mat4::Translation(0, 1, 0), pbr(), false), false);
    view.scene->toList();

    // Move: the end follows the pointer's world delta.
    const vec3 start = (a->matrix() * e->matrix()).translation();
    show(e, 600);
    view.setAssemblyAction(GLView::ActionMove);
    at(600);
    drive.left(true);
    drive.frame();
    drive.picking = false;
    view.targetBrush.delta = vec3(1, 0.5f, 0);
    at(620);
    EXPECT_TRUE(near((a->matrix() * e->matrix()).translation(), start + vec3(1, 0.5f, 0)));
    drive.left(false);
    drive.frame();

    // The chain of the end's child starts with the end's own frame.
    view.scene->toList();
    std::vector<Tool*> tools;
    std::vector<mat4> matrices;
    ASSERT_TRUE(view.scene->findHiHierarchy(id(child), tools, matrices, -1));
    ASSERT_EQ(tools, (std::vector<Tool*>{e, child}));
    EXPECT_TRUE(matrices[0] == e->parentMatrix && matrices[1] == view.scene->objects.matrices[id(child) - 1]);

    // MatchObjectPivot carries b onto the end's pivot, even for an end
    // moved off it (whose turned list frame then misplaces the pivot).
    e->transform = mat4::Translation(0, 0.5f, 0);
    view.scene->toList();
    show(b, XB);
    view.cursorPixel = {XB, YB};
    view.pickBrush = view.selection(ABrush::OnObject, nullptr);
    view.interactionState = 1;
    view.cursorPixel = {600, Y};
    view.releaseAssembly(GLView::ActionMatchObjectPivot);
    EXPECT_TRUE(near(b->pivot.translation(), (a->matrix() * e->pivot).translation()));
}

// Two-ended tools in the view, on a scene of two cubes driven frame by frame
// through an in-memory ID buffer: the Guide, Hydraulics and Muscle under
// creation, placing a pair from one object to the other and undoing it,
// removing and picking ends, and dragging an end in its own frame.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/mat.h"
#include "mesh/mesh.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool_list.h"
#include "tools/bi_tool.h"
#include "view/act.h"
#include "view/act_remove.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"

using namespace qel;

namespace {

constexpr int Y = 300, XA = 300, XB = 500;

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
    // The ID buffer shows t at pixel (x, Y), facing the viewer.
    void show(Tool* t, int x) {
        fakeid::Pixel& p = drive.reader->pixels[{x, Y}];
        p.stencil = 1;
        p.depth = 0.5f;
        p.ids[0] = {std::uint32_t(id(t)), 0, 0};
        p.normal[0] = vec3(0, 0, 1);
    }
    void at(int x) {
        drive.move(vec2(float(x), float(Y)));
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
    // The lists as the flattening of pairs leaves them: an end's list matrix
    // turned towards its partner, its parent's world kept as its own frame.
    void flatten() {
        view.scene->toList();
        ToolList& l = view.scene->objects;
        for (std::size_t i = 0; i < l.tools.size(); ++i)
            if (BiTool* e = end(l.tools[i])) {
                const std::size_t p = std::size_t(l.parents[i]);
                e->parentMatrix = l.matrices[p] * l.tools[p]->matrix();
                l.matrices[i] = e->parentMatrix * mat4::Rotation(vec3(0, 0, 1), vec3(1, 1, 0));
            }
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
    struct Row {
        GLView::TToolCreation value;
        BiTool::TBiType type;
        float size;  // 0: no element
    };
    for (const Row& r :
         {Row{GLView::CreateGuide, BiTool::BiPlain, 0.0f}, Row{GLView::CreateHydraulics, BiTool::BiThin, 2.0f},
          Row{GLView::CreateMuscle, BiTool::BiVolume, -1.0f}}) {
        view.setActiveTool(r.value, true);
        BiTool* e = end(view.activeTool);
        BiTool* p = end(view.activeToolAux);
        ASSERT_TRUE(e && p) << r.value;
        EXPECT_EQ(e->type, r.type);
        EXPECT_TRUE(p->type == BiTool::BiPlain && !p->element && !p->partner && !e->partner);
        EXPECT_EQ(e->material.colour.r, 1234);
        EXPECT_EQ(BiTool::Alive, alive + 2);
        EXPECT_EQ(view.assemblyAction, GLView::ActionPlace);
        if (r.size == 0.0f) {
            EXPECT_EQ(e->element, nullptr);
        } else {
            ASSERT_TRUE(e->element && e->element->isType(Element::TType::Mesh));
            const float size = e->element->size();
            if (r.size > 0) {
                EXPECT_EQ(size, r.size);
            }
            EXPECT_EQ(e->element->centre, vec3(0, 0, r.size > 0 ? -1.0f : -size * 0.5f));
        }
    }
    view.setActiveTool(GLView::CreateCube, true);
    EXPECT_EQ(BiTool::Alive, alive);
    EXPECT_EQ(view.activeToolAux, nullptr);

    // A Draw stroke leaves the Hydraulics' element and transform as built.
    view.setActiveTool(GLView::CreateHydraulics, true);
    const Element& e = *view.activeTool->element;
    const mat4 transform = view.activeTool->transform;
    ABrush s;
    s.selection = ABrush::OnObject;
    s.pixelVector = vec3(0.5f, 0, 0);
    view.assemblor = Assemblor(s, false);
    for (int i = 1; i < 4; ++i) {
        s.point = vec3(float(i), float(i * i), 0);
        view.assemblor.strokes.back().stamps.push_back(s);
    }
    view.updateDrawing();
    EXPECT_TRUE(e.centre == vec3(0, 0, -1) && e.size() == 2.0f && view.activeTool->transform == transform);
}

TEST_F(TwoEnded, PlaceLinksOneEndUnderEachObjectThroughOneRecord) {
    view.setActiveTool(GLView::CreateGuide, true);
    view.brushSize = 40.0f;
    placeStroke(XA, XA);  // no drag: nothing
    EXPECT_TRUE(view.undoHistory.empty() && a->children.empty());

    placeStroke(XA, XB);
    ASSERT_EQ(view.undoHistory.size(), 1u);
    EXPECT_EQ(view.undoHistory[0]->kind, Act::KindAddBiTool);
    ASSERT_TRUE(linkedPair());
    EXPECT_FALSE(view.pickBrush.placed() || view.targetBrush.placed());
    // Each end at its stamp's point, z along the pixel vector, brush-sized.
    for (auto [host, stamp] : {std::pair<Tool*, ABrush*>{a, &pressed}, {b, &released}}) {
        const mat4 world = host->matrix() * host->children.back()->matrix();
        EXPECT_TRUE(near(world.translation(), stamp->point, 1e-3f));
        EXPECT_NEAR(length(column(world, 2)), length(stamp->pixelVector) * 40.0, 1e-3);
        EXPECT_NEAR(dot(normalize(column(world, 2)), normalize(stamp->pixelVector)), 1.0, 1e-5);
    }
    const std::size_t alive = BiTool::Alive;
    view.UNDO();
    EXPECT_TRUE(a->children.empty() && b->children.empty());
    EXPECT_EQ(BiTool::Alive, alive - 2);
    view.REDO();
    EXPECT_TRUE(linkedPair());

    // Removing one end removes the pair; undo brings it back linked.
    view.pushAct(new ActObjectRemove(view.scene, id(endB())));
    EXPECT_TRUE(a->children.empty() && b->children.empty());
    view.UNDO();
    EXPECT_TRUE(linkedPair());
}

TEST_F(TwoEnded, PickMakesTheEndAndItsPartnerTheToolsUnderCreation) {
    view.setActiveTool(GLView::CreateHydraulics, true);
    placeStroke(XA, XB);
    ASSERT_TRUE(linkedPair());
    endA()->addChild(new Tool(nullptr, mat4::Identity(), pbr(), false), false);
    endB()->addChild(new Tool(nullptr, mat4::Identity(), pbr(), false), false);
    view.scene->toList();
    Root& library = *view.scene->toolsRoot;
    for (unsigned char scope : {0, 1}) {
        ASSERT_TRUE(view.pick(endA(), scope));
        BiTool* e = end(view.activeTool);
        BiTool* p = end(view.activeToolAux);
        ASSERT_TRUE(e && p && e->partner == p && p->partner == e) << int(scope);
        EXPECT_TRUE(e->parent == &library && p->parent == &library && view.scene->currentTool == e);
        EXPECT_EQ(e->children.size() + p->children.size(), scope == 0 ? 2u : 0u);
        EXPECT_EQ(e->element, endA()->element);
    }
    // The picked pair survives a rebuild and places a linked pair.
    view.UpdateActiveTool();
    ASSERT_TRUE(view.activeToolAux);
    placeStroke(XB, XA);
    EXPECT_EQ(view.undoHistory.size(), 2u);
    EXPECT_TRUE(end(b->children.back())->partner == end(a->children.back()));

    // The Pick release works the same way, here on the new plain end.
    view.setAssemblyAction(GLView::ActionPick);
    show(endA(), 600);
    at(600);
    drive.left(true);
    drive.frame();
    drive.left(false);
    drive.frame();
    ASSERT_TRUE(end(view.activeTool) && end(view.activeToolAux));
    EXPECT_EQ(end(view.activeTool)->type, BiTool::BiPlain);
    EXPECT_EQ(end(view.activeTool)->partner, view.activeToolAux);
    EXPECT_EQ(end(view.activeToolAux)->type, BiTool::BiThin);

    // A template without partner places nothing.
    view.scene->addTool(new BiTool(BiTool::BiPlain, nullptr, mat4::Identity(), pbr(), false));
    view.setActiveTool(GLView::CreateUseTool, true);
    EXPECT_EQ(view.activeToolAux, nullptr);
    placeStroke(XA, XB);
    EXPECT_EQ(view.undoHistory.size(), 2u);
}

TEST_F(TwoEnded, DragsHierarchyAndPivotMatchingUseTheEndsOwnFrame) {
    view.setActiveTool(GLView::CreateGuide, true);
    placeStroke(XA, XB);
    ASSERT_TRUE(linkedPair());
    BiTool* e = endA();
    Tool* child = e->addChild(new Tool(nullptr, mat4::Translation(0, 1, 0), pbr(), false), false);
    flatten();

    // Move: the end follows the pointer's world delta.
    const vec3 start = (a->matrix() * e->matrix()).translation();
    show(e, 600);
    view.setAssemblyAction(GLView::ActionMove);
    at(600);
    drive.left(true);
    drive.frame();
    drive.picking = false;
    view.targetBrush.selection = ABrush::OnObject;
    view.targetBrush.delta = vec3(1, 0.5f, 0);
    at(620);
    drive.left(false);
    drive.frame();
    drive.picking = true;
    EXPECT_TRUE(near((a->matrix() * e->matrix()).translation(), start + vec3(1, 0.5f, 0)));

    // The chain of the end's child starts with the end's own frame.
    flatten();
    std::vector<Tool*> tools;
    std::vector<mat4> matrices;
    ASSERT_TRUE(view.scene->findHiHierarchy(id(child), tools, matrices, -1));
    ASSERT_EQ(tools, (std::vector<Tool*>{e, child}));
    EXPECT_EQ(matrices[0], e->parentMatrix);
    EXPECT_EQ(matrices[1], view.scene->objects.matrices[std::size_t(id(child) - 1)]);

    // MatchObjectPivot carries b onto the end's pivot.
    show(b, XB);
    view.cursorPixel = {XB, Y};
    view.pickBrush = view.selection(ABrush::OnObject, nullptr);
    view.interactionState = 1;
    view.cursorPixel = {600, Y};
    view.releaseAssembly(GLView::ActionMatchObjectPivot);
    EXPECT_TRUE(near(b->pivot.translation(), (a->matrix() * e->pivot).translation()));
}

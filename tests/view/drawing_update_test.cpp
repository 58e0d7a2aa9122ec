// The drawn curve of the view: the curve shapes of swept tools, the profile
// tools, the rebuild of the drawn curve into the tool under creation (by
// hand and from every key, button and setter that changes the strokes) and
// the flat mesh that Return makes of a drawn profile; the Array and Chain
// tools on their resampled paths.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/revoluton.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "tools/array.h"
#include "view/gesture_fixture_util.h"
#include "view/glview.h"
#include "view/keyboard.h"

using namespace qel;
using test::GestureFixture;

namespace {

ABrush click(const vec3& p, int kind, int x = 0) {
    ABrush b;
    b.selection = ABrush::OnObject;
    b.layers = 1;
    b.point = p;
    b.normal = vec3(0, 0, 1);
    b.pixelVector = vec3(0.5f, 0, 0);
    b.radius = 4.0f;
    b.kind = kind;
    b.x = x;
    return b;
}

bool sameCurve(const Curve& a, const Curve& b) {
    if (a.vertices.size() != b.vertices.size() || a.edges.size() != b.edges.size()) return false;
    for (std::size_t i = 0; i < a.vertices.size(); ++i) {
        const CurveVertex &u = a.vertices[i], &v = b.vertices[i];
        if (!(u.position == v.position) || u.radius != v.radius || u.flags != v.flags) return false;
    }
    return true;
}

bool closedCurve(const Curve& c) { return !c.vertices.empty() && c.edges.size() == c.vertices.size(); }

class DrawingUpdate : public GestureFixture {
protected:
    // A profile under creation with Draw in effect and a stroke of the
    // given points (the first a Shift click, the others free) under way.
    void profile(const std::vector<vec3>& points) {
        view.setActiveTool(GLView::CreateProfile, true);
        assembly(GLView::ActionDraw);
        stroke(points);
    }
    void stroke(const std::vector<vec3>& points) {
        view.assemblor = Assemblor(click(points[0], 1), false);
        for (std::size_t i = 1; i < points.size(); ++i)
            view.assemblor.strokes.back().stamps.push_back(click(points[i], 1, int(i)));
        view.interactionState = 1;
    }
    const Curve& toolCurve() const {
        EXPECT_TRUE(view.activeTool && view.activeTool->element &&
                    view.activeTool->element->isType(Element::TType::Curve));
        return *static_cast<const Curve*>(view.activeTool->element);
    }
    // The curve of the strokes as they stand.
    Curve strokesCurve(bool closed) const {
        std::vector<vec3> points, normals;
        std::vector<float> radii;
        std::vector<bool> sharp;
        view.assemblor.ToCurve(points, normals, radii, sharp, closed, view.drawingPlane);
        return Curve(points, radii, sharp, closed);
    }
    // The tool's curve is the curve of the strokes.
    void expectFollowsStrokes() const {
        const Curve expected = strokesCurve(true);
        EXPECT_TRUE(sameCurve(toolCurve(), expected))
            << toolCurve().vertices.size() << " " << expected.vertices.size() << " " << toolCurve().edges.size() << " "
            << expected.edges.size();
    }
    void tap(std::initializer_list<int> held) {
        drive.hold(held);
        drive.frame();
    }

    const std::vector<vec3> square{{0, 0, 5}, {2, 0, 5}, {2, 2, 5}, {0, 2, 5}};
};

}  // namespace

TEST(CurveCreation, ShapesTakeTheAxisOrTheSectionCounts) {
    GLView view(64, 64);
    view.axisSides = 7;
    view.sectionSides = 9;
    view.axisSegments = 24;
    view.sectionSegments = 12;
    const struct {
        int shape;
        bool axis;
        std::size_t count;
    } rows[] = {
        {GLView::CurveFree, true, 0},
        {11, false, 0},
        {-1, true, 0},
        {GLView::CurveSegment, true, 2},
        {GLView::CurveTriangle, true, 3},
        {GLView::CurveSquare, false, 4},
        {GLView::CurvePentagon, true, 5},
        {GLView::CurveHexagon, false, 6},
        {GLView::CurveNGon, true, 7},
        {GLView::CurveNGon, false, 9},
        {GLView::CurveCircle, true, 24},
        {GLView::CurveCircle, false, 12},
        {GLView::CurveTrefoilKnot, true, 64},
        {GLView::CurveKnot, false, 64},
        {GLView::CurveChainlink, true, 30},
        {GLView::CurveChainlink, false, 18},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.shape << " " << r.axis);
        const std::unique_ptr<Curve> c(view.CurveCreation(GLView::TCurveCreation(r.shape), r.axis, true));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->status, 0);
        EXPECT_EQ(c->vertices.size(), r.count);
        EXPECT_EQ(c->curveType, Curve::Plain);
    }
}

TEST(CurveCreation, ProfileToolsStartWithAnEmptyCurve) {
    GLView view(64, 64);
    for (int v = GLView::CreateProfile; v <= GLView::CreateScoopProfile; ++v) {
        Tool* t = view.setActiveTool(GLView::TToolCreation(v), true);
        ASSERT_TRUE(t && t->element && t->element->isType(Element::TType::Curve)) << v;
        EXPECT_TRUE(static_cast<Curve*>(t->element)->vertices.empty());
        EXPECT_EQ(t->element->refCount, 1);
        EXPECT_TRUE(t->transform == mat4::Identity() && t->material == pbr());
        EXPECT_EQ(view.selectedAssemblyAction, GLView::ActionDraw);
    }
}

TEST_F(DrawingUpdate, NothingDrawnChangesNothing) {
    view.setActiveTool(GLView::CreateProfile, true);
    const Element* before = view.activeTool->element;
    view.redraw = 0;
    view.updateDrawing();
    EXPECT_EQ(view.redraw, 0);
    EXPECT_EQ(view.activeTool->element, before);
}

TEST_F(DrawingUpdate, AProfileIsClosedAndRebuildsToTheSameCurveAndPlace) {
    profile(square);
    view.closedDrawing = 0;
    view.updateDrawing();
    EXPECT_TRUE(closedCurve(toolCurve()));
    expectFollowsStrokes();
    const mat4 first = view.activeTool->transform;
    const Curve firstCurve(toolCurve());
    // The element is centred on its box; the transform puts it back where
    // it was drawn.
    const vec3 p = view.activeTool->transform.transformPoint(toolCurve().toLocal(square[2]));
    EXPECT_LT(length(p - square[2]), 1e-4f);
    for (int i = 0; i < 50; ++i) view.updateDrawing();
    EXPECT_TRUE(sameCurve(toolCurve(), firstCurve));
    EXPECT_TRUE(view.activeTool->transform == first);
    EXPECT_EQ(view.activeTool->element->refCount, 1);  // the tool is its only owner
}

TEST_F(DrawingUpdate, DegenerateStrokesKeepAFiniteTransform) {
    profile({{1, 1, 1}, {1, 1, 1}, {1, 1, 1}});  // collapsed to one point
    view.updateDrawing();
    EXPECT_TRUE(view.activeTool->transform.isFinite());
    profile(square);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    stroke({{0, 0, 0}, {nan, 0, 0}, {2, 2, 0}});
    view.updateDrawing();
    EXPECT_TRUE(view.activeTool->transform.isFinite());
    // Points at the ends of the float range: the element's size overflows
    // and the previous placement stays.
    const mat4 kept = view.activeTool->transform;
    stroke({{-3e38f, 0, 0}, {3e38f, 0, 0}, {0, 3e38f, 0}});
    view.updateDrawing();
    EXPECT_FALSE(std::isfinite(toolCurve().size()));
    EXPECT_TRUE(view.activeTool->transform == kept);
}

TEST_F(DrawingUpdate, ToolsWithoutADrawnCurveAreLeftAlone) {
    for (int v : {int(GLView::CreateUseTool), int(GLView::CreateCube)}) {
        view.setActiveTool(GLView::TToolCreation(v), true);
        assembly(GLView::ActionDraw);
        stroke(square);
        Tool* t = view.activeTool;
        const Element* e = t ? t->element : nullptr;
        const mat4 m = t ? t->transform : mat4();
        const float size = e ? e->size() : 0.0f;
        view.updateDrawing();
        ASSERT_EQ(view.activeTool, t);
        if (!t) continue;
        EXPECT_EQ(t->element, e);
        EXPECT_TRUE(t->transform == m);
        EXPECT_EQ(e->size(), size);
    }
    view.setActiveTool(GLView::CreateProfile, true);
    view.deleteActiveTools();
    stroke(square);
    view.updateDrawing();  // no tool: the curve goes (the sanitizers watch)
    EXPECT_EQ(view.activeTool, nullptr);
}

TEST_F(DrawingUpdate, PressDragReleaseAndKeysRebuildTheCurve) {
    profile({{0, 0, 0}, {2, 0, 0}});
    // A press adds a point.
    view.targetBrush = click({2, 2, 0}, 0, 50);
    drive.left(true);
    drive.frame();
    ASSERT_EQ(view.assemblor.strokeStamps(), 3u);
    expectFollowsStrokes();
    // A drag adds a freehand point.
    view.targetBrush = click({0, 2, 0}, 0, 60);
    drive.move(vec2(420, 300));
    drive.frame();
    ASSERT_EQ(view.assemblor.strokeStamps(), 4u);
    expectFollowsStrokes();
    // A modifier gives the newest point its kind.
    view.assemblor.strokes.back().stamps.back().kind = 1;
    tap({Keyboard::KeyControl});
    EXPECT_EQ(view.assemblor.strokes.back().stamps.back().kind, 3);
    expectFollowsStrokes();
    // The brush size of the held stroke's newest point.
    view.drawing = 1;
    view.setBrushSize(50.0f);
    EXPECT_EQ(view.assemblor.strokes.back().stamps.back().radius, 50.0f);
    expectFollowsStrokes();
    view.setBrushElevation(0.5f);
    expectFollowsStrokes();
    // The release ends the stroke.
    view.assemblor.strokes.back().stamps.back() = click({0, 3, 0}, 1, 70);
    tap({});
    release();
    EXPECT_NE(view.interactionState, 0);
    expectFollowsStrokes();
    // Backspace drops the newest point.
    Keyboard::eventBackspace = true;
    drive.frame();
    ASSERT_EQ(view.assemblor.strokeStamps(), 3u);
    expectFollowsStrokes();
}

TEST_F(DrawingUpdate, DrawingOptionsRebuildOnAChangeOnly) {
    profile(square);
    view.updateDrawing();
    // A mark on the tool's curve survives every call that rebuilds nothing.
    const vec3 mark(99, 99, 99);
    const auto marked = [&] { return !toolCurve().vertices.empty() && toolCurve().vertices[0].position == mark; };
    static_cast<Curve*>(view.activeTool->element)->vertices.at(0).position = mark;
    view.setClosedDrawing(view.closedDrawing != 0);
    view.setSnapGrid(view.snapGrid != 0);
    view.setSnapSymmetry(view.snapSymmetry != 0);
    view.setBrushSize(20.0f);  // no stroke held
    EXPECT_TRUE(marked());
    for (const auto& toggle : {&GLView::setClosedDrawing, &GLView::setSnapGrid, &GLView::setSnapSymmetry}) {
        static_cast<Curve*>(view.activeTool->element)->vertices.at(0).position = mark;
        (view.*toggle)(true);
        EXPECT_FALSE(marked());
        expectFollowsStrokes();
    }
    // Escape with single stamps and strokes drops the strokes and rebuilds.
    view.assemblor.stamps.push_back(click({5, 5, 5}, 0));
    tap({Keyboard::KeyEscape});
    EXPECT_TRUE(view.assemblor.strokes.empty() && view.interactionState != 0);
    EXPECT_TRUE(toolCurve().vertices.size() == strokesCurve(true).vertices.size());
    EXPECT_FALSE(marked());
}

TEST_F(DrawingUpdate, ReturnOnAProfileAddsItsFlatMeshOnTheOutline) {
    view.solidShape = 0;  // the sheet alone
    profile(square);      // drawn at z = 5, off the plane through the origin
    view.placements = {mat4::Identity()};
    const std::size_t objects = view.scene->objectsRoot->children.size();
    tap({Keyboard::KeyReturn});
    EXPECT_TRUE(view.idle());
    ASSERT_EQ(view.scene->objectsRoot->children.size(), objects + 1);
    const Tool* added = view.scene->objectsRoot->children.back();
    ASSERT_TRUE(added->element && added->element->isType(Element::TType::Mesh));
    const Mesh& m = *static_cast<const Mesh*>(added->element);
    ASSERT_GT(m.faceCount(), 0);
    for (int i = 0; i < m.vertexCount(); ++i) {
        const vec3& p = m.vertices[i].position;
        EXPECT_NEAR(p.z, 5.0f, 1e-4f);
        EXPECT_TRUE(p.x > -1e-4f && p.x < 2.0001f && p.y > -1e-4f && p.y < 2.0001f);
    }
    for (int i = 0; i < m.faceCount(); ++i) EXPECT_NEAR(std::fabs(m.faces[i].normal.z), 1.0f, 1e-4f);
    EXPECT_LT(length(m.centre - vec3(1, 1, 5)), 1e-4f);  // the middle of its box, moved with it
    // The tool under creation is a profile again, with an empty curve.
    EXPECT_TRUE(toolCurve().vertices.empty());
    tap({});

    // Outlines without area add nothing and end the drawing.
    for (const std::vector<vec3>& outline : {std::vector<vec3>{{0, 0, 0}, {2, 0, 0}}, std::vector<vec3>{{1, 1, 1}}}) {
        profile(outline);
        tap({Keyboard::KeyReturn});
        EXPECT_TRUE(view.idle());
        EXPECT_EQ(view.scene->objectsRoot->children.size(), objects + 1);
        tap({});
    }
}

// ---- Revoluton and tubes ----

TEST_F(DrawingUpdate, SweptToolsAreBuiltAndAShapeChangeRebuildsThem) {
    view.setActiveTool(GLView::CreateRevoluton, true);
    auto* r = dynamic_cast<Revoluton*>(view.activeTool->element);
    ASSERT_TRUE(r && r->profile && r->section);
    EXPECT_TRUE(r->profile->vertices.empty());
    EXPECT_EQ(r->section->vertices.size(), std::size_t(view.sectionSegments));  // the Circle shape

    view.setAxisCreation(GLView::CurveSquare);
    view.setActiveTool(GLView::CreateTube, true);
    auto* t = dynamic_cast<Tube*>(view.activeTool->element);
    ASSERT_TRUE(t && t->path && t->profile);
    EXPECT_EQ(t->path->vertices.size(), 4u);
    EXPECT_EQ(t->profile->vertices.size(), std::size_t(view.sectionSegments));

    // A drawn section of the straight tube is lost when the shape changes.
    view.setActiveTool(GLView::CreateTubeDrawnAxis, true);
    assembly(GLView::ActionDraw);
    stroke(square);
    view.updateDrawing();
    t = dynamic_cast<Tube*>(view.activeTool->element);
    ASSERT_TRUE(t && t->profile);
    EXPECT_FALSE(t->profile->vertices.empty());
    view.setSectionCreation(GLView::CurveTriangle);
    t = dynamic_cast<Tube*>(view.activeTool->element);
    ASSERT_TRUE(t && t->profile);
    EXPECT_TRUE(t->profile->vertices.empty());
}

TEST_F(DrawingUpdate, DrawnCurvesGoToTheirSlotsAndTheToolStaysTheirOnlyOwner) {
    struct Row {
        GLView::TToolCreation value;
        Curve* (*slot)(Element*);
    };
    const Row rows[] = {
        {GLView::CreateRevoluton, [](Element* e) { return static_cast<Revoluton*>(e)->profile; }},
        {GLView::CreateTubeDrawnAxis, [](Element* e) { return static_cast<Tube*>(e)->profile; }},
        {GLView::CreateTube, [](Element* e) { return static_cast<Tube*>(e)->path; }},
    };
    for (const Row& row : rows) {
        view.setActiveTool(row.value, true);
        assembly(GLView::ActionDraw);
        stroke(square);
        for (int i = 0; i < 5; ++i) view.updateDrawing();
        Element* e = view.activeTool->element;
        Curve* c = row.slot(e);
        ASSERT_TRUE(c) << row.value;
        EXPECT_TRUE(sameCurve(*c, strokesCurve(view.closedDrawing != 0))) << row.value;
        EXPECT_EQ(e->refCount, 1);
        EXPECT_EQ(c->refCount, 1);
        std::vector<Element*> subs;
        e->subElements(subs);
        for (Element* s : subs) EXPECT_EQ(s->refCount, 1) << row.value;
    }
}

TEST_F(DrawingUpdate, ATubePathDrawnOpenClosesAndReopensWithTheOption) {
    view.closedDrawing = 0;
    view.setActiveTool(GLView::CreateTube, true);
    assembly(GLView::ActionDraw);
    stroke(square);
    view.updateDrawing();
    const auto path = [this] { return static_cast<Tube*>(view.activeTool->element)->path; };
    EXPECT_FALSE(closedCurve(*path()));
    view.setClosedDrawing(true);
    EXPECT_TRUE(closedCurve(*path()));
    view.setClosedDrawing(false);
    EXPECT_FALSE(closedCurve(*path()));
}

TEST_F(DrawingUpdate, AltReturnClosesADrawnRevolutonProfileOntoTheAxis) {
    view.closedDrawing = 0;
    view.setActiveTool(GLView::CreateRevoluton, true);
    assembly(GLView::ActionDraw);
    stroke({{1, 0, 0}, {2, 1, 0}, {1, 2, 0}});
    view.updateDrawing();
    view.placements = {mat4::Identity()};
    const std::size_t objects = view.scene->objectsRoot->children.size();
    const int n = static_cast<Revoluton*>(view.activeTool->element)->profile->vertexCount();
    ASSERT_GE(n, 3);
    tap({Keyboard::KeyReturn, Keyboard::KeyAlt});
    EXPECT_TRUE(view.idle());
    ASSERT_EQ(view.scene->objectsRoot->children.size(), objects + 1);
    const auto* r = dynamic_cast<const Revoluton*>(view.scene->objectsRoot->children.back()->element);
    ASSERT_TRUE(r && r->profile);
    const Curve& c = *r->profile;
    ASSERT_EQ(c.vertexCount(), n + 2);
    EXPECT_EQ(c.vertices[std::size_t(n)].position, vec3(0, c.vertices[std::size_t(n - 1)].position.y, 0));
    EXPECT_EQ(c.vertices[std::size_t(n + 1)].position, vec3(0, c.vertices[0].position.y, 0));
    EXPECT_GE(c.findEdge(n - 1, n), 0);
    EXPECT_GE(c.findEdge(n + 1, 0), 0);
    EXPECT_EQ(c.status, 0);
    tap({});

    // With no profile vertex drawn the drawing ends and adds nothing.
    view.setActiveTool(GLView::CreateRevoluton, true);
    assembly(GLView::ActionDraw);
    stroke({{1, 0, 0}});
    view.interactionState = 1;
    static_cast<Revoluton*>(view.activeTool->element)->setProfile(new Curve(Curve::Plain));
    tap({Keyboard::KeyReturn, Keyboard::KeyAlt});
    EXPECT_TRUE(view.idle());
    EXPECT_EQ(view.scene->objectsRoot->children.size(), objects + 1);
    tap({});
}

TEST_F(DrawingUpdate, ArraysRepeatTheAuxiliaryToolsWithTheStepOfTheirTypeAndRebuildOnAShapeChange) {
    view.setActiveTool(GLView::CreateArray, true);
    auto* array = dynamic_cast<Array*>(view.activeTool);
    ASSERT_TRUE(array && array->items.size() == 1 && view.auxiliaryTools.size() == 1);
    EXPECT_EQ(array->items[0]->element, view.auxiliaryTools[0]->element);  // the sphere
    EXPECT_TRUE(array->pattern == std::vector<std::uint32_t>{32769} && array->type == Array::Simple);
    EXPECT_EQ(array->step, mat4::Identity());
    EXPECT_TRUE(dynamic_cast<UCurve*>(array->curve));
    view.arrayType = Array::Zipper;
    view.setAxisCreation(GLView::CurveSquare);
    array = dynamic_cast<Array*>(view.activeTool);
    ASSERT_TRUE(array && array->type == Array::Zipper);
    EXPECT_EQ(array->step, mat4::Scale(1, -1, 1));
    EXPECT_EQ(static_cast<UCurve*>(array->curve)->base->vertexCount(), 4);
}

TEST_F(DrawingUpdate, AHandDrawnChainKeepsItsLinkAndStaysTheOnlyOwnerOfItsCurves) {
    view.setActiveTool(GLView::CreateChain, true);
    auto* chain = dynamic_cast<Array*>(view.activeTool);
    ASSERT_TRUE(chain && chain->items.size() == 1);
    Tool* link = chain->items[0];
    ASSERT_TRUE(dynamic_cast<Tube*>(link->element));
    EXPECT_EQ(link->transform, mat4(0.6f, 0, 0, 0, 0, 0, -0.6f, 0, 0, 0.6f, 0, 0, 0, 0, 0, 1));
    EXPECT_EQ(chain->step, mat4(0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));
    assembly(GLView::ActionDraw);
    stroke(square);
    for (int i = 0; i < 20; ++i) view.updateDrawing();
    EXPECT_TRUE(chain->items == std::vector<Tool*>{link} && chain->pattern == std::vector<std::uint32_t>{32769});
    auto* path = dynamic_cast<UCurve*>(chain->curve);
    ASSERT_TRUE(path && path->base);
    EXPECT_TRUE(sameCurve(*path->base, strokesCurve(view.closedDrawing != 0)));
    EXPECT_TRUE(path->refCount == 1 && path->base->refCount == 1);
}

// What Return makes of a finished drawing. The object stays where it was
// shown while it was drawn: the points of the drawn curve have the same world
// positions in the preview of the tool under creation and in the object
// added, whether the drawing lay on the screen plane or on an object's
// surface. Alt closes an open revoluton profile onto the axis, leaves a
// closed one as drawn and never adds a profile that is no sound chain.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <algorithm>
#include <vector>

#include "curves/curve.h"
#include "elements/revoluton.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/keyboard.h"

using namespace qel;

namespace {

// The curve a drawing fills in the tool's element.
const Curve* drawnCurve(const Element* e) {
    if (auto* t = dynamic_cast<const Tube*>(e)) return t->path;
    if (auto* r = dynamic_cast<const Revoluton*>(e)) return r->profile;
    return nullptr;
}

// World positions of the drawn curve's points of the tool listed at entry i.
std::vector<vec3> worldPoints(const ToolList& list, int i) {
    std::vector<vec3> out;
    Tool* t = list.tools[std::size_t(i)];
    const Curve* c = drawnCurve(t->element);
    if (!c) return out;
    const mat4 W = t->transformRender(list.matrices[std::size_t(i)]) * t->element->localMatrix();
    for (const CurveVertex& v : c->vertices) out.push_back(W.transformProject(v.position));
    return out;
}

class DrawingPlacement : public ::testing::Test {
protected:
    DrawingPlacement() {
        view.buildMatrices();
        view.setSymmetry(false, false, false, false, false, false, 6);
    }

    // Places a cube and shows it, tilted towards the viewer, under the pixels.
    void showCube(const std::vector<vec2>& pixels) {
        Tool* t = view.scene->addObject(&cube, mat4::Translation(0, 0, -3), Scene::HangTop, false);
        view.scene->toList();
        const auto id = std::uint32_t(view.scene->findID(t));
        float depth = 0.4f;
        for (const vec2& p : pixels) {
            drive.reader->pixels[{int(p.x), int(p.y)}] = {
                1, depth, {{{id, 7, 0}, {}}}, {normalize(vec3(0.3f, 0.2f, 1)), vec3()}};
            depth += 0.01f;
        }
    }
    // One click per pixel: the pointer moves there for a frame (the stroke
    // picking reads the point), then the button goes down and up.
    void draw(GLView::TToolCreation tool, const std::vector<vec2>& pixels) {
        view.setActiveTool(tool, true);
        view.setActionMode(GLView::ModeAssembly);
        view.setAssemblyAction(GLView::ActionDraw);
        for (const vec2& p : pixels) {
            drive.move(p);
            drive.frame();
            drive.left(true);
            drive.frame();
            drive.left(false);
            drive.frame();
        }
    }
    // The world points of the preview now, those of the object Return adds,
    // compared.
    void finishAndCompare(std::initializer_list<int> held = {Keyboard::KeyReturn}) {
        view.scene->toList();
        drive.frame();
        ASSERT_FALSE(view.scene->preview.empty());
        const std::vector<vec3> shown = worldPoints(view.scene->preview, 0);
        ASSERT_GE(shown.size(), 3u);
        const int before = view.scene->objects.size();
        drive.hold(held);
        drive.frame();
        drive.hold({});
        drive.frame();
        view.scene->toList();
        ASSERT_EQ(view.scene->objects.size(), before + 1);
        const std::vector<vec3> placed = worldPoints(view.scene->objects, before);
        ASSERT_EQ(placed.size(), shown.size());
        double extent = 0.0;
        for (const vec3& p : shown) extent = std::max(extent, length(p - shown[0]));
        ASSERT_GT(extent, 0.0);
        for (std::size_t i = 0; i < shown.size(); ++i)
            EXPECT_LE(length(placed[i] - shown[i]), 1e-4 * std::max(extent, length(shown[i])))
                << i << ": " << placed[i].x << " " << placed[i].y << " " << placed[i].z << " shown " << shown[i].x
                << " " << shown[i].y << " " << shown[i].z;
    }

    // The profile of the revoluton added last.
    const Curve* addedProfile() {
        const auto* r = dynamic_cast<const Revoluton*>(view.scene->objectsRoot->children.back()->element);
        return r ? r->profile : nullptr;
    }

    GLView view{800, 600};
    test::FrameDriver drive{view};
    Tool cube{Mesh::Cube(), mat4::Identity(), pbr(), false};
    const std::vector<vec2> stroke{{300, 400}, {380, 330}, {450, 300}, {520, 220}};
};

}  // namespace

TEST_F(DrawingPlacement, ADrawingOnTheScreenPlaneStaysWhereItWasShown) {
    for (GLView::TToolCreation tool : {GLView::CreateTube, GLView::CreateRevoluton}) {
        SCOPED_TRACE(tool);
        draw(tool, stroke);
        EXPECT_EQ(view.pickBrush.selection, ABrush::Screen);
        finishAndCompare();
    }
}

TEST_F(DrawingPlacement, ADrawingOnAnObjectStaysWhereItWasShown) {
    showCube(stroke);
    for (GLView::TToolCreation tool : {GLView::CreateTube, GLView::CreateRevoluton}) {
        SCOPED_TRACE(tool);
        draw(tool, stroke);
        EXPECT_EQ(view.pickBrush.selection, ABrush::OnObject);
        finishAndCompare();
    }
}

TEST_F(DrawingPlacement, AltReturnLeavesAClosedProfileAsDrawnAndMakesWhatReturnMakes) {
    view.closedDrawing = 1;
    std::vector<std::vector<vec3>> profiles;
    for (const auto& held : {std::initializer_list<int>{Keyboard::KeyReturn, Keyboard::KeyAlt},
                             std::initializer_list<int>{Keyboard::KeyReturn}}) {
        draw(GLView::CreateRevoluton, stroke);
        const int drawn = static_cast<const Revoluton*>(view.activeTool->element)->profile->vertexCount();
        finishAndCompare(held);
        const Curve* c = addedProfile();
        ASSERT_TRUE(c);
        EXPECT_EQ(c->vertexCount(), drawn);  // no feet on the axis
        EXPECT_EQ(c->edgeCount(), drawn);    // one loop
        EXPECT_EQ(c->status, 0);
        profiles.emplace_back();
        for (const CurveVertex& v : c->vertices) profiles.back().push_back(v.position);
    }
    EXPECT_EQ(profiles[0], profiles[1]);
    EXPECT_EQ(view.undoHistory.size(), 2u);
}

TEST_F(DrawingPlacement, AltReturnAddsNoProfileThatIsNoSoundChain) {
    draw(GLView::CreateRevoluton, stroke);
    // Three edges meet at vertex 0: no chain, before or after the axis edges.
    auto* broken = new Curve(Curve::Plain);
    for (const vec3& p : {vec3(1, 0, 0), vec3(2, 1, 0), vec3(1, 2, 0), vec3(3, 0, 0)}) broken->vertexAdd(p);
    for (int v : {1, 2, 3}) broken->edgeAdd(0, v);
    broken->initialize(Element::ResizeKeep);
    ASSERT_NE(broken->status, 0);
    static_cast<Revoluton*>(view.activeTool->element)->setProfile(broken);
    const std::size_t objects = view.scene->objectsRoot->children.size();
    drive.hold({Keyboard::KeyReturn, Keyboard::KeyAlt});
    drive.frame();
    drive.hold({});
    drive.frame();
    EXPECT_TRUE(view.idle());
    EXPECT_EQ(view.scene->objectsRoot->children.size(), objects);
    EXPECT_TRUE(view.undoHistory.empty());
}

// A click then Return, clicks on one pixel, or a profile of two points give
// no sound element: nothing is added, nothing goes into the history, and the
// status bar is told why.
TEST_F(DrawingPlacement, ADrawingWithTooFewDistinctPointsAddsNothingAndSaysWhy) {
    QSignalSpy told(&view, &GLView::notice);
    const vec2 p{300, 400}, q{380, 330};
    const struct {
        GLView::TToolCreation tool;
        std::vector<vec2> clicks;
        const char* needed;
    } drawings[] = {
        {GLView::CreateTube, {p}, "two"},
        {GLView::CreateTube, {p, p, p}, "two"},
        {GLView::CreateRevoluton, {p}, "two"},
        {GLView::CreateChain, {q, q}, "two"},
        {GLView::CreateProfile, {p, q, p}, "three"},
    };
    for (const auto& d : drawings) {
        SCOPED_TRACE(int(d.tool));
        const int noticesBefore = told.count();
        draw(d.tool, d.clicks);
        ASSERT_NE(view.interactionState, 0);
        const std::size_t objects = view.scene->objectsRoot->children.size();
        drive.hold({Keyboard::KeyReturn});
        drive.frame();
        drive.hold({});
        drive.frame();
        EXPECT_EQ(view.scene->objectsRoot->children.size(), objects);
        EXPECT_TRUE(view.undoHistory.empty());
        EXPECT_TRUE(view.idle());
        ASSERT_EQ(told.count(), noticesBefore + 1);
        const QString text = told.back().at(0).toString();
        EXPECT_TRUE(text.startsWith("Nothing was added") && text.contains(d.needed)) << text.toStdString();
        // The preview list is rebuilt, as every rendered frame does.
        view.scene->toList();
    }
    // Two distinct points make a tube path.
    draw(GLView::CreateTube, {p, q});
    drive.hold({Keyboard::KeyReturn});
    drive.frame();
    drive.hold({});
    EXPECT_EQ(view.scene->objectsRoot->children.size(), 1u);
}

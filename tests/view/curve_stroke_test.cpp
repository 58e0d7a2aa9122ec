// Curves sculpted through the view: a Move stroke pressed on a plain curve
// and on a resampled curve, dragged and released frame by frame, with the
// pickings read from an ID buffer held in memory. The chain under the brush
// follows the pointer; the other chain of the curve stays; a resampled
// curve's own points follow its base in the same frame. A stroke whose action
// leaves the triangle mesh it touches as it is says so once; the same action
// on a curve says nothing.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <vector>

#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/act_structure.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"

using namespace qel;

namespace {

constexpr int X = 400, Y = 300;
constexpr float Depth = 0.5f;

bool near(const vec3& a, const vec3& b, float eps = 1e-3f) { return length(a - b) <= eps; }

class CurveStroke : public ::testing::Test {
protected:
    CurveStroke() {
        view.buildMatrices();
        view.setSymmetry(false, false, false, false, false, false, 6);
        view.setActionMode(GLView::ModeSculpt);
        view.setSculptAction(Sculptor::Move);
    }

    // Two chains in the element's frame (centre 0, size 1, placed with no
    // transform): one through the world point under pixel (X, Y), the
    // other well away from it.
    Curve* twoChains() {
        const vec3 p = view.unproject(float(X), float(Y), Depth);
        Curve* c = new Curve({p - vec3(1, 0, 0), p, p + vec3(1, 0, 0)}, false);
        Curve far({p + vec3(-1, 4, 0), p + vec3(1, 4, 0)}, false);
        c->append(&far);
        c->initialize(Element::ResizeKeep);
        c->centre = vec3(0, 0, 0);
        c->setSize(1.0f);
        for (CurveVertex& v : c->vertices) v.radius = 0.25f;
        return c;
    }
    Tool* place(Element* e) {
        Tool source(e, mat4::Identity(), pbr(), false);
        Tool* t = view.scene->addObject(&source, mat4::Identity(), Scene::HangTop, false);
        view.scene->toList();
        return t;
    }
    // Press on the object under (X, Y), drag 30 pixels right in three
    // frames over empty pixels, release. Returns how far the stroke's point
    // went, in world units.
    vec3 stroke(Tool* t) {
        fakeid::Pixel& p = drive.reader->pixels[{X, Y}];
        p.stencil = 1;
        p.depth = Depth;
        p.ids[0] = {std::uint32_t(view.scene->findID(t)), 0xffffffffu, 0};
        p.normal[0] = vec3(0, 0, 1);
        for (const vec2 at : {vec2(X - 5, Y), vec2(X, Y)}) {
            drive.move(at);
            drive.frame();
        }
        drive.left(true);
        drive.frame();
        EXPECT_TRUE(view.interactionState == 1 && view.pickBrush.pickedTool == t);
        EXPECT_EQ(view.sculptors.size(), 1u);
        const vec3 start = view.stamps.at(0).point;
        for (int k = 1; k <= 3; ++k) {
            drive.move(vec2(float(X + 10 * k), Y));
            drive.frame();
        }
        const vec3 end = view.stamps.at(0).point;
        drive.left(false);
        drive.frame();
        EXPECT_TRUE(view.sculptors.empty() && view.idle());
        return end - start;
    }

    GLView view{800, 600};
    test::FrameDriver drive{view};
};

std::vector<vec3> positions(const Curve& c) {
    std::vector<vec3> out;
    for (const CurveVertex& v : c.vertices) out.push_back(v.position);
    return out;
}

}  // namespace

TEST_F(CurveStroke, AMoveStrokeCarriesThePickedChainOfACurve) {
    Tool* t = place(twoChains());
    const Curve& c = *static_cast<Curve*>(t->element);
    const std::vector<vec3> before = positions(c);
    const vec3 moved = stroke(t);
    ASSERT_GT(length(moved), 0.04f);
    ASSERT_EQ(c.vertexCount(), 5);
    for (int v = 0; v < 5; ++v)
        EXPECT_TRUE(near(c.vertices[std::size_t(v)].position, before[std::size_t(v)] + (v < 3 ? moved : vec3(0, 0, 0))))
            << "vertex " << v;
}

TEST_F(CurveStroke, AMoveStrokeCarriesThePickedChainOfAResampledCurveAndItsPointsFollow) {
    Tool* t = place(new UCurve(twoChains(), Curve::UniformCurve));
    const UCurve& u = *static_cast<UCurve*>(t->element);
    const std::vector<vec3> base = positions(*u.base), before = positions(u);
    ASSERT_GT(before.size(), 10u);
    const vec3 moved = stroke(t);
    ASSERT_GT(length(moved), 0.04f);
    for (int v = 0; v < 5; ++v)
        EXPECT_TRUE(
            near(u.base->vertices[std::size_t(v)].position, base[std::size_t(v)] + (v < 3 ? moved : vec3(0, 0, 0))))
            << "base vertex " << v;
    // The resampled points moved with their chain, as many as before.
    ASSERT_EQ(positions(u).size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        const bool near0 = near(u.vertices[i].position, before[i], 1e-3f);
        const bool nearMoved = near(u.vertices[i].position, before[i] + moved, 1e-3f);
        EXPECT_TRUE(before[i].y - base[0].y < 2.0f ? nearMoved : near0) << "point " << i;
    }
}

// A stroke after which a tube's curves give more surface than one surface
// may be built with says so (the tube is then drawn as its path); one
// within the limit says nothing.
TEST_F(CurveStroke, AStrokeThatLeavesATubeOverTheSurfaceLimitSaysSo) {
    Tube* tube = new Tube(twoChains(), Curve::Circle(6, false));
    tube->centre = vec3(0, 0, 0);
    tube->setSize(1.0f);
    Tool* t = place(tube);
    auto* placed = static_cast<Tube*>(t->element);
    QSignalSpy told(&view, &GLView::notice);
    stroke(t);
    EXPECT_EQ(told.count(), 0);
    // The limit one below what the curves give: the next stroke leaves the
    // surface out.
    placed->vbo.mostVertices = placed->surfaceVertices() - 1;
    stroke(t);
    ASSERT_EQ(told.count(), 1);
    const QString said = told.at(0).at(0).toString();
    EXPECT_TRUE(said.startsWith("The tube's curves now give ")) << said.toStdString();
    // The corners the limit counts, with the vertices the tube's box shows.
    EXPECT_TRUE(said.contains(" surface corners (" + QString::number(placed->boxVertices()) +
                              " vertices as its box counts them), more than the "))
        << said.toStdString();
    EXPECT_TRUE(said.endsWith("the tube is drawn as its path until its curves give fewer.")) << said.toStdString();
}

// Inflate, Deflate, TearInflate and ClipSphereReverse have no operation on a
// triangle mesh: each stroke on one says so once (with the emptied history
// in the same notice on the first) and the mesh stays as it is, where a
// Deform stroke on the same spot right after changes it without a word, and
// an Inflate stroke on a curve, which it shapes, says nothing.
TEST_F(CurveStroke, AStrokeThatLeavesATriangleMeshAsItIsSaysSoOnce) {
    view.setBrushSize(160.0f);
    // A ball 80 pixels across its radius, its centre under (X, Y), placed
    // through a record.
    const vec3 p = view.unproject(float(X), float(Y), Depth);
    const float r = length(view.unproject(float(X + 80), float(Y), Depth) - p);
    Mesh* seed = Mesh::Icosahedron();
    Tool source(Mesh::Sphere(seed, 2, false, true), mat4::Identity(), pbr(), false);
    delete seed;
    view.pushAct(new ActObjectAdd(view.scene, 0, &source, {mat4::Translation(p.x, p.y, p.z) * mat4::Scale(r, r, r)},
                                  Scene::HangTop, false, false));
    Tool* ball = view.scene->objectsRoot->children.back();
    const auto shape = [ball] {
        std::vector<vec3> out;
        for (const MeshVertex& v : static_cast<const Mesh*>(ball->element)->vertices) out.push_back(v.position);
        return out;
    };
    const std::vector<vec3> before = shape();
    QSignalSpy told(&view, &GLView::notice);
    const struct {
        Sculptor::TAction action;
        const char* said;
    } inert[] = {
        {Sculptor::Inflate,
         "Sculpt strokes cannot be undone: this stroke emptied the undo history. Inflate shapes clay, tubes and "
         "curves; a triangle mesh is left as it is."},
        {Sculptor::Inflate, "Inflate shapes clay, tubes and curves; a triangle mesh is left as it is."},
        {Sculptor::Deflate, "Deflate shapes clay; a triangle mesh is left as it is."},
        {Sculptor::TearInflate, "TearInflate has no operation on a triangle mesh; it is left as it is."},
        {Sculptor::ClipSphereReverse, "ClipSphereReverse has no operation on a triangle mesh; it is left as it is."},
    };
    for (const auto& stroked : inert) {
        SCOPED_TRACE(stroked.said);
        told.clear();
        view.setSculptAction(stroked.action);
        stroke(ball);
        ASSERT_EQ(told.count(), 1);
        EXPECT_EQ(told.at(0).at(0).toString().toStdString(), stroked.said);
        EXPECT_EQ(shape(), before);
    }
    told.clear();
    view.setSculptAction(Sculptor::Deform);
    stroke(ball);
    EXPECT_EQ(told.count(), 0);
    EXPECT_NE(shape(), before);

    view.setSculptAction(Sculptor::Inflate);
    stroke(place(twoChains()));
    EXPECT_EQ(told.count(), 0);
}

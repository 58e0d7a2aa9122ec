// The cable: thickness when stretched, the bend at a turned end, clones and
// shared sections, tubes held by others, other elements, rest, records.

#include "tools/cable.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "curves/bezier_curve.h"
#include "elements/swept_fill.h"
#include "elements/tube.h"
#include "files/scene_export.h"
#include "mesh/mesh.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool_test_util.h"

using namespace qel;
using tooltest::near;

namespace {

const mat4 I = mat4::Identity();

// The partner's end matrix l ahead on z, facing back.
mat4 facingBack(float l) { return mat4(1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, l, 0, 0, 0, 1); }

// A cable and its plain partner, measured as the flattening leaves them.
struct Pair {
    Root root;
    Cable* cable;
    BiTool* other;
    explicit Pair(float l = 1, float l0 = 1, Curve* profile = Curve::Circle(8, false))
        : cable(new Cable(profile, I, pbr(), false)), other(new BiTool(BiTool::BiPlain, nullptr, I, pbr(), false)) {
        root.addChild(cable, false)->setPartner(root.addChild(other, false));
        cable->length = l;
        cable->referenceLength = l0;
        other->endMatrix = facingBack(l);
    }
    Tube* tube() const { return cable->cableTube(); }
    std::vector<vec3> path() const {
        std::vector<vec3> out;
        for (const CurveVertex& v : tube()->path->vertices) out.push_back(v.position);
        return out;
    }
    // Drawn: the largest distance of the section's points at the first
    // path vertex from that vertex.
    float thickness() {
        const mat4 T = cable->transformRender(I) * tube()->localMatrix();
        std::vector<vec3> grid;
        sweptGrid({SweptKind::Tube, tube()->path, tube()->profile}, grid);
        const vec4 c = T * vec4(tube()->path->vertices[0].position, 1);
        float r = 0;
        for (int i = 0; i < tube()->profile->vertexCount(); ++i)
            r = std::max(r, float(length((T * vec4(grid[std::size_t(i)], 1)).xyz() - c.xyz())));
        return r;
    }
};

}  // namespace

TEST(Cable, StretchedKeepsItsThicknessAndTurnedEndsBendIt) {
    Pair p(1, 1), q(2, 1);
    EXPECT_NEAR(p.thickness(), 1.0f / 50, 1e-5f);
    EXPECT_NEAR(q.thickness(), 1.0f / 50, 1e-5f);
    // The path's radii carry the scale; the profile keeps its own size.
    EXPECT_TRUE(p.tube()->path->vertices[7].radius == 1.0f / 50 && q.tube()->path->vertices[7].radius == 1.0f / 100);
    EXPECT_TRUE(p.tube()->profile->size() == 1.0f && q.tube()->profile->size() == 1.0f);
    EXPECT_TRUE(near((q.cable->transformRender(I) * vec4(q.path().back(), 1)).xyz(), vec3(0, 0, 2)));
    for (const vec3& v : q.path()) EXPECT_TRUE(v.x == 0 && v.y == 0);

    // The end turned by its pivot, its transform turned back towards the
    // partner: the cable leaves along the end's z and bends near it.
    q.cable->pivot = mat4::Rotation(0.6f, 0, 0);
    q.cable->transform = mat4::Rotation(-0.6f, 0, 0);
    q.cable->transformRender(I);
    const vec3 z(0, q.cable->pivot.at(1, 2), q.cable->pivot.at(2, 2));
    EXPECT_TRUE(near(q.tube()->path->edges.front().direction, z) && dot(normalize(q.path()[1]), z) > 0.999);
    EXPECT_GT(std::fabs(q.path()[5].y), 5 * std::fabs(q.path()[45].y));
}

TEST(Cable, ClonesHaveTheirOwnPathShareTheSectionAndCloneChildrenAsObjects) {
    Pair p;
    p.cable->addChild(new Tool(nullptr, I, pbr(), false), false)->addChild(new Tool(nullptr, I, pbr(), false), false);
    p.cable->transformRender(I);
    const std::vector<vec3> before = p.path();
    std::unique_ptr<Tool> copy(p.root.cloneObjectRamifications(I, false));
    auto* c = dynamic_cast<Cable*>(copy->children.at(0));
    ASSERT_TRUE(c && c->partner == copy->children.at(1) && c->type == BiTool::BiUniform && c->cableTube());
    EXPECT_TRUE(c->cableTube()->path != p.tube()->path && c->cableTube()->profile == p.tube()->profile);
    c->length = 3;
    c->pivot = mat4::Rotation(0, 0.5f, 0);
    c->transformRender(I);
    EXPECT_NE(c->cableTube()->path->vertices[1].position, before[1]);
    EXPECT_EQ(p.path(), before);
    std::unique_ptr<Tool> bare(p.cable->CloneObjectRamifications(I, false, 0));
    EXPECT_TRUE(bare->children.size() == 1u && bare->children[0]->children.empty());  // grandchild not marked
}

TEST(Cable, CablesAtRestRebuildNothingEvenWhenTheyShareASectionAtOtherLengths) {
    Curve* section = Curve::Circle(6, false);
    Pair a(1, 1, section), b(3, 1, section), still(1.5f, 1);
    // Frame 3 stretches a: a alone rebuilds.
    for (int frame = 0; frame < 5; ++frame) {
        ++Element::GlobalUpdate;
        if (frame == 3) {
            a.cable->length = 2;
            a.other->endMatrix = facingBack(2);
        }
        for (Pair* p : {&a, &b, &still}) {
            p->tube()->vbo.rebuild = 0;
            EXPECT_NEAR(p->thickness(), 1.0f / 50, 1e-5f);
            p->tube()->update();
            EXPECT_EQ(p->tube()->vbo.rebuild != 0, frame == 0 || (frame == 3 && p == &a)) << frame;
        }
    }
    EXPECT_EQ(section->size(), 1.0f);
}

TEST(Cable, OtherElementsAndUnmeasuredEndsAreNotReshaped) {
    const struct {
        float l, l0;
        bool partner;
        mat4 transform;
    } cases[] = {{2, 1, false, I}, {0, 1, true, I}, {2, -1, true, I}, {2, 1, true, mat4::Scale(0)}};
    for (const auto& c : cases) {
        Pair p(c.l, c.l0);
        if (!c.partner) BiTool::unlinkTree(p.cable);
        p.cable->transform = c.transform;
        const mat4 T = p.cable->transformRender(I);
        EXPECT_TRUE(std::all_of(T.m, T.m + 16, [](float v) { return std::isfinite(v); }));
        EXPECT_TRUE(p.path() == std::vector<vec3>(51, vec3()) && p.tube()->profile->size() == 1.0f);
    }
    // A mesh, or a tube along a plain curve: stretched as a type-1 end,
    // shared by clones.
    for (Element* e : std::vector<Element*>{Mesh::Cube(), new Tube(Curve::Segment(), Curve::Circle(5, false))}) {
        Pair p(2, 1);
        p.cable->setElement(e);
        EXPECT_TRUE(near(p.cable->transformRender(I), mat4::Scale(2)) && p.cable->element == e);
        std::unique_ptr<Tool> copy(p.cable->cloneTool(true));
        EXPECT_EQ(copy->element, e);
    }
}

TEST(Cable, TubesAndPathsHeldByOthersAreNotReshapedInPlace) {
    // Two cables on one tube; a second tube on a cable's path; a clone of
    // the tube as Unique makes one.
    for (int k = 0; k < 3; ++k) {
        Pair a, b(2, 1);
        Tube* shared = a.tube();
        if (k == 0) b.cable->setElement(shared);
        if (k == 1) b.cable->setElement(new Tube(shared->path, Curve::Circle(4, false)));
        if (k == 2) a.cable->setElement(shared->clone());
        b.cable->pivot = mat4::Rotation(0.5f, 0, 0);
        b.cable->transform = mat4::Rotation(-0.5f, 0, 0);
        a.cable->render(1, I, 0xffffffffu);  // draws the tube it takes, not the one it gave up
        b.cable->transformRender(I);
        EXPECT_NE(a.tube()->path, b.tube()->path) << k;
        EXPECT_TRUE(near(a.path()[25], vec3(0, 0, 0.5f)) && std::fabs(b.path()[5].y) > 1e-3f) << k;
    }
}

TEST(Cable, FeatureAndAuxiliaryPassesDrawTheTubeTheCableTakesNotTheOneItGaveUp) {
    // The tube's path is held by a second tube: the first pass, whichever
    // it is, gives the cable a tube of its own and frees the old one.
    for (const bool features : {true, false}) {
        Pair p;
        Tube* old = p.tube();
        Tool holder(new Tube(old->path, Curve::Circle(4, false)), I, pbr(), false);
        if (features)
            p.cable->renderFeatures(I, bvec4(255, 255, 255, 255));
        else
            p.cable->renderAuxiliary(I, bvec4(255, 255, 255, 255));
        ASSERT_TRUE(p.tube()) << features;
        EXPECT_NE(p.tube()->path, static_cast<Tube*>(holder.element)->path) << features;
    }
}

TEST(Cable, APathEditedOutOfItsChainIsRebuiltWhenDrawnAndExported) {
    // Closed, clipped, collapsed and subdivided through the curve's own
    // operations, the path is no longer the chain laid out by index.
    const struct {
        const char* name;
        void (*edit)(Curve&);
        int edges;
    } cases[] = {
        {"closed", [](Curve& c) { c.close(); }, 51},
        {"clipped", [](Curve& c) { c.clipPlane(vec3(0, 0, 0.5f), vec3(0, 0, 1)); }, -1},
        {"collapsed", [](Curve& c) { c.edgeCollapse(20); }, 49},
        {"subdivided", [](Curve& c) { c.subdivide(false); }, 100},
    };
    QTemporaryDir dir;
    for (const auto& k : cases) {
        Pair p(2, 1);
        p.cable->transformRender(I);
        Curve& path = *p.tube()->path;
        k.edit(path);
        ++Element::GlobalUpdate;
        // Drawn at the same length and directions (only the records
        // changed), then stretched.
        EXPECT_NEAR(p.thickness(), 1.0f / 50, 1e-5f) << k.name;
        EXPECT_TRUE(near(path.vertices.back().position, vec3(0, 0, 1))) << k.name;
        p.cable->length = 3;
        p.other->endMatrix = facingBack(3);
        EXPECT_NEAR(p.thickness(), 1.0f / 50, 1e-5f) << k.name;
        ASSERT_EQ(p.tube()->path, &path) << k.name;
        if (k.edges > 0) {
            EXPECT_EQ(path.edgeCount(), k.edges) << k.name;
        }
        ASSERT_GT(path.edgeCount(), 0) << k.name;
        EXPECT_EQ(path.vertexCount(), path.edgeCount() + 1) << k.name;
        EXPECT_TRUE(near(path.vertices.front().position, vec3()) && near(path.vertices.back().position, vec3(0, 0, 1)))
            << k.name;
        for (int e = 0; e < path.edgeCount(); ++e)
            EXPECT_TRUE(path.edges[std::size_t(e)].v[0] == e && path.edges[std::size_t(e)].v[1] == e + 1) << k.name;
        std::unique_ptr<Mesh> mesh(p.tube()->ToMesh());
        ASSERT_TRUE(mesh) << k.name;
        EXPECT_GT(mesh->faceCount(), 0) << k.name;
        p.cable->flags |= Tool::FlagObject;
        EXPECT_TRUE(SceneExport(&p.root).write(dir.filePath(QString(k.name) + ".obj").toStdString())) << k.name;
    }
}

TEST(Cable, RecordsRoundTripInBothLayoutsAndTakeTheirShapeWhenDrawn) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("cable.tl").toStdString();
    {
        Scene scene;
        auto* c = new Cable(Curve::Circle(7, false), I, pbr(), false);
        c->flags |= Tool::FlagObject;
        c->setPartner(scene.objectsRoot->addChild(c, false)->addChild(
            new BiTool(BiTool::BiPlain, nullptr, I, pbr(), false), false));
        c->referenceLength = 0.75f;
        ASSERT_TRUE(scene.save(path));
    }
    Scene scene;
    ASSERT_TRUE(scene.load(path) && scene.load(TL_FUZZ_CORPUS "/scene_load/cable_old_layout_one_tube.tl"));
    const std::vector<Tool*>& tops = scene.objectsRoot->children;
    ASSERT_EQ(tops.size(), 3u);
    auto* a = dynamic_cast<Cable*>(tops[0]);
    ASSERT_TRUE(a && a->cableTube() && a->partner == a->children.at(0) && a->partner->partner == a);
    Tube* tube = a->cableTube();
    EXPECT_TRUE(a->type == BiTool::BiUniform && a->referenceLength == 0.75f && tube->profile->vertexCount() == 7);
    EXPECT_EQ(tube->path->vertices.back().position, vec3());
    a->length = 1.5f;
    a->partner->endMatrix = facingBack(1.5f);
    a->transformRender(I);
    EXPECT_TRUE(near(tube->path->vertices.back().position, vec3(0, 0, 1)) && a->cableTube() == tube);

    // The old pair, written by a file at 20160914, names one tube: each end
    // draws its own shape, the second bent towards the first's turned end.
    auto* b0 = dynamic_cast<Cable*>(tops[1]);
    auto* b1 = dynamic_cast<Cable*>(tops[2]);
    ASSERT_TRUE(b0 && b1 && b0->partner == b1 && b0->cableTube() && b0->cableTube() == b1->cableTube());
    EXPECT_TRUE(b0->referenceLength == 0.75f && b0->type == BiTool::BiUniform);
    b0->length = b1->length = 1;
    b0->endMatrix = mat4::Rotation(0.5f, 0, 0);
    b1->endMatrix = facingBack(1);
    b0->transformRender(I);
    b1->transformRender(I);
    ASSERT_NE(b0->cableTube(), b1->cableTube());
    EXPECT_TRUE(b0->cableTube()->path->vertices[45].position.y == 0);
    EXPECT_GT(std::fabs(b1->cableTube()->path->vertices[45].position.y), 1e-3f);
}

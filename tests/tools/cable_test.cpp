// The cable: the thickness kept when stretched, the bend at a turned end,
// clones and shared sections, tubes held by others, elements it does not
// reshape, a cable at rest, and its record.

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
#include "mesh/mesh.h"
#include "scene/buffer.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/scene_writer.h"
#include "scene/tool_test_util.h"

using namespace qel;
using tooltest::near;

namespace {

const mat4 I = mat4::Identity();

vec3 apply(const mat4& m, const vec3& p) { return (m * vec4(p, 1)).xyz(); }

// A cable and its plain partner under one root, as the flattening leaves
// them: length l, rest length l0, the partner l ahead on z facing back.
struct Pair {
    Root root;
    Cable* cable;
    BiTool* other;
    explicit Pair(Curve* profile, float l = 1, float l0 = 1)
        : cable(new Cable(profile, I, pbr(), false)), other(new BiTool(BiTool::BiPlain, nullptr, I, pbr(), false)) {
        root.addChild(cable, false);
        root.addChild(other, false);
        cable->setPartner(other);
        measure(l, l0);
    }
    void measure(float l, float l0) {
        cable->length = l;
        cable->referenceLength = l0;
        other->endMatrix = mat4(1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, l, 0, 0, 0, 1);
    }
    Tube* tube() const { return cable->cableTube(); }
    std::vector<vec3> path() const {
        std::vector<vec3> out;
        if (Tube* t = tube())
            for (const CurveVertex& v : t->path->vertices) out.push_back(v.position);
        return out;
    }
    // The drawn distance of the section's points from the path at the
    // cable's first vertex.
    float thickness() {
        const mat4 T = cable->transformRender(I) * tube()->localMatrix();
        std::vector<vec3> grid;
        sweptGrid({SweptKind::Tube, tube()->path, tube()->profile}, grid);
        const vec3 c = apply(T, tube()->path->vertices[0].position);
        float r = 0;
        for (int i = 0; i < tube()->profile->vertexCount(); ++i)
            r = std::max(r, float(length(apply(T, grid[std::size_t(i)]) - c)));
        return r;
    }
};

bool finite(const mat4& m) {
    return std::all_of(m.m, m.m + 16, [](float v) { return std::isfinite(v); });
}

}  // namespace

TEST(Cable, StretchedTwiceKeepsItsThicknessAndReachesThePartner) {
    Pair p(Curve::Circle(8, false), 1, 1);
    const float rest = p.thickness();
    EXPECT_NEAR(rest, 1.0f / 50, 1e-5f);
    EXPECT_EQ(p.tube()->profile->size(), 50.0f);
    p.measure(2, 1);
    EXPECT_NEAR(p.thickness(), rest, 1e-5f);
    EXPECT_EQ(p.tube()->profile->size(), 100.0f);
    const mat4 T = p.cable->transformRender(I);
    EXPECT_TRUE(near(apply(T, p.path().back()), vec3(0, 0, 2), 1e-5f));
    for (const vec3& q : p.path()) EXPECT_NEAR(q.x * q.x + q.y * q.y, 0.0f, 1e-10f);
}

TEST(Cable, ATurnedEndBendsTheCableAlongItsZ) {
    Pair p(Curve::Circle(8, false), 2, 2);
    // The end turned about x by its pivot, its transform turned back so that
    // it still points at the partner.
    p.cable->pivot = mat4::Rotation(0.6f, 0, 0);
    p.cable->transform = mat4::Rotation(-0.6f, 0, 0);
    p.cable->transformRender(I);
    const vec3 z = normalize(vec3(p.cable->pivot.at(0, 2), p.cable->pivot.at(1, 2), p.cable->pivot.at(2, 2)));
    const std::vector<vec3> path = p.path();
    EXPECT_TRUE(near(p.tube()->path->edges.front().direction, z, 1e-6f));
    EXPECT_TRUE(near(p.tube()->path->edges.back().direction, vec3(0, 0, 1), 1e-6f));
    EXPECT_GT(dot(normalize(path[1]), z), 0.999);
    // Bent near this end, not near the partner.
    EXPECT_GT(std::fabs(path[5].y), 5 * std::fabs(path[45].y - path[50].y));
}

TEST(Cable, ClonesHaveTheirOwnPathAndShareTheSection) {
    Pair p(Curve::Circle(8, false), 1, 1);
    Tool* child = p.cable->addChild(new Tool(nullptr, I, pbr(), false), false);
    child->addChild(new Tool(nullptr, I, pbr(), false), false);
    p.cable->transformRender(I);
    const std::vector<vec3> before = p.path();
    std::unique_ptr<Tool> copy(p.root.cloneObjectRamifications(I, false));
    auto* c = dynamic_cast<Cable*>(copy->children.at(0));
    ASSERT_TRUE(c && c->partner == copy->children.at(1) && c->type == BiTool::BiUniform);
    Tube* tube = c->cableTube();
    ASSERT_TRUE(tube && tube != p.tube() && tube->path != p.tube()->path && tube->path->edgeCount() == 50);
    EXPECT_EQ(tube->profile, p.tube()->profile);
    // Children are cloned as objects: their own unmarked children are not.
    std::unique_ptr<Tool> bare(p.cable->CloneObjectRamifications(I, false, 0));
    ASSERT_EQ(bare->children.size(), 1u);
    EXPECT_TRUE(bare->children[0]->children.empty());
    c->length = 3;
    c->referenceLength = 1;
    c->pivot = mat4::Rotation(0, 0.5f, 0);
    c->transformRender(I);
    EXPECT_NE(tube->path->vertices[1].position, before[1]);
    EXPECT_EQ(p.path(), before);
    // A template clone is a cable too.
    std::unique_ptr<Tool> lone(p.cable->cloneTool(true));
    EXPECT_NE(dynamic_cast<Cable*>(lone.get())->cableTube(), nullptr);
}

TEST(Cable, CablesSharingASectionEachKeepTheirThickness) {
    Curve* section = Curve::Circle(6, false);
    Pair a(section, 1, 1), b(section, 3, 1);
    for (int frame = 0; frame < 3; ++frame) {
        ++Element::GlobalUpdate;
        for (Pair* p : {&a, &b}) {
            p->tube()->vbo.rebuild = 0;
            EXPECT_NEAR(p->thickness(), 1.0f / 50, 1e-5f);
            p->tube()->update();
            EXPECT_EQ(p->tube()->vbo.rebuild, 1);  // rebuilt at its own thickness
        }
    }
}

TEST(Cable, AtRestRebuildsNothing) {
    Pair p(Curve::Circle(8, false), 1.5f, 1);
    p.cable->transformRender(I);
    for (int frame = 0; frame < 4; ++frame) {
        ++Element::GlobalUpdate;
        p.tube()->update();
        p.tube()->vbo.rebuild = 0;
        const std::uint32_t stamp = p.tube()->updateStamp;
        p.cable->transformRender(I);
        ++Element::GlobalUpdate;
        p.tube()->update();
        EXPECT_EQ(p.tube()->vbo.rebuild, 0);
        EXPECT_EQ(p.tube()->updateStamp, stamp);
    }
}

TEST(Cable, OtherElementsAndUnmeasuredEndsAreNotReshaped) {
    struct Case {
        const char* what;
        float l, l0;
        bool partner;
        mat4 transform;
    } cases[] = {
        {"lone end", 2, 1, false, I},
        {"ends together", 0, 1, true, I},
        {"rest length not measured", 2, -1, true, I},
        {"singular drawing matrix", 2, 1, true, mat4::Scale(0)},
    };
    for (const Case& c : cases) {
        Pair p(Curve::Circle(8, false), c.l, c.l0);
        if (!c.partner) BiTool::unlinkTree(p.cable);
        p.cable->transform = c.transform;
        const std::vector<vec3> before = p.path();
        EXPECT_TRUE(finite(p.cable->transformRender(I))) << c.what;
        EXPECT_EQ(p.path(), before) << c.what;
        EXPECT_EQ(p.tube()->profile->size(), 1.0f) << c.what;
    }
    // A mesh, or a tube along a plain curve: stretched as a type-1 end.
    for (Element* e : {static_cast<Element*>(Mesh::Cube()),
                       static_cast<Element*>(new Tube(Curve::Segment(), Curve::Circle(5, false)))}) {
        Pair p(Curve::Circle(8, false), 2, 1);
        p.cable->setElement(e);
        EXPECT_EQ(p.cable->cableTube(), nullptr);
        EXPECT_TRUE(near(p.cable->transformRender(I), mat4::Scale(2)));
        EXPECT_EQ(p.cable->element, e);
        if (auto* tube = dynamic_cast<Tube*>(e)) {
            EXPECT_EQ(tube->profile->size(), 1.0f);
        }
        std::unique_ptr<Tool> copy(p.cable->cloneTool(true));
        EXPECT_EQ(copy->element, e);
    }
}

TEST(Cable, TubesAndPathsHeldByOthersAreNotReshapedInPlace) {
    // Two cables on one tube; a second tube on a cable's path; a clone of
    // the tube as Unique makes one.
    for (int k = 0; k < 3; ++k) {
        Pair a(Curve::Circle(8, false), 1, 1), b(Curve::Circle(8, false), 2, 1);
        Tube* shared = a.tube();
        if (k == 0) b.cable->setElement(shared);
        if (k == 1) b.cable->setElement(new Tube(shared->path, Curve::Circle(4, false)));
        if (k == 2) a.cable->setElement(shared->clone());
        b.cable->pivot = mat4::Rotation(0.5f, 0, 0);
        b.cable->transform = mat4::Rotation(-0.5f, 0, 0);
        a.cable->render(1, I, 0xffffffffu);  // draws the tube it takes, not the one it gave up
        b.cable->transformRender(I);
        ASSERT_NE(a.tube(), nullptr);
        EXPECT_NE(a.tube()->path, b.tube()->path) << k;
        // a straight, b bent: each keeps its own shape.
        for (const vec3& q : a.path()) EXPECT_NEAR(q.y, 0.0f, 1e-6f) << k;
        EXPECT_TRUE(near(a.path().back(), vec3(0, 0, 1))) << k;
        EXPECT_GT(std::fabs(b.path()[5].y), 1e-3f) << k;
    }
}

TEST(Cable, RecordsRoundTripInBothLayoutsAndTakeTheirShapeWhenDrawn) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("cable.tl").toStdString();
    {
        Scene scene;
        auto* c = new Cable(Curve::Circle(7, false), I, pbr(), false);
        auto* e = new BiTool(BiTool::BiPlain, nullptr, I, pbr(), false);
        c->flags |= Tool::FlagObject;
        scene.objectsRoot->addChild(c, false)->addChild(e, false);
        c->setPartner(e);
        c->referenceLength = 0.75f;
        ASSERT_TRUE(scene.save(path));
    }
    // The same pair in the old layout, both cables naming one tube.
    buffer elements, tools[2];
    std::vector<Element*> list = {new Tube(new BezierCurve(vec3(), vec3(), 50), Curve::Circle(7, false))};
    list[0]->allElements(list);
    list.erase(list.begin() + 1);
    for (std::size_t i = 0; i < list.size(); ++i) list[i]->id = std::int32_t(i);
    std::string error;
    ASSERT_TRUE(scenefile::writeElementsChunk(elements, list, error));
    Element::drop(list[0]->copy(1));
    for (std::int32_t i : {0, 1}) {
        buffer b;
        b.writeMat4(I);
        b.writeMat4(I);
        b.writeVec3(vec3());
        b.writeVec3(vec3());
        b.writeU32(0);
        b.writeU32(0xFFFFFFFFu);
        b.writeU32(0xFFFFFFFFu);
        b.writeU8(Tool::FlagObject);
        b.writeU32(0);
        for (std::int32_t v : {i, 0, 1 - i}) b.writeI32(v);
        b.writeU8(1);
        b.writeF32(0.75f);
        for (float v : {1.0f, 1.0f, 0.0f}) b.writeF32(v);
        tools[i].writeRecord(Cable::RecordTag, b);
    }
    buffer old;
    old.writeU32(scenefile::HeaderTag);
    old.writeI32(BiTool::VersionOldLayout);
    for (const buffer& chunk : tools) old.writeRecord(scenefile::ToolsChunkTag, chunk);
    old.writeBytes(elements.data(), std::size_t(elements.size()));

    Scene scene;
    ASSERT_TRUE(scene.load(path));
    ASSERT_TRUE(scene.loadFromMemory(old.bytes()));
    const std::vector<Tool*>& tops = scene.objectsRoot->children;
    ASSERT_EQ(tops.size(), 3u);
    auto* a = dynamic_cast<Cable*>(tops[0]);
    ASSERT_TRUE(a && a->cableTube() && a->partner == a->children.at(0) && a->partner->partner == a);
    Tube* tube = a->cableTube();
    EXPECT_TRUE(a->type == BiTool::BiUniform && a->referenceLength == 0.75f && tube->profile->vertexCount() == 7);
    for (const CurveVertex& v : tube->path->vertices) EXPECT_EQ(v.position, vec3(0, 0, 0));
    a->length = 1.5f;
    a->partner->endMatrix = mat4(1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 1.5f, 0, 0, 0, 1);
    a->transformRender(I);
    EXPECT_TRUE(near(tube->path->vertices.back().position, vec3(0, 0, 1)));
    EXPECT_EQ(a->cableTube(), tube);

    // The old pair names one tube: each end draws its own shape, the
    // second bent towards the first's turned end.
    auto* b0 = dynamic_cast<Cable*>(tops[1]);
    auto* b1 = dynamic_cast<Cable*>(tops[2]);
    ASSERT_TRUE(b0 && b1 && b0->partner == b1 && b0->cableTube() && b0->cableTube() == b1->cableTube());
    EXPECT_TRUE(b0->referenceLength == 0.75f && b0->type == BiTool::BiUniform);
    b0->length = b1->length = 1;
    b0->endMatrix = mat4::Rotation(0.5f, 0, 0);
    b1->endMatrix = mat4(1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 1, 0, 0, 0, 1);
    b0->transformRender(I);
    b1->transformRender(I);
    ASSERT_NE(b0->cableTube(), b1->cableTube());
    EXPECT_NEAR(b0->cableTube()->path->vertices[45].position.y, 0.0f, 1e-6f);
    EXPECT_GT(std::fabs(b1->cableTube()->path->vertices[45].position.y), 1e-3f);
}

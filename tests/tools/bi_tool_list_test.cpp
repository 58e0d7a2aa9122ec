// Flattening and drawing of two-ended tools: where each end is listed, with
// which parent and matrix, what is listed as a plain tool, that no visit
// outlives its walk, and what each end asks the shared handle elements
// (recording stand-ins here) to draw.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "curves/curve.h"
#include "scene/root.h"
#include "scene/tool_list.h"
#include "scene/tool_test_util.h"
#include "tools/array.h"
#include "tools/bi_tool.h"

using namespace qel;
using tooltest::near;
using tooltest::newTool;

namespace {

class Recorder : public Element {
public:
    Recorder() : Element(TType::Mesh) {}
    void render(unsigned, unsigned, const mat4& m, const pbr&, TColorLight, float, bool) override {
        drawn.push_back(m);
    }
    void renderFeatures(const mat4& m, const bvec4&, bool) override { lines.push_back(m); }
    std::vector<mat4> drawn, lines;
};

// Recorders in place of the shared elements for one test.
struct StandIns {
    Recorder* handle = new Recorder;
    Recorder* segment = new Recorder;
    StandIns() {
        BiTool::freeShared();
        BiTool::Handle = handle->copy(1);
        BiTool::Segment = segment->copy(1);
    }
    ~StandIns() {
        BiTool::freeShared();
        Tool::ShowHandles = 1;
    }
    // Draws entry i and its auxiliary drawing after forgetting earlier draws.
    void draw(const ToolList& l, int i) {
        handle->drawn.clear();
        segment->lines.clear();
        l.tools[std::size_t(i)]->render(1, l.matrices[std::size_t(i)], 0);
        l.tools[std::size_t(i)]->renderAuxiliary(l.matrices[std::size_t(i)], bvec4{});
    }
};

BiTool* addEnd(Tool* parent, const mat4& m, Element* e = nullptr, BiTool::TBiType type = BiTool::BiPlain) {
    auto* t = new BiTool(type, e, m, pbr(), false);
    parent->addChild(t, false);
    return t;
}

std::pair<BiTool*, BiTool*> addPair(Tool* pa, const mat4& ma, Tool* pb, const mat4& mb) {
    BiTool* a = addEnd(pa, ma);
    BiTool* b = addEnd(pb, mb);
    a->setPartner(b);
    return {a, b};
}

int indexOf(const ToolList& l, const Tool* t) {
    return int(std::find(l.tools.begin(), l.tools.end(), t) - l.tools.begin());
}

// The drawing frame of entry i: its matrix times the tool's own.
mat4 frameOf(const ToolList& l, int i) { return l.matrices[std::size_t(i)] * l.tools[std::size_t(i)]->matrix(); }

}  // namespace

TEST(BiToolList, APairIsListedWhereItsSecondEndIsReachedAndMeasuresEveryWalk) {
    Root root;
    Tool* p1 = root.addChild(newTool(), false);
    Tool* p2 = root.addChild(newTool(), false);
    p2->transform = mat4::Translation(5, 0, 0);
    auto [a, b] = addPair(p1, mat4::Identity(), p2, mat4::Identity());
    Tool* ca = a->addChild(newTool(), false);
    Tool* cb = b->addChild(newTool(), false);
    for (int walk = 0; walk < 2; ++walk) {
        const ToolList l(&root);
        ASSERT_EQ(l.tools, (std::vector<Tool*>{p1, p2, b, cb, a, ca}));
        EXPECT_EQ(l.parents, (std::vector<int>{0, 1, 1, 2, 0, 4}));
        EXPECT_TRUE(near(frameOf(l, 4).transformVector(vec3(0, 0, 1)), vec3(1, 0, 0)));  // a looks at b
        EXPECT_TRUE(near(frameOf(l, 2).transformVector(vec3(0, 0, 1)), vec3(-1, 0, 0)));
        EXPECT_TRUE(near(l.matrices[5], frameOf(l, 4)));  // children hang in the turned frame
        EXPECT_TRUE(a->length == 5.0f && b->length == 5.0f && a->referenceLength == 5.0f);
    }
    p2->transform = mat4::Translation(0, 8, 0);
    ToolList l(&root);
    EXPECT_TRUE(a->length == 8.0f && a->referenceLength == 5.0f && b->referenceLength == 5.0f);

    // Coinciding ends keep their frames, length 0 and no rest length until
    // first pulled apart.
    Root r2;
    auto [c, d] = addPair(&r2, mat4::Translation(1, 2, 3), &r2, mat4::Translation(1, 2, 3));
    l = ToolList(&r2);
    EXPECT_TRUE(c->length == 0.0f && c->referenceLength < 0.0f && near(frameOf(l, 1), c->matrix()));
    d->transform = mat4::Translation(1, 2, 5);
    l = ToolList(&r2);
    EXPECT_TRUE(c->length == 2.0f && c->referenceLength == 2.0f && d->referenceLength == 2.0f);
}

TEST(BiToolList, TopLevelLoneAndUnreachedEndsListWithoutStaleStateOrInfiniteFrames) {
    Root root;
    auto [a, b] = addPair(&root, mat4::Translation(-1, 0, 0), &root, mat4::Translation(1, 0, 0));
    Tool* ca = a->addChild(newTool(), false);
    BiTool* lone = addEnd(&root, mat4::Translation(0, 3, 0));
    Tool* cl = lone->addChild(newTool(), false);
    ToolList l(&root);
    ASSERT_EQ(l.tools, (std::vector<Tool*>{b, a, ca, lone, cl}));
    EXPECT_EQ(l.parents, (std::vector<int>{0, 1, 1, 3, 3}));  // each end its own parent at its new index
    EXPECT_TRUE(l.topLevel(2) == 1 && l.topLevel(0) == 0);
    EXPECT_TRUE(lone->listedPlain() && near(l.matrices[4], lone->matrix()));

    // Walks that reach one end only list it as a plain tool under its
    // parent; the walk that reaches both pairs them with its own indices.
    Root other;
    Tool* g = other.addChild(newTool(), false);
    Tool* p = other.addChild(newTool(), false);
    auto [c, d] = addPair(p, mat4::Identity(), g, mat4::Translation(0, 0, -3));
    const ToolList onlyP(p), onlyG(g);
    EXPECT_TRUE(onlyP.tools == (std::vector<Tool*>{p, c}) && onlyP.parents == (std::vector<int>{0, 0}));
    EXPECT_TRUE(onlyG.tools == (std::vector<Tool*>{g, d}) && c->listedPlain());
    l = ToolList(&other);
    ASSERT_EQ(l.tools, (std::vector<Tool*>{g, p, c, d}));
    EXPECT_EQ(l.parents, (std::vector<int>{0, 1, 1, 0}));
    // The partner straight behind: a half turn about x, no reflection.
    EXPECT_TRUE(!c->listedPlain() && near(c->turn(), mat4::Scale(1, -1, -1)) && c->length == 3.0f);

    // An end scaled to zero: unturned, its length kept, nothing infinite.
    c->transform = mat4::Scale(0.0f);
    l = ToolList(&other);
    EXPECT_TRUE(c->length == 3.0f && near(l.matrices[2], p->matrix()));
    for (const mat4& m : l.matrices) EXPECT_TRUE(m.isFinite());
}

TEST(BiToolDraw, EndsDrawTwoBlocksAndTheLinePlainEndsAndHiddenHandlesNothing) {
    StandIns shared;
    auto* e = new tooltest::TestElement;
    Root root;
    auto [a, b] = addPair(&root, mat4::Translation(1, 0, 0), &root, mat4::Translation(1, 0, 3));
    BiTool* lone = addEnd(&root, mat4::Identity(), e, BiTool::BiThin);
    lone->time = 2.0;
    lone->speed = 3.0f;
    lone->delay = 1.0f;
    lone->length = 5.0f;  // a plain end is never stretched
    ToolList l(&root);
    shared.draw(l, indexOf(l, a));
    ASSERT_TRUE(shared.handle->drawn.size() == 2 && shared.segment->lines.size() == 1);
    EXPECT_TRUE(near(shared.handle->drawn[0].transformPoint(vec3(0, 0, 1)), vec3(1, 0, 2)));  // along the turned z
    EXPECT_TRUE(near(shared.handle->drawn[1], a->matrix()));
    EXPECT_TRUE(near(shared.segment->lines[0].transformPoint(vec3(1, 0, 0)), vec3(1, 0, 3)));

    shared.draw(l, indexOf(l, lone));
    EXPECT_TRUE(shared.handle->drawn.empty() && shared.segment->lines.empty());
    EXPECT_TRUE(e->drawn.time == 2.0f && near(e->drawn.m, mat4::Identity()));  // no speed, no delay
    Tool::ShowHandles = 0;
    shared.draw(l, indexOf(l, a));
    EXPECT_TRUE(shared.handle->drawn.empty() && shared.segment->lines.empty());

    // Freed, the shared elements are made again, without GL, on demand.
    BiTool::freeShared();
    BiTool::makeShared();
    EXPECT_TRUE(BiTool::Segment->isType(Element::TType::Curve) && BiTool::Handle->isType(Element::TType::Mesh));
}

TEST(BiToolDraw, ArrayCopiesDrawTheirHandlesAndLinesAtTheCopyAndOneSidedTemplatesAsPlainEnds) {
    StandIns shared;
    std::vector<vec3> points;
    for (int i = 0; i <= 3; ++i) points.push_back(vec3(float(i), float(i * i), 0));
    Root root;
    Tool* before = root.addChild(newTool(), false);
    auto* arr = new Array(new Curve(points, false), {}, {(1 << 15) | 1, (2 << 15) | 1}, Array::Simple, mat4::Identity(),
                          mat4::Identity(), pbr(), false);
    root.addChild(arr, false);
    Tool* both = arr->addItem(newTool());
    auto [a, b] = addPair(both, mat4::Identity(), both, mat4::Translation(0, 0, 0.5f));
    // One end in a template, its partner reached before the array.
    auto [c, outside] = addPair(arr->addItem(newTool()), mat4::Identity(), before, mat4::Translation(9, 9, 9));

    const ToolList l(&root);
    int copiesOfA = 0, plainEnds = 0;
    for (int i = 0; i < l.size(); ++i) {
        const Tool* t = l.tools[std::size_t(i)];
        shared.draw(l, i);
        if (t == c || t == outside) plainEnds += shared.handle->drawn.empty() && shared.segment->lines.empty();
        if (t != a) continue;
        ++copiesOfA;
        const mat4 copy = frameOf(l, l.parents[std::size_t(i)]);  // the copy's template entry
        ASSERT_TRUE(shared.handle->drawn.size() == 2 && shared.segment->lines.size() == 1);
        EXPECT_TRUE(near(shared.handle->drawn[1], copy, 1e-4f));
        EXPECT_TRUE(near(shared.segment->lines[0].translation(), copy.translation(), 1e-4f));
        EXPECT_TRUE(
            near(shared.segment->lines[0].transformPoint(vec3(1, 0, 0)), copy.transformPoint(vec3(0, 0, 0.5f)), 1e-4f));
    }
    EXPECT_TRUE(copiesOfA >= 2 && std::count(l.tools.begin(), l.tools.end(), b) == copiesOfA);
    EXPECT_EQ(plainEnds, 1 + std::count(l.tools.begin(), l.tools.end(), c));
    EXPECT_TRUE(plainEnds >= 2 && std::count(l.tools.begin(), l.tools.end(), outside) == 1);
    c->partner = outside->partner = nullptr;  // the template is freed with the array only
}

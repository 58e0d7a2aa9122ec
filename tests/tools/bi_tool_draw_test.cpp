// Drawing of two-ended tools through recording stand-ins for the shared
// handle elements: what each end asks to draw, with which matrices, at
// which time, and that the shared elements come back after being freed.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "curves/curve.h"
#include "mesh/mesh.h"
#include "scene/root.h"
#include "scene/tool_list.h"
#include "scene/tool_test_util.h"
#include "tools/array.h"
#include "tools/bi_tool.h"

using namespace qel;
using tooltest::near;
using tooltest::newTool;
using tooltest::TestElement;

namespace {

// Records the matrices it is drawn with.
class Recorder : public Element {
public:
    Recorder() : Element(TType::Mesh) {}
    void render(unsigned, unsigned, const mat4& m, const pbr&, TColorLight, float, bool) override {
        drawn.push_back(m);
    }
    void renderFeatures(const mat4& m, const bvec4&, bool) override { lines.push_back(m); }
    std::vector<mat4> drawn, lines;
};

// Puts recorders in place of the shared elements; frees them at the end.
struct SharedStandIns {
    Recorder* handle = new Recorder;
    Recorder* segment = new Recorder;
    SharedStandIns() {
        BiTool::freeShared();
        BiTool::Handle = handle->copy(1);
        BiTool::Segment = segment->copy(1);
    }
    ~SharedStandIns() {
        BiTool::freeShared();
        Tool::ShowHandles = 1;
    }
    void clear() {
        handle->drawn.clear();
        segment->lines.clear();
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

void drawEntry(ToolList& l, int i) {
    l.tools[std::size_t(i)]->render(1, l.matrices[std::size_t(i)], 0);
    l.tools[std::size_t(i)]->renderAuxiliary(l.matrices[std::size_t(i)], bvec4{});
}

}  // namespace

TEST(BiToolDraw, GuideEndsDrawTwoBlocksAndTheLinePlainEndsAndHiddenHandlesNothing) {
    SharedStandIns shared;
    auto* e = new TestElement;
    Root root;
    auto [a, b] = addPair(&root, mat4::Translation(1, 0, 0), &root, mat4::Translation(1, 0, 3));
    BiTool* lone = addEnd(&root, mat4::Identity(), e, BiTool::BiThin);
    lone->time = 2.0;
    lone->speed = 3.0f;
    lone->delay = 1.0f;
    lone->length = 5.0f;  // a plain end is never stretched
    ToolList l(&root);
    const int ia = int(std::find(l.tools.begin(), l.tools.end(), a) - l.tools.begin());

    drawEntry(l, ia);
    ASSERT_EQ(shared.handle->drawn.size(), 2u);
    ASSERT_EQ(shared.segment->lines.size(), 1u);
    // The stretched block points along the turned z axis (at b); the other
    // stands in a's own frame; the line runs from a to b.
    EXPECT_TRUE(near(shared.handle->drawn[0].transformPoint(vec3(0, 0, 1)), vec3(1, 0, 2)));
    EXPECT_TRUE(near(shared.handle->drawn[1], a->matrix()));
    EXPECT_TRUE(near(shared.segment->lines[0].transformPoint(vec3(0, 0, 0)), vec3(1, 0, 0)));
    EXPECT_TRUE(near(shared.segment->lines[0].transformPoint(vec3(1, 0, 0)), vec3(1, 0, 3)));

    // A lone end draws its element, unstretched, at the tool's own clock.
    shared.clear();
    drawEntry(l, 2);
    EXPECT_TRUE(shared.handle->drawn.empty() && shared.segment->lines.empty());
    EXPECT_EQ(e->drawn.time, 2.0f);
    EXPECT_TRUE(near(e->drawn.m, mat4::Identity()));

    Tool::ShowHandles = 0;
    drawEntry(l, ia);
    EXPECT_TRUE(shared.handle->drawn.empty() && shared.segment->lines.empty() && a->hasAuxiliary() == false);
}

TEST(BiToolDraw, ArrayCopiesDrawTheirHandlesAndLinesAtTheCopy) {
    SharedStandIns shared;
    std::vector<vec3> points;
    for (int i = 0; i <= 3; ++i) points.push_back(vec3(float(i), float(i * i), 0));
    const std::vector<std::int32_t> pattern = {(1 << 15) | 1, (2 << 15) | 1};
    Root root;
    Tool* before = root.addChild(newTool(), false);
    auto* arr = new Array(new Curve(points, false), {}, pattern, Array::Simple, mat4::Identity(), mat4::Identity(),
                          pbr(), false);
    root.addChild(arr, false);
    // A template holding both ends of a guide, and one holding a single end
    // whose partner stands outside the array, reached before it.
    Tool* both = arr->addItem(newTool());
    auto [a, b] = addPair(both, mat4::Identity(), both, mat4::Translation(0, 0, 0.5f));
    Tool* one = arr->addItem(newTool());
    auto [c, outside] = addPair(one, mat4::Identity(), before, mat4::Translation(9, 9, 9));

    ToolList l(&root);
    int copiesOfA = 0, copiesOfC = 0;
    for (int i = 0; i < l.size(); ++i) {
        const Tool* t = l.tools[std::size_t(i)];
        shared.clear();
        drawEntry(l, i);
        if (t == c || t == outside) {
            ++copiesOfC;
            EXPECT_TRUE(shared.handle->drawn.empty() && shared.segment->lines.empty());
        }
        if (t != a) continue;
        ++copiesOfA;
        // The copy's template entry is a's parent in the list.
        const int top = l.parents[std::size_t(i)];
        const mat4 copy = l.matrices[std::size_t(top)] * l.tools[std::size_t(top)]->matrix();
        ASSERT_TRUE(shared.handle->drawn.size() == 2 && shared.segment->lines.size() == 1);
        EXPECT_TRUE(near(shared.handle->drawn[1], copy, 1e-4f));
        EXPECT_TRUE(near(shared.segment->lines[0].translation(), copy.translation(), 1e-4f));
        EXPECT_TRUE(
            near(shared.segment->lines[0].transformPoint(vec3(1, 0, 0)), copy.transformPoint(vec3(0, 0, 0.5f)), 1e-4f));
    }
    EXPECT_TRUE(copiesOfA >= 2 && copiesOfC >= 2);
    EXPECT_EQ(std::count(l.tools.begin(), l.tools.end(), b), copiesOfA);
    EXPECT_TRUE(c->listedPlain() && outside->listedPlain() && !a->listedPlain());
    c->partner = outside->partner = nullptr;  // the template is freed with the array only
}

TEST(BiToolDraw, SharedElementsAreMadeAgainAfterBeingFreed) {
    BiTool::freeShared();
    EXPECT_TRUE(BiTool::Segment == nullptr && BiTool::Handle == nullptr);
    for (int round = 0; round < 2; ++round) {
        BiTool::makeShared();
        ASSERT_TRUE(BiTool::Segment && BiTool::Handle);
        EXPECT_TRUE(BiTool::Segment->isType(Element::TType::Curve) && BiTool::Handle->isType(Element::TType::Mesh));
        EXPECT_EQ(BiTool::Handle->refCount, 1);
        BiTool::freeShared();
        EXPECT_TRUE(BiTool::Segment == nullptr && BiTool::Handle == nullptr);
    }
}

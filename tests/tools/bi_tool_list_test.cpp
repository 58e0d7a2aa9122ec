// The flattening of two-ended tools: where each end of a pair is listed, with
// which parent and matrix, what waits and what is listed as a plain tool,
// and that no visit outlives its walk.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "scene/root.h"
#include "scene/tool_list.h"
#include "scene/tool_test_util.h"
#include "tools/bi_tool.h"

using namespace qel;
using tooltest::near;
using tooltest::newTool;

namespace {

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
    const auto it = std::find(l.tools.begin(), l.tools.end(), t);
    return it == l.tools.end() ? -1 : int(it - l.tools.begin());
}

// The drawing frame of entry i: its matrix times the tool's own.
mat4 frameOf(const ToolList& l, int i) { return l.matrices[std::size_t(i)] * l.tools[std::size_t(i)]->matrix(); }

double det3(const mat4& r) {
    return double(r.m[0]) * (double(r.m[5]) * r.m[10] - double(r.m[6]) * r.m[9]) -
           double(r.m[1]) * (double(r.m[4]) * r.m[10] - double(r.m[6]) * r.m[8]) +
           double(r.m[2]) * (double(r.m[4]) * r.m[9] - double(r.m[5]) * r.m[8]);
}

bool allFinite(const ToolList& l) {
    return std::all_of(l.matrices.begin(), l.matrices.end(), [](const mat4& m) { return m.isFinite(); });
}

}  // namespace

TEST(BiToolList, APairIsListedWhereItsSecondEndIsReachedAndMeasuresEveryWalk) {
    Root root;
    Tool* p1 = root.addChild(newTool(), false);
    Tool* p2 = root.addChild(newTool(nullptr), false);
    p2->transform = mat4::Translation(5, 0, 0);
    auto [a, b] = addPair(p1, mat4::Identity(), p2, mat4::Identity());
    Tool* ca = a->addChild(newTool(), false);
    Tool* cb = b->addChild(newTool(), false);
    root.addChild(newTool(), false);

    for (int walk = 0; walk < 2; ++walk) {
        const ToolList l(&root);
        // p1, p2, then b with its subtree, then a with its subtree, then the last tool.
        ASSERT_EQ(l.tools, (std::vector<Tool*>{p1, p2, b, cb, a, ca, root.children[2]}));
        EXPECT_EQ(l.parents, (std::vector<int>{0, 1, 1, 2, 0, 4, 6}));
        EXPECT_TRUE(near(frameOf(l, 4).transformVector(vec3(0, 0, 1)), vec3(1, 0, 0)));  // a looks at b
        EXPECT_TRUE(near(frameOf(l, 2).transformVector(vec3(0, 0, 1)), vec3(-1, 0, 0)));
        EXPECT_TRUE(near(frameOf(l, 2).translation(), vec3(5, 0, 0)));
        EXPECT_TRUE(near(l.matrices[5], frameOf(l, 4)));  // children hang in the turned frame
        EXPECT_TRUE(a->length == 5.0f && b->length == 5.0f && a->referenceLength == 5.0f);
        EXPECT_FALSE(a->listedPlain() || b->listedPlain());
    }
    p2->transform = mat4::Translation(0, 8, 0);
    ToolList l(&root);
    EXPECT_TRUE(a->length == 8.0f && a->referenceLength == 5.0f && b->referenceLength == 5.0f);
    EXPECT_TRUE(near(frameOf(l, 4).transformVector(vec3(0, 0, 1)), vec3(0, 1, 0)));

    // Coinciding ends keep their own frames, length 0 and no rest length
    // until they are first pulled apart.
    Root r2;
    auto [c, d] = addPair(&r2, mat4::Translation(1, 2, 3), &r2, mat4::Translation(1, 2, 3));
    l = ToolList(&r2);
    EXPECT_TRUE(c->length == 0.0f && c->referenceLength < 0.0f && near(frameOf(l, 1), c->matrix()));
    d->transform = mat4::Translation(1, 2, 5);
    l = ToolList(&r2);
    EXPECT_TRUE(c->length == 2.0f && c->referenceLength == 2.0f && d->referenceLength == 2.0f);
}

TEST(BiToolList, TopLevelEndsLoneEndsAndUnreachedPartnersListWithoutStaleState) {
    Root root;
    auto [a, b] = addPair(&root, mat4::Translation(-1, 0, 0), &root, mat4::Translation(1, 0, 0));
    Tool* ca = a->addChild(newTool(), false);
    BiTool* lone = addEnd(&root, mat4::Translation(0, 3, 0));
    Tool* cl = lone->addChild(newTool(), false);
    ToolList l(&root);
    ASSERT_EQ(l.tools, (std::vector<Tool*>{b, a, ca, lone, cl}));
    EXPECT_EQ(l.parents, (std::vector<int>{0, 1, 1, 3, 3}));  // each end its own parent at its new index
    EXPECT_TRUE(l.topLevel(2) == 1 && l.topLevel(1) == 1 && l.topLevel(0) == 0);
    EXPECT_TRUE(lone->listedPlain() && near(frameOf(l, 3), lone->matrix()) && near(l.matrices[4], lone->matrix()));

    // Ends whose partner is not reached by the walk are listed as plain
    // tools under their recorded parent; the walk that reaches both pairs
    // them with its own matrices and indices.
    Root other;
    Tool* g = other.addChild(newTool(), false);
    Tool* p = other.addChild(newTool(), false);
    p->transform = mat4::Translation(0, 0, 4);
    auto [c, d] = addPair(p, mat4::Identity(), g, mat4::Translation(2, 0, 0));
    Tool* cc = c->addChild(newTool(), false);
    const ToolList onlyP(p), onlyG(g);
    EXPECT_EQ(onlyP.tools, (std::vector<Tool*>{p, c, cc}));
    EXPECT_EQ(onlyP.parents, (std::vector<int>{0, 0, 1}));
    EXPECT_TRUE(c->listedPlain() && near(onlyP.matrices[1], p->matrix()));
    EXPECT_EQ(onlyG.tools, (std::vector<Tool*>{g, d}));
    l = ToolList(&other);
    ASSERT_EQ(l.tools, (std::vector<Tool*>{g, p, c, cc, d}));
    EXPECT_EQ(l.parents, (std::vector<int>{0, 1, 1, 2, 0}));
    EXPECT_FALSE(c->listedPlain() || d->listedPlain());
    EXPECT_TRUE(near(frameOf(l, 2).translation(), vec3(0, 0, 4)) && near(frameOf(l, 4).translation(), vec3(2, 0, 0)));
    EXPECT_NEAR(c->length, std::sqrt(20.0f), 1e-5f);
}

TEST(BiToolList, TurnsAreRotationsAndDegenerateFramesStayFinite) {
    // A partner straight behind: a half turn about the end's x axis.
    Root root;
    auto [a, b] = addPair(&root, mat4::Identity(), &root, mat4::Translation(0, 0, -3));
    ToolList l(&root);
    EXPECT_TRUE(near(a->turn(), mat4::Scale(1, -1, -1)) && det3(a->turn()) > 0);
    EXPECT_TRUE(near(frameOf(l, indexOf(l, a)), mat4::Scale(1, -1, -1)) && a->length == 3.0f);
    EXPECT_NEAR(det3(b->turn()), 1.0, 1e-6);

    // An end scaled to zero: unturned, its length kept, nothing infinite.
    a->length = 7.0f;
    a->transform = mat4::Scale(0.0f);
    l = ToolList(&root);
    EXPECT_TRUE(allFinite(l) && a->length == 7.0f && near(l.matrices[std::size_t(indexOf(l, a))], mat4::Identity()));
    EXPECT_TRUE(std::isfinite(b->length));
}

// qel::BiTool: the stretch, cloning and marks, pairing and deletion (run
// these under the sanitizers: every tool must be freed exactly once).

#include "tools/bi_tool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool_test_util.h"

using namespace qel;
using tooltest::newTool;
using tooltest::TestElement;

namespace {

// A new end showing e, with the object bit.
BiTool* newEnd(Element* e, BiTool::TBiType type = BiTool::BiPlain) {
    auto* t = new BiTool(type, e, mat4::Identity(), pbr(), false);
    t->flags |= Tool::FlagObject;
    return t;
}

BiTool* end(Tool* t) { return t && t->isBiTool() ? static_cast<BiTool*>(t) : nullptr; }

}  // namespace

TEST(BiToolStretch, ScalesByTypeAndLeavesDegenerateLengthsUnstretched) {
    const mat4 m = mat4::Translation(1, 2, 3);
    struct Case {
        BiTool::TBiType type;
        float l, l0;
        mat4 scale;
    } cases[] = {
        {BiTool::BiUniform, 2, -1, mat4::Scale(2)},
        {BiTool::BiThin, 2, -1, mat4::Scale(0.3f, 0.3f, 2)},
        {BiTool::BiVolume, 2, 2, mat4::Scale(1, 1, 2)},                              // at rest: unscaled across
        {BiTool::BiVolume, 2, 1, mat4::Scale(std::sqrt(0.5f), std::sqrt(0.5f), 2)},  // twice as long
        {BiTool::BiVolume, 2, -1, mat4::Identity()},                                 // no rest length yet
        {BiTool::BiVolume, 1e-6f, 1, mat4::Identity()},                              // ends coincide
        {BiTool::BiUniform, 0, 1, mat4::Identity()},
        {BiTool::BiPlain, 2, 1, mat4::Identity()},
    };
    for (const Case& c : cases) {
        BiTool t(c.type, nullptr, mat4::Translation(0, 1, 0), pbr(), false);
        t.length = c.l;
        t.referenceLength = c.l0;
        const mat4 r = t.transformRender(m);
        EXPECT_TRUE(tooltest::near(r, m * t.matrix() * c.scale)) << c.type << " " << c.l << " " << c.l0;
        for (float v : r.m) EXPECT_TRUE(std::isfinite(v));
    }
}

TEST(BiToolCloneAndMarks, PairsCloneLinkedMarksNeedBothEndsRamificationsFollowThePartner) {
    auto* e = new TestElement;
    Root root;
    Tool* x = root.addChild(newTool(e, true), false);
    BiTool* a = end(x->addChild(newEnd(e, BiTool::BiVolume), false));
    BiTool* b = end(root.addChild(newEnd(e), false));
    Tool* below = b->addChild(newTool(e), false);
    a->setPartner(b);
    a->referenceLength = 3.0f;

    std::unique_ptr<Tool> copy(root.cloneObjectRamifications(mat4::Identity(), false));
    BiTool* ca = end(copy->children.at(0)->children.at(0));
    BiTool* cb = end(copy->children.at(1));
    ASSERT_TRUE(ca && cb && ca->partner == cb && cb->partner == ca && a->partner == b);
    EXPECT_TRUE(ca->type == BiTool::BiVolume && ca->referenceLength == 3.0f && ca->isObject());
    std::unique_ptr<Tool> lone(a->cloneObject(mat4::Identity(), false, false));
    EXPECT_TRUE(end(lone.get())->partner == nullptr && a->partner == b);

    a->setMark(1);
    EXPECT_FALSE(a->isMarked());
    b->setMark(1);
    EXPECT_TRUE(a->isMarked() && b->isMarked());  // returns: no mutual recursion
    a->setMark(0);
    b->setMark(0);
    a->markRamifications(1);
    EXPECT_TRUE(b->mark() == 1 && below->mark() == 1 && x->mark() == 0);
    a->markRamifications(0);

    std::vector<Tool*> tops, p1, p2, r1, r2;
    x->findRamifications(tops, p1, p2, r1, r2, true, true, true);
    EXPECT_TRUE(p1 == std::vector<Tool*>{a} && p2 == std::vector<Tool*>{b} && (tops == std::vector<Tool*>{x, b}));
    EXPECT_TRUE(x->mark() == 0 && a->mark() == 0 && b->mark() == 0 && below->mark() == 0);
}

TEST(BiToolDelete, PairsStayMutualAndEveryRemovalFreesEachToolOnce) {
    auto* e = new TestElement;
    e->refCount = 1;  // held here: its count is the number of living tools
    const auto pairUnder = [e](Tool* parent, bool nested) {
        BiTool* a = end(parent->addChild(newEnd(e), false));
        BiTool* b = end((nested ? static_cast<Tool*>(a) : parent)->addChild(newEnd(e), false));
        a->setPartner(b);
        return std::make_pair(a, b);
    };
    {
        // setPartner with a plain tool or the end itself changes nothing;
        // relinking leaves the old partner alone; deleting one end deletes
        // the other, but a child end only unlinks the end above it.
        Root root;
        auto [a, b] = pairUnder(&root, false);
        Tool* plain = root.addChild(newTool(e), false);
        a->setPartner(plain);
        a->setPartner(a);
        EXPECT_TRUE(a->partner == b && b->partner == a);
        BiTool* c = end(root.addChild(newEnd(e), false));
        c->setPartner(b);
        EXPECT_TRUE(c->partner == b && b->partner == c && a->partner == nullptr);
        delete c;
        EXPECT_TRUE((root.children == std::vector<Tool*>{a, plain}) && e->refCount == 3);
        auto [d, f] = pairUnder(a, true);
        delete f;
        EXPECT_TRUE(a->children == std::vector<Tool*>{d} && d->partner == nullptr && e->refCount == 4);
    }
    for (int which = 0; which < 3; ++which) {
        // Removing an object holding both ends, or either end of a pair whose
        // second end is the first's child.
        Scene scene;
        Tool* o = scene.objectsRoot->addChild(newTool(e, true), false);
        auto [a, b] = pairUnder(o, which != 0);
        Tool* stays = scene.objectsRoot->addChild(newTool(e, true), false);
        scene.removeObject(which == 0 ? o : which == 1 ? static_cast<Tool*>(a) : b, false);
        EXPECT_TRUE(e->refCount == (which == 0 ? 2 : 3) && scene.objectsRoot->children.back() == stays) << which;
    }
    {
        // Closing a scene of pairs, one of them across both roots.
        Scene scene;
        pairUnder(scene.objectsRoot->addChild(newTool(e, true), false), false);
        pairUnder(scene.objectsRoot, true);
        scene.addTool(newEnd(e))->setPartner(scene.objectsRoot->addChild(newEnd(e), false));
    }
    EXPECT_EQ(e->refCount, 1);
    delete e;
}

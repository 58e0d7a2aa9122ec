// Cloning objects and ramifications.

#include <gtest/gtest.h>

#include "scene/tool.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::newTool;
using tooltest::ringOf;
using tooltest::TestElement;

namespace {

// A template with two children, each with a shared element.
struct Tree {
    TestElement* e = new TestElement();
    Tool* top;
    Tool* c1;
    Tool* c2;
    Tree() {
        top = newTool(e);
        c1 = top->addChild(newTool(e), false);
        c2 = top->addChild(newTool(e), false);
    }
    ~Tree() { delete top; }
};

bool allMarksClear(Tool* t) {
    if (t->mark() != 0 || t->clone != nullptr) return false;
    for (Tool* c : t->children)
        if (!allMarksClear(c)) return false;
    return true;
}

}  // namespace

TEST(ToolClone, CloneToolCopiesTheSubtreeIntoRings) {
    Tree tr;
    tr.top->flags |= Tool::FlagObject | Tool::FlagSelected;
    tr.top->pivot = mat4::Translation(1, 2, 3);
    Tool* c = tr.top->cloneTool(false);
    ASSERT_EQ(c->children.size(), 2u);
    EXPECT_EQ(c->pivot, mat4::Identity());
    EXPECT_TRUE(c->isInstanceOf(tr.top));
    EXPECT_TRUE(c->children[0]->isInstanceOf(tr.c1));
    EXPECT_TRUE(c->children[1]->isInstanceOf(tr.c2));
    EXPECT_EQ(c->children[0]->parent, c);
    for (Tool* x : {c, c->children[0], c->children[1]}) {
        EXPECT_FALSE(x->isObject());
        EXPECT_FALSE(x->isSelected());
        EXPECT_TRUE(x->flags & Tool::FlagCreated);
        EXPECT_EQ(x->kind, Tool::KindTool);
        EXPECT_EQ(x->id, -1);
    }
    EXPECT_EQ(tr.e->refCount, 6);  // three tools, three copies, one shared element
    EXPECT_TRUE(allMarksClear(tr.top));
    // Children copies keep the source child's pivot.
    Tool* k = tr.top->cloneTool(true);
    EXPECT_EQ(k->pivot, tr.top->pivot);
    delete c;
    delete k;
    EXPECT_EQ(tr.e->refCount, 3);
}

TEST(ToolClone, CloneObjectOfASelectedObject) {
    Tree tr;
    tr.top->flags |= Tool::FlagObject | Tool::FlagSelected | Tool::FlagTemp;
    tr.top->pivot = mat4::Translation(1, 0, 0);
    const mat4 m = mat4::Rotation(0.f, 0.f, 0.5f);
    Tool* c = tr.top->cloneObject(m, false, false);
    EXPECT_TRUE(c->isObject());
    EXPECT_FALSE(c->isSelected());
    EXPECT_FALSE(c->isTempMarked());
    EXPECT_EQ(c->pivot, m * tr.top->pivot);
    EXPECT_FALSE(c->isInstanced());  // join false: alone
    ASSERT_EQ(c->children.size(), 2u);
    EXPECT_TRUE(c->children[0]->isInstanceOf(tr.c1));  // recursive copies always join
    EXPECT_TRUE(c->children[1]->isInstanceOf(tr.c2));
    EXPECT_TRUE(c->children[0]->isObject());
    EXPECT_EQ(c->children[0]->pivot, tr.c1->pivot);
    EXPECT_TRUE(allMarksClear(tr.top));
    Tool* j = tr.top->cloneObject(mat4::Identity(), true, true);
    EXPECT_TRUE(j->isInstanceOf(tr.top));
    EXPECT_EQ(ringOf(tr.c1).size(), 3u);
    delete c;
    delete j;
}

TEST(ToolClone, CloneToolWorkerWithoutMarksCopiesTheToolAlone) {
    Tree tr;
    Tool* c = tr.top->CloneTool(true, false);
    EXPECT_TRUE(c->children.empty());
    EXPECT_TRUE(c->isInstanceOf(tr.top));
    delete c;
}

TEST(ToolClone, MarkedRegionOnlyAndForwarding) {
    Tree tr;
    // Only c1 marked: CloneObject with mark mode 0 copies c1 alone.
    tr.c1->setMark(1);
    Tool* c = tr.top->CloneObject(mat4::Identity(), false, 0);
    ASSERT_EQ(c->children.size(), 1u);
    EXPECT_TRUE(c->children[0]->isInstanceOf(tr.c1));
    // A child whose clone is already set is attached as that copy.
    EXPECT_EQ(tr.c1->clone, c->children[0]);
    Tool* pre = newTool();
    tr.c1->clone = pre;
    Tool* d = tr.top->CloneObject(mat4::Identity(), false, 0);
    ASSERT_EQ(d->children.size(), 1u);
    EXPECT_EQ(d->children[0], pre);
    tr.top->Mark(0);
    delete c;
    delete d;
}

TEST(ToolClone, CopyKeepsFlagsAxesAndAnimation) {
    Tool* t = newTool();
    t->flags = std::uint8_t(1 | 2 | 4 | 8 | 16 | 32 | 192);
    t->rotationAxis = vec3(0, 1, 0);
    t->translationAxis = vec3(1, 0, 0);
    t->rotationMultiplicity = 3.0f;
    t->speed = 2.0f;
    t->delay = 0.5f;
    pbr p;
    p.metalness = 100;
    t->material = p;
    t->transform = mat4::Translation(4, 5, 6);
    Tool* a = t->cloneTool(false);
    EXPECT_EQ(a->flags, 1 | 4 | 32 | 192);
    Tool* b = t->cloneObject(mat4::Identity(), false, false);
    EXPECT_EQ(b->flags, 1 | 4 | 8 | 32 | 192);
    for (Tool* x : {a, b}) {
        EXPECT_EQ(x->rotationAxis, t->rotationAxis);
        EXPECT_EQ(x->translationAxis, t->translationAxis);
        EXPECT_EQ(x->rotationMultiplicity, 3.0f);
        EXPECT_EQ(x->speed, 2.0f);
        EXPECT_EQ(x->delay, 0.5f);
        EXPECT_EQ(x->material, p);
        EXPECT_EQ(x->transform, t->transform);
        EXPECT_EQ(x->time, 0.0);
    }
    delete a;
    delete b;
    delete t;
}

TEST(ToolClone, ElementCopyRule) {
    TestElement::alive = 0;
    {
        auto* shared = new TestElement(false);
        Tool* t = newTool(shared);
        Tool* c = t->cloneObject(mat4::Identity(), true, false);
        EXPECT_EQ(c->element, shared);
        EXPECT_EQ(shared->refCount, 2);
        delete c;
        delete t;
    }
    EXPECT_EQ(TestElement::alive, 0);
    {
        auto* dup = new TestElement(true);
        Tool* t = newTool(dup);  // takes a duplicate
        EXPECT_NE(t->element, dup);
        delete dup;
        Tool* c = t->cloneTool(false);
        EXPECT_NE(c->element, t->element);
        EXPECT_EQ(c->element->refCount, 1);
        EXPECT_TRUE(c->isInstanceOf(t));
        delete c;
        delete t;
    }
    EXPECT_EQ(TestElement::alive, 0);
}

TEST(ToolClone, CloneObjectRamificationsCopiesEveryChild) {
    Tree tr;
    tr.c2->addChild(newTool(), false);
    Tool* c = tr.top->cloneObjectRamifications(mat4::Translation(0, 0, 1), false);
    ASSERT_EQ(c->children.size(), 2u);
    EXPECT_EQ(c->children[1]->children.size(), 1u);
    EXPECT_EQ(c->pivot, mat4::Translation(0, 0, 1));
    EXPECT_TRUE(allMarksClear(tr.top));
    // The worker with mark 0 copies unmarked children too.
    Tool* d = tr.top->CloneObjectRamifications(mat4::Identity(), false, 0);
    EXPECT_EQ(d->children.size(), 2u);
    tr.top->Mark(0);
    delete c;
    delete d;
}

TEST(ToolClone, FindRamifications) {
    Tool* root = newTool();
    Tool* t = root->addChild(newTool(), false);
    Tool* child = t->addChild(newTool(), false);
    Tool* outside = root->addChild(newTool(), false);
    child->joinInstances(outside);  // a ring crossing the region's border
    std::vector<Tool*> a, b, c, d, e;
    t->findRamifications(a, b, c, d, e, true, true, true);
    EXPECT_EQ(a, (std::vector<Tool*>{t}));
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0], child);
    EXPECT_EQ(e[0], outside);
    EXPECT_TRUE(b.empty() && c.empty());
    EXPECT_TRUE(allMarksClear(root));
    delete root;
}

// Cloning tools and objects, marked regions and ramifications.

#include <gtest/gtest.h>

#include "scene/tool.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::newTool;
using tooltest::ringOf;
using tooltest::TestElement;

namespace {

// A tool with two children, all three showing one shared element.
struct Tree {
    TestElement* e = new TestElement();
    Tool* top = newTool(e);
    Tool* c1 = top->addChild(newTool(e), false);
    Tool* c2 = top->addChild(newTool(e), false);
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
    tr.top->flags = std::uint8_t(0xFF);
    tr.top->pivot = mat4::Translation(1, 2, 3);
    tr.top->speed = 2.0f;
    Tool* c = tr.top->cloneTool(false);
    ASSERT_EQ(c->children.size(), 2u);
    EXPECT_EQ(c->flags, 0xFF & ~(Tool::FlagObject | Tool::FlagSelected | Tool::FlagTemp));
    EXPECT_EQ(c->pivot, mat4::Identity());
    EXPECT_EQ(c->speed, 2.0f);
    EXPECT_TRUE(c->isInstanceOf(tr.top));
    EXPECT_TRUE(c->children[1]->isInstanceOf(tr.c2));
    EXPECT_EQ(c->children[0]->parent, c);
    EXPECT_EQ(tr.e->refCount, 6);  // three tools and three copies share the element
    EXPECT_TRUE(allMarksClear(tr.top));
    Tool* k = tr.top->cloneTool(true);  // keeping the pivot
    EXPECT_EQ(k->pivot, tr.top->pivot);
    delete c;
    delete k;
    EXPECT_EQ(tr.e->refCount, 3);
}

TEST(ToolClone, CloneObjectPlacesAFreshObject) {
    Tree tr;
    tr.top->flags |= Tool::FlagObject | Tool::FlagSelected | Tool::FlagTemp;
    tr.top->pivot = mat4::Translation(1, 0, 0);
    const mat4 m = mat4::Rotation(0.f, 0.f, 0.5f);
    Tool* c = tr.top->cloneObject(m, false, false);
    EXPECT_TRUE(c->isObject());
    EXPECT_FALSE(c->isSelected() || c->isTempMarked());
    EXPECT_EQ(c->pivot, m * tr.top->pivot);
    EXPECT_FALSE(c->isInstanced());  // not joined: alone
    ASSERT_EQ(c->children.size(), 2u);
    EXPECT_TRUE(c->children[0]->isInstanceOf(tr.c1));  // copies of children always join
    EXPECT_TRUE(c->children[0]->isObject());
    EXPECT_TRUE(allMarksClear(tr.top));
    Tool* j = tr.top->cloneObject(mat4::Identity(), true, true);
    EXPECT_TRUE(j->isInstanceOf(tr.top));
    EXPECT_EQ(ringOf(tr.c1).size(), 3u);
    delete c;
    delete j;
}

TEST(ToolClone, ElementsAreSharedOrDuplicatedAsTheElementSays) {
    TestElement::alive = 0;
    {
        auto* dup = new TestElement(true);
        Tool* t = newTool(dup);  // takes a duplicate
        EXPECT_NE(t->element, dup);
        delete dup;
        Tool* c = t->cloneTool(false);
        EXPECT_NE(c->element, t->element);
        EXPECT_EQ(c->element->refCount, 1);
        delete c;
        delete t;
    }
    EXPECT_EQ(TestElement::alive, 0);
}

TEST(ToolClone, RamificationsCopyEveryChildAndFindTheRingsLeavingTheRegion) {
    Tree tr;
    tr.c2->addChild(newTool(), false);
    Tool* c = tr.top->cloneObjectRamifications(mat4::Translation(0, 0, 1), false);
    ASSERT_EQ(c->children.size(), 2u);
    EXPECT_EQ(c->children[1]->children.size(), 1u);
    EXPECT_EQ(c->pivot, mat4::Translation(0, 0, 1));
    EXPECT_TRUE(allMarksClear(tr.top));
    delete c;

    Tool* root = newTool();
    Tool* t = root->addChild(newTool(), false);
    Tool* child = t->addChild(newTool(), false);
    Tool* outside = root->addChild(newTool(), false);
    child->joinInstances(outside);  // a ring crossing the region's border
    std::vector<Tool*> a, b, cc, d, e;
    t->findRamifications(a, b, cc, d, e, true, true, true);
    EXPECT_EQ(a, (std::vector<Tool*>{t}));
    EXPECT_EQ(d, (std::vector<Tool*>{child}));
    EXPECT_EQ(e, (std::vector<Tool*>{outside}));
    EXPECT_TRUE(b.empty() && cc.empty());
    EXPECT_TRUE(allMarksClear(root));
    delete root;
}

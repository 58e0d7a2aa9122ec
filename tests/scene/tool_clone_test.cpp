// Cloning tools and objects, marked regions and ramifications.

#include <gtest/gtest.h>

#include <memory>

#include "scene/root.h"
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

TEST(ToolClone, ToolsAndObjectsCopyTheSubtreeIntoRings) {
    Tree tr;
    tr.top->flags = std::uint8_t(0xFF);
    tr.top->pivot = mat4::Translation(1, 2, 3);
    tr.top->speed = 2.0f;
    Tool* c = tr.top->cloneTool(false);
    ASSERT_EQ(c->children.size(), 2u);
    EXPECT_EQ(c->flags, 0xFF & ~(Tool::FlagObject | Tool::FlagSelected | Tool::FlagTemp));
    EXPECT_TRUE(c->pivot == mat4::Identity() && c->speed == 2.0f);
    EXPECT_TRUE(c->isInstanceOf(tr.top) && c->children[1]->isInstanceOf(tr.c2));
    EXPECT_EQ(tr.e->refCount, 6);  // three tools and three copies share the element
    EXPECT_TRUE(allMarksClear(tr.top));
    Tool* k = tr.top->cloneTool(true);  // keeping the pivot
    EXPECT_EQ(k->pivot, tr.top->pivot);
    delete c;
    delete k;
    EXPECT_EQ(tr.e->refCount, 3);

    // An element that duplicates itself on copy gives every copy its own.
    std::unique_ptr<TestElement> dup(new TestElement(true));
    std::unique_ptr<Tool> t(newTool(dup.get())), u(t->cloneTool(false));
    EXPECT_TRUE(t->element != dup.get() && u->element != t->element && u->element->refCount == 1);

    // As an object: unselected, placed by m, alone unless joined; its children always join.
    const mat4 m = mat4::Rotation(0.f, 0.f, 0.5f);
    std::unique_ptr<Tool> o(tr.top->cloneObject(m, false, false));
    EXPECT_TRUE(o->isObject() && !o->isSelected() && !o->isTempMarked());
    EXPECT_TRUE(o->pivot == m * tr.top->pivot && !o->isInstanced());
    ASSERT_EQ(o->children.size(), 2u);
    EXPECT_TRUE(o->children[0]->isInstanceOf(tr.c1) && o->children[0]->isObject());  // children always join
    EXPECT_TRUE(allMarksClear(tr.top));
    std::unique_ptr<Tool> j(tr.top->cloneObject(mat4::Identity(), true, true));
    EXPECT_TRUE(j->isInstanceOf(tr.top) && ringOf(tr.c1).size() == 3u);
}

TEST(ToolClone, RamificationsCopyEveryChildAndFindTheRingsLeavingTheRegion) {
    Tree tr;
    tr.c2->addChild(newTool(), false);
    std::unique_ptr<Tool> c(tr.top->cloneObjectRamifications(mat4::Translation(0, 0, 1), false));
    ASSERT_EQ(c->children.size(), 2u);
    EXPECT_TRUE(c->children[1]->children.size() == 1u && allMarksClear(tr.top));

    Root root;
    Tool* t = root.addChild(newTool(), false);
    Tool* child = t->addChild(newTool(), false);
    Tool* outside = root.addChild(newTool(), false);
    child->joinInstances(outside);  // a ring crossing the region's border
    std::vector<Tool*> a, b, cc, d, e;
    t->findRamifications(a, b, cc, d, e, true, true, true);
    EXPECT_TRUE(a == std::vector<Tool*>{t} && b.empty() && cc.empty());
    EXPECT_TRUE(d == std::vector<Tool*>{child} && e == std::vector<Tool*>{outside});
    EXPECT_TRUE(allMarksClear(t));
}

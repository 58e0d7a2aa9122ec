// The child list, element ownership, instance rings and selection of qel::Tool.

#include <gtest/gtest.h>

#include "scene/root.h"
#include "scene/tool.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::newTool;
using tooltest::ringOf;
using tooltest::TestElement;

TEST(ToolHierarchy, ChildListInsertsAndLetsChildrenLeave) {
    Root p;
    Tool* a = p.addChild(newTool(), false);
    Tool* b = p.addChild(newTool(), false);
    Tool* c = p.insertChild(1, newTool());
    EXPECT_EQ(p.children, (std::vector<Tool*>{a, c, b}));
    Tool stranger(nullptr, mat4::Identity(), pbr(), false);
    EXPECT_TRUE(p.subChild(&stranger) == -1 && p.subChild(c) == 1);
    c->parent = nullptr;
    delete c;
    delete a;  // deleting a child takes it out of its parent's list
    EXPECT_EQ(p.children, (std::vector<Tool*>{b}));
}

TEST(ToolHierarchy, ElementsAreHeldAndFreedWithTheirLastTool) {
    TestElement::alive = 0;
    auto* e = new TestElement();
    auto* f = new TestElement();
    Tool* a = newTool(e);
    Tool* b = newTool(e);
    EXPECT_EQ(e->refCount, 2);
    EXPECT_EQ(a->setElement(e), 0);
    EXPECT_EQ(a->setElement(f), 1);  // e is still used by b
    EXPECT_EQ(b->setElement(f), 2);  // e deleted
    EXPECT_EQ(TestElement::alive, 1);
    // A shared element is copied for its tool; a single one is kept.
    EXPECT_TRUE(a->makeUniqueElement());
    EXPECT_TRUE(a->element->refCount == 1 && f->refCount == 1);
    EXPECT_FALSE(a->makeUniqueElement());
    delete a;
    delete b;
    EXPECT_EQ(TestElement::alive, 0);
}

TEST(ToolHierarchy, InstanceRingsStaySoundWhenMembersLeave) {
    Tool* a = newTool();
    Tool* b = newTool();
    Tool* c = newTool();
    a->joinInstances(b);
    a->joinInstances(b);  // already one ring: unchanged
    EXPECT_EQ(ringOf(a).size(), 2u);
    b->joinInstances(c);
    EXPECT_EQ(ringOf(c).size(), 3u);
    b->removeInstance();
    EXPECT_TRUE(!b->isInstanced() && ringOf(a).size() == 2u);
    b->joinInstances(a);
    delete a;
    EXPECT_TRUE(ringOf(b).size() == 2u && b->isInstanceOf(c));
    delete b;
    EXPECT_FALSE(c->isInstanced());
    delete c;
}

TEST(ToolHierarchy, SelectionReachesRingObjectsInItsScope) {
    Root root;
    Tool* p1 = root.addChild(newTool(), false);
    Tool* a = p1->addChild(newTool(nullptr, true), false);
    Tool* b = p1->addChild(newTool(nullptr, true), false);
    Tool* c = root.addChild(newTool(), false)->addChild(newTool(nullptr, true), false);
    Tool* d = p1->addChild(newTool(nullptr, false), false);  // not an object
    for (Tool* t : {b, c, d}) a->joinInstances(t);

    a->select(true, true);
    EXPECT_TRUE(a->isSelected() && b->isSelected());
    EXPECT_FALSE(c->isSelected() || d->isSelected());  // other parent, not an object
    a->select(true, false);
    EXPECT_TRUE(c->isSelected());
    a->deselect(false, false);
    EXPECT_TRUE(!a->isSelected() && b->isSelected());

    std::vector<Tool*> marked;
    a->tempSelect(marked, true, true);
    EXPECT_TRUE(marked.size() == 2u && b->isTempMarked());
    Tool::tempDeselect(marked);
    EXPECT_TRUE(marked.empty() && !a->isTempMarked() && !b->isTempMarked());
}

TEST(ToolHierarchy, AddChildToAllCopiesOnlyFromASelectedTool) {
    Root root;
    Tool* p = root.addChild(newTool(nullptr, true), false);
    Tool* q = root.addChild(newTool(nullptr, true), false);
    Tool* r = root.addChild(newTool(nullptr, true), false);
    p->joinInstances(q);
    p->joinInstances(r);
    q->flags |= Tool::FlagSelected;
    Tool* child = newTool(nullptr, true);
    // p is not selected: nothing is placed anywhere and the caller keeps the child.
    EXPECT_EQ(p->addChild(child, true), nullptr);
    EXPECT_TRUE(p->children.empty() && q->children.empty() && child->parent == nullptr);
    p->flags |= Tool::FlagSelected;
    EXPECT_EQ(p->addChild(child, true), child);
    ASSERT_EQ(q->children.size(), 1u);
    EXPECT_TRUE(r->children.empty());
    EXPECT_TRUE(q->children[0]->isInstanceOf(child) && q->children[0]->isObject());
}

// The child list, element ownership, instance rings and selection of qel::Tool.

#include <gtest/gtest.h>

#include "scene/tool.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::newTool;
using tooltest::ringOf;
using tooltest::TestElement;

TEST(ToolHierarchy, ChildListRefusesNullAndStrangers) {
    Tool* p = newTool();
    EXPECT_EQ(p->addChild(nullptr, false), nullptr);
    EXPECT_EQ(p->insertChild(0, nullptr), nullptr);
    Tool* a = p->addChild(newTool(), false);
    Tool* b = p->addChild(newTool(), false);
    Tool* c = p->insertChild(1, newTool());
    EXPECT_EQ(p->children, (std::vector<Tool*>{a, c, b}));
    EXPECT_EQ(p->setChild(0, nullptr), nullptr);
    EXPECT_EQ(p->children[0], a);

    Tool stranger(nullptr, mat4::Identity(), pbr(), false);
    EXPECT_EQ(p->subChild(&stranger), -1);
    EXPECT_EQ(p->findChildIndex(&stranger), -1);
    EXPECT_EQ(p->subChild(c), 1);
    c->parent = nullptr;
    delete c;
    delete a;  // deleting a child takes it out of its parent's list
    EXPECT_EQ(p->children, (std::vector<Tool*>{b}));
    delete p;
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
    Tool* c = newTool();
    EXPECT_EQ(c->setElement(f), 2);  // there was none
    EXPECT_EQ(c->setElement(nullptr), 1);
    // A shared element is copied for its tool; a single one is kept.
    EXPECT_TRUE(a->makeUniqueElement());
    EXPECT_EQ(a->element->refCount, 1);
    EXPECT_EQ(f->refCount, 1);
    EXPECT_FALSE(a->makeUniqueElement());
    EXPECT_FALSE(c->makeUniqueElement());
    delete a;
    delete b;
    delete c;
    EXPECT_EQ(TestElement::alive, 0);
}

TEST(ToolHierarchy, InstanceRingsStaySoundWhenMembersLeave) {
    Tool* a = newTool();
    Tool* b = newTool();
    Tool* c = newTool();
    a->joinInstances(b);
    a->joinInstances(b);  // already one ring: unchanged
    EXPECT_EQ(ringOf(a).size(), 2u);
    EXPECT_FALSE(a->isInstanceOf(c));
    b->joinInstances(c);
    EXPECT_EQ(ringOf(c).size(), 3u);
    b->removeInstance();
    EXPECT_FALSE(b->isInstanced());
    EXPECT_EQ(ringOf(a).size(), 2u);
    b->joinInstances(a);
    delete a;
    EXPECT_EQ(ringOf(b).size(), 2u);
    EXPECT_TRUE(b->isInstanceOf(c));
    delete b;
    EXPECT_FALSE(c->isInstanced());
    delete c;
}

TEST(ToolHierarchy, SelectionReachesRingObjectsInItsScope) {
    Tool* p1 = newTool();
    Tool* p2 = newTool();
    Tool* a = p1->addChild(newTool(nullptr, true), false);
    Tool* b = p1->addChild(newTool(nullptr, true), false);
    Tool* c = p2->addChild(newTool(nullptr, true), false);
    Tool* d = p1->addChild(newTool(nullptr, false), false);  // not an object
    for (Tool* t : {b, c, d}) a->joinInstances(t);

    a->select(true, true);
    EXPECT_TRUE(a->isSelected() && b->isSelected());
    EXPECT_FALSE(c->isSelected());  // other parent
    EXPECT_FALSE(d->isSelected());  // not an object
    a->select(true, false);
    EXPECT_TRUE(c->isSelected());
    a->deselect(false, false);
    EXPECT_FALSE(a->isSelected());
    EXPECT_TRUE(b->isSelected());

    std::vector<Tool*> marked;
    a->tempSelect(marked, true, true);
    EXPECT_EQ(marked.size(), 2u);
    EXPECT_TRUE(b->isTempMarked());
    Tool::tempDeselect(marked);
    EXPECT_TRUE(marked.empty());
    EXPECT_FALSE(a->isTempMarked() || b->isTempMarked());
    delete p1;
    delete p2;
}

TEST(ToolHierarchy, AddChildToAllGivesEachSelectedInstanceACopy) {
    Tool* p = newTool(nullptr, true);
    Tool* q = newTool(nullptr, true);
    Tool* r = newTool(nullptr, true);
    p->joinInstances(q);
    p->joinInstances(r);
    q->flags |= Tool::FlagSelected;  // p and r are not selected
    Tool* child = newTool(nullptr, true);
    // p adopts nothing, so the result is null and the caller keeps the child.
    EXPECT_EQ(p->addChild(child, true), nullptr);
    EXPECT_TRUE(p->children.empty());
    EXPECT_EQ(child->parent, nullptr);
    ASSERT_EQ(q->children.size(), 1u);
    EXPECT_TRUE(r->children.empty());
    EXPECT_TRUE(q->children[0]->isInstanceOf(child));
    EXPECT_TRUE(q->children[0]->isObject());
    delete child;
    EXPECT_FALSE(q->children[0]->isInstanced());
    delete p;
    delete q;
    delete r;
}

// Construction, element ownership, child list, lists, instance
// rings, selection and marks of qel::Tool, and qel::Root.

#include <gtest/gtest.h>

#include "scene/root.h"
#include "scene/tool.h"
#include "tool_test_util.h"

using namespace qel;
using tooltest::newTool;
using tooltest::ringOf;
using tooltest::TestElement;

TEST(ToolHierarchy, ConstructorDefaults) {
    const mat4 m = mat4::Translation(1, 2, 3);
    pbr p;
    p.roughness = 7;
    Tool t(nullptr, m, p, true);
    EXPECT_EQ(t.kind, Tool::KindTool);
    EXPECT_EQ(t.flags, 5);
    EXPECT_EQ(t.transform, m);
    EXPECT_EQ(t.pivot, mat4::Identity());
    EXPECT_EQ(t.material, p);
    EXPECT_EQ(t.id, -1);
    EXPECT_EQ(t.rotationMultiplicity, 1.0f);
    EXPECT_EQ(t.speed, 1.0f);
    EXPECT_EQ(t.delay, 0.0f);
    EXPECT_EQ(t.time, 0.0);
    EXPECT_TRUE(isZero(t.rotationAxis));
    EXPECT_TRUE(isZero(t.translationAxis));
    EXPECT_FALSE(t.isInstanced());
    EXPECT_EQ(t.previousInstance(), &t);
    EXPECT_TRUE(t.isEmpty());
    EXPECT_TRUE(t.isTool());
    EXPECT_FALSE(t.isArray() || t.isBiTool() || t.isRoot());
    Tool u(nullptr, m, p, false);
    EXPECT_EQ(u.flags, 1);
}

TEST(ToolHierarchy, RootKindAndLists) {
    Root root;
    EXPECT_TRUE(root.isRoot());
    EXPECT_EQ(root.kind, Tool::KindRoot);
    EXPECT_TRUE(root.isEmpty());
    Tool* a = root.addChild(newTool(), false);
    a->pivot = mat4::Translation(1, 0, 0);
    Tool* a1 = a->addChild(newTool(), false);
    Tool* b = root.addChild(newTool(), false);
    b->transform = mat4::Translation(0, 2, 0);

    std::vector<Tool*> flat;
    root.toList(flat);
    ASSERT_EQ(flat.size(), 3u);
    EXPECT_EQ(flat[0], a);
    EXPECT_EQ(flat[1], a1);
    EXPECT_EQ(flat[2], b);
    EXPECT_EQ(root.id, -1);  // the root is neither numbered nor listed
    EXPECT_EQ(b->id, 2);

    std::vector<Tool*> tools;
    std::vector<mat4> ms;
    std::vector<int> parents, subs;
    const mat4 base = mat4::Translation(0, 0, 5);
    root.toList(tools, ms, parents, subs, base, 99, 99);
    ASSERT_EQ(tools.size(), 3u);
    EXPECT_EQ(parents, (std::vector<int>{0, 0, 2}));  // top-level entries are their own parents
    EXPECT_EQ(subs, (std::vector<int>{-1, -1, -1}));
    EXPECT_EQ(ms[0], base);
    EXPECT_EQ(ms[1], base * a->matrix());
    EXPECT_EQ(ms[2], base);
}

TEST(ToolHierarchy, PreOrderNumberingThreeLevels) {
    Tool* r = newTool();
    Tool* c1 = r->addChild(newTool(), false);
    Tool* g1 = c1->addChild(newTool(), false);
    Tool* g2 = c1->addChild(newTool(), false);
    Tool* c2 = r->addChild(newTool(), false);
    std::vector<Tool*> list;
    r->toList(list);
    ASSERT_EQ(list, (std::vector<Tool*>{r, c1, g1, g2, c2}));
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list[i]->id, int(i));
    delete r;
}

TEST(ToolHierarchy, ChildListOperations) {
    Tool* p = newTool();
    EXPECT_EQ(p->addChild(nullptr, false), nullptr);
    Tool* a = p->addChild(newTool(), false);
    Tool* b = p->addChild(newTool(), false);
    EXPECT_EQ(a->parent, p);
    EXPECT_EQ(p->findChildIndex(b), 1);
    Tool* c = newTool();
    EXPECT_EQ(p->insertChild(1, c), c);
    EXPECT_EQ(c->parent, p);
    EXPECT_EQ(p->children, (std::vector<Tool*>{a, c, b}));
    EXPECT_EQ(p->insertChild(0, nullptr), nullptr);
    EXPECT_EQ(p->setChild(0, nullptr), nullptr);
    EXPECT_EQ(p->children[0], a);

    Tool stranger(nullptr, mat4::Identity(), pbr(), false);
    EXPECT_EQ(p->subChild(&stranger), -1);
    EXPECT_EQ(p->children.size(), 3u);
    EXPECT_EQ(p->findChildIndex(&stranger), -1);

    EXPECT_EQ(p->subChild(c), 1);
    EXPECT_EQ(c->parent, p);  // not changed by subChild
    c->parent = nullptr;
    delete c;
    EXPECT_EQ(p->children, (std::vector<Tool*>{a, b}));

    // Deleting a child takes it out of its parent's list.
    delete a;
    EXPECT_EQ(p->children, (std::vector<Tool*>{b}));
    EXPECT_EQ(p->clearChildren(), p);
    EXPECT_TRUE(p->children.empty());
    delete p;
}

TEST(ToolHierarchy, RemoveToolsDeletesMarked) {
    Tool* p = newTool();
    Tool* k[5];
    for (auto& t : k) t = p->addChild(newTool(), false);
    k[0]->flags |= Tool::FlagTemp;
    k[1]->flags |= Tool::FlagTemp;
    Tool* grand = k[3]->addChild(newTool(), false);
    grand->flags |= Tool::FlagTemp;
    k[4]->addChild(newTool(), false);
    p->removeTools();
    EXPECT_EQ(p->children, (std::vector<Tool*>{k[2], k[3], k[4]}));
    EXPECT_TRUE(k[3]->children.empty());
    EXPECT_EQ(k[4]->children.size(), 1u);
    delete p;
}

TEST(ToolHierarchy, ElementOwnership) {
    TestElement::alive = 0;
    auto* e = new TestElement();
    Tool* a = newTool(e);
    Tool* b = newTool(e);
    EXPECT_EQ(e->refCount, 2);
    delete a;
    EXPECT_EQ(TestElement::alive, 1);
    EXPECT_EQ(e->refCount, 1);
    delete b;
    EXPECT_EQ(TestElement::alive, 0);
}

TEST(ToolHierarchy, SetElementResults) {
    TestElement::alive = 0;
    auto* e = new TestElement();
    auto* f = new TestElement();
    Tool* a = newTool(e);
    Tool* b = newTool(e);
    EXPECT_EQ(a->setElement(e), 0);
    EXPECT_EQ(a->setElement(f), 1);  // e is still used by b
    EXPECT_EQ(e->refCount, 1);
    EXPECT_EQ(b->setElement(f), 2);  // e deleted
    EXPECT_EQ(TestElement::alive, 1);
    EXPECT_EQ(f->refCount, 2);
    Tool* c = newTool();
    EXPECT_EQ(c->setElement(f), 2);  // there was none
    EXPECT_EQ(c->setElement(nullptr), 1);
    EXPECT_TRUE(c->isEmpty());
    // makeUniqueElement: shared -> own copy; single -> nothing.
    EXPECT_TRUE(a->makeUniqueElement());
    EXPECT_NE(a->element, f);
    EXPECT_EQ(a->element->refCount, 1);
    EXPECT_EQ(f->refCount, 1);
    EXPECT_FALSE(a->makeUniqueElement());
    EXPECT_FALSE(c->makeUniqueElement());
    delete a;
    delete b;
    delete c;
    EXPECT_EQ(TestElement::alive, 0);
}

TEST(ToolHierarchy, InstanceRings) {
    Tool* a = newTool();
    Tool* b = newTool();
    Tool* c = newTool();
    a->joinInstances(b);
    EXPECT_EQ(ringOf(a).size(), 2u);
    EXPECT_TRUE(a->isInstanced());
    EXPECT_TRUE(a->isInstanceOf(b));
    EXPECT_TRUE(b->isInstanceOf(a));
    EXPECT_FALSE(a->isInstanceOf(c));
    a->joinInstances(b);  // already one ring: unchanged
    EXPECT_EQ(ringOf(a).size(), 2u);
    b->joinInstances(c);
    EXPECT_EQ(ringOf(a).size(), 3u);
    EXPECT_EQ(ringOf(c).size(), 3u);
    EXPECT_EQ(b->previousInstance()->nextInstance, b);
    b->removeInstance();
    EXPECT_FALSE(b->isInstanced());
    EXPECT_EQ(ringOf(a).size(), 2u);
    EXPECT_TRUE(a->isInstanceOf(c));
    // Deleting a member keeps the others' ring sound.
    b->joinInstances(a);
    delete a;
    EXPECT_EQ(ringOf(b).size(), 2u);
    EXPECT_TRUE(b->isInstanceOf(c));
    delete b;
    EXPECT_FALSE(c->isInstanced());
    delete c;
}

TEST(ToolHierarchy, SelectionScopes) {
    Tool* p1 = newTool();
    Tool* p2 = newTool();
    Tool* a = p1->addChild(newTool(nullptr, true), false);
    Tool* b = p1->addChild(newTool(nullptr, true), false);
    Tool* c = p2->addChild(newTool(nullptr, true), false);
    Tool* d = p1->addChild(newTool(nullptr, false), false);  // not an object
    a->joinInstances(b);
    a->joinInstances(c);
    a->joinInstances(d);

    d->select(false, false);
    EXPECT_FALSE(d->isSelected());  // not an object: unchanged

    a->select(true, true);
    EXPECT_TRUE(a->isSelected());
    EXPECT_TRUE(b->isSelected());
    EXPECT_FALSE(c->isSelected());  // other parent
    EXPECT_FALSE(d->isSelected());  // not an object

    a->select(true, false);
    EXPECT_TRUE(c->isSelected());
    a->deselect(false, false);
    EXPECT_FALSE(a->isSelected());
    EXPECT_TRUE(b->isSelected());

    std::vector<Tool*> found;
    EXPECT_EQ(a->findAllInstances(found, false), 1);
    EXPECT_EQ(found[0], a);
    found.clear();
    EXPECT_EQ(a->findAllInstances(found, true), 2);  // b, c in ring order

    std::vector<Tool*> marked;
    a->tempSelect(marked, true, true);
    EXPECT_EQ(marked.size(), 2u);
    EXPECT_TRUE(a->isTempMarked());
    EXPECT_TRUE(b->isTempMarked());
    Tool::tempDeselect(marked);
    EXPECT_TRUE(marked.empty());
    EXPECT_FALSE(a->isTempMarked() || b->isTempMarked());

    std::vector<Tool*> sel;
    a->select(sel, true, false);
    EXPECT_EQ(sel.size(), 3u);
    Tool::deselect(sel);
    EXPECT_EQ(sel.size(), 3u);
    EXPECT_FALSE(a->isSelected() || b->isSelected() || c->isSelected());
    delete p1;
    delete p2;
}

TEST(ToolHierarchy, AddChildAllOnSelectedInstances) {
    Tool* p = newTool(nullptr, true);
    Tool* q = newTool(nullptr, true);
    Tool* r = newTool(nullptr, true);
    p->joinInstances(q);
    p->joinInstances(r);
    p->flags |= Tool::FlagSelected;
    q->flags |= Tool::FlagSelected;  // r is not selected
    Tool* child = newTool(nullptr, true);
    EXPECT_EQ(p->addChild(child, true), child);
    EXPECT_EQ(child->parent, p);
    ASSERT_EQ(q->children.size(), 1u);
    EXPECT_TRUE(r->children.empty());
    Tool* copy = q->children[0];
    EXPECT_NE(copy, child);
    EXPECT_EQ(copy->parent, q);
    EXPECT_TRUE(copy->isInstanceOf(child));
    EXPECT_TRUE(copy->isObject());
    delete p;
    delete q;
    delete r;
}

TEST(ToolHierarchy, AddChildAllOnUnselectedToolAdoptsNothing) {
    // Null when this tool adopted nothing; the caller keeps
    // the child.
    Tool* p = newTool(nullptr, true);
    Tool* existing = p->addChild(newTool(), false);
    Tool* q = newTool(nullptr, true);
    p->joinInstances(q);
    q->flags |= Tool::FlagSelected;
    Tool* child = newTool(nullptr, true);
    EXPECT_EQ(p->addChild(child, true), nullptr);
    EXPECT_EQ(p->children, (std::vector<Tool*>{existing}));
    EXPECT_EQ(child->parent, nullptr);
    ASSERT_EQ(q->children.size(), 1u);  // the selected member got its copy
    EXPECT_TRUE(q->children[0]->isInstanceOf(child));
    delete child;  // the caller's
    EXPECT_FALSE(q->children[0]->isInstanced());
    delete p;
    delete q;
}

TEST(ToolHierarchy, MarksAndRamifications) {
    Tool* r = newTool();
    Tool* c = r->addChild(newTool(), false);
    Tool* g = c->addChild(newTool(), false);
    r->clone = c;
    r->Mark(3);
    EXPECT_EQ(r->mark(), 3);
    EXPECT_EQ(g->mark(), 3);
    EXPECT_TRUE(g->isMarked());
    EXPECT_EQ(r->clone, nullptr);  // setMark clears the forwarding pointer
    r->markRamifications(0);
    EXPECT_FALSE(c->isMarked());
    EXPECT_FALSE(g->isMarked());
    delete r;
}

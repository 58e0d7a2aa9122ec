// The element base: sharing and release (with sub-elements), unsharing,
// update stamps, animation and frames.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "scene/element.h"

using qel::Element;
using qel::vec3;

namespace {

int g_alive = 0;

// A small element: a deep clone, optional sub-elements (a composite), and an
// animate flag for the animate() default.
class TestElement : public Element {
public:
    explicit TestElement(TType t = TType::Curve) : Element(t) { ++g_alive; }
    TestElement(const TestElement& o) : Element(o), subs(o.subs), animates(o.animates) {
        ++g_alive;
        for (Element* e : subs) e->copy(1);  // the clone holds its sub-elements too
    }
    ~TestElement() override { --g_alive; }

    Element* clone() override { return new TestElement(*this); }
    void subElements(std::vector<Element*>& list) override { list.insert(list.end(), subs.begin(), subs.end()); }
    void allElements(std::vector<Element*>& list) override {
        list.push_back(this);
        for (Element* e : subs) e->allElements(list);
    }
    bool animate(bool first, double time) override {
        if (!first) {
            ++animateCalls;
            lastTime = time;
            if (animates) return true;
        }
        return Element::animate(first, time);
    }
    void touch() override {
        Element::touch();
        ++touches;
    }

    std::vector<Element*> subs;
    bool animates = false;
    int animateCalls = 0;
    double lastTime = 0;
    int touches = 0;
};

// A tube made of the given sub-elements, which it does not hold.
TestElement* composite(std::vector<Element*> subs) {
    auto* t = new TestElement(Element::TType::Tube);
    t->subs = std::move(subs);
    return t;
}

// Deletes a composite without touching its sub-elements.
void deleteShell(TestElement* t) {
    t->subs.clear();
    delete t;
}

struct GlobalUpdateGuard {
    std::uint32_t saved = Element::GlobalUpdate;
    ~GlobalUpdateGuard() { Element::GlobalUpdate = saved; }
};

}  // namespace

TEST(Element, CopyReleaseAndDrop) {
    TestElement* e = new TestElement;
    EXPECT_EQ(e->copy(1), e);
    EXPECT_EQ(e->copy(2), e);
    e->release(2);
    EXPECT_EQ(e->refCount, 1);
    e->release(1);
    EXPECT_EQ(g_alive, 1);  // release never deletes the element itself
    e->copy(2);
    EXPECT_FALSE(Element::drop(e));
    EXPECT_TRUE(Element::drop(e));
    EXPECT_EQ(g_alive, 0);
    EXPECT_FALSE(Element::drop(nullptr));
}

TEST(Element, CompositeSharesAndReleasesSubElements) {
    auto* path = new TestElement;
    auto* held = new TestElement;
    held->copy(1);  // a tool shows this element too
    TestElement* tube = composite({path, held});
    tube->copy(1);
    tube->copy(2);
    EXPECT_EQ(path->refCount, 3);
    EXPECT_EQ(held->refCount, 4);
    tube->release(2);
    EXPECT_EQ(path->refCount, 1);
    tube->release(1);  // path reaches 0 and is deleted; held survives
    EXPECT_EQ(g_alive, 2);
    EXPECT_EQ(held->refCount, 1);
    deleteShell(tube);
    EXPECT_TRUE(Element::drop(held));
    EXPECT_EQ(g_alive, 0);
}

TEST(Element, SameSubElementTwiceIsDeletedOnce) {
    auto* curve = new TestElement;
    TestElement* tube = composite({curve, curve});
    tube->copy(1);
    EXPECT_EQ(curve->refCount, 2);
    tube->release(1);
    EXPECT_EQ(g_alive, 1);  // under ASan a double delete would abort here
    deleteShell(tube);
    EXPECT_EQ(g_alive, 0);
}

TEST(Element, NestedSharedSubElementReleasedInOrder) {
    // A tube of a curve and a resampled copy of it: the resampled curve's
    // release deletes the curve, which nothing touches afterwards.
    auto* curve = new TestElement;
    TestElement* ucurve = composite({curve});
    TestElement* tube = composite({curve, ucurve});
    tube->copy(1);
    EXPECT_EQ(curve->refCount, 2);
    tube->release(1);
    EXPECT_EQ(g_alive, 1);
    deleteShell(tube);
    EXPECT_EQ(g_alive, 0);
}

TEST(Element, UnshareCopiesOnlyASharedElement) {
    TestElement* e = new TestElement;
    e->copy(1);
    EXPECT_EQ(e->unshare(), e);
    e->centre = vec3(1, 2, 3);
    e->id = 4;
    e->copy(1);
    Element* u = e->unshare();
    ASSERT_NE(u, e);
    EXPECT_EQ(e->refCount, 2);  // unchanged: the caller releases its reference
    EXPECT_EQ(u->refCount, 0);
    EXPECT_EQ(u->id, -1);
    EXPECT_EQ(u->centre, vec3(1, 2, 3));
    u->copy(1);
    EXPECT_FALSE(Element::drop(e));
    EXPECT_TRUE(Element::drop(u));
    EXPECT_TRUE(Element::drop(e));
    EXPECT_EQ(g_alive, 0);

    // Without its own clone an element stays shared: the base clone is a shared copy.
    struct SharedOnly : Element {
        SharedOnly() : Element(TType::Sprite) {}
    } s;
    s.copy(2);
    EXPECT_EQ(s.unshare(), &s);
    EXPECT_EQ(s.refCount, 3);
}

TEST(Element, UpdateTouchesOnlyNewOrOutdatedElements) {
    GlobalUpdateGuard guard;
    auto* curve = new TestElement;
    TestElement* tube = composite({curve});
    Element::GlobalUpdate = 5;
    EXPECT_EQ(curve->update(), 5u);  // a new element (stamp 0) is touched
    tube->touch();
    Element::GlobalUpdate = 6;
    EXPECT_EQ(tube->update(), 5u);  // nothing changed since frame 5
    EXPECT_EQ(tube->touches, 1);
    curve->touch();  // the curve is edited in frame 6
    Element::GlobalUpdate = 7;
    EXPECT_EQ(tube->update(), 7u);
    EXPECT_EQ(tube->touches, 2);
    tube->updateStamp = 0x80000000u;  // negative as a signed value: older than the curve
    Element::GlobalUpdate = 8;
    EXPECT_EQ(tube->update(), 8u);
    deleteShell(tube);
    delete curve;
}

TEST(Element, AnimateVisitsEverySubElement) {
    auto* a = new TestElement;
    auto* b = new TestElement;
    TestElement* t = composite({a, b});
    EXPECT_FALSE(t->animate(true, 1.5));
    EXPECT_EQ(a->lastTime, 1.5);
    EXPECT_EQ(t->animateCalls, 0);
    a->animates = true;
    EXPECT_TRUE(t->animate(true, 2.0));
    EXPECT_EQ(b->animateCalls, 2);
    deleteShell(t);
    delete a;
    delete b;
}

TEST(Element, WorldAndLocalFramesWithASizeNeverZero) {
    TestElement e;
    e.centre = vec3(1, 2, 3);
    e.setSize(2);
    EXPECT_EQ(e.toWorld(vec3(1, 1, 1)), vec3(3, 4, 5));
    EXPECT_EQ(e.toLocal(3.0f), 1.5f);
    EXPECT_EQ(e.localMatrix(), qel::mat4(0.5f, 0, 0, -0.5f, 0, 0.5f, 0, -1.0f, 0, 0, 0.5f, -1.5f, 0, 0, 0, 1));
    e.setSize(-0.0f);
    EXPECT_EQ(e.size(), 1.0f);
}

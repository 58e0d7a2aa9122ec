// The element base: sharing and release (with sub-elements), unsharing,
// update stamps and animation.
#include <gtest/gtest.h>

#include "scene/element.h"
#include "tool_test_util.h"

using qel::Element;
using qel::vec3;
using tooltest::TestElement;

TEST(Element, CompositesShareAndReleaseSubElementsOnce) {
    TestElement::alive = 0;
    auto* path = new TestElement;
    auto* held = new TestElement;
    held->copy(1);  // a tool shows this element too
    auto* tube = new TestElement(false, {path, held});
    EXPECT_EQ(tube->copy(3), tube);
    EXPECT_TRUE(path->refCount == 3 && held->refCount == 4);
    tube->release(2);
    tube->release(1);  // path reaches 0 and is deleted; held survives; tube is never deleted here
    EXPECT_EQ(TestElement::alive, 2);
    tube->deleteShell();
    EXPECT_TRUE(Element::drop(held));

    // The same curve twice, and inside a resampled copy of it: each is
    // deleted once and never touched afterwards (ASan would abort).
    for (bool nested : {false, true}) {
        auto* curve = new TestElement;
        auto* t = new TestElement(false, {curve, nested ? new TestElement(false, {curve}) : curve});
        t->copy(1);
        EXPECT_EQ(curve->refCount, 2);
        t->release(1);
        t->deleteShell();
        EXPECT_EQ(TestElement::alive, 0) << nested;
    }
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
    EXPECT_TRUE(u->refCount == 0 && u->id == -1 && u->centre == vec3(1, 2, 3));
    delete u;
    EXPECT_FALSE(Element::drop(e));
    EXPECT_TRUE(Element::drop(e));

    // Without its own clone an element stays shared, and its count unchanged.
    struct SharedOnly : Element {
        SharedOnly() : Element(TType::Sprite) {}
    } s;
    s.copy(2);
    EXPECT_EQ(s.unshare(), &s);
    EXPECT_EQ(s.refCount, 2);
}

TEST(Element, UpdateAndAnimateFollowTheSubElements) {
    const std::uint32_t saved = Element::GlobalUpdate;
    auto* curve = new TestElement;
    auto* tube = new TestElement(false, {curve});
    Element::GlobalUpdate = 5;
    EXPECT_EQ(curve->update(), 5u);  // a new element (stamp 0) is touched
    tube->touch();
    Element::GlobalUpdate = 6;
    EXPECT_EQ(tube->update(), 5u);  // nothing changed since frame 5: not touched
    curve->touch();  // the curve is edited in frame 6
    Element::GlobalUpdate = 7;
    EXPECT_EQ(tube->update(), 7u);
    tube->updateStamp = 0x80000000u;  // negative as a signed value: older than the curve
    Element::GlobalUpdate = 8;
    EXPECT_EQ(tube->update(), 8u);
    Element::GlobalUpdate = saved;

    // animate visits every sub-element, also after one answered true.
    auto* other = new TestElement;
    tube->subs.push_back(other);
    curve->animates = true;
    EXPECT_TRUE(tube->animate(true, 2.0));
    EXPECT_TRUE(other->lastTime == 2.0 && tube->firstTime == 2.0 && tube->lastTime == -1.0);
    tube->deleteShell();
    delete curve;
    delete other;
}

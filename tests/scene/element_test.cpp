// The element base: life cycle, sharing, ids, update stamps,
// frames and the default symmetries body.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene/buffer.h"
#include "scene/element.h"

using qel::Element;
using qel::vec3;

namespace {

// Captured during static initialisation (the globals are constant-initialised).
const std::uint32_t g_initialGlobalUpdate = Element::GlobalUpdate;
const int g_initialAnimate = Element::Animate;

int g_alive = 0;

// A small element: a deep clone, optional sub-elements (a composite), and an
// animate flag for the animate() default.
class TestElement : public Element {
public:
    explicit TestElement(TType t = TType::Curve) : Element(t) { ++g_alive; }
    TestElement(const TestElement& o) : Element(o), subs(o.subs), animates(o.animates) {
        ++g_alive;
        for (Element* e : subs) e->copy(1);  // the clone holds its parts too
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

// The base clone (a shared copy): an element without its own clone.
class SharedOnly : public Element {
public:
    SharedOnly() : Element(TType::Sprite) {}
};

struct GlobalUpdateGuard {
    std::uint32_t saved = Element::GlobalUpdate;
    ~GlobalUpdateGuard() { Element::GlobalUpdate = saved; }
};

}  // namespace

TEST(Element, Globals) {
    EXPECT_EQ(g_initialAnimate, 1);
    EXPECT_EQ(g_initialGlobalUpdate, 1u);
}

TEST(Element, TypeCodes) {
    EXPECT_EQ(std::uint32_t(Element::TType::Mesh), 0u);
    EXPECT_EQ(std::uint32_t(Element::TType::Clay), 1u);
    EXPECT_EQ(std::uint32_t(Element::TType::Curve), 2u);
    EXPECT_EQ(std::uint32_t(Element::TType::UCurve), 3u);
    EXPECT_EQ(std::uint32_t(Element::TType::Revoluton), 4u);
    EXPECT_EQ(std::uint32_t(Element::TType::Tube), 5u);
    EXPECT_EQ(std::uint32_t(Element::TType::Lightning), 6u);
    EXPECT_EQ(std::uint32_t(Element::TType::Sprite), 7u);
    EXPECT_EQ(std::uint32_t(Element::TType::AnimatedSprite), 9u);
    EXPECT_EQ(int(qel::Sculptor::SelectElement), 0);
    EXPECT_EQ(int(qel::Sculptor::SelectPatch), 1);
    EXPECT_EQ(int(qel::Sculptor::SelectAllPatches), 2);
    EXPECT_EQ(int(qel::Sculptor::SelectComponent), 3);
}

TEST(Element, Construction) {
    TestElement e(Element::TType::Tube);
    EXPECT_EQ(e.updateStamp, 0u);
    EXPECT_EQ(e.id, -1);
    EXPECT_EQ(e.refCount, 0);
    EXPECT_EQ(e.status, 0);
    EXPECT_EQ(e.type, Element::TType::Tube);
    EXPECT_EQ(e.transparent, 0);
    EXPECT_EQ(e.centre, vec3(0, 0, 0));
    EXPECT_EQ(e.size(), 1.0f);
}

TEST(Element, Init) {
    TestElement e;
    e.centre = vec3(1, 2, 3);
    e.setSize(4);
    e.status = 1;
    e.updateStamp = 77;
    e.transparent = 1;
    e.id = 5;
    e.init();
    EXPECT_EQ(e.centre, vec3(0, 0, 0));
    EXPECT_EQ(e.size(), 1.0f);
    EXPECT_EQ(e.status, 0);
    EXPECT_EQ(e.updateStamp, 0u);
    EXPECT_EQ(e.transparent, 1);  // not reset by init
    EXPECT_EQ(e.id, 5);
}

TEST(Element, SizeIsNeverZero) {
    TestElement e;
    e.setSize(0.0f);
    EXPECT_EQ(e.size(), 1.0f);
    e.setSize(2.5f);
    e.setSize(-0.0f);
    EXPECT_EQ(e.size(), 1.0f);
    e.setSize(0.25f);
    EXPECT_EQ(e.size(), 0.25f);
    TestElement c(e);
    EXPECT_EQ(c.size(), 0.25f);
}

TEST(Element, CopyAndReleaseCount) {
    TestElement* e = new TestElement;
    EXPECT_EQ(e->copy(1), e);
    EXPECT_EQ(e->copy(2), e);
    EXPECT_EQ(e->refCount, 3);
    e->release(1);
    EXPECT_EQ(e->refCount, 2);
    e->release(2);
    EXPECT_EQ(e->refCount, 0);  // release never deletes the element itself
    EXPECT_EQ(g_alive, 1);
    delete e;
    EXPECT_EQ(g_alive, 0);
}

TEST(Element, DropDeletesAtZero) {
    TestElement* e = new TestElement;
    e->copy(1);
    e->copy(1);
    EXPECT_FALSE(Element::drop(e));
    EXPECT_EQ(e->refCount, 1);
    EXPECT_TRUE(Element::drop(e));
    EXPECT_EQ(g_alive, 0);
    EXPECT_FALSE(Element::drop(nullptr));
}

TEST(Element, CompositeSharesAndReleasesSubElements) {
    auto* path = new TestElement;
    auto* profile = new TestElement;
    auto* tube = new TestElement(Element::TType::Tube);
    tube->subs = {path, profile};
    tube->copy(1);
    EXPECT_EQ(path->refCount, 1);
    EXPECT_EQ(profile->refCount, 1);
    tube->copy(2);
    EXPECT_EQ(path->refCount, 3);
    tube->release(2);
    EXPECT_EQ(tube->refCount, 1);
    EXPECT_EQ(path->refCount, 1);
    EXPECT_EQ(g_alive, 3);
    tube->release(1);  // the parts reach 0 and are deleted by release
    EXPECT_EQ(g_alive, 1);
    EXPECT_EQ(tube->refCount, 0);
    tube->subs.clear();
    delete tube;
    EXPECT_EQ(g_alive, 0);
}

TEST(Element, SubElementHeldElsewhereSurvives) {
    auto* curve = new TestElement;
    curve->copy(1);  // a tool shows the curve too
    auto* tube = new TestElement(Element::TType::Tube);
    tube->subs = {curve};
    tube->copy(1);
    EXPECT_EQ(curve->refCount, 2);
    tube->release(1);
    EXPECT_EQ(curve->refCount, 1);
    EXPECT_EQ(g_alive, 2);
    tube->subs.clear();
    delete tube;
    EXPECT_TRUE(Element::drop(curve));
    EXPECT_EQ(g_alive, 0);
}

TEST(Element, SameSubElementTwiceIsDeletedOnce) {
    auto* curve = new TestElement;
    auto* tube = new TestElement(Element::TType::Tube);
    tube->subs = {curve, curve};
    tube->copy(1);
    EXPECT_EQ(curve->refCount, 2);
    tube->release(1);
    EXPECT_EQ(g_alive, 1);  // under ASan a double delete would abort here
    tube->subs.clear();
    delete tube;
    EXPECT_EQ(g_alive, 0);
}

TEST(Element, UnshareHeldOnceReturnsSelf) {
    TestElement* e = new TestElement;
    e->copy(1);
    EXPECT_EQ(e->unshare(), e);
    EXPECT_EQ(e->refCount, 1);
    EXPECT_TRUE(Element::drop(e));
}

TEST(Element, UnshareHeldTwiceReturnsNewElement) {
    TestElement* e = new TestElement;
    e->centre = vec3(1, 2, 3);
    e->setSize(2);
    e->id = 4;
    e->copy(1);
    e->copy(1);
    Element* u = e->unshare();
    ASSERT_NE(u, e);
    EXPECT_EQ(e->refCount, 2);  // unchanged: the caller releases its reference
    EXPECT_EQ(u->refCount, 0);
    EXPECT_EQ(u->id, -1);
    EXPECT_EQ(u->centre, vec3(1, 2, 3));
    EXPECT_EQ(u->size(), 2.0f);
    EXPECT_EQ(u->type, e->type);
    // The holder's step: take the new one, drop the old one.
    u->copy(1);
    EXPECT_FALSE(Element::drop(e));
    EXPECT_EQ(e->refCount, 1);
    EXPECT_TRUE(Element::drop(u));
    EXPECT_TRUE(Element::drop(e));
    EXPECT_EQ(g_alive, 0);
}

TEST(Element, BaseCloneIsSharedCopy) {
    SharedOnly s;
    s.copy(2);
    EXPECT_EQ(s.clone(), &s);
    EXPECT_EQ(s.refCount, 3);
    EXPECT_EQ(s.unshare(), &s);  // the base unshare of a shared element is a further shared copy
    EXPECT_EQ(s.refCount, 4);
}

TEST(Element, PartDefaults) {
    TestElement* e = new TestElement;
    int face = 7;
    e->copy(1);
    EXPECT_EQ(e->Part(vec3(0, 0, 0), face, qel::Sculptor::SelectElement), e);
    EXPECT_EQ(e->PartComponent(vec3(0, 0, 0), face), e);
    EXPECT_EQ(e->PartPatch(vec3(0, 0, 0), face), e);
    EXPECT_EQ(face, 7);
    e->copy(1);
    Element* p = e->PartPatch(vec3(0, 0, 0), face);
    EXPECT_NE(p, e);
    delete p;
    EXPECT_EQ(e->DetachComponent(0), nullptr);
    EXPECT_EQ(e->ToMesh(), nullptr);
    EXPECT_FALSE(e->subdivide(true));
    e->refCount = 0;
    delete e;
    EXPECT_EQ(g_alive, 0);
}

TEST(Element, RenderingDefaults) {
    TestElement e;
    EXPECT_FALSE(e.buildVBO());
    EXPECT_FALSE(e.enableVBO());
    EXPECT_FALSE(e.renderBegin());
    e.disableVBO();
    e.deleteVBO();
    e.renderEnd();
    e.render(1, 0xffffffffu, qel::mat4(), qel::pbr(), Element::ColorAsColor, 0.0f, true);
    EXPECT_FALSE(e.hasFeatures());
    EXPECT_FALSE(e.hasAuxiliary());
    e.renderFeatures(qel::mat4(), qel::bvec4(), true);
    e.renderAuxiliary(qel::mat4(), qel::bvec4(), true);
    std::vector<qel::Sculptor*> sculptors;
    e.sculpt(sculptors);
    EXPECT_TRUE(e.load("x"));
    EXPECT_TRUE(e.save("x"));
    qel::buffer b;
    e.DataWrite(b);
    e.DataRead(b);
    EXPECT_EQ(b.size(), 0);
    EXPECT_EQ(b.cursor(), 0);
    e.initialize(Element::ResizeKeep);
    EXPECT_EQ(e.size(), 1.0f);
}

TEST(Element, IdsAndResolve) {
    auto* a = new TestElement;
    auto* b = new TestElement;
    auto* t = new TestElement(Element::TType::Tube);
    t->subs = {a, b};
    std::vector<Element*> all;
    t->allElements(all);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], t);
    EXPECT_EQ(all[1], a);
    EXPECT_EQ(all[2], b);
    std::vector<Element*> subs;
    t->subElements(subs);
    EXPECT_EQ(subs.size(), 2u);
    TestElement plain;
    std::vector<Element*> none;
    plain.subElements(none);
    EXPECT_TRUE(none.empty());
    plain.allElements(none);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0], &plain);

    a->id = 3;
    b->id = 4;
    t->id = 2;
    t->clearIds();
    EXPECT_EQ(t->id, -1);
    EXPECT_EQ(a->id, -1);
    EXPECT_EQ(b->id, -1);

    t->resolve(all);
    EXPECT_EQ(t->refCount, 1);
    EXPECT_EQ(a->refCount, 0);  // the base resolve counts only the element named
    t->subs.clear();
    delete t;
    delete a;
    delete b;
}

TEST(Element, TouchCopiesGlobalUpdate) {
    GlobalUpdateGuard guard;
    Element::GlobalUpdate = 42;
    TestElement e;
    e.touch();
    EXPECT_EQ(e.updateStamp, 42u);
}

TEST(Element, UpdateWithoutSubElements) {
    GlobalUpdateGuard guard;
    Element::GlobalUpdate = 10;
    TestElement e;
    // A new element (stamp 0) is touched.
    EXPECT_EQ(e.update(), 10u);
    EXPECT_EQ(e.updateStamp, 10u);
    EXPECT_EQ(e.touches, 1);
    // Equal to GlobalUpdate: returned at once.
    EXPECT_EQ(e.update(), 10u);
    EXPECT_EQ(e.touches, 1);
    // A stamp of at least 1 that differs is returned without a touch.
    Element::GlobalUpdate = 11;
    EXPECT_EQ(e.update(), 10u);
    EXPECT_EQ(e.touches, 1);
    e.updateStamp = 1;
    EXPECT_EQ(e.update(), 1u);
    EXPECT_EQ(e.touches, 1);
}

TEST(Element, UpdatePropagatesFromSubElements) {
    GlobalUpdateGuard guard;
    auto* curve = new TestElement;
    auto* tube = new TestElement(Element::TType::Tube);
    tube->subs = {curve};
    Element::GlobalUpdate = 5;
    curve->touch();
    tube->touch();
    Element::GlobalUpdate = 6;
    EXPECT_EQ(tube->update(), 5u);  // nothing changed since frame 5
    EXPECT_EQ(tube->touches, 1);
    curve->touch();  // the curve is edited in frame 6
    Element::GlobalUpdate = 7;
    EXPECT_EQ(tube->update(), 7u);  // 5 < 6: the tube is touched now
    EXPECT_EQ(tube->touches, 2);
    EXPECT_EQ(tube->update(), 7u);
    EXPECT_EQ(tube->touches, 2);
    tube->subs.clear();
    delete tube;
    delete curve;
}

TEST(Element, UpdateComparesStampAsSigned) {
    GlobalUpdateGuard guard;
    auto* curve = new TestElement;
    auto* tube = new TestElement(Element::TType::Tube);
    tube->subs = {curve};
    Element::GlobalUpdate = 3;
    curve->touch();
    Element::GlobalUpdate = 4;
    tube->updateStamp = 0x80000000u;  // negative as a signed value: below 3
    EXPECT_EQ(tube->update(), 4u);
    EXPECT_EQ(tube->touches, 1);
    tube->subs.clear();
    delete tube;
    delete curve;
}

TEST(Element, AnimateVisitsSubElements) {
    auto* a = new TestElement;
    auto* b = new TestElement;
    auto* t = new TestElement(Element::TType::Tube);
    t->subs = {a, b};
    EXPECT_FALSE(t->animate(true, 1.5));
    EXPECT_EQ(a->animateCalls, 1);
    EXPECT_EQ(b->animateCalls, 1);
    EXPECT_EQ(a->lastTime, 1.5);
    EXPECT_EQ(t->animateCalls, 0);
    a->animates = true;
    EXPECT_TRUE(t->animate(true, 2.0));
    EXPECT_EQ(b->animateCalls, 2);  // every sub-element is called
    TestElement plain;
    EXPECT_FALSE(plain.animate(true, 0.0));
    t->subs.clear();
    delete t;
    delete a;
    delete b;
}

TEST(Element, WorldAndLocal) {
    TestElement e;
    e.centre = vec3(1, 2, 3);
    e.setSize(2);
    EXPECT_EQ(e.toWorld(vec3(1, 1, 1)), vec3(3, 4, 5));
    EXPECT_EQ(e.toWorld(1.5f), 3.0f);
    EXPECT_EQ(e.toLocal(vec3(3, 4, 5)), vec3(1, 1, 1));
    EXPECT_EQ(e.toLocal(3.0f), 1.5f);
    const qel::mat4 L = e.localMatrix();
    const qel::mat4 expected(0.5f, 0, 0, -0.5f, 0, 0.5f, 0, -1.0f, 0, 0, 0.5f, -1.5f, 0, 0, 0, 1);
    EXPECT_EQ(L, expected);
    EXPECT_EQ(L.transformPoint(vec3(3, 4, 5)), e.toLocal(vec3(3, 4, 5)));
    TestElement unit;
    EXPECT_EQ(unit.localMatrix(), qel::mat4::Identity());
}

TEST(Element, CopyConstructorResetsSharing) {
    TestElement e(Element::TType::Lightning);
    e.copy(3);
    e.id = 9;
    e.status = 1;
    e.transparent = 1;
    e.centre = vec3(4, 5, 6);
    e.setSize(3);
    TestElement c(e);
    EXPECT_EQ(c.refCount, 0);
    EXPECT_EQ(c.id, -1);
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.transparent, 1);
    EXPECT_EQ(c.centre, vec3(4, 5, 6));
    EXPECT_EQ(c.size(), 3.0f);
    EXPECT_EQ(c.type, Element::TType::Lightning);
}

// ---- symmetries (default body) ----

TEST(ElementSymmetries, NoFlags) {
    TestElement e;
    std::vector<qel::symmetry::TSymmetry> list = {{4, 7}};
    std::vector<vec3> points;
    std::vector<qel::mat3> frames;
    std::vector<float> scales;
    e.symmetries(list, vec3(1, 2, 3), vec3(0, 0, 1), false, false, false, false, false, false, 4, points, frames,
                 scales, 0, false);
    ASSERT_EQ(points.size(), 1u);
    ASSERT_EQ(frames.size(), 1u);
    ASSERT_EQ(scales.size(), 1u);
    EXPECT_EQ(points[0], vec3(1, 2, 3));
    EXPECT_EQ(scales[0], 1.0f);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(frames[0], qel::mat3::FrameYZ(vec3(0, 1, 0), vec3(0, 0, 1)));
}

TEST(ElementSymmetries, MirrorY) {
    TestElement e;
    std::vector<qel::symmetry::TSymmetry> list;
    std::vector<vec3> points;
    std::vector<qel::mat3> frames;
    std::vector<float> scales;
    e.symmetries(list, vec3(1, 2, 3), vec3(0, 0, 1), false, true, false, false, false, false, 0, points, frames,
                 scales, -1, true);
    ASSERT_EQ(points.size(), 2u);
    ASSERT_EQ(frames.size(), 2u);
    ASSERT_EQ(scales.size(), 2u);
    EXPECT_EQ(points[0], vec3(1, 2, 3));
    EXPECT_EQ(points[1], vec3(1, -2, 3));
    EXPECT_EQ(scales[0], 1.0f);
    EXPECT_EQ(scales[1], -1.0f);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], (qel::symmetry::TSymmetry{1, 0}));
    EXPECT_EQ(frames[1].row(1), -frames[0].row(1));
    EXPECT_EQ(frames[1].row(0), frames[0].row(0));
}

TEST(ElementSymmetries, AppendsToExistingPoints) {
    TestElement e;
    std::vector<qel::symmetry::TSymmetry> list;
    std::vector<vec3> points = {vec3(5, 0, 0)};
    std::vector<qel::mat3> frames = {qel::mat3()};
    std::vector<float> scales;
    e.symmetries(list, vec3(0, 0, 1), vec3(0, 0, 1), true, false, false, false, false, false, 0, points, frames,
                 scales, 0, false);
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[0], vec3(5, 0, 0));
    EXPECT_EQ(points[1], vec3(0, 0, 1));
    EXPECT_EQ(points[2], vec3(-5, 0, 0));
    EXPECT_EQ(points[3], vec3(-0.0f, 0, 1));
}

TEST(Element, NestedSharedSubElementReleasedInOrder) {
    // A tube built from a curve and from a resampled copy of the same curve:
    // the resampled curve's release deletes the curve; nothing touches it
    // afterwards (ASan checks).
    auto* curve = new TestElement;
    auto* ucurve = new TestElement(Element::TType::UCurve);
    ucurve->subs = {curve};
    auto* tube = new TestElement(Element::TType::Tube);
    tube->subs = {curve, ucurve};
    tube->copy(1);
    EXPECT_EQ(curve->refCount, 2);
    EXPECT_EQ(ucurve->refCount, 1);
    tube->release(1);
    EXPECT_EQ(g_alive, 1);
    tube->subs.clear();
    delete tube;
    EXPECT_EQ(g_alive, 0);
}

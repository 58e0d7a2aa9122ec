// The element base (sharing and release with sub-elements, unsharing, update
// stamps, animation, world and local frames) and the symmetry frames, lists and transforms.
#include "scene/element.h"

#include <gtest/gtest.h>

#include <vector>

#include "scene/symmetry.h"
#include "tool_test_util.h"

using qel::Element;
using qel::mat3;
using qel::mat4;
using qel::vec3;
using qel::symmetry::TSymmetry;
using tooltest::near;
using tooltest::TestElement;
namespace sym = qel::symmetry;

namespace {

struct Images {
    std::vector<vec3> points;
    std::vector<mat3> frames;
    std::vector<float> scales;
};

// The images of points (identity frames unless given) under list about M.
Images expand(std::vector<vec3> points, const std::vector<TSymmetry>& list, const mat4& M = mat4(),
              std::vector<mat3> frames = {}) {
    if (frames.empty()) frames.assign(points.size(), mat3());
    Images r{std::move(points), std::move(frames), {}};
    sym::Transforms(r.points, r.frames, r.scales, M, list);
    return r;
}

}  // namespace

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
    curve->touch();                 // the curve is edited in frame 6
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

TEST(Element, WorldAndLocalFramesUndoEachOtherAndTheSizeIsNeverZero) {
    TestElement e;
    e.centre = vec3(1, 2, 3);
    e.setSize(2);
    EXPECT_EQ(e.toWorld(vec3(1, 1, 1)), vec3(3, 4, 5));
    EXPECT_EQ(e.toLocal(vec3(3, 4, 5)), vec3(1, 1, 1));
    EXPECT_EQ(e.toWorld(1.5f), 3.0f);
    EXPECT_EQ(e.toLocal(3.0f), 1.5f);
    EXPECT_EQ(e.localMatrix(), mat4(0.5f, 0, 0, -0.5f, 0, 0.5f, 0, -1.0f, 0, 0, 0.5f, -1.5f, 0, 0, 0, 1));
    e.setSize(-0.0f);
    EXPECT_EQ(e.size(), 1.0f);
}

TEST(Symmetry, MirrorEachAxisFlipsPointFrameRowAndScale) {
    const mat3 F0(1, 2, 3, 4, 5, 6, 7, 8, 10);
    for (int t = 0; t < 3; ++t) {
        const Images r = expand({vec3(1, 2, 3)}, {{t, 0}}, mat4(), {F0});
        ASSERT_EQ(r.points.size(), 2u);
        vec3 p(1, 2, 3);
        p[t] = -p[t];
        EXPECT_EQ(r.points[1], p);
        mat3 F = F0;
        F.setRow(t, -F0.row(t));
        EXPECT_EQ(r.frames[1], F);
        EXPECT_EQ(r.scales, (std::vector<float>{1.0f, -1.0f}));
    }
}

TEST(Symmetry, RadialCopiesTurnAboutTheAxisAndMultiplyEarlierImages) {
    // Radial counts below two and unknown types add nothing.
    EXPECT_EQ(expand({vec3(1, 2, 3)}, {{5, 1}, {5, -3}, {6, 3}, {-1, 0}}).points.size(), 1u);
    std::vector<TSymmetry> list;
    sym::List(list, true, false, false, false, false, true, 4);
    EXPECT_EQ(list, (std::vector<TSymmetry>{{0, 0}, {5, 4}}));
    const Images r = expand({vec3(1, 2, 3), vec3(-4, 0.5f, 1)}, list);
    ASSERT_EQ(r.points.size(), 16u);  // blocks of 4: [p0, p1, mirror p0, mirror p1], then rotated blocks
    EXPECT_EQ(r.points[2], vec3(-1, 2, 3));
    for (int k = 0; k < 4; ++k) EXPECT_EQ(r.scales[std::size_t(4 * k + 2)], -1.0f);
    EXPECT_TRUE(near(r.points[4], vec3(2, -1, 3)));  // a quarter turn about z
    EXPECT_TRUE(near(r.points[8], vec3(-1, -2, 3)));
}

TEST(Symmetry, ImagesAreTakenAboutTheFrameAndASingularOneGivesNoNaN) {
    const mat4 M = mat4::Translation(10, 0, 0);  // x -> 20 - x
    EXPECT_TRUE(near(expand({vec3(12, 1, 2)}, {{0, 0}}, M).points[1], vec3(8, 1, 2)));
    // Into the frame by the identity, back by the flat M itself.
    const Images r = expand({vec3(1, 2, 3)}, {{1, 0}}, mat4::Scale(0, 0, 0));
    EXPECT_EQ(r.points, (std::vector<vec3>{vec3(0, 0, 0), vec3(0, 0, 0)}));
    EXPECT_EQ(r.scales[1], -1.0f);
}

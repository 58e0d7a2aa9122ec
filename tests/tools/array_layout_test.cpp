// The array layout: which copies the flattened lists hold, where they stand
// and how they point back to the array and the curve edge under them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "curves/curve.h"
#include "curves/ucurve.h"
#include "scene/root.h"
#include "scene/tool_list.h"
#include "scene/tool_test_util.h"
#include "tools/array.h"

using namespace qel;
using tooltest::TestElement;

namespace {

constexpr std::uint32_t M = 0, S = 1, E = 2;
constexpr double Pi = 3.14159265358979323846;
std::uint32_t entry(std::uint32_t anchor, std::uint32_t item, std::uint32_t multiplicity) {
    return (anchor << 30) | (item << 15) | multiplicity;
}

std::vector<vec3> linePoints(int edges, float y = 0) {
    std::vector<vec3> p;
    for (int i = 0; i <= edges; ++i) p.push_back(vec3(float(i), y, 0));
    return p;
}
std::vector<vec3> loopPoints(int edges) {
    std::vector<vec3> p;
    for (int i = 0; i < edges; ++i)
        p.push_back(vec3(3 * float(std::cos(2 * Pi * i / edges)), 3 * float(std::sin(2 * Pi * i / edges)), 0));
    return p;
}
// Two open chains of the given edge counts.
Curve* twoChains(int a, int b) {
    auto* c = new Curve(linePoints(a), false);
    const Curve second(linePoints(b, 5), false);
    c->append(&second);
    c->initialize(Element::ResizeMean);
    return c;
}

// Templates: one lone tool per slot, or a tool with one child.
struct Templates {
    std::vector<std::unique_ptr<Tool>> owned;
    std::vector<Tool*> list;
    explicit Templates(int count, bool withChild = false) {
        for (int i = 0; i < count; ++i) {
            owned.emplace_back(new Tool(new TestElement(), mat4::Identity(), pbr(), false));
            if (withChild) owned.back()->addChild(new Tool(new TestElement(), mat4::Scale(0.5f), pbr(), false), false);
            list.push_back(owned.back().get());
        }
    }
};

struct Lists {
    std::vector<Tool*> tools;
    std::vector<mat4> matrices;
    std::vector<int> parents, subIndices;
    explicit Lists(Tool* t, const mat4& m = mat4::Identity()) {
        t->toList(tools, matrices, parents, subIndices, m, 7, 3);
    }
    // The copies' top entries in list order: (sub-index, slot) pairs.
    std::vector<std::pair<int, int>> copies(const Array& a) const {
        std::vector<std::pair<int, int>> out;
        for (std::size_t i = 0; i < tools.size(); ++i)
            for (std::size_t s = 0; s < a.items.size(); ++s)
                if (tools[i] == a.items[s]) out.push_back({subIndices[i], int(s)});
        return out;
    }
};

std::unique_ptr<Array> arrayOn(Curve* c, const Templates& t, std::vector<std::int32_t> pattern,
                               Array::TArrayType type = Array::Simple, const mat4& step = mat4::Identity()) {
    return std::make_unique<Array>(c, t.list, pattern, type, step, mat4::Identity(), pbr(), false);
}

bool marksClear(const Curve& c) {
    for (const CurveEdge& e : c.edges)
        if (e.flags & CurveEdge::PlacedBit) return false;
    return true;
}

float maxDiff(const mat4& a, const mat4& b) {
    float d = 0;
    for (int i = 0; i < 16; ++i) d = std::max(d, std::fabs(a.m[i] - b.m[i]));
    return d;
}

}  // namespace

TEST(ArrayLayout, NoEdgesNoSlotsNoCurveOrNoPatternPlaceNoCopies) {
    Templates t(1);
    struct Case {
        Curve* curve;
        bool slots;
        std::vector<std::int32_t> pattern;
        std::size_t entries;  // the array and its child, or nothing
    } cases[] = {{new Curve(), true, {0x8001}, 0},
                 {new Curve(linePoints(3), false), false, {0x8001}, 0},
                 {nullptr, true, {0x8001}, 0},
                 {new Curve(linePoints(3), false), true, {}, 2}};
    for (Case& c : cases) {
        auto a = std::make_unique<Array>(c.curve, c.slots ? t.list : std::vector<Tool*>{}, c.pattern, Array::Chain,
                                         mat4::Identity(), mat4::Identity(), pbr(), false);
        a->addChild(new Tool(new TestElement(), mat4::Identity(), pbr(), false), false);
        const Lists l(a.get());
        EXPECT_EQ(l.tools.size(), c.entries);
        EXPECT_TRUE(!c.curve || marksClear(*c.curve));
    }
}

TEST(ArrayLayout, TheDefaultPatternFillsEveryEdgeOfEveryChainInOrderAndAnItemFillsItsEdge) {
    Templates t(1, true);
    Curve* c = twoChains(3, 2);
    auto a = arrayOn(c, t, {0x8001});
    a->transform = mat4::Translation(1, 2, 3);
    const mat4 parent = mat4::Scale(2);
    const Lists l(a.get(), parent);
    // The array at 0 with the given parent and sub-index, then two entries a copy.
    ASSERT_EQ(l.tools.size(), 1u + 5 * 2);
    EXPECT_TRUE(l.tools[0] == a.get() && l.parents[0] == 7 && l.subIndices[0] == 3 && l.matrices[0] == parent);
    const mat4 W = parent * a->matrix() * c->localMatrix();
    for (int e = 0; e < 5; ++e) {
        const std::size_t top = 1 + 2 * std::size_t(e);
        EXPECT_TRUE(l.tools[top] == a->items[0] && l.parents[top] == 0 && l.subIndices[top] == e);
        EXPECT_TRUE(l.parents[top + 1] == int(top) && l.subIndices[top + 1] == -1);
        // The template's ends at z = -1 and z = 1 land on the edge's vertices.
        std::vector<vec3> ends;
        c->segment(e, ends);
        const mat4 drawn = l.matrices[top] * a->items[0]->matrix();
        for (int k = 0; k < 2; ++k) {
            const vec3 want = W.transformPoint(ends[std::size_t(k)]);
            const vec3 got = drawn.transformPoint(vec3(0, 0, k == 0 ? -1.0f : 1.0f));
            EXPECT_LT(length(got - want), 1e-5) << e;
        }
        EXPECT_LT(maxDiff(l.matrices[top + 1], drawn), 1e-6);
    }
    EXPECT_TRUE(marksClear(*c));
}

TEST(ArrayLayout, StepOnOddPositionsAndTheTwistOfOddClosedLoops) {
    const mat4 quarter(0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    struct Case {
        Array::TArrayType type;
        bool closed;
        int edges;
        double twist;  // per position
    } cases[] = {{Array::Chain, false, 5, 0},
                 {Array::Chain, true, 7, 3 * Pi / 14},
                 {Array::Zipper, true, 7, Pi / 7},
                 {Array::Chain, true, 6, 0},
                 {Array::Simple, true, 7, 0}};
    for (const Case& k : cases) {
        const std::vector<vec3> p = k.closed ? loopPoints(k.edges) : linePoints(k.edges);
        Templates t(1);
        const mat4 step = k.type == Array::Zipper ? mat4::Mirror(vec3(0, 1, 0)) : quarter;
        auto plain = arrayOn(new Curve(p, k.closed), t, {0x8001});
        auto typed = arrayOn(new Curve(p, k.closed), t, {0x8001}, k.type, step);
        const Lists a(plain.get()), b(typed.get());
        ASSERT_EQ(b.tools.size(), 1u + std::size_t(k.edges));
        for (int i = 0; i < k.edges; ++i) {
            const std::size_t j = 1 + std::size_t(i);
            ASSERT_EQ(b.subIndices[j], i);
            mat4 want = mat4::FromMat3(mat3::RotationAroundAxis(vec3(0, 0, 1), float(i * k.twist)));
            if (k.type != Array::Simple && i % 2 == 1) want = want * step;
            EXPECT_LT(maxDiff(a.matrices[j].inverse() * b.matrices[j], want), 1e-4) << k.edges << " " << i;
        }
    }
}

TEST(ArrayLayout, ThePatternIsLaidFromBothEndsThenRepeatedInTheMiddle) {
    struct Case {
        std::vector<std::int32_t> pattern;
        int slots, edges;
        std::vector<std::pair<int, int>> copies;  // (edge, slot) in list order
    } cases[] = {
        {{int(entry(S, 1, 2)), int(entry(M, 2, 1)), int(entry(E, 3, 1))},
         3,
         6,
         {{0, 0}, {5, 2}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}},
        {{int(entry(E, 4, 1)), int(entry(E, 5, 1))}, 5, 4, {{3, 4}, {2, 3}}},
        // Start and end runs longer than the chain meet; the middle is not used.
        {{int(entry(S, 1, 3)), int(entry(E, 2, 3)), int(entry(M, 3, 1))}, 3, 4, {{0, 0}, {3, 1}, {1, 0}, {2, 1}}},
        {{int(entry(M, 3, 1))}, 2, 2, {{0, 0}, {1, 0}}},
        {{int(entry(M, 1, 1)), int(entry(M, 0, 2))}, 1, 7, {{0, 0}, {3, 0}, {6, 0}}},
        {{int(entry(S, 2, 1)), int(entry(M, 1, 0)), int(entry(M, 2, 1))}, 2, 4, {{0, 1}, {1, 0}, {2, 0}, {3, 0}}},
        // Anchor 3 counts as middle.
        {{int(entry(3, 1, 1))}, 1, 2, {{0, 0}, {1, 0}}},
    };
    for (const Case& k : cases) {
        Templates t(k.slots);
        auto a = arrayOn(new Curve(linePoints(k.edges), false), t, k.pattern, Array::Chain);
        EXPECT_EQ(Lists(a.get()).copies(*a), k.copies) << k.pattern[0];
    }
}

TEST(ArrayLayout, EachChainRestartsThePatternAndNestedArraysAreRebased) {
    Templates t(2);
    auto chains = arrayOn(twoChains(3, 2), t, {int(entry(S, 1, 1)), int(entry(M, 2, 1))});
    const std::vector<std::pair<int, int>> both = {{0, 0}, {1, 1}, {2, 1}, {3, 0}, {4, 1}};
    EXPECT_EQ(Lists(chains.get()).copies(*chains), both);

    Templates leaf(1, true);
    auto inner = arrayOn(new Curve(linePoints(2), false), leaf, {0x8001});
    auto outer = std::make_unique<Array>(new Curve(linePoints(3), false), std::vector<Tool*>{inner.get()},
                                         std::vector<std::int32_t>{0x8001}, Array::Simple, mat4::Identity(),
                                         mat4::Identity(), pbr(), false);
    const Lists l(outer.get());
    // The outer array, then per edge the inner array and its two copies of
    // the leaf and its child, with the parents of one copy rebased onto it.
    ASSERT_EQ(l.tools.size(), 1u + 3 * 5);
    for (int e = 0; e < 3; ++e) {
        const int n = 1 + 5 * e;
        const std::vector<int> parents(l.parents.begin() + n, l.parents.begin() + n + 5);
        EXPECT_EQ(parents, (std::vector<int>{0, n, n + 1, n, n + 3}));
        EXPECT_EQ(l.subIndices[std::size_t(n)], e);
        EXPECT_EQ(l.subIndices[std::size_t(n + 3)], 1);
    }
}

TEST(ArrayLayout, ABrokenLinkEndsTheWalkAndNestedArraysStopAtTheEntryCap) {
    Templates t(1);
    for (const std::pair<int, int>& broken : {std::pair<int, int>{3, 1}, {2, 2}, {0, 3}}) {
        auto* c = new Curve(linePoints(4), false);
        c->edges[std::size_t(broken.first)].n[1] = broken.second;
        auto a = arrayOn(c, t, {0x8001});
        auto copies = Lists(a.get()).copies(*a);
        std::sort(copies.begin(), copies.end());
        EXPECT_EQ(copies, (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
        EXPECT_TRUE(marksClear(*c));
    }

    struct CapGuard {
        std::size_t old = Array::maxListEntries;
        ~CapGuard() { Array::maxListEntries = old; }
    } guard;
    Array::maxListEntries = 100;
    auto inner = arrayOn(new Curve(linePoints(10), false), t, {0x8001});
    auto outer = std::make_unique<Array>(new Curve(linePoints(20), false), std::vector<Tool*>{inner.get()},
                                         std::vector<std::int32_t>{0x8001}, Array::Simple, mat4::Identity(),
                                         mat4::Identity(), pbr(), false);
    const Lists l(outer.get());
    EXPECT_EQ(l.tools.size(), 1u + 9 * 11);
    EXPECT_TRUE(marksClear(*outer->curve));
}

namespace {

// A base curve that records the edges the sculpt gestures reaching it name.
class ProbeCurve : public Curve {
public:
    using Curve::Curve;
    std::vector<int>* seen = nullptr;
    void sculpt(std::vector<Sculptor*>& sculptors) override {
        for (Sculptor* s : sculptors)
            for (const SBrush& b : s->samples) seen->push_back(b.itemId);
    }
};

}  // namespace

TEST(ArrayLayout, OnAResampledCurveACopyPicksTheArrayAndTheBaseEdgeUnderIt) {
    std::vector<int> seen;
    auto* base = new ProbeCurve(std::vector<vec3>{vec3(0, 0, 0), vec3(4, 0, 0), vec3(4, 6, 0), vec3(1, 6, 0)}, false);
    base->seen = &seen;
    Templates t(1);
    Root root;
    auto* array = new Array(new UCurve(base, Curve::UniformCurve), t.list, {0x8001}, Array::Chain, mat4::Identity(),
                            mat4::Identity(), pbr(), false);
    root.addChild(array, false);
    const ToolList list(&root);
    const Curve& u = *array->curve;
    ASSERT_GT(u.edgeCount(), 6);
    // Keys run through the base edges in order, several copies sharing one.
    std::vector<int> keys;
    for (int i = 0; i < list.size(); ++i) {
        if (list.tools[std::size_t(i)] != array->items[0]) continue;
        std::uint32_t objectId = 0, itemId = 0;
        list.drawIds(i, true, 0, objectId, itemId);
        EXPECT_EQ(objectId, 1u + std::uint32_t(array->id));
        EXPECT_EQ(int(itemId), list.subIndices[std::size_t(i)]);
        keys.push_back(list.subIndices[std::size_t(i)]);
    }
    ASSERT_EQ(int(keys.size()), u.edgeCount());
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()) && keys.front() == 0 && keys.back() == 2);
    EXPECT_TRUE(marksClear(u));

    // The copy standing on the middle of the second base edge: its key names
    // that base edge, and the sculpt gesture carrying it reaches the base as it is.
    const int e = u.edgeCount() / 2;
    std::vector<vec3> ends;
    u.segment(e, ends);
    EXPECT_EQ(keys[std::size_t(e)], 1) << ends[0].x << " " << ends[0].y;
    Sculptor gesture;
    gesture.action = Sculptor::Deform;
    gesture.samples.resize(2);
    for (SBrush& b : gesture.samples) b.itemId = keys[std::size_t(e)];
    std::vector<Sculptor*> gestures{&gesture};
    array->sculpt(gestures);
    EXPECT_EQ(seen, (std::vector<int>{1, 1}));
}

// The array layout: which copies the flattened lists hold, where they stand
// and how they point back to the array and the curve edge under them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "curves/ucurve.h"
#include "scene/list_walk.h"
#include "scene/load_budget.h"
#include "scene/root.h"
#include "scene/tool_list.h"
#include "scene/tool_test_util.h"
#include "tools/array.h"

using namespace qel;
using Copies = std::vector<std::pair<int, int>>;  // (sub-index, slot) of each copy's top entry

namespace {

constexpr double Pi = 3.14159265358979323846;
int entry(int anchor, int item, int multiplicity) { return (anchor << 30) | (item << 15) | multiplicity; }

// n edges: a line along x at height y, or a closed loop.
Curve* curveOf(int n, bool loop = false, float y = 0) {
    std::vector<vec3> p;
    for (int i = 0; i <= n - (loop ? 1 : 0); ++i)
        p.push_back(loop ? vec3(3 * float(std::cos(2 * Pi * i / n)), 3 * float(std::sin(2 * Pi * i / n)), 0)
                         : vec3(float(i), y, 0));
    return new Curve(p, loop);
}

// The item of every slot (the array copies it once per slot): a tool with a child.
struct Leaf {
    Tool tool{new tooltest::TestElement(), mat4::Identity(), pbr(), false};
    Leaf() { tool.addChild(new Tool(nullptr, mat4::Scale(0.5f), pbr(), false), false); }
    std::vector<Tool*> slots(int n) { return std::vector<Tool*>(std::size_t(n), &tool); }
};

std::unique_ptr<Array> arrayOn(Curve* c, const std::vector<Tool*>& items, std::vector<std::int32_t> pattern,
                               Array::TArrayType type = Array::Simple, const mat4& step = mat4::Identity()) {
    return std::make_unique<Array>(c, items, pattern, type, step, mat4::Identity(), pbr(), false);
}

struct Lists {
    std::vector<Tool*> tools;
    std::vector<mat4> matrices;
    std::vector<int> parents, subIndices;
    explicit Lists(Tool* t, const mat4& m = mat4::Identity()) {
        t->toList(tools, matrices, parents, subIndices, m, 7, 3);
    }
    Copies copies(const Array& a) const {
        Copies out;
        for (std::size_t i = 0; i < tools.size(); ++i)
            for (std::size_t s = 0; s < a.items.size(); ++s)
                if (tools[i] == a.items[s]) out.push_back({subIndices[i], int(s)});
        return out;
    }
};

bool marksClear(const Curve* c) {
    return !c || std::none_of(c->edges.begin(), c->edges.end(),
                              [](const CurveEdge& e) { return (e.flags & CurveEdge::PlacedBit) != 0; });
}

float maxDiff(const mat4& a, const mat4& b) {
    float d = 0;
    for (int i = 0; i < 16; ++i) d = std::max(d, std::fabs(a.m[i] - b.m[i]));
    return d;
}

}  // namespace

TEST(ArrayLayout, NoEdgesNoSlotsNoCurveOrNoPatternPlaceNoCopies) {
    Leaf leaf;
    const struct {
        Curve* curve;
        bool slots;
        std::vector<std::int32_t> pattern;
        std::size_t entries;  // the array and its child, or nothing
    } cases[] = {{new Curve(), true, {0x8001}, 0},
                 {curveOf(3), false, {0x8001}, 0},
                 {nullptr, true, {0x8001}, 0},
                 {curveOf(3), true, {}, 2}};
    for (const auto& c : cases) {
        auto a = arrayOn(c.curve, leaf.slots(c.slots ? 1 : 0), c.pattern, Array::Chain);
        a->addChild(new Tool(nullptr, mat4::Identity(), pbr(), false), false);
        EXPECT_EQ(Lists(a.get()).tools.size(), c.entries);
        EXPECT_TRUE(marksClear(c.curve));
    }
}

TEST(ArrayLayout, TheDefaultPatternFillsEveryEdgeInOrderAndAnItemFillsItsEdge) {
    Leaf leaf;
    auto a = arrayOn(curveOf(5), leaf.slots(1), {0x8001});
    a->transform = mat4::Translation(1, 2, 3);
    const mat4 parent = mat4::Scale(2);
    const Lists l(a.get(), parent);
    ASSERT_EQ(l.tools.size(), 1u + 5 * 2);
    EXPECT_TRUE(l.tools[0] == a.get() && l.parents[0] == 7 && l.subIndices[0] == 3 && l.matrices[0] == parent);
    const mat4 W = parent * a->matrix() * a->curve->localMatrix();
    for (int e = 0; e < 5; ++e) {
        const std::size_t top = 1 + 2 * std::size_t(e);
        EXPECT_TRUE(l.tools[top] == a->items[0] && l.parents[top] == 0 && l.subIndices[top] == e);
        EXPECT_TRUE(l.parents[top + 1] == int(top) && l.subIndices[top + 1] == -1);
        // The template's z = -1 and z = 1 land on the edge's two vertices.
        std::vector<vec3> ends;
        a->curve->segment(e, ends);
        for (int k = 0; k < 2; ++k)
            EXPECT_LT(length(l.matrices[top].transformPoint(vec3(0, 0, 2.0f * float(k) - 1)) -
                             W.transformPoint(ends[std::size_t(k)])),
                      1e-5);
    }
    EXPECT_TRUE(marksClear(a->curve));
}

TEST(ArrayLayout, StepOnOddPositionsAndTheTwistOfOddClosedLoops) {
    const mat4 quarter(0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    const struct {
        Array::TArrayType type;
        bool loop;
        int edges;
        double twist;  // per position
    } cases[] = {{Array::Chain, false, 5, 0},
                 {Array::Chain, true, 7, 3 * Pi / 14},
                 {Array::Zipper, true, 7, Pi / 7},
                 {Array::Chain, true, 6, 0},
                 {Array::Simple, true, 7, 0}};
    Leaf leaf;
    for (const auto& k : cases) {
        const mat4 step = k.type == Array::Zipper ? mat4::Mirror(vec3(0, 1, 0)) : quarter;
        auto plain = arrayOn(curveOf(k.edges, k.loop), leaf.slots(1), {0x8001});
        auto typed = arrayOn(curveOf(k.edges, k.loop), leaf.slots(1), {0x8001}, k.type, step);
        const Lists a(plain.get()), b(typed.get());
        ASSERT_EQ(b.tools.size(), 1u + 2 * std::size_t(k.edges));
        for (int i = 0; i < k.edges; ++i) {
            mat4 want = mat4::FromMat3(mat3::RotationAroundAxis(vec3(0, 0, 1), float(i * k.twist)));
            if (k.type != Array::Simple && i % 2 == 1) want = want * step;
            const std::size_t j = 1 + 2 * std::size_t(i);
            EXPECT_EQ(b.subIndices[j], i);
            EXPECT_LT(maxDiff(a.matrices[j].inverse() * b.matrices[j], want), 1e-4) << k.edges << " " << i;
        }
    }
}

TEST(ArrayLayout, ThePatternIsLaidFromBothEndsThenRepeatedInTheMiddleOfEachChain) {
    Leaf leaf;
    const int M = 0, S = 1, E = 2;
    const struct {
        std::vector<std::int32_t> pattern;
        int slots, edges, secondChain;
        Copies copies;                       // (edge, slot) in list order
        std::pair<int, int> broken{-1, -1};  // edge, the next-edge link it gets
    } cases[] = {
        {{entry(S, 1, 2), entry(M, 2, 1), entry(E, 3, 1)}, 3, 6, 0, {{0, 0}, {5, 2}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}},
        {{entry(E, 4, 1), entry(E, 5, 1)}, 5, 4, 0, {{3, 4}, {2, 3}}},
        // Start and end runs longer than the chain meet; the middle is unused.
        {{entry(S, 1, 3), entry(E, 2, 3), entry(M, 3, 1)}, 3, 4, 0, {{0, 0}, {3, 1}, {1, 0}, {2, 1}}},
        {{entry(M, 3, 1)}, 2, 2, 0, {{0, 0}, {1, 0}}},
        {{entry(M, 1, 1), entry(M, 0, 2)}, 1, 7, 0, {{0, 0}, {3, 0}, {6, 0}}},
        {{entry(S, 2, 1), entry(M, 1, 0), entry(M, 2, 1)}, 2, 4, 0, {{0, 1}, {1, 0}, {2, 0}, {3, 0}}},
        {{entry(3, 1, 1)}, 1, 2, 0, {{0, 0}, {1, 0}}},  // anchor 3 counts as middle
        {{entry(S, 1, 1), entry(M, 2, 1)}, 2, 3, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 0}, {4, 1}}},
        // A link back into the chain, onto the edge itself, or ahead ends the walk.
        {{0x8001}, 1, 4, 0, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, {3, 1}},
        {{0x8001}, 1, 4, 0, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, {2, 2}},
        {{0x8001}, 1, 4, 0, {{0, 0}, {3, 0}, {1, 0}, {2, 0}}, {0, 3}},
    };
    for (const auto& k : cases) {
        Curve* c = curveOf(k.edges);
        if (k.secondChain) {
            const std::unique_ptr<Curve> second(curveOf(k.secondChain, false, 5));
            c->append(second.get());
            c->initialize(Element::ResizeMean);
        }
        if (k.broken.first >= 0) c->edges[std::size_t(k.broken.first)].n[1] = k.broken.second;
        auto a = arrayOn(c, leaf.slots(k.slots), k.pattern, Array::Chain);
        EXPECT_EQ(Lists(a.get()).copies(*a), k.copies) << k.pattern[0];
        EXPECT_TRUE(marksClear(c));
    }
}

TEST(ArrayLayout, NestedArraysAreRebasedAndStopAtTheEntryCap) {
    Leaf leaf;
    auto inner = arrayOn(curveOf(2), leaf.slots(1), {0x8001});
    auto outer = arrayOn(curveOf(3), {inner.get()}, {0x8001});
    const Lists l(outer.get());
    // Per edge the inner array and its two copies of the leaf and its child.
    ASSERT_EQ(l.tools.size(), 1u + 3 * 5);
    for (int e = 0, n = 1; e < 3; ++e, n += 5) {
        EXPECT_EQ(std::vector<int>(l.parents.begin() + n, l.parents.begin() + n + 5),
                  (std::vector<int>{0, n, n + 1, n, n + 3}));
        EXPECT_TRUE(l.subIndices[std::size_t(n)] == e && l.subIndices[std::size_t(n + 3)] == 1);
    }

    struct CapGuard {
        std::size_t old = Array::maxCopyEntries;
        ~CapGuard() { Array::maxCopyEntries = old; }
    } guard;
    Array::maxCopyEntries = 100;
    auto big = arrayOn(curveOf(20), {arrayOn(curveOf(10), leaf.slots(1), {0x8001}).get()}, {0x8001});
    {
        // A load in progress learns that copies were left out.
        LoadBudget budget(0);
        EXPECT_EQ(Lists(big.get()).tools.size(), 1u + 4 * (1 + 10 * 2));
        EXPECT_TRUE(budget.leftOut());
    }
    EXPECT_TRUE(marksClear(big->curve));
    LoadBudget budget(0);
    Lists(arrayOn(curveOf(3), leaf.slots(1), {0x8001}).get());
    EXPECT_FALSE(budget.leftOut());
}

TEST(ArrayLayout, AMillionNestedCopiesAreLaidWholeAndCountedInTheirWalk) {
    // 1000 copies of an array of 1000 plain tools: 1,001,000 copies.
    Tool plain(nullptr, mat4::Identity(), pbr(), false);
    auto inner = arrayOn(curveOf(1000), {&plain}, {0x8001});
    auto outer = arrayOn(curveOf(1000), {inner.get()}, {0x8001});
    std::vector<Tool*> tools;
    std::vector<mat4> matrices;
    std::vector<int> parents, subIndices;
    ListWalk walk(tools, matrices, parents, subIndices);
    outer->toList(tools, matrices, parents, subIndices, mat4::Identity(), 0, -1);
    walk.finish();
    EXPECT_TRUE(walk.copiesListed() == 1001000u && walk.copiesLeftOut() == 0u);
    ASSERT_EQ(tools.size(), 1u + 1000u * 1001u);
    EXPECT_EQ(tools.back(), static_cast<Array*>(outer->items[0])->items[0]);
}

namespace {

// A base curve that records the edges named by the sculpt gestures reaching it.
struct ProbeCurve : Curve {
    using Curve::Curve;
    std::vector<int> seen;
    void sculpt(std::vector<Sculptor*>& sculptors) override {
        for (Sculptor* s : sculptors)
            for (const SBrush& b : s->samples) seen.push_back(b.itemId);
    }
};

}  // namespace

TEST(ArrayLayout, OnAResampledCurveACopyPicksTheArrayAndTheBaseEdgeUnderIt) {
    auto* base = new ProbeCurve(std::vector<vec3>{vec3(0, 0, 0), vec3(4, 0, 0), vec3(4, 6, 0), vec3(1, 6, 0)}, false);
    Leaf leaf;
    Root root;
    Array* array = arrayOn(new UCurve(base, Curve::UniformCurve), leaf.slots(1), {0x8001}, Array::Chain).release();
    root.addChild(array, false);
    const ToolList list(&root);
    ASSERT_GT(array->curve->edgeCount(), 6);
    std::vector<int> keys;
    for (int i = 0; i < list.size(); ++i) {
        if (list.tools[std::size_t(i)] != array->items[0]) continue;
        std::uint32_t objectId = 0, itemId = 0;
        list.drawIds(i, true, 0, objectId, itemId);
        EXPECT_EQ(objectId, 1u + std::uint32_t(array->id));
        keys.push_back(int(itemId));
    }
    // Keys run through the three base edges in order, copies sharing them.
    ASSERT_EQ(int(keys.size()), array->curve->edgeCount());
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()) && keys.front() == 0 && keys.back() == 2);
    EXPECT_TRUE(marksClear(array->curve));

    // The copy halfway along stands on the second base edge; a Deform
    // gesture carrying its key reaches the base with that edge.
    const int key = keys[keys.size() / 2];
    EXPECT_EQ(key, 1);
    Sculptor gesture;
    gesture.action = Sculptor::Deform;
    gesture.samples.resize(2);
    for (SBrush& b : gesture.samples) b.itemId = key;
    std::vector<Sculptor*> gestures{&gesture};
    array->sculpt(gestures);
    EXPECT_EQ(base->seen, (std::vector<int>{1, 1}));

    // Over a real base the gesture moves that edge's two vertices only.
    auto* plain = new Curve(std::vector<vec3>{vec3(0, 0, 0), vec3(4, 0, 0), vec3(4, 6, 0), vec3(1, 6, 0)}, false);
    Leaf other;
    std::unique_ptr<Array> real =
        arrayOn(new UCurve(plain, Curve::UniformCurve), other.slots(1), {0x8001}, Array::Chain);
    gesture.select = Sculptor::SelectElement;
    gesture.viewDirection = vec3(0, 0, 1);
    gesture.samples[0].point = vec3(4, 3, 0);
    gesture.samples[1].point = vec3(5, 3, 0);
    for (SBrush& b : gesture.samples) b.radius = 3.5f;
    real->sculpt(gestures);
    // Both ends of base edge 1 lie 3 from the brush: moved alike, by the
    // falloff's share; the other two vertices stay.
    const auto x = [&](int v) { return plain->vertices[std::size_t(v)].position.x; };
    EXPECT_GT(x(1), 4.01f);
    EXPECT_FLOAT_EQ(x(1), x(2));
    EXPECT_EQ(x(0), 0.0f);
    EXPECT_EQ(x(3), 1.0f);
}

// The Bezier curve: the skip test, the rest length, the cubic and its end
// frames, the kept and default edge counts, the empty record, sharing inside
// a tube, copy and clone.

#include "curves/bezier_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "curves/curve_invariants_util.h"
#include "elements/tube.h"
#include "scene/buffer.h"
#include "scene/element_factory.h"

using qel::BezierCurve;
using qel::buffer;
using qel::Curve;
using qel::Element;
using qel::vec3;

namespace {

std::vector<vec3> positions(const Curve& c) {
    std::vector<vec3> out;
    for (const auto& v : c.vertices) out.push_back(v.position);
    return out;
}

bool finite(const vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

}  // namespace

TEST(BezierCurve, RebuildsOnlyPastOnePercent) {
    const vec3 a(1, 0, 1), b(0, 1, -1);
    struct Case {
        float length;
        vec3 a;
        bool rebuilt;
    };
    const Case cases[] = {
        {1.005f, a, false},               // 0.5 % longer
        {0.995f, a, false},               // 0.5 % shorter
        {1.02f, a, true},                 // 2 % longer
        {1.0f, vec3(1, 0.05f, 1), true},  // the start turned by more than 0.01 per component
        {1.0f, vec3(2, 0, 2), false},     // the same direction, longer vector
    };
    for (const Case& c : cases) {
        BezierCurve curve(vec3(0, 0, 0), vec3(0, 0, 0), 50);
        curve.setup(a, b, 1.0f, 0);
        const std::vector<vec3> before = positions(curve);
        curve.setup(c.a, b, c.length, 0);
        EXPECT_EQ(positions(curve) != before, c.rebuilt) << c.length;
        EXPECT_EQ(curve.currentLength, c.rebuilt ? c.length : 1.0f) << c.length;
    }
}

TEST(BezierCurve, FirstPositiveLengthIsTheRestLength) {
    BezierCurve curve(vec3(0, 0, 0), vec3(0, 0, 0), 50);
    EXPECT_EQ(curve.initialLength, -1.0f);
    EXPECT_EQ(curve.vertexCount(), 51);
    curve.setup(vec3(0, 0, 1), vec3(0, 0, -1), 0.0f, 0);  // a zero length does not fix it
    EXPECT_EQ(curve.initialLength, -1.0f);
    curve.setup(vec3(0, 0, 1), vec3(0, 0, -1), 2.0f, 0);
    EXPECT_EQ(curve.initialLength, 2.0f);
    curve.setup(vec3(0, 1, 1), vec3(0, 0, -1), 3.0f, 0);
    EXPECT_EQ(curve.initialLength, 2.0f);
    EXPECT_EQ(curve.currentLength, 3.0f);
    for (const vec3& p : positions(curve)) EXPECT_TRUE(finite(p));
}

TEST(BezierCurve, StraightAtRestAndEndsAlongTheDirections) {
    BezierCurve curve(vec3(0, 0, 0), vec3(0, 0, 0), 50);
    // Unnormalised directions are normalised.
    curve.setup(vec3(0, 0, 4), vec3(0, 0, -0.5f), 1.5f, 0);
    ASSERT_EQ(curve.vertexCount(), 51);
    float z = -1.0f;
    for (const vec3& p : positions(curve)) {
        EXPECT_EQ(p.x, 0.0f);
        EXPECT_EQ(p.y, 0.0f);
        EXPECT_GT(p.z, z);
        z = p.z;
    }
    EXPECT_EQ(curve.vertices.front().position, vec3(0, 0, 0));
    EXPECT_NEAR(curve.vertices.back().position.z, 1.0f, 1e-6f);

    // Bent: the end edges run along a and -b exactly, their normals
    // perpendicular and of unit length.
    const vec3 a = qel::normalize(vec3(1, 2, 2));
    const vec3 b = qel::normalize(vec3(-1, 0, 1));
    curve.setup(vec3(1, 2, 2), vec3(-1, 0, 1), 1.5f, 0);
    const qel::CurveEdge& first = curve.edges.front();
    const qel::CurveEdge& last = curve.edges.back();
    EXPECT_EQ(first.direction, a);
    EXPECT_EQ(last.direction, -b);
    EXPECT_NEAR(qel::dot(first.normal, a), 0.0, 1e-6);
    EXPECT_NEAR(qel::dot(last.normal, b), 0.0, 1e-6);
    EXPECT_NEAR(qel::length(first.normal), 1.0, 1e-6);
    EXPECT_NEAR(qel::length(last.normal), 1.0, 1e-6);
    // The first vertex leaves the origin along a.
    const vec3 d = qel::normalize(curve.vertices[1].position);
    EXPECT_GT(qel::dot(d, a), 0.99);
    EXPECT_EQ(curvetest::checkCurveInvariants(curve), "");
    curve.initialize(Element::ResizeKeep);
    EXPECT_EQ(curvetest::checkCurveInvariants(curve), "");
    EXPECT_EQ(curve.centre, vec3(0, 0, 0));
    EXPECT_EQ(curve.size(), 1.0f);
}

TEST(BezierCurve, EdgeCounts) {
    BezierCurve curve(vec3(0, 0, 1), vec3(0, 0, -1), 7);
    EXPECT_EQ(curve.edgeCount(), 7);
    curve.setup(vec3(1, 0, 0), vec3(0, 0, -1), 1.0f, 0);
    EXPECT_EQ(curve.edgeCount(), 7);
    EXPECT_EQ(curve.vertexCount(), 8);
    // One edge: sharp at both ends.
    curve.setup(vec3(1, 0, 0), vec3(0, 0, -1), 1.0f, 1);
    EXPECT_EQ(curve.edges[0].flags, 7);
    EXPECT_EQ(curvetest::checkCurveInvariants(curve), "");
    // A curve without edges keeps no count: it gets 50.
    curve.init();
    curve.setup(vec3(0, 1, 0), vec3(0, 0, -1), 1.0f, 0);
    EXPECT_EQ(curve.edgeCount(), 50);
    EXPECT_EQ(curve.vertexCount(), 51);
    EXPECT_EQ(curvetest::checkCurveInvariants(curve), "");
    for (const vec3& p : positions(curve)) EXPECT_TRUE(finite(p));
}

TEST(BezierCurve, RecordIsEightBytes) {
    BezierCurve curve(vec3(0, 0, 1), vec3(0, 0, -1), 50);
    buffer b;
    curve.DataWrite(b);
    const std::vector<std::uint8_t> expected = {0x02, 0x00, 0x10, 0xE1, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(b.data(), b.data() + b.size()), expected);

    // Read back, even with a payload that is not its own: 50 edges at the
    // origin.
    for (const std::vector<std::uint8_t>& body : {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>{1, 2, 3}}) {
        buffer in(body);
        qel::ElementFactory factory;
        Element* e = nullptr;
        ASSERT_EQ(factory.read(BezierCurve::RecordTag, in, e), qel::ElementFactory::Built);
        auto* read = dynamic_cast<BezierCurve*>(e);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->type, Element::TType::Curve);
        EXPECT_EQ(read->edgeCount(), 50);
        for (const vec3& p : positions(*read)) EXPECT_EQ(p, vec3(0, 0, 0));
        delete read;
    }
}

TEST(BezierCurve, SharingCopyAndClone) {
    auto* path = new BezierCurve(vec3(0, 0, 0), vec3(0, 0, 0), 50);
    path->setup(vec3(1, 0, 1), vec3(0, 1, -1), 2.0f, 0);
    auto* tube = new qel::Tube(path, Curve::Circle(6, false));
    tube->copy(1);
    EXPECT_EQ(path->refCount, 1);
    tube->copy(2);  // the element's copy(n) reaches the path
    EXPECT_EQ(path->refCount, 3);

    // The copy without argument: a fresh 50-edge curve when held.
    BezierCurve* fresh = path->copy();
    EXPECT_NE(fresh, path);
    EXPECT_EQ(fresh->refCount, 1);
    EXPECT_EQ(fresh->edgeCount(), 50);
    delete fresh;
    BezierCurve lone(vec3(0, 0, 1), vec3(0, 0, -1), 50);
    EXPECT_EQ(lone.copy(), &lone);
    EXPECT_EQ(lone.refCount, 1);

    // Clones keep the kind, the fields and the records.
    std::unique_ptr<BezierCurve> clone(path->clone());
    EXPECT_EQ(clone->initialLength, 2.0f);
    EXPECT_EQ(clone->startDirection, path->startDirection);
    EXPECT_EQ(clone->endDirection, path->endDirection);
    EXPECT_EQ(positions(*clone), positions(*path));
    EXPECT_EQ(clone->refCount, 0);
    qel::Tube* tubeClone = tube->clone();
    EXPECT_NE(dynamic_cast<BezierCurve*>(tubeClone->path), nullptr);
    EXPECT_NE(tubeClone->path, path);
    Element::drop(tubeClone->copy(1));
    Element::drop(tube, 3);
}

TEST(BezierCurve, OffersNoSymmetryAndIgnoresSculpting) {
    BezierCurve curve(vec3(0, 0, 1), vec3(0, 0, -1), 50);
    std::vector<qel::symmetry::TSymmetry> list(3);
    std::vector<vec3> points;
    std::vector<qel::mat3> frames;
    std::vector<float> scales;
    curve.symmetries(list, vec3(1, 2, 3), vec3(0, 1, 0), true, true, true, true, true, true, 5, points, frames, scales,
                     0, false);
    EXPECT_TRUE(list.empty());
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0], vec3(1, 2, 3));
    EXPECT_EQ(scales, std::vector<float>{1.0f});
    std::vector<qel::Sculptor*> none;
    const std::vector<vec3> before = positions(curve);
    curve.sculpt(none);
    EXPECT_EQ(positions(curve), before);
}

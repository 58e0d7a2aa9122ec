// The Bezier curve: the skip test, the rest length, the cubic and its end
// frames, edge counts, the empty record, sharing inside a tube and clones.

#include "curves/bezier_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "curves/curve_invariants_util.h"
#include "elements/tube.h"
#include "files/element_factory.h"
#include "gl/buffer.h"

using namespace qel;

namespace {

std::vector<vec3> positions(const Curve& c) {
    std::vector<vec3> out;
    for (const auto& v : c.vertices) out.push_back(v.position);
    return out;
}

}  // namespace

TEST(BezierCurve, RebuildsPastOnePercentAndKeepsTheFirstPositiveLength) {
    const struct {
        float length;
        vec3 a;
        bool rebuilt;
    } cases[] = {{1.005f, vec3(1, 0, 1), false},
                 {0.995f, vec3(1, 0, 1), false},
                 {1.02f, vec3(1, 0, 1), true},
                 {1.0f, vec3(1, 0.05f, 1), true},
                 {1.0f, vec3(2, 0, 2), false}};
    for (const auto& c : cases) {
        BezierCurve curve(vec3(), vec3(), 50);
        curve.setup(vec3(0, 0, 1), vec3(0, 0, -1), 0.0f, 0);  // a zero length is no rest length
        curve.setup(vec3(1, 0, 1), vec3(0, 1, -1), 1.0f, 0);
        const std::vector<vec3> before = positions(curve);
        curve.setup(c.a, vec3(0, 1, -1), c.length, 0);
        EXPECT_EQ(positions(curve) != before, c.rebuilt) << c.length;
        EXPECT_EQ(curve.initialLength, 1.0f);
    }
}

TEST(BezierCurve, StraightAtRestEndsAlongTheDirectionsAndKeepsItsCounts) {
    BezierCurve curve(vec3(), vec3(), 50);
    curve.setup(vec3(0, 0, 4), vec3(0, 0, -0.5f), 1.5f, 0);  // normalised
    const std::vector<vec3> p = positions(curve);
    ASSERT_EQ(p.size(), 51u);
    for (std::size_t i = 0; i < p.size(); ++i) {
        EXPECT_TRUE(p[i].x == 0 && p[i].y == 0) << i;
        EXPECT_NEAR(p[i].z, float(i) / 50, 1e-6f) << i;
    }

    const vec3 a = normalize(vec3(1, 2, 2)), b = normalize(vec3(-1, 0, 1));
    curve.setup(vec3(1, 2, 2), vec3(-1, 0, 1), 1.5f, 0);
    EXPECT_EQ(curve.edges.front().direction, a);
    EXPECT_EQ(curve.edges.back().direction, -b);
    EXPECT_NEAR(dot(curve.edges.front().normal, a), 0.0, 1e-6);
    EXPECT_NEAR(dot(curve.edges.back().normal, b), 0.0, 1e-6);
    EXPECT_EQ(curve.edgeCount(), 50);
    curve.initialize(Element::ResizeKeep);
    EXPECT_EQ(curvetest::checkCurveInvariants(curve), "");
    EXPECT_TRUE(curve.centre == vec3() && curve.size() == 1.0f);

    curve.setup(a, b, 1.0f, 1);
    EXPECT_EQ(curve.edges[0].flags, 7);
    curve.init();  // no edges: 50, not a division by 0
    curve.setup(vec3(0, 1, 0), vec3(0, 0, -1), 3e38f, 0);
    curve.setup(vec3(0, 1, 0), vec3(0, 0, -1), 1e-6f, 0);  // arms beyond the float range
    for (const vec3& q : positions(curve)) EXPECT_TRUE(std::isfinite(q.y) && std::isfinite(q.z));
    curve.setup(vec3(0, 1, 0), vec3(0, 0, -1), 1.0f, 0);
    EXPECT_EQ(curve.vertexCount(), 51);
    EXPECT_EQ(curvetest::checkCurveInvariants(curve), "");
}

TEST(BezierCurve, RecordIsEightBytesAndReadsAsFiftyEdgesAtTheOrigin) {
    buffer b;
    BezierCurve(vec3(), vec3(), 50).DataWrite(b);
    EXPECT_EQ(std::vector<std::uint8_t>(b.data(), b.data() + b.size()),
              (std::vector<std::uint8_t>{0x02, 0x00, 0x10, 0xE1, 0, 0, 0, 0}));
    buffer in(std::vector<std::uint8_t>{1, 2, 3});  // a payload it does not read
    ElementFactory factory;
    Element* e = nullptr;
    ASSERT_EQ(factory.read(BezierCurve::RecordTag, in, e), ElementFactory::Built);
    std::unique_ptr<BezierCurve> read(dynamic_cast<BezierCurve*>(e));
    ASSERT_TRUE(read && read->type == Element::TType::Curve && read->edgeCount() == 50);
    EXPECT_EQ(positions(*read), std::vector<vec3>(51, vec3()));
}

TEST(BezierCurve, TubesShareItAndClonesStayBezierCurves) {
    auto* path = new BezierCurve(vec3(), vec3(), 50);
    path->setup(vec3(1, 0, 1), vec3(0, 1, -1), 2.0f, 0);
    auto* tube = new Tube(path, Curve::Circle(6, false));
    tube->copy(1);
    tube->copy(2);  // the element's copy(n) reaches the path
    EXPECT_EQ(path->refCount, 3);
    std::unique_ptr<BezierCurve> fresh(path->copy());
    EXPECT_TRUE(fresh.get() != path && fresh->refCount == 1 && fresh->edgeCount() == 50);

    std::unique_ptr<BezierCurve> clone(path->clone());
    EXPECT_TRUE(clone->initialLength == 2.0f && clone->endDirection == path->endDirection);
    EXPECT_EQ(positions(*clone), positions(*path));
    Tube* tubeClone = tube->clone();
    EXPECT_TRUE(dynamic_cast<BezierCurve*>(tubeClone->path) && tubeClone->path != path);
    Element::drop(tubeClone->copy(1));
    Element::drop(tube, 3);
}

// Preset shapes, length, the point file and the flat polygons of the curve.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/simple_polygon.h"
#include "curves/curve.h"
#include "curves/curve_invariants_util.h"

using qel::Curve;
using qel::CurveEdge;
using qel::CurveVertex;
using qel::mat4;
using qel::vec3;
using CurvePtr = std::unique_ptr<Curve>;
using PolygonPtr = std::unique_ptr<qel::SimplePolygon>;

namespace {

void expectNear(const vec3& a, const vec3& b, float eps = 1e-6f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

bool allSharp(const Curve& c) {
    for (const CurveVertex& v : c.vertices)
        if (!v.isSharp()) return false;
    for (const CurveEdge& e : c.edges)
        if ((e.flags & CurveEdge::SharpMask) != 3) return false;
    return true;
}

}  // namespace

TEST(CurveShapes, Presets) {
    struct Case {
        const char* name;
        Curve* curve;
        int vertices;
        bool sharp;
        vec3 centre;
        float size;
    };
    const Case cases[] = {
        {"SegmentHandle", Curve::SegmentHandle(), 2, true, vec3(0, 0, 0), 1.0f},
        {"Segment", Curve::Segment(), 2, true, vec3(0.5f, 0, 0), 1.0f},
        {"Segment(4, box)", Curve::Segment(4, Curve::ResizeBox), 5, false, vec3(0.5f, 0, 0), 1.0f},
        {"Segment(0, keep)", Curve::Segment(0, Curve::ResizeKeep), 2, true, vec3(0, 0, 0), 1.0f},
        {"Triangle", Curve::Triangle(), 3, true, vec3(0, 0.5773503f, 0), 1.0f},
        {"Quad(2, 1)", Curve::Quad(2, 1), 4, true, vec3(1, 0.5f, 0), 1.0f},
        {"Quad(1, 1)", Curve::Quad(1, 1), 4, true, vec3(0.5f, 0.5f, 0), 0.5f},
        {"Circle(6, true)", Curve::Circle(6, true), 6, true, vec3(0, 0, 0), 1.0f},
        {"Chainlink(8, true)", Curve::Chainlink(8, true), 14, false, vec3(0, 0, 0), 1.0f},
        {"Chainlink(1, false)", Curve::Chainlink(1, false), 8, false, vec3(0, 0, 0), 1.0f},
        {"Chainlink(0, false)", Curve::Chainlink(0, false), 8, false, vec3(0, 0, 0), 1.0f},
        {"Chainlink(-4, false)", Curve::Chainlink(-4, false), 10, false, vec3(0, 0, 0), 1.0f},
        {"TrefoilKnot(30)", Curve::TrefoilKnot(30), 30, false, vec3(0, 0, 0), 3.0f},
        {"Knot(2, 3, 40)", Curve::Knot(2, 3, 40), 40, false, vec3(0, 0, 0), 1.0f},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        const CurvePtr c(t.curve);
        EXPECT_EQ(c->status, 0);
        EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
        EXPECT_EQ(c->curveType, Curve::Plain);
        EXPECT_EQ(c->vertexCount(), t.vertices);
        EXPECT_EQ(allSharp(*c), t.sharp);
        expectNear(c->centre, t.centre);
        EXPECT_FLOAT_EQ(c->size(), t.size);
    }
}

TEST(CurveShapes, CircleRadiiAndChainlinkSharpPoints) {
    const CurvePtr circle(Curve::Circle(4, false));
    const vec3 corners[] = {vec3(1, 0, 0), vec3(0, 1, 0), vec3(-1, 0, 0), vec3(0, -1, 0)};
    for (int v = 0; v < 4; ++v) expectNear(circle->vertices[std::size_t(v)].position, corners[v]);
    EXPECT_EQ(circle->edges[0].v[0], 3);
    EXPECT_EQ(circle->edges[0].v[1], 0);
    EXPECT_FALSE(allSharp(*circle));
    const float L = circle->Length();
    EXPECT_NEAR(L, 4 * std::sqrt(2.0), 1e-5);
    for (const CurveVertex& v : circle->vertices) EXPECT_FLOAT_EQ(v.radius, float(double(L) / 4.4));

    const CurvePtr link(Curve::Chainlink(8, true));  // m = 4
    const int sharp[] = {0, 6, 7, 13};
    for (int v = 0; v < 14; ++v) {
        const bool expected = v == sharp[0] || v == sharp[1] || v == sharp[2] || v == sharp[3];
        EXPECT_EQ(link->vertices[std::size_t(v)].isSharp(), expected) << v;
    }
    expectNear(link->vertices[0].position, vec3(1, 0.9f, 0));
    expectNear(link->vertices[1].position, vec3(1, 1, 0));
    expectNear(link->vertices[5].position, vec3(-1, 1, 0));
    expectNear(link->vertices[8].position, vec3(-1, -1, 0));
    expectNear(link->vertices[12].position, vec3(1, -1, 0));
    expectNear(link->vertices[13].position, vec3(1, -0.9f, 0));
    EXPECT_FLOAT_EQ(link->vertices[3].radius, float(double(link->Length()) / 14.4));
}

TEST(CurveShapes, LengthIgnoresInactiveEdges) {
    Curve c(std::vector<vec3>{vec3(0, 0, 0), vec3(3, 4, 0), vec3(3, 5, 0)}, false);
    EXPECT_FLOAT_EQ(c.Length(), 6.0f);
    c.edgeErase(1);
    EXPECT_FLOAT_EQ(c.Length(), 5.0f);
    EXPECT_EQ(Curve().Length(), 0.0f);
}

TEST(CurveShapes, PointFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto write = [&dir](const std::string& name, const std::vector<std::uint32_t>& counts,
                        const std::vector<double>& values, std::size_t cut) {
        std::string bytes;
        auto put = [&bytes](const void* p, std::size_t n) { bytes.append(static_cast<const char*>(p), n); };
        put(&counts[0], 4);
        put(values.data(), 8 * 3 * counts[0]);
        put(&counts[1], 4);
        put(values.data() + 3 * counts[0], 8 * (values.size() - 3 * counts[0]));
        const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path, std::ios::binary) << bytes.substr(0, bytes.size() - cut);
        return path;
    };
    const std::vector<double> values = {9, 9, 9, 0, 0, 0, 1, 0, 0, 1, 1, 0};
    const CurvePtr good(Curve::FromPointFile(write("good", {1, 3}, values, 0)));
    EXPECT_EQ(good->status, 0);
    EXPECT_EQ(good->vertexCount(), 3);
    EXPECT_EQ(good->edgeCount(), 3);  // closed
    EXPECT_EQ(good->vertices[2].position, vec3(1, 1, 0));
    EXPECT_EQ(curvetest::checkCurveInvariants(*good), "");

    std::vector<double> bad = values;
    bad[7] = std::nan("");
    const std::string failing[] = {
        write("short", {1, 3}, values, 1),
        write("huge", {1, 0x40000000}, values, 0),
        write("non-finite", {1, 3}, bad, 0),
        write("out of float range", {1, 3}, {9, 9, 9, 0, 0, 0, 1e300, 0, 0, 1, 1, 0}, 0),
        dir.filePath("missing").toStdString(),
    };
    for (const std::string& path : failing) {
        SCOPED_TRACE(path);
        const CurvePtr c(Curve::FromPointFile(path));
        EXPECT_EQ(c->status, 1);
        EXPECT_EQ(c->vertexCount() + c->edgeCount(), 0);
    }
}

TEST(CurveShapes, PolygonOfXYAndSharpBits) {
    const CurvePtr c(Curve::Quad(2, 1));
    const PolygonPtr p(c->ToPolygon2D());
    ASSERT_EQ(p->points.size(), 4u);
    EXPECT_EQ(p->points[2].x, 2.0f);
    EXPECT_EQ(p->points[2].y, 1.0f);
    EXPECT_TRUE(p->sharp[2]);
}

TEST(CurveShapes, FittedPolygonMapsBackOntoTheDrawnPlane) {
    struct Case {
        const char* name;
        std::vector<vec3> points;
        vec3 normal;  // of the plane the frame maps onto, up to its sign
    };
    const float s = float(1.0 / std::sqrt(1.13));
    const Case cases[] = {
        {"z = 0", {vec3(0, 0, 0), vec3(2, 0, 0), vec3(2, 1, 0), vec3(0, 1.5f, 0)}, vec3(0, 0, 1)},
        {"z = 5", {vec3(0, 0, 5), vec3(2, 0, 5), vec3(2, 1, 5), vec3(0, 1.5f, 5)}, vec3(0, 0, 1)},
        {"x = -3", {vec3(-3, 0, 0), vec3(-3, 2, 0), vec3(-3, 2, 1), vec3(-3, 0, 1.5f)}, vec3(1, 0, 0)},
        {"tilted",
         {vec3(0, 0, 1), vec3(4, 0, 2.2f), vec3(4, 3, 2.8f), vec3(0, 3, 1.6f), vec3(2, 1, 1.8f)},
         vec3(0.3f * s, 0.2f * s, -s)},
        {"collinear", {vec3(0, 0, 2), vec3(1, 0, 2), vec3(3, 0, 2)}, vec3(0, 0, 1)},
        {"two points", {vec3(0, 0, 2), vec3(1, 1, 2)}, vec3(0, 0, 1)},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        const CurvePtr c(new Curve(t.points, true));
        mat4 frame;
        const PolygonPtr p(c->ToPolygon2D(frame));
        ASSERT_EQ(p->points.size(), t.points.size());
        EXPECT_TRUE(frame.isFinite());
        // The frame's Z axis is the plane's normal.
        const vec3 z = frame.block().column(2);
        EXPECT_NEAR(std::fabs(qel::dot(z, t.normal)), 1.0, 1e-5);
        // Every polygon point maps back onto its vertex.
        for (std::size_t i = 0; i < t.points.size(); ++i)
            expectNear(frame.transformPoint(vec3(p->points[i].x, p->points[i].y, 0)), t.points[i], 1e-5f);
    }
}

// The preset shapes of qel::Curve (the axis and section presets of the view,
// the handle line of two-ended tools), its length, the point-file reader and
// the conversions to flat polygons.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/simple_polygon.h"
#include "curves/curve.h"
#include "gl/buffer.h"

namespace qel {

namespace {

constexpr double Pi = 3.14159265358979323846;

// Every radius = L / (count + 0.4), L the curve's length.
void radiiFromLength(Curve& c, int count) {
    const float r = float(double(c.Length()) / (double(count) + 0.4));
    for (CurveVertex& v : c.vertices) v.radius = r;
}

// A closed curve through points; all sharp when asked.
Curve* closedShape(const std::vector<vec3>& points, bool sharp) {
    Curve* c = new Curve(points, true);
    if (sharp) c->makeSharp();
    return c;
}

}  // namespace

// ---------------------------------------------------------------------------
// Shapes

Curve* Curve::SegmentHandle() {
    Curve* c = new Curve({vec3(0, 0, 0), vec3(1, 0, 0)}, false);
    c->makeSharp();
    c->initialize(ResizeKeep);
    return c;
}

Curve* Curve::Segment() {
    Curve* c = new Curve({vec3(0, 0, 0), vec3(1, 0, 0)}, false);
    c->makeSharp();
    c->initialize(ResizeMean);
    return c;
}

Curve* Curve::Segment(int n, TResizeStyle style) {
    // At least one step: no step would divide by zero.
    n = std::max(n, 1);
    std::vector<vec3> points;
    points.reserve(std::size_t(n) + 1);
    for (int i = 0; i <= n; ++i) points.emplace_back(float(double(i) / n), 0.0f, 0.0f);
    Curve* c = new Curve(points, false);
    c->initialize(style);
    return c;
}

Curve* Curve::Triangle() {
    Curve* c = closedShape({vec3(-1, 0, 0), vec3(1, 0, 0), vec3(0, 1.7320508f, 0)}, true);
    c->initialize(ResizeMean);
    c->setSize(1.0f);
    return c;
}

Curve* Curve::Quad(float w, float h) {
    Curve* c = closedShape({vec3(0, 0, 0), vec3(0, h, 0), vec3(w, h, 0), vec3(w, 0, 0)}, true);
    c->initialize(ResizeMean);
    c->setSize(std::max(w, h) * 0.5f);
    return c;
}

Curve* Curve::Circle(int n, bool sharp) {
    std::vector<vec3> points;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * Pi * i / n;
        points.emplace_back(float(std::cos(a)), float(std::sin(a)), 0.0f);
    }
    Curve* c = closedShape(points, sharp);
    c->setSize(1.0f);
    radiiFromLength(*c, n);
    return c;
}

Curve* Curve::Chainlink(int n, bool sharp) {
    // The half count of arc steps; a negative count makes the same arcs.
    const int m = std::abs(n) >= 2 ? std::abs(n) / 2 : 1;
    const int count = 2 * m + 6;
    std::vector<vec3> points(static_cast<std::size_t>(count));
    points[0] = vec3(1, 0.9f, 0);
    for (int k = 0; k <= m; ++k) {
        const double a = k * Pi / m;
        const float x = float(std::cos(a)), y = float(1.0 + std::sin(a));
        points[std::size_t(1 + k)] = vec3(x, y, 0);           // upper arc, (1, 1) to (-1, 1)
        points[std::size_t(2 * m + 4 - k)] = vec3(x, -y, 0);  // lower arc, (-1, -1) to (1, -1)
    }
    points[std::size_t(m + 2)] = vec3(-1, 0.9f, 0);
    points[std::size_t(m + 3)] = vec3(-1, -0.9f, 0);
    points[std::size_t(2 * m + 5)] = vec3(1, -0.9f, 0);
    // The straight-side points carry the sharp flags; the connectivity pass
    // makes the edge ends there sharp.
    std::vector<bool> flags(static_cast<std::size_t>(count), false);
    if (sharp)
        for (const int i : {0, m + 2, m + 3, 2 * m + 5}) flags[std::size_t(i)] = true;
    Curve* c = new Curve(points, std::vector<float>(), flags, true);
    c->setSize(1.0f);
    radiiFromLength(*c, count);
    return c;
}

Curve* Curve::TrefoilKnot(int n) {
    std::vector<vec3> points;
    for (int i = 0; i < n; ++i) {
        const double t = 2.0 * Pi * i / n;
        points.emplace_back(float(std::sin(t) + 2.0 * std::sin(2.0 * t)), float(std::cos(t) - 2.0 * std::cos(2.0 * t)),
                            float(-1.8 * std::sin(3.0 * t)));
    }
    Curve* c = new Curve(points, true);
    c->setSize(3.0f);
    radiiFromLength(*c, n);
    return c;
}

Curve* Curve::Knot(int p, int q, int n) {
    std::vector<vec3> points;
    for (int i = 0; i < n; ++i) {
        const double t = 2.0 * Pi * i / n;
        const double r = std::cos(q * t) + 1.5;
        points.emplace_back(float(r * std::cos(p * t)), float(r * std::sin(p * t)), float(-std::sin(q * t)));
    }
    Curve* c = new Curve(points, true);
    c->setSize(1.0f);
    return c;
}

// ---------------------------------------------------------------------------
// Measures and conversions

float Curve::Length() const {
    float total = 0.0f;
    const int nV = vertexCount();
    for (const CurveEdge& E : edges) {
        if (!E.isActive() || E.v[0] < 0 || E.v[0] >= nV || E.v[1] < 0 || E.v[1] >= nV) continue;
        total += float(distance(vertices[std::size_t(E.v[0])].position, vertices[std::size_t(E.v[1])].position));
    }
    return total;
}

Curve* Curve::FromPointFile(const std::string& path) {
    auto empty = [] {
        Curve* c = new Curve(Plain);
        c->status = 1;
        return c;
    };
    std::ifstream in(path, std::ios::binary);
    if (!in) return empty();
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > std::size_t(buffer::MaxSize)) return empty();
    buffer b(bytes);
    // Each count is checked against the bytes left before it is used.
    const std::uint32_t skipped = b.readU32();
    if (!b.require(skipped, 24)) return empty();
    b.skip(std::int64_t(skipped) * 24);
    const std::uint32_t m = b.readU32();
    if (b.failed() || !b.require(m, 24)) return empty();
    std::vector<vec3> points(m);
    for (vec3& p : points) {
        for (int i = 0; i < 3; ++i) {
            const std::uint64_t lo = b.readU32();
            const std::uint64_t bits = lo | (std::uint64_t(b.readU32()) << 32);
            double d;
            std::memcpy(&d, &bits, 8);
            p[i] = float(d);
        }
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return empty();
    }
    return new Curve(points, true);
}

SimplePolygon* Curve::ToPolygon2D() const {
    SimplePolygon* polygon = new SimplePolygon();
    polygon->points.reserve(vertices.size());
    polygon->sharp.reserve(vertices.size());
    for (const CurveVertex& r : vertices) {
        polygon->points.emplace_back(r.position.x, r.position.y);
        polygon->sharp.push_back(r.isSharp());
    }
    return polygon;
}

namespace {

// The least-squares plane through points: unit normal and offset
// (normal . p = offset on the plane).
struct FittedPlane {
    dvec3 normal;
    double offset;
};

FittedPlane fitPlane(const std::vector<CurveVertex>& vertices) {
    const std::size_t n = vertices.size();
    double mean[3] = {0, 0, 0}, lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    for (std::size_t i = 0; i < n; ++i)
        for (int a = 0; a < 3; ++a) {
            const double x = vertices[i].position[a];
            mean[a] += x;
            lo[a] = i == 0 ? x : std::min(lo[a], x);
            hi[a] = i == 0 ? x : std::max(hi[a], x);
        }
    for (double& m : mean) m = n ? m / double(n) : 0.0;
    const double ext[3] = {hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
    // The dependent axis: the one of strictly smallest extent, else x.
    int dep = 0;
    if (ext[1] < ext[0] && ext[1] < ext[2]) dep = 1;
    if (ext[2] < ext[0] && ext[2] < ext[1]) dep = 2;
    const int u = dep == 0 ? 1 : 0, w = dep == 2 ? 1 : 2;
    // Normal equations of dep = a u + b w + c, on coordinates taken about
    // the mean (the same solution as the raw sums, better conditioned).
    double suu = 0, suw = 0, sww = 0, sud = 0, swd = 0;
    for (const CurveVertex& r : vertices) {
        const double pu = r.position[u] - mean[u], pw = r.position[w] - mean[w], pd = r.position[dep] - mean[dep];
        suu += pu * pu;
        suw += pu * pw;
        sww += pw * pw;
        sud += pu * pd;
        swd += pw * pd;
    }
    const double det = suu * sww - suw * suw;
    double coef[3] = {0, 0, 0};
    if (det > 1e-12 * suu * sww && std::isfinite(det)) {
        coef[u] = (sud * sww - swd * suw) / det;
        coef[w] = (swd * suu - sud * suw) / det;
    } else {
        // Fewer than three vertices or all on a line: the plane of the two
        // largest extents (ties keep z, then y, as the dependent axis).
        dep = ext[2] <= ext[1] && ext[2] <= ext[0] ? 2 : (ext[1] <= ext[0] ? 1 : 0);
        coef[0] = coef[1] = coef[2] = 0;
    }
    coef[dep] = -1.0;
    // On the plane: coef . (p - mean) = 0.
    const double len = std::sqrt(coef[0] * coef[0] + coef[1] * coef[1] + coef[2] * coef[2]);
    const dvec3 normal{coef[0] / len, coef[1] / len, coef[2] / len};
    return {normal, normal.x * mean[0] + normal.y * mean[1] + normal.z * mean[2]};
}

}  // namespace

SimplePolygon* Curve::ToPolygon2D(mat4& frame) const {
    const FittedPlane plane = fitPlane(vertices);
    const vec3 normal{float(plane.normal.x), float(plane.normal.y), float(plane.normal.z)};
    // The plane's frame: its X and Y axes span the plane, Z is the negated
    // normal. Coordinates along the axes are the transpose applied.
    const mat3 axes = mat3::Frame(-normal);
    const mat3 toPlane = axes.transposed();
    SimplePolygon* polygon = new SimplePolygon();
    polygon->points.reserve(vertices.size());
    polygon->sharp.reserve(vertices.size());
    for (const CurveVertex& r : vertices) {
        const vec3 q = toPlane * r.position;
        polygon->points.emplace_back(q.x, q.y);
        polygon->sharp.push_back(r.isSharp());
    }
    // (x, y, 0) back onto the fitted plane, not onto its parallel through
    // the origin.
    frame = mat4::FromMat3(axes);
    frame.setTranslation(normal * float(plane.offset));
    return polygon;
}

}  // namespace qel

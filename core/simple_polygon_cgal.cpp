// Flat triangulation of a polygon's outline: a constrained Delaunay
// triangulation of the outline's points and closing segments, restricted to
// the enclosed region by the even-odd rule and refined towards a 30 degree
// minimum angle. This is the only source that includes CGAL.
//
// Refinement with a 30 degree bound is not proven to terminate, so it runs
// under a cap on added points; when the cap is reached the triangulation is
// rebuilt and refined with the bound whose termination is guaranteed (about
// 20.7 degrees), again under a (large) cap as a last guard.

#include "core/simple_polygon.h"

#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Constrained_triangulation_face_base_2.h>
#include <CGAL/Delaunay_mesh_criteria_2.h>
#include <CGAL/Delaunay_mesh_face_base_2.h>
#include <CGAL/Delaunay_mesh_vertex_base_2.h>
#include <CGAL/Delaunay_mesher_2.h>
#include <CGAL/Delaunay_mesher_no_edge_refinement_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Spatial_sort_traits_adapter_2.h>
#include <CGAL/property_map.h>
#include <CGAL/spatial_sort.h>
#include <CGAL/Triangulation_face_base_with_info_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <cmath>
#include <cstddef>
#include <numeric>
#include <vector>

namespace qel {

namespace {

// The outline index of an input vertex (the first one when points repeat),
// or the output index given to an added vertex; -1 until then.
struct VertexInfo {
    int index = -1;
};

// Even-odd nesting level of a face: 0 outside, 1 inside, 2 in a hole of the
// inside, ...; -1 not yet reached.
struct FaceInfo {
    int level = -1;
};

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase =
    CGAL::Delaunay_mesh_vertex_base_2<Kernel, CGAL::Triangulation_vertex_base_with_info_2<VertexInfo, Kernel>>;
using FaceBase = CGAL::Delaunay_mesh_face_base_2<
    Kernel,
    CGAL::Constrained_triangulation_face_base_2<Kernel, CGAL::Triangulation_face_base_with_info_2<FaceInfo, Kernel>>>;
using Tds = CGAL::Triangulation_data_structure_2<VertexBase, FaceBase>;
// Crossing constraints are split at their (rounded) crossing points.
using Cdt = CGAL::Constrained_Delaunay_triangulation_2<Kernel, Tds, CGAL::Exact_predicates_tag>;
using Criteria = CGAL::Delaunay_mesh_criteria_2<Cdt>;
using Point = Cdt::Point;
using VertexHandle = Cdt::Vertex_handle;
using FaceHandle = Cdt::Face_handle;

// Shape bounds as sin^2 of the minimum angle.
constexpr double kQualityBound = 0.25;      // 30 degrees
constexpr double kGuaranteedBound = 0.125;  // about 20.7 degrees

// Points the 30 degree refinement may add before it is abandoned, and the
// last guard of the guaranteed one.
std::size_t qualityCap(std::size_t n) { return 64 * n + 4096; }
std::size_t guaranteedCap(std::size_t n) { return 64 * n + (std::size_t(1) << 20); }

bool allFinite(const std::vector<vec2>& points) {
    for (const vec2& p : points)
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
    return true;
}

// Inserts the outline's points and its closing segments. The points go in
// spatially sorted order: in drawing order, points along a convex stretch
// would each flip a fan of edges, quadratic in their number.
void insertOutline(const std::vector<vec2>& points, Cdt& cdt) {
    const std::size_t n = points.size();
    std::vector<Point> pts;
    pts.reserve(n);
    for (const vec2& p : points) pts.emplace_back(p.x, p.y);
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t(0));
    using SortTraits = CGAL::Spatial_sort_traits_adapter_2<Kernel, CGAL::Pointer_property_map<Point>::type>;
    CGAL::spatial_sort(order.begin(), order.end(), SortTraits(CGAL::make_property_map(pts)));

    std::vector<VertexHandle> handles(n);
    FaceHandle hint;
    for (std::size_t i : order) {
        handles[i] = cdt.insert(pts[i], hint);
        hint = handles[i]->face();
    }
    // A repeated point is one vertex, named after its first occurrence.
    for (std::size_t i = 0; i < n; ++i)
        if (handles[i]->info().index < 0) handles[i]->info().index = int(i);
    for (std::size_t i = 0; i < n; ++i) {
        const VertexHandle a = handles[i];
        const VertexHandle b = handles[(i + 1) % n];
        if (a != b) cdt.insert_constraint(a, b);
    }
}

// Floods the faces reachable from `start` without crossing a constraint with
// `level`; the constrained edges met on the way lead to the next level.
void floodLevel(FaceHandle start, int level, std::vector<Cdt::Edge>& border) {
    std::vector<FaceHandle> stack{start};
    start->info().level = level;
    while (!stack.empty()) {
        const FaceHandle f = stack.back();
        stack.pop_back();
        for (int i = 0; i < 3; ++i) {
            const FaceHandle g = f->neighbor(i);
            if (g->info().level != -1) continue;
            if (f->is_constrained(i)) {
                border.emplace_back(f, i);
            } else {
                g->info().level = level;
                stack.push_back(g);
            }
        }
    }
}

// Marks the faces inside the outline by the even-odd rule; returns how many.
std::size_t markDomain(Cdt& cdt) {
    for (FaceHandle f : cdt.all_face_handles()) f->info().level = -1;
    std::vector<Cdt::Edge> border;
    floodLevel(cdt.infinite_face(), 0, border);
    // Level by level: every border of level k is crossed before any of
    // level k + 1, so each face gets the least number of crossings.
    for (std::size_t i = 0; i < border.size(); ++i) {
        const Cdt::Edge e = border[i];
        const FaceHandle g = e.first->neighbor(e.second);
        if (g->info().level == -1) floodLevel(g, e.first->info().level + 1, border);
    }
    std::size_t inside = 0;
    for (FaceHandle f : cdt.all_face_handles()) {
        const bool in = !cdt.is_infinite(f) && f->info().level % 2 == 1;
        f->set_in_domain(in);
        if (in) ++inside;
    }
    return inside;
}

// Refines the marked domain until every triangle meets the bound or the cap
// of added points is reached; returns whether refinement completed.
template <class Mesher>
bool refine(Cdt& cdt, double bound, std::size_t cap) {
    Mesher mesher(cdt, Criteria(bound));
    mesher.init(true);
    for (std::size_t added = 0; added < cap; ++added)
        if (!mesher.step_by_step_refine_mesh()) return true;
    return mesher.is_refinement_done();
}

enum class Outcome { Empty, Complete, Capped };

template <class Mesher>
Outcome buildAndRefine(const std::vector<vec2>& points, Cdt& cdt, double bound, std::size_t cap) {
    insertOutline(points, cdt);
    if (cdt.dimension() < 2 || markDomain(cdt) == 0) return Outcome::Empty;
    return refine<Mesher>(cdt, bound, cap) ? Outcome::Complete : Outcome::Capped;
}

// Builds the refined triangulation with its inside marked; false when the
// outline encloses nothing.
template <class Mesher>
bool meshOutline(const std::vector<vec2>& points, Cdt& cdt) {
    const std::size_t n = points.size();
    Outcome outcome = buildAndRefine<Mesher>(points, cdt, kQualityBound, qualityCap(n));
    if (outcome == Outcome::Capped) {
        cdt.clear();
        outcome = buildAndRefine<Mesher>(points, cdt, kGuaranteedBound, guaranteedCap(n));
    }
    if (outcome == Outcome::Empty) return false;
    markDomain(cdt);
    return true;
}

// Appends the triangulation: input points first, then the added points that
// inside triangles use, then the inside triangles.
void appendResult(const std::vector<vec2>& points, const std::vector<bool>& sharp, Cdt& cdt,
                  std::vector<vec2>& outPoints, std::vector<bool>& outSharp, std::vector<int>& outTriangles) {
    const std::size_t n = points.size();
    for (std::size_t i = 0; i < n; ++i) {
        outPoints.push_back(points[i]);
        outSharp.push_back(i < sharp.size() && sharp[i]);
    }
    int next = int(n);
    for (FaceHandle f : cdt.finite_face_handles()) {
        if (!f->is_in_domain()) continue;
        for (int k = 0; k < 3; ++k) {
            const VertexHandle v = f->vertex(k);
            if (v->info().index >= 0) continue;
            v->info().index = next++;
            outPoints.emplace_back(float(v->point().x()), float(v->point().y()));
            outSharp.push_back(false);
        }
        for (int k = 0; k < 3; ++k) outTriangles.push_back(f->vertex(k)->info().index);
    }
}

}  // namespace

bool SimplePolygon::triangulate(std::vector<vec2>& outPoints, std::vector<bool>& outSharp,
                                std::vector<int>& outTriangles, bool boundary) const {
    if (points.size() < 3 || !allFinite(points)) return false;
    const std::size_t pointsBefore = outPoints.size();
    const std::size_t sharpBefore = outSharp.size();
    const std::size_t trianglesBefore = outTriangles.size();
    try {
        Cdt cdt;
        const bool ok = boundary ? meshOutline<CGAL::Delaunay_mesher_2<Cdt, Criteria>>(points, cdt)
                                 : meshOutline<CGAL::Delaunay_mesher_no_edge_refinement_2<Cdt, Criteria>>(points, cdt);
        if (!ok) return false;
        appendResult(points, sharp, cdt, outPoints, outSharp, outTriangles);
        return true;
    } catch (...) {
        // A failed geometric precondition or allocation: leave the outputs
        // as they were.
        outPoints.resize(pointsBefore);
        outSharp.resize(sharpBefore);
        outTriangles.resize(trianglesBefore);
        return false;
    }
}

bool SimplePolygon::triangulateCorners(std::vector<int>& outTriangles) const {
    if (points.size() < 3 || !allFinite(points)) return false;
    const std::size_t before = outTriangles.size();
    try {
        Cdt cdt;
        insertOutline(points, cdt);
        // One vertex per point: no point repeated, no crossing split.
        if (cdt.number_of_vertices() != points.size()) return false;
        if (cdt.dimension() < 2 || markDomain(cdt) == 0) return false;
        // A repeated point and a crossing together keep the count: every
        // corner must still be one of the outline's points.
        for (FaceHandle f : cdt.finite_face_handles()) {
            if (!f->is_in_domain()) continue;
            for (int k = 0; k < 3; ++k) {
                const int index = f->vertex(k)->info().index;
                if (index < 0 || std::size_t(index) >= points.size()) {
                    outTriangles.resize(before);
                    return false;
                }
                outTriangles.push_back(index);
            }
        }
        return true;
    } catch (...) {
        outTriangles.resize(before);
        return false;
    }
}

}  // namespace qel

#pragma once
// A closed planar outline (a drawn profile, or the outline of a cut) in 2-D
// coordinates of its own plane, and its triangulation.
//
// `triangulate` meshes the flat region the outline encloses (even-odd rule)
// with a constrained Delaunay triangulation refined towards a 30 degree
// minimum angle. The class also owns the scan-conversion grid used to raster
// an outline: static, shared by all instances, GUI thread only.

#include <vector>

#include "core/vec.h"

namespace qel {

class SimplePolygon {
public:
    // Outline points in drawing order; the outline closes from the last point
    // back to the first, which is not repeated.
    std::vector<vec2> points;
    // One sharp flag per point (at least as many entries as points; missing
    // entries read as false).
    std::vector<bool> sharp;

    // Triangulates the enclosed region and appends to the three vectors
    // (which keep their entries): the outline's points first, in order, with
    // their sharp flags, then the points the mesher added (flag false); and
    // three indices per counter-clockwise triangle, counted from the first
    // point appended by this call. With `boundary` the mesher may add points
    // on the outline; without it only inside. Crossing edges are split at
    // their crossings. Returns false and appends nothing when the outline
    // encloses no area (fewer than three distinct points, all collinear) or
    // has a non-finite coordinate.
    bool triangulate(std::vector<vec2>& outPoints, std::vector<bool>& outSharp, std::vector<int>& outTriangles,
                     bool boundary) const;
    // The constrained Delaunay triangulation of the outline's own points,
    // not refined: appends three indices into `points` per counter-clockwise
    // triangle of the enclosed region and adds no point. Returns false and
    // appends nothing when the outline encloses no area, has a non-finite
    // coordinate, repeats a point or crosses itself (a crossing would need a
    // new point).
    bool triangulateCorners(std::vector<int>& outTriangles) const;

    // Fill codes of the inflation grid beyond the scan conversion's 0, 1, 2.
    static constexpr unsigned char FillSharp = 3;  // cell of an outline point flagged sharp
    static constexpr unsigned char FillPinch = 4;  // the region touches itself here: two points

    // The raw height field of the inflation grid: over the w x h cell codes
    // (cell (x, y) at w y + x), the field of the profile for stamps of side
    // `resolution`, into `values` (w h floats); false when it cannot be
    // computed.
    using HeightField = bool (*)(int w, int h, float resolution, const std::vector<unsigned char>& fill,
                                 unsigned char profile, std::vector<float>& values);

    // Results of triangulateU.
    static constexpr int InflateRefused = -1;   // outline or resolution unusable; nothing appended
    static constexpr int InflateDone = 0;       // grid mesh appended with the profile's heights
    static constexpr int InflateFlat = 1;       // grid mesh appended flat: the GPU height field failed

    // Meshes the enclosed region on a regular grid of `resolution` cells along
    // the longer side of the outline's bounding box and, for a profile number
    // other than 0, raises it into a cushion whose height grows with the
    // distance from the outline (1, 2 union of balls; 3 chamfer; 4 cone;
    // 5 blunt cone; 6 sine dome; 7 flattened centre), smoothed. Appends the
    // points (z the height, in the outline's units; 0 on the rim), their sharp
    // flags and three indices per counter-clockwise triangle; the indices
    // count from the start of outPoints, so entries already there are kept
    // untouched. Heights are computed on the GPU: needs the GL context current
    // and leaves framebuffer 0 bound, program 0 current, depth and stencil
    // tests off and the viewport at the grid's size. Uses the static grid.
    // The heights come from `field` (the GPU one is InflationField::Compute,
    // gl/inflation_field.h); without one the grid stays flat (InflateFlat).
    // Refuses outlines that span no area (fewer than three distinct points,
    // all collinear, non-finite coordinates) and resolutions outside
    // [1, MaxInflateResolution].
    int triangulateU(std::vector<vec3>& outPoints, std::vector<bool>& outSharp, std::vector<int>& outTriangles,
                     unsigned char profile, float resolution, HeightField field = nullptr) const;
    static constexpr float MaxInflateResolution = 4096.0f;

    // Scan-conversion grid: W columns by H rows, cell (x, y) at index W y + x.
    static int W;
    static int H;
    // For a boundary cell, the point where the outline crosses its row or
    // column; (0, 0) elsewhere.
    static std::vector<dvec2> Coords;
    // 0 outside, 1 inside, 2 boundary (a crossing recorded in Coords).
    static std::vector<unsigned char> Fill;
    // Scratch: the crossings of each row (fillX) or column (fillY); empty
    // between calls.
    static std::vector<std::vector<double>> Buffer;

    // Resets Coords and Fill to w h zero cells and sets W = w, H = h
    // (negative sizes count as 0).
    static void allocateGrid(int w, int h);
    // Scan-convert a closed outline in grid coordinates (cell units) by rows
    // (fillX) or by columns (fillY). They only add marks. Crossings and span
    // ends outside the grid are skipped; spans are clipped to it.
    static void fillX(const std::vector<dvec2>& outline);
    static void fillY(const std::vector<dvec2>& outline);
    // Append the crossings of edge p-q with the integer rows (segmentX) or
    // columns (segmentY) to Buffer; rows or columns beyond Buffer are skipped.
    // Edges parallel to the rows (columns) add nothing.
    static void segmentX(const dvec2& p, const dvec2& q);
    static void segmentY(const dvec2& p, const dvec2& q);
};

}  // namespace qel

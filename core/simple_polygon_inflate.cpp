// Raster inflation of an outline: the region is scan-converted into the
// static grid, every marked cell becomes a mesh point (boundary cells at the
// exact outline crossing, inner cells at their integer position, cells where
// the region touches itself twice), the grid squares become triangles, and
// for a profile other than 0 the inner points are raised by a height field
// computed by the caller's height field (on the GPU: InflationField), shaped
// and smoothed on the CPU.

#include "core/simple_polygon.h"

#include "core/strings.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace qel {

namespace {

constexpr double Pi = 3.14159265358979323846;

std::size_t cellIndex(int x, int y) { return std::size_t(SimplePolygon::W) * std::size_t(y) + std::size_t(x); }

bool marked(int x, int y) { return SimplePolygon::Fill[cellIndex(x, y)] != 0; }

// The outline spans an area: finite coordinates, and three points that are
// not collinear (hence at least three distinct points).
bool outlineSpansArea(const std::vector<vec2>& points) {
    for (const vec2& p : points)
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
    if (points.size() < 3) return false;
    const dvec2 p0(points[0].x, points[0].y);
    std::size_t i = 1;
    while (i < points.size() && points[i] == points[0]) ++i;
    if (i == points.size()) return false;
    const dvec2 d1 = dvec2(points[i].x, points[i].y) - p0;
    for (std::size_t j = i + 1; j < points.size(); ++j) {
        const dvec2 d2 = dvec2(points[j].x, points[j].y) - p0;
        if (d1.x * d2.y - d1.y * d2.x != 0.0) return true;
    }
    return false;
}

// Where the grid lies in the outline's plane.
struct GridFrame {
    dvec2 min;
    double scale = 1.0;
};

// The cell an outline point at grid position g marks: the nearest one
// (halves away from zero). A coordinate exactly half-way between two cells
// is ambiguous, and the scan conversion settled it already: it keeps a
// crossing at k + 0.5 in cell k + 1 at the low end of a span and in cell k
// at the high end. So when the nearest cell was left empty, the point takes
// the candidate (rounding a half-way coordinate the other way) that the scan
// conversion marked, a boundary cell first. Otherwise a corner of a
// rectangle at the high end of both axes would land in a cell of its own
// outside the region and be cleared as stray.
std::size_t outlineCell(const dvec2& g) {
    const int x = int(std::round(g.x)), y = int(std::round(g.y));
    const std::size_t nearest = cellIndex(x, y);
    if (SimplePolygon::Fill[nearest] != 0) return nearest;
    // Grid positions are positive: a half-way coordinate was rounded up, and
    // its other candidate lies one cell lower.
    const int otherX = g.x - std::floor(g.x) == 0.5 ? x - 1 : x;
    const int otherY = g.y - std::floor(g.y) == 0.5 ? y - 1 : y;
    const std::size_t candidates[3] = {cellIndex(otherX, y), cellIndex(x, otherY), cellIndex(otherX, otherY)};
    for (const unsigned char least : {2, 1})
        for (const std::size_t c : candidates)
            if (SimplePolygon::Fill[c] >= least) return c;
    return nearest;
}

// Sizes the static grid so that the outline's longer side spans n cells with
// a margin of 2.5 cells all round, scan-converts the outline and marks the
// cell of every outline point (3 when sharp, else 2) with its exact position.
// The cells are chosen from the scan conversion alone, before any is marked.
GridFrame setUpGrid(const SimplePolygon& polygon, int n) {
    const std::vector<vec2>& points = polygon.points;
    GridFrame frame;
    dvec2 max(points[0].x, points[0].y);
    frame.min = max;
    for (const vec2& p : points) {
        frame.min.x = std::min(frame.min.x, double(p.x));
        frame.min.y = std::min(frame.min.y, double(p.y));
        max.x = std::max(max.x, double(p.x));
        max.y = std::max(max.y, double(p.y));
    }
    const double width = max.x - frame.min.x;
    const double height = max.y - frame.min.y;
    int innerW = n, innerH = n;
    if (width > height) {
        frame.scale = n / width;
        innerH = int(frame.scale * height);
    } else {
        frame.scale = n / height;
        innerW = int(frame.scale * width);
    }
    SimplePolygon::allocateGrid(innerW + 6, innerH + 6);

    std::vector<dvec2> outline;
    outline.reserve(points.size());
    for (const vec2& p : points)
        outline.push_back((dvec2(p.x, p.y) - frame.min) * frame.scale + dvec2(2.5, 2.5));
    SimplePolygon::fillX(outline);
    SimplePolygon::fillY(outline);

    std::vector<std::size_t> cells(outline.size());
    for (std::size_t i = 0; i < outline.size(); ++i) cells[i] = outlineCell(outline[i]);
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const bool sharp = i < polygon.sharp.size() && polygon.sharp[i];
        const unsigned char value = sharp ? SimplePolygon::FillSharp : 2;
        const std::size_t c = cells[i];
        if (SimplePolygon::Fill[c] < value) {
            SimplePolygon::Fill[c] = value;
            SimplePolygon::Coords[c] = outline[i];
        }
    }
    return frame;
}

// Number of runs of two or more consecutive marked cells in the cyclic ring.
int countRuns(const bool ring[8]) {
    int start = -1;
    for (int k = 0; k < 8 && start < 0; ++k)
        if (!ring[k]) start = k;
    if (start < 0) return 1;  // the whole ring is one run
    int runs = 0, length = 0;
    for (int j = 1; j <= 8; ++j) {
        if (ring[(start + j) % 8]) {
            ++length;
            continue;
        }
        if (length >= 2) ++runs;
        length = 0;
    }
    return runs;
}

void emitPoint(int x, int y, std::vector<int>& index, std::vector<vec3>& outPoints, std::vector<bool>& outSharp,
               bool sharp) {
    const std::size_t c = cellIndex(x, y);
    index[c] = int(outPoints.size());
    const dvec2& p = SimplePolygon::Coords[c];
    if (p.x == 0.0 && p.y == 0.0)
        outPoints.push_back(vec3(float(x), float(y), 0.0f));
    else
        outPoints.push_back(vec3(float(p.x), float(p.y), 0.0f));
    outSharp.push_back(sharp);
}

// Gives every marked cell its point (two at a pinch), clearing isolated
// cells; index receives the first point of each cell. Changes to the codes
// are seen by the cells visited later.
void emitPoints(std::vector<int>& index, std::vector<vec3>& outPoints, std::vector<bool>& outSharp) {
    std::vector<unsigned char>& fill = SimplePolygon::Fill;
    static const int ringX[8] = {-1, 0, 1, 1, 1, 0, -1, -1};
    static const int ringY[8] = {-1, -1, -1, 0, 1, 1, 1, 0};
    for (int x = 1; x <= SimplePolygon::W - 2; ++x)
        for (int y = 1; y <= SimplePolygon::H - 2; ++y) {
            const std::size_t c = cellIndex(x, y);
            if (fill[c] == 0) continue;
            bool ring[8];
            bool any = false;
            for (int k = 0; k < 8; ++k) any = (ring[k] = marked(x + ringX[k], y + ringY[k])) || any;
            if (!any) {
                fill[c] = 0;
                continue;
            }
            // Ring slots 1, 3, 5, 7 are the edge neighbours below, right,
            // above and left.
            if (fill[c] >= 2 && ring[1] && ring[3] && ring[5] && ring[7]) {
                SimplePolygon::Coords[c] = dvec2(x, y);
                fill[c] = 1;
            }
            if ((ring[1] || ring[5]) && (ring[3] || ring[7])) {
                emitPoint(x, y, index, outPoints, outSharp, fill[c] == SimplePolygon::FillSharp);
                continue;
            }
            const int runs = countRuns(ring);
            if (runs == 0) {
                fill[c] = 0;
            } else if (runs == 1) {
                emitPoint(x, y, index, outPoints, outSharp, fill[c] == SimplePolygon::FillSharp);
            } else {
                emitPoint(x, y, index, outPoints, outSharp, true);
                outPoints.push_back(outPoints.back());
                outSharp.push_back(true);
                fill[c] = SimplePolygon::FillPinch;
            }
        }
}

// Two triangles per grid square with four marked corners, one with three.
// At a pinch cell the corners A and D (and B when A is absent) take its
// second point, so the two lobes meeting there use different copies.
void emitTriangles(const std::vector<int>& index, std::vector<int>& outTriangles) {
    const std::vector<unsigned char>& fill = SimplePolygon::Fill;
    for (int x = 1; x <= SimplePolygon::W - 2; ++x)
        for (int y = 1; y <= SimplePolygon::H - 2; ++y) {
            const std::size_t corners[4] = {cellIndex(x - 1, y - 1), cellIndex(x, y - 1), cellIndex(x, y),
                                            cellIndex(x - 1, y)};
            bool present[4];
            int count = 0;
            for (int k = 0; k < 4; ++k) count += (present[k] = fill[corners[k]] != 0 && index[corners[k]] >= 0);
            if (count < 3) continue;
            const bool second[4] = {true, !present[0], false, present[2]};
            int list[4];
            int n = 0;
            for (int k = 0; k < 4; ++k) {
                if (!present[k]) continue;
                const bool pinch = fill[corners[k]] == SimplePolygon::FillPinch;
                list[n++] = index[corners[k]] + ((pinch && second[k]) ? 1 : 0);
            }
            for (int k = 2; k < n; ++k) {
                outTriangles.push_back(list[0]);
                outTriangles.push_back(list[k - 1]);
                outTriangles.push_back(list[k]);
            }
        }
}

// Heights of the inner cells from the field of squared heights; 0 elsewhere.
// Returns the largest height.
float innerHeights(const std::vector<float>& field, std::vector<float>& heights) {
    const std::vector<unsigned char>& fill = SimplePolygon::Fill;
    heights.assign(field.size(), 0.0f);
    float m = 0.0f;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (fill[i] != 1) continue;
        heights[i] = float(std::sqrt(std::max(double(field[i]), 0.0)));
        m = std::max(m, heights[i]);
    }
    return m;
}

// Reshapes the heights along u = h / m: 5 square root, 6 sine, 7 flattened
// centre; other profiles keep them. Nothing to shape when no height is
// positive.
void shapeProfile(std::vector<float>& heights, unsigned char profile, float m) {
    if (!(m > 0.0f) || profile < 5 || profile > 7) return;
    for (float& h : heights) {
        const double u = double(h) / m;
        double shaped = h;
        if (profile == 5)
            shaped = m * std::sqrt(u);
        else if (profile == 6)
            shaped = m * std::sin(u * Pi / 2.0);
        else
            shaped = m * (2.0 * u - std::sin(u * Pi / 2.0));
        h = float(shaped);
    }
}

// Three passes of a 7 x 7 weighted mean over the inner cells, taken over the
// marked cells in reach; rim cells take part with their 0 and pull the edge
// down.
void smoothHeights(std::vector<float>& heights) {
    static const int K[4][4] = {{159, 97, 22, 2}, {97, 59, 13, 1}, {22, 13, 3, 0}, {2, 1, 0, 0}};
    const std::vector<unsigned char>& fill = SimplePolygon::Fill;
    const int W = SimplePolygon::W, H = SimplePolygon::H;
    for (int pass = 0; pass < 3; ++pass) {
        const std::vector<float> copy = heights;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                if (fill[cellIndex(x, y)] != 1) continue;
                double sum = 0.0, weights = 0.0;
                for (int dy = -3; dy <= 3; ++dy)
                    for (int dx = -3; dx <= 3; ++dx) {
                        const int k = K[std::abs(dx)][std::abs(dy)];
                        const int cx = x + dx, cy = y + dy;
                        if (k == 0 || cx < 0 || cy < 0 || cx >= W || cy >= H) continue;
                        const std::size_t c = cellIndex(cx, cy);
                        if (fill[c] == 0) continue;
                        sum += double(k) * copy[c];
                        weights += k;
                    }
                heights[cellIndex(x, y)] = float(sum / weights);
            }
    }
}

// Every new point takes the height of the cell nearest it when that cell is
// inside, else 0.
void applyHeights(const std::vector<float>& heights, std::vector<vec3>& outPoints, std::size_t first) {
    const int W = SimplePolygon::W, H = SimplePolygon::H;
    for (std::size_t i = first; i < outPoints.size(); ++i) {
        vec3& p = outPoints[i];
        const int x = int(std::round(p.x)), y = int(std::round(p.y));
        const bool inside = x >= 0 && y >= 0 && x < W && y < H && SimplePolygon::Fill[cellIndex(x, y)] == 1;
        p.z = inside ? heights[cellIndex(x, y)] : 0.0f;
    }
}

// Raises the new points by the profile's height field; false (points left
// flat) when the field cannot be computed.
bool raisePoints(SimplePolygon::HeightField compute, unsigned char profile, float resolution,
                 std::vector<vec3>& outPoints, std::size_t first) {
    std::vector<float> field;
    if (!compute || !compute(SimplePolygon::W, SimplePolygon::H, resolution, SimplePolygon::Fill, profile, field))
        return false;
    std::vector<float> heights;
    const float m = innerHeights(field, heights);
    shapeProfile(heights, profile, m);
    smoothHeights(heights);
    applyHeights(heights, outPoints, first);
    return true;
}

}  // namespace

int SimplePolygon::triangulateU(std::vector<vec3>& outPoints, std::vector<bool>& outSharp,
                                std::vector<int>& outTriangles, unsigned char profile, float resolution,
                                HeightField field) const {
    if (!outlineSpansArea(points) || !(resolution >= 1.0f && resolution <= MaxInflateResolution))
        return InflateRefused;
    const GridFrame frame = setUpGrid(*this, int(resolution));

    const std::size_t first = outPoints.size();
    std::vector<int> index(std::size_t(W) * std::size_t(H), -1);
    emitPoints(index, outPoints, outSharp);
    emitTriangles(index, outTriangles);

    int result = InflateDone;
    if (profile != 0 && !raisePoints(field, profile, resolution, outPoints, first)) {
        logmsg("ERROR SimplePolygon::triangulateU height field");
        result = InflateFlat;
    }

    // Back to the outline's plane and units.
    for (std::size_t i = first; i < outPoints.size(); ++i) {
        vec3& p = outPoints[i];
        p = vec3(float((p.x - 2.5) / frame.scale + frame.min.x), float((p.y - 2.5) / frame.scale + frame.min.y),
                 float(p.z / frame.scale));
    }
    return result;
}

}  // namespace qel

// Scan conversion of an outline into the static grid: crossings of the
// outline with the rows (or columns) are collected per line, sorted, and taken
// in pairs; each pair marks its two end cells as boundary and the cells
// between as inside.

#include "core/simple_polygon.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace qel {

int SimplePolygon::W = 0;
int SimplePolygon::H = 0;
std::vector<dvec2> SimplePolygon::Coords;
std::vector<unsigned char> SimplePolygon::Fill;
std::vector<std::vector<double>> SimplePolygon::Buffer;

namespace {

// The integer nearest x, halves rounding up.
double nearestHalfUp(double x) {
    const double c = std::ceil(x);
    return (c - x > 0.5) ? c - 1.0 : c;
}

// The integer nearest x, halves rounding down.
double nearestHalfDown(double x) {
    const double f = std::floor(x);
    return (x - f > 0.5) ? f + 1.0 : f;
}

bool gridConsistent() {
    const std::size_t cells = std::size_t(SimplePolygon::W) * std::size_t(SimplePolygon::H);
    return SimplePolygon::W >= 0 && SimplePolygon::H >= 0 && SimplePolygon::Fill.size() == cells &&
           SimplePolygon::Coords.size() == cells;
}

// Marks one span of a grid line: `line` is the row (byRows) or column, p1 and
// p2 the crossings along it. Ends outside the grid are skipped and the inside
// run is clipped to it.
void markSpan(double p1, double p2, int line, bool byRows) {
    const int length = byRows ? SimplePolygon::W : SimplePolygon::H;
    auto cell = [&](int pos) {
        return byRows ? std::size_t(SimplePolygon::W) * std::size_t(line) + std::size_t(pos)
                      : std::size_t(SimplePolygon::W) * std::size_t(pos) + std::size_t(line);
    };
    auto markBoundary = [&](double pos, double crossing) {
        if (!(pos >= 0.0 && pos < double(length))) return;
        const std::size_t i = cell(int(pos));
        if (SimplePolygon::Fill[i] >= 2) return;
        SimplePolygon::Coords[i] = byRows ? dvec2(crossing, double(line)) : dvec2(double(line), crossing);
        SimplePolygon::Fill[i] = 2;
    };
    const double a = nearestHalfUp(p1);
    const double b = nearestHalfDown(p2);
    markBoundary(a, p1);
    markBoundary(b, p2);
    const double lo = std::max(a, 0.0);
    const double hi = std::min(b, double(length) - 1.0);
    if (!(lo <= hi)) return;
    for (int pos = int(lo); pos <= int(hi); ++pos) {
        unsigned char& f = SimplePolygon::Fill[cell(pos)];
        if (f == 0) f = 1;
    }
}

// Collects the outline's crossings per line into Buffer, then marks the
// pairs of every line.
void scanConvert(const std::vector<dvec2>& outline, bool byRows) {
    const int lines = byRows ? SimplePolygon::H : SimplePolygon::W;
    SimplePolygon::Buffer.assign(std::size_t(lines), std::vector<double>());
    const std::size_t n = outline.size();
    for (std::size_t i = 0; i < n; ++i) {
        const dvec2& p = outline[i];
        const dvec2& q = outline[(i + 1) % n];
        if (byRows)
            SimplePolygon::segmentX(p, q);
        else
            SimplePolygon::segmentY(p, q);
    }
    for (int line = 0; line < lines; ++line) {
        std::vector<double>& crossings = SimplePolygon::Buffer[std::size_t(line)];
        if (crossings.size() < 2) continue;
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t k = 0; k + 1 < crossings.size(); k += 2) markSpan(crossings[k], crossings[k + 1], line, byRows);
    }
    SimplePolygon::Buffer.clear();
}

// Appends to Buffer the crossings of the edge with the integer lines
// u = const, where u is the edge's first coordinate along `across` and v the
// other: v = (r - u0) * ((v1 - v0) / (u1 - u0)) + v0 for every integer r
// between the edge's u extremes.
void segmentCrossings(double u0, double v0, double u1, double v1) {
    if (u0 == u1) return;
    const double lo = std::max(std::ceil(std::min(u0, u1)), 0.0);
    const double hi = std::min(std::floor(std::max(u0, u1)), double(SimplePolygon::Buffer.size()) - 1.0);
    if (!(lo <= hi)) return;
    const double slope = (v1 - v0) / (u1 - u0);
    for (int r = int(lo); r <= int(hi); ++r) SimplePolygon::Buffer[std::size_t(r)].push_back((r - u0) * slope + v0);
}

}  // namespace

void SimplePolygon::allocateGrid(int w, int h) {
    w = std::max(w, 0);
    h = std::max(h, 0);
    const std::size_t cells = std::size_t(w) * std::size_t(h);
    Coords.clear();
    Fill.clear();
    Coords.assign(cells, dvec2(0.0, 0.0));
    Fill.assign(cells, 0);
    W = w;
    H = h;
}

void SimplePolygon::fillX(const std::vector<dvec2>& outline) {
    if (!gridConsistent()) return;
    scanConvert(outline, true);
}

void SimplePolygon::fillY(const std::vector<dvec2>& outline) {
    if (!gridConsistent()) return;
    scanConvert(outline, false);
}

void SimplePolygon::segmentX(const dvec2& p, const dvec2& q) { segmentCrossings(p.y, p.x, q.y, q.x); }

void SimplePolygon::segmentY(const dvec2& p, const dvec2& q) { segmentCrossings(p.x, p.y, q.x, q.y); }

}  // namespace qel

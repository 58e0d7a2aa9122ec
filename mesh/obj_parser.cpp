// Reading OBJ text into a mesh: see obj_parser.h.

#include "mesh/obj_parser.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "core/simple_polygon.h"
#include "mesh/mesh.h"

namespace qel {

namespace {

inline bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n'; }

// LF and CR both end a line (CR LF gives an empty line, which is dropped).
inline bool isBreak(char c) { return c == '\n' || c == '\r'; }

// Blanks separate statements and their parts: spaces and tabs.
inline bool isBlank(char c) { return c == ' ' || c == '\t'; }

inline const char* skipBlanks(const char* p, const char* end) {
    while (p < end && isBlank(*p)) ++p;
    return p;
}

// The end of the blank-separated part at p (a blank, a line end or end).
inline const char* tokenEnd(const char* p, const char* end) {
    while (p < end && !isBlank(*p) && !isBreak(*p)) ++p;
    return p;
}

inline bool atLineEnd(const char* p, const char* end) { return p == end || isBreak(*p); }

// The first line end at or after p, or end; for the short rest of a line.
inline const char* restOfLine(const char* p, const char* end) {
    while (p < end && !isBreak(*p)) ++p;
    return p;
}

// The same for whole ignored lines, which may be long. nextLf holds the
// first LF at or after an earlier position (end when there is none) and is
// searched again only once passed, so that a text whose lines end in CR
// alone is not searched to its end for every line.
const char* skipLine(const char* p, const char* end, const char*& nextLf) {
    if (nextLf < p) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
        nextLf = lf ? lf : end;
    }
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', std::size_t(nextLf - p)));
    return cr ? cr : nextLf;
}

inline const char* findSlash(const char* p, const char* end) {
    while (p < end && *p != '/') ++p;
    return p;
}

// Narrows [p, e) to the number text: surrounding white space dropped and one
// leading '+' accepted (from_chars takes neither). False when nothing is left
// or a second sign follows the '+'.
bool numberText(const char*& p, const char*& e) {
    while (p < e && isSpace(*p)) ++p;
    while (e > p && isSpace(e[-1])) --e;
    if (p < e && *p == '+') {
        ++p;
        if (p < e && (*p == '+' || *p == '-')) return false;
    }
    return p < e;
}

// A float from the whole of [p, e), C locale, rounded once to the nearest
// float (so the shortest text of a float reads back to that float); 0 when
// it is not one number or is not finite as a float (a NaN or infinite
// position would spoil the mesh's centre, size and normals).
float toCoordinate(float v, const std::from_chars_result& r, const char* e) {
    if (r.ec != std::errc() || r.ptr != e) return 0.0f;
    return std::isfinite(v) ? v : 0.0f;
}

float readCoordinate(const char* p, const char* e) {
    float v = 0.0f;
    std::from_chars_result r = std::from_chars(p, e, v);
    if (r.ec == std::errc() && r.ptr == e) return toCoordinate(v, r, e);
    // Rare forms: surrounding white space, a leading '+'.
    if (!numberText(p, e)) return 0.0f;
    r = std::from_chars(p, e, v);
    return toCoordinate(v, r, e);
}

// The common form of an index at p: an optional '-' and one to nine
// digits. Returns the position after it, null when the text at p has
// another form.
inline const char* shortInteger(const char* p, const char* e, std::int32_t& out) {
    const bool negative = p < e && *p == '-';
    if (negative) ++p;
    const char* first = p;
    std::int64_t v = 0;  // ten digits at most are gathered: no overflow
    for (; p < e && p - first < 10; ++p) {
        const unsigned d = unsigned(*p) - unsigned('0');
        if (d > 9) break;
        v = v * 10 + d;
    }
    if (p == first || p - first > 9) return nullptr;
    out = std::int32_t(negative ? -v : v);
    return p;
}

// The whole of [p, e) as a decimal 32-bit integer; 0 when it is not one.
std::int32_t readInteger(const char* p, const char* e) {
    std::int32_t v = 0;
    if (shortInteger(p, e, v) == e) return v;
    if (!numberText(p, e)) return 0;
    const std::from_chars_result r = std::from_chars(p, e, v);
    return r.ec == std::errc() && r.ptr == e ? v : 0;
}

// "vn " in either letter case.
inline bool isNormalStatement(const char* p, const char* end) {
    return end - p >= 3 && char(p[0] | 0x20) == 'v' && char(p[1] | 0x20) == 'n' && isBlank(p[2]);
}

const char Bom[3] = {'\xEF', '\xBB', '\xBF'};

}  // namespace

vec3 ObjParser::NormalKey(std::int32_t n) {
    constexpr std::int32_t Exact = std::int32_t(1) << 24;
    if (n > -Exact && n < Exact) return vec3(float(n));
    const float rounded = float(n);
    const float remainder = float(std::int64_t(n) - std::int64_t(double(rounded)));
    return vec3(rounded, remainder, remainder);
}

void ObjParser::parse(const char* text, std::size_t size) {
    vertexBase_ = std::int64_t(mesh_.vertices.size());
    vertexCount_ = 0;
    normalCount_ = 0;
    forward_.clear();
    facesLeftOut_ = 0;
    if (text == nullptr || size == 0) return;

    const char* end = static_cast<const char*>(std::memchr(text, 0, size));
    if (end == nullptr) end = text + size;
    const char* p = text;
    if (end - p >= 3 && std::memcmp(p, Bom, 3) == 0) p += 3;
    const char* nextLf = static_cast<const char*>(std::memchr(text, '\n', std::size_t(end - text)));
    if (nextLf == nullptr) nextLf = end;
    while (p < end) {
        // A statement is its letter and a blank, after any indentation;
        // letters compare without regard to case (c | 0x20 folds only 'V'
        // onto 'v' and 'F' onto 'f').
        p = skipBlanks(p, end);
        if (p == end) break;
        const char* stop;
        const char c0 = char(p[0] | 0x20);
        if (end - p >= 2 && isBlank(p[1]) && c0 == 'v') {
            stop = parseVertex(p + 2, end);
        } else if (end - p >= 2 && isBlank(p[1]) && c0 == 'f') {
            stop = parseFace(p + 2, end);
        } else {
            stop = skipLine(p, end, nextLf);
            if (isNormalStatement(p, stop)) ++normalCount_;
        }
        if (stop >= end) break;
        p = stop + 1;
    }
    untangleForward();
    dropUnresolved();
}

const char* ObjParser::parseVertex(const char* p, const char* end) {
    float c[3] = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < 3; ++i) {
        p = skipBlanks(p, end);
        if (atLineEnd(p, end)) break;
        const char* e = tokenEnd(p, end);
        c[i] = readCoordinate(p, e);
        p = e;
    }
    mesh_.vertices.push_back(MeshVertex(vec3(c[0], c[1], c[2])));
    ++vertexCount_;
    return restOfLine(p, end);
}

const char* ObjParser::parseFace(const char* p, const char* end) {
    // Slot 0 holds the fan's first corner, slot 1 the previous corner and
    // slot 2 the corner just read; each corner from the third on closes a
    // triangle and then becomes the previous corner.
    Slot slots[3];
    const std::size_t first = mesh_.faces.size();
    std::int64_t maxVertex = -1;
    int corner = 0;
    for (;;) {
        p = skipBlanks(p, end);
        if (atLineEnd(p, end)) break;
        const char* e = tokenEnd(p, end);
        Slot& slot = slots[corner < 2 ? corner : 2];
        if (!readCorner(p, e, slot, maxVertex)) {
            mesh_.faces.resize(first);
            ++facesLeftOut_;
            return restOfLine(e, end);
        }
        if (corner >= 2) {
            addTriangle(slots[0], slots[1], slots[2]);
            slots[1] = slots[2];
        }
        ++corner;
        p = e;
    }
    if (mesh_.faces.size() == first) {
        ++facesLeftOut_;
        return p;
    }
    if (maxVertex >= vertexBase_ + vertexCount_)
        forward_.push_back(Forward{first, mesh_.faces.size(), maxVertex});
    else if (corner > 3)
        untangle(first, std::size_t(corner));
    return p;
}

bool ObjParser::readCorner(const char* p, const char* end, Slot& slot, std::int64_t& maxVertex) {
    // The pieces are read in one pass in the common forms ("12", "12/3",
    // "12//4", "12/3/4"); anything else goes through the general reader.
    std::int32_t n = 0;
    const char* slash1 = shortInteger(p, end, n);
    if (slash1 == nullptr || (slash1 != end && *slash1 != '/')) {
        slash1 = findSlash(p, end);
        n = readInteger(p, slash1);
    }
    if (n == 0) return false;
    const std::int64_t vertex = n > 0 ? vertexBase_ + n - 1 : vertexBase_ + vertexCount_ + n;
    if (vertex < vertexBase_) return false;
    slot.vertex = vertex;
    if (vertex > maxVertex) maxVertex = vertex;

    // Exactly three pieces: the third is the normal number. Any other shape
    // keeps the slot's normal number.
    if (slash1 == end) return true;
    const char* slash2 = findSlash(slash1 + 1, end);
    if (slash2 == end) return true;
    std::int32_t number = 0;
    const char* after = shortInteger(slash2 + 1, end, number);
    if (after != end) {
        if (findSlash(slash2 + 1, end) != end) return true;
        number = readInteger(slash2 + 1, end);
    }
    std::int64_t normal = number;
    if (normal < 0) normal += std::int64_t(normalCount_) + 1;  // counts back from the normals read so far
    slot.normal = std::int32_t(normal);
    return true;
}

void ObjParser::addTriangle(const Slot& a, const Slot& b, const Slot& c) {
    MeshFace face(std::int32_t(a.vertex), std::int32_t(b.vertex), std::int32_t(c.vertex));
    face.normals[0] = NormalKey(a.normal);
    face.normals[1] = NormalKey(b.normal);
    face.normals[2] = NormalKey(c.normal);
    mesh_.faces.push_back(face);
}

namespace {

// Whether a fan triangle (p0, p[j-1], p[j]) faces against the sum of them
// all, the polygon's Newell normal (returned in normal).
bool fanFolds(const std::vector<vec3>& p, dvec3& normal) {
    const dvec3 origin(p[0]);
    const auto areaVector = [&](std::size_t j) { return cross(dvec3(p[j - 1]) - origin, dvec3(p[j]) - origin); };
    normal = dvec3();
    for (std::size_t j = 2; j < p.size(); ++j) normal = normal + areaVector(j);
    for (std::size_t j = 2; j < p.size(); ++j)
        if (dot(areaVector(j), normal) < 0.0) return true;
    return false;
}

}  // namespace

bool ObjParser::PolygonTriangles(const std::vector<vec3>& corners, std::vector<int>& triangles) {
    const std::size_t n = corners.size();
    triangles.clear();
    for (std::size_t j = 2; j < n; ++j) triangles.insert(triangles.end(), {0, int(j - 1), int(j)});
    dvec3 normal;
    if (n <= 3 || !fanFolds(corners, normal)) return false;

    // The outline in the plane through c0 across the Newell normal, in a
    // frame (u, v) with u x v along the normal, so that the counter-clockwise
    // triangles of the plane face the way the polygon does.
    // (A fan that folds has a non-zero normal.)
    const dvec3 origin(corners[0]);
    normal = normal * (1.0 / std::sqrt(dot(normal, normal)));
    int axis = 0;  // the axis least aligned with the normal
    for (int i = 1; i < 3; ++i)
        if (std::fabs(normal[i]) < std::fabs(normal[axis])) axis = i;
    dvec3 e;
    e[axis] = 1.0;
    dvec3 u = cross(e, normal);
    u = u * (1.0 / std::sqrt(dot(u, u)));
    const dvec3 v = cross(normal, u);
    SimplePolygon outline;
    outline.points.reserve(n);
    for (const vec3& c : corners) {
        const dvec3 q = dvec3(c) - origin;
        outline.points.emplace_back(float(dot(q, u)), float(dot(q, v)));
    }
    // A polygon without added points has n - 2 triangles; otherwise the fan
    // stays.
    std::vector<int> inside;
    if (!outline.triangulateCorners(inside) || inside.size() != 3 * (n - 2)) return false;
    triangles.swap(inside);
    return true;
}

void ObjParser::untangle(std::size_t first, std::size_t n) {
    // The corners in polygon order. Most polygons do not fold: their fan
    // stays, and nothing more is gathered for them.
    cornerVertices_.clear();
    cornerPositions_.clear();
    const MeshFace& F0 = mesh_.faces[first];
    for (int k = 0; k < 2; ++k) cornerVertices_.push_back(F0.v[k]);
    for (std::size_t f = first; f < first + n - 2; ++f) cornerVertices_.push_back(mesh_.faces[f].v[2]);
    for (const std::int32_t c : cornerVertices_) cornerPositions_.push_back(mesh_.vertices[std::size_t(c)].position);
    dvec3 normal;
    if (!fanFolds(cornerPositions_, normal) || !PolygonTriangles(cornerPositions_, triangles_)) return;
    // Each corner's normal key as the fan carries it (a corner keeps one
    // key in every fan triangle holding it).
    cornerNormals_.clear();
    for (int k = 0; k < 2; ++k) cornerNormals_.push_back(F0.normals[k]);
    for (std::size_t f = first; f < first + n - 2; ++f) cornerNormals_.push_back(mesh_.faces[f].normals[2]);

    // The triangles inside the outline replace the fan's faces in place.
    for (std::size_t t = 0; t < n - 2; ++t) {
        const int* c = &triangles_[3 * t];
        MeshFace face(cornerVertices_[std::size_t(c[0])], cornerVertices_[std::size_t(c[1])],
                      cornerVertices_[std::size_t(c[2])]);
        for (int k = 0; k < 3; ++k) face.normals[k] = cornerNormals_[std::size_t(c[k])];
        mesh_.faces[first + t] = face;
    }
}

void ObjParser::untangleForward() {
    const std::int64_t total = vertexBase_ + vertexCount_;
    for (const Forward& range : forward_)
        if (range.maxVertex < total && range.endFace - range.firstFace >= 2)
            untangle(range.firstFace, range.endFace - range.firstFace + 2);
}

void ObjParser::dropUnresolved() {
    const std::int64_t total = vertexBase_ + vertexCount_;
    std::size_t w = 0, r = 0;
    bool moving = false;
    const std::size_t n = mesh_.faces.size();
    for (const Forward& range : forward_) {
        if (range.maxVertex < total) continue;
        ++facesLeftOut_;
        // Keep the faces between the previous dropped range and this one,
        // shifted down over the holes.
        if (!moving) {
            w = r = range.firstFace;
            moving = true;
        }
        for (; r < range.firstFace; ++r, ++w) mesh_.faces[w] = mesh_.faces[r];
        r = range.endFace;
    }
    if (!moving) return;
    for (; r < n; ++r, ++w) mesh_.faces[w] = mesh_.faces[r];
    mesh_.faces.resize(w);
}

}  // namespace qel

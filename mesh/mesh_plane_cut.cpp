// Plane operations of qel::Mesh: the cut along a plane (whole mesh, one
// component, one band of faces), the clip of the positive side and the
// subtraction that closes the clipped holes with flat caps.
//
// The cut core splits each edge that runs from a strictly positive vertex
// to a strictly negative one; vertices made by the splits lie above
// vertexMark and never cross, so a face is re-examined after each split
// until none of its edges crosses, and the faces the splits append are
// walked too.

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#include "core/geometry.h"
#include "core/simple_polygon.h"
#include "mesh/mesh.h"

namespace qel {

namespace {

double side(const Mesh& m, int v, const dvec3& point, const dvec3& normal) {
    return dot(dvec3(m.vertices[v].position) - point, normal);
}

void selectFace(Mesh& m, int f) {
    m.faces[f].flags = std::uint8_t(m.faces[f].flags | MeshFace::SelectedBit);
    m.selectedFaces.push_back(f);
}

constexpr std::uint8_t kFaceMarks = MeshFace::SelectedBit | MeshFace::VisitedBit;

// One edge of the cap that meets the mesh's open border.
struct CapJoin {
    int capFace, capEdge, meshFace, meshEdge;
};

// Every vertex of the loop lies on the plane, up to the rounding of the
// cut points: a border loop that leaves the plane is not a hole of the clip.
bool loopOnPlane(const Mesh& m, const std::vector<int>& loop, const vec3& point, const vec3& normal) {
    const dvec3 P(point), N(normal);
    const double n = std::sqrt(dot(N, N));
    double scale = 1;
    for (int i = 0; i < 3; ++i) scale = std::max(scale, std::fabs(P[i]));
    for (const int v : loop)
        for (int i = 0; i < 3; ++i) scale = std::max(scale, std::fabs(double(m.vertices[v].position[i])));
    for (const int v : loop)
        if (std::fabs(side(m, v, P, N)) > 1e-5 * scale * n) return false;
    return true;
}

}  // namespace

void Mesh::planeMarkSide(const dvec3& point, const dvec3& normal, const std::vector<int>* scope,
                         std::vector<int>* onPlane) {
    const int mark = vertexMark;
    auto test = [&](int v) {
        if (v < 0 || v >= mark || vertices[v].isSelected()) return;
        const double d = side(*this, v, point, normal);
        if (d > 0)
            appendSelectedVertex(v);
        else if (d == 0 && onPlane && vertices[v].isActive() && !vertices[v].isBorder())
            onPlane->push_back(v);
    };
    if (!scope) {
        for (int v = 0; v < mark; ++v) test(v);
        return;
    }
    for (const int f : *scope)
        for (const int v : faces[f].v) test(v);
}

void Mesh::planeCutFaces(const dvec3& point, const dvec3& normal, std::vector<int>* scope, std::vector<int>& cut) {
    const int mark = vertexMark;
    // An edge crosses when one end is selected (strictly positive) and the
    // other strictly negative: an end on the plane is never split off.
    auto crossing = [&](int a, int b) {
        if (a >= mark || b >= mark) return false;
        const bool sa = vertices[a].isSelected();
        if (sa == vertices[b].isSelected()) return false;
        return side(*this, sa ? b : a, point, normal) < 0;
    };
    for (std::size_t i = 0;; ++i) {
        int f = int(i);
        if (scope) {
            if (i >= scope->size()) break;
            f = (*scope)[i];
        } else if (i >= faces.size()) {
            break;
        }
        const MeshFace& G = faces[f];
        if (!G.isActive()) continue;
        // Only a face with both selected and unselected corners can cross.
        const int selected = int(vertices[G.v[0]].isSelected()) + int(vertices[G.v[1]].isSelected()) +
                             int(vertices[G.v[2]].isSelected());
        if (selected == 0 || selected == 3) continue;
        for (int k = 0; k < 3;) {
            const MeshFace& F = faces[f];
            const int a = F.v[nextK(k)], b = F.v[prevK(k)];
            if (!crossing(a, b)) {
                ++k;
                continue;
            }
            const int g = link(F, k);
            const bool hard = F.isSharp(k) || g < 0;
            const bool gInScope = g >= 0 && (faces[g].flags & kFaceMarks) != 0;
            const dvec3 x = CalculateIntersectionPlaneSegment(point, normal, dvec3(vertices[a].position),
                                                              dvec3(vertices[b].position));
            const int first = faceCount();
            const int nv = edgeSplitFK(f, k, vec3(x));
            if (nv < 0) {
                ++k;
                continue;
            }
            MeshVertex& r = vertices[nv];
            r.flags = hard ? std::uint8_t(r.flags | MeshVertex::SharpBit | MeshVertex::CornerBit)
                           : std::uint8_t(r.flags & ~MeshVertex::CornerBit);
            cut.push_back(nv);
            if (scope) {
                if (first < faceCount()) selectFace(*this, first);
                if (gInScope && first + 1 < faceCount()) selectFace(*this, first + 1);
            }
            k = 0;
        }
    }
}

void Mesh::planeCrease(const std::vector<int>& cut) {
    const int mark = vertexMark;
    std::vector<int> ring;
    for (const int c : cut) {
        if (vertices[c].face < 0) continue;
        findNeighbours(c, ring);
        for (const int n : ring)
            if (n >= mark && n != c) edgeSharpVV(c, n, true);
    }
}

void Mesh::cutPlane(const vec3& point, const vec3& normal) {
    deselectAll();
    const dvec3 P(point), N(normal);
    planeMarkSide(P, N, nullptr, nullptr);
    std::vector<int> cut;
    planeCutFaces(P, N, nullptr, cut);
    planeCrease(cut);
    calculateNormals(2);
    deselectAll();
}

void Mesh::cutPlaneF(const vec3& point, const vec3& normal, int face) {
    deselectAll();
    if (!selectF(point, true, face) && selectedFaces.empty()) return;
    const dvec3 P(point), N(normal);
    planeMarkSide(P, N, &selectedFaces, nullptr);
    std::vector<int> cut;
    planeCutFaces(P, N, &selectedFaces, cut);
    planeCrease(cut);
    calculateNormals(2);
    deselectAll();
}

void Mesh::cutPlaneG_(const vec3& point, const vec3& normal, int face) {
    deselectAll();
    if (face < 0) face = findFirstFace(point);
    if (!activeFace(face)) return;
    const dvec3 P(point), N(normal);
    // Breadth-first along the plane's line through the face: across an
    // edge that is neither sharp nor open and whose ends lie on different
    // sides; selectedFaces is the queue.
    selectFace(*this, face);
    for (std::size_t i = 0; i < selectedFaces.size(); ++i) {
        const MeshFace& F = faces[selectedFaces[i]];
        for (const int v : F.v)
            if (v < vertexMark && !vertices[v].isSelected() && side(*this, v, P, N) > 0) appendSelectedVertex(v);
        for (int k = 0; k < 3; ++k) {
            const int g = link(F, k);
            if (g < 0 || F.isSharp(k) || (faces[g].flags & kFaceMarks)) continue;
            const int a = F.v[nextK(k)], b = F.v[prevK(k)];
            const bool pa = side(*this, a, P, N) > 0, pb = side(*this, b, P, N) > 0;
            if (pa != pb) selectFace(*this, g);
        }
    }
    std::vector<int> cut;
    planeCutFaces(P, N, &selectedFaces, cut);
    planeCrease(cut);
    calculateNormals(2);
    deselectAll();
}

void Mesh::planeClip(const vec3& point, const vec3& normal, std::vector<int>& cut, std::vector<int>& onPlane) {
    deselectAll();
    const dvec3 P(point), N(normal);
    planeMarkSide(P, N, nullptr, &onPlane);
    planeCutFaces(P, N, nullptr, cut);
    planeCrease(cut);
    // Every face round a positive vertex lies on the positive side now. One
    // pass over the faces finds them all (cheaper than circling each
    // vertex); they are listed first, as an erase may re-point corners.
    for (int f = 0; f < faceCount(); ++f) {
        const MeshFace& F = faces[f];
        if (!F.isActive()) continue;
        for (const int v : F.v)
            if (vertices[v].isSelected()) {
                selectFace(*this, f);
                break;
            }
    }
    for (std::size_t i = 0; i < selectedFaces.size(); ++i) faceErase(selectedFaces[i]);
    deselectAll();
}

void Mesh::clipPlane(const vec3& point, const vec3& normal) {
    std::vector<int> cut, onPlane;
    planeClip(point, normal, cut, onPlane);
    removeInactive(false);
    calculateNormals(2);
}

void Mesh::subPlane(const vec3& point, const vec3& normal, const pbr& material) {
    std::vector<int> cut, onPlane;
    planeClip(point, normal, cut, onPlane);
    calculateNormals(2);
    // Every loop the erase opened: walks start at the cut vertices and at
    // the vertices on the plane that became border vertices.
    std::vector<char> done(vertices.size(), 0);
    for (const int v : cut) planeCapLoop(v, point, normal, material, done);
    for (const int v : onPlane) planeCapLoop(v, point, normal, material, done);
    removeInactive(false);
}

bool Mesh::planeCapLoop(int v, const vec3& point, const vec3& normal, const pbr& material, std::vector<char>& done) {
    if (!activeVertex(v) || std::size_t(v) >= done.size() || done[v] || !vertices[v].isBorder()) return false;
    // The border walk, bounded: a border that does not come back to v (an
    // open mesh cut across its own border) gets no cap.
    std::vector<int> loop;
    int w = v;
    do {
        done[w] = 1;
        loop.push_back(w);
        w = findVBorder(w);
    } while (w >= 0 && w != v && std::size_t(w) < done.size() && !done[w] && loop.size() < done.size());
    const int L = int(loop.size());
    if (w != v || L < 3 || !loopOnPlane(*this, loop, point, normal)) return false;

    // The frame maps the plane onto z = 0 with the loop's first vertex at
    // the origin.
    const mat4 frame = mat4::Rotation(normal, vec3(0, 0, 1)) * mat4::Translation(-vertices[v].position);
    SimplePolygon outline;
    outline.points.reserve(loop.size());
    for (const int u : loop) {
        const vec3 q = frame.transformProject(vertices[u].position);
        outline.points.push_back(vec2(q.x, q.y));
    }
    const Mesh cap = FromSimplePolygon(outline, false, 0, 0);
    if (cap.status != 0 || cap.faceCount() == 0 || cap.vertexCount() < L) return false;

    // Cap vertex i < L is loop vertex i. Every open cap edge must meet an
    // open mesh edge, all run the other way (or all the same way: the cap
    // is then turned over).
    std::vector<CapJoin> joins;
    int direction = 0;
    for (int cf = 0; cf < cap.faceCount(); ++cf) {
        const MeshFace& C = cap.faces[cf];
        if (!C.isActive()) continue;
        for (int e = 0; e < 3; ++e) {
            if (cap.activeFace(C.f[e])) continue;
            const int a = C.v[nextK(e)], b = C.v[prevK(e)];
            if (a >= L || b >= L) return false;
            int mf = -1, mk = -1;
            if (!findEdge(loop[a], loop[b], mf, mk) || link(faces[mf], mk) >= 0) return false;
            const int d = faces[mf].v[nextK(mk)] == loop[a] ? -1 : 1;
            if (direction != 0 && d != direction) return false;
            direction = d;
            joins.push_back({cf, e, mf, mk});
        }
    }
    if (int(joins.size()) != L) return false;
    std::vector<std::pair<int, int>> edges;
    for (const CapJoin& j : joins) edges.emplace_back(j.meshFace, j.meshEdge);
    std::sort(edges.begin(), edges.end());
    if (std::adjacent_find(edges.begin(), edges.end()) != edges.end()) return false;

    const bool flip = direction < 0;
    const double len = std::sqrt(double(dot(normal, normal)));
    const vec3 n = normal * float((flip ? -1.0 : 1.0) / len);
    const mat4 back = frame.inverse();
    std::vector<int> capFace(cap.faceCount(), -1);
    int next = faceCount();
    for (int cf = 0; cf < cap.faceCount(); ++cf)
        if (cap.faces[cf].isActive()) capFace[cf] = next++;
    std::vector<int> capVertex(cap.vertexCount(), -1);
    std::copy(loop.begin(), loop.end(), capVertex.begin());
    for (int cf = 0; cf < cap.faceCount(); ++cf) {
        const MeshFace& C = cap.faces[cf];
        if (!C.isActive()) continue;
        int cv[3], cl[3];
        for (int j = 0; j < 3; ++j) {
            int& m = capVertex[C.v[j]];
            if (m < 0) m = vertexAdd(MeshVertex(back.transformProject(cap.vertices[C.v[j]].position), capFace[cf]));
            cv[j] = m;
            cl[j] = cap.activeFace(C.f[j]) ? capFace[C.f[j]] : -1;
        }
        if (flip) {
            std::swap(cv[0], cv[2]);
            std::swap(cl[0], cl[2]);
        }
        MeshFace N(cv[0], cv[1], cv[2], cl[0], cl[1], cl[2], false, false, false);
        N.normal = n;
        for (vec3& c : N.normals) c = n;
        N.setMaterial(material, material, material, 0xFF);
        faceAdd(N);
    }
    // Link the joined edges both ways, sharp on both sides.
    for (const CapJoin& j : joins) {
        const int g = capFace[j.capFace];
        const int e = flip ? 2 - j.capEdge : j.capEdge;
        faces[g].f[e] = j.meshFace;
        faces[g].setSharp(e, true);
        faces[j.meshFace].f[j.meshEdge] = g;
        faces[j.meshFace].setSharp(j.meshEdge, true);
    }
    for (const int u : loop) {
        vertices[u].flags = std::uint8_t(vertices[u].flags | MeshVertex::SharpBit);
        vertexUpdate(u);
    }
    return true;
}

}  // namespace qel
